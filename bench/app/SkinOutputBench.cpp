// What a user waits for in the skin builder: opening a device photo, installing and exporting the skin,
// opening it again. The frame is a photo-sized 2000 x 3200 pixel image with noise, the hard case for PNG
// encoding. Everything is written under a temporary folder, never into the user's own skins.
#include "App/AppHooks.h"
#include "Builder/SkinBuilderModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace Quillaby;

namespace {

QTemporaryDir* workFolder = nullptr;

QString photoPath() {
    const QString path = workFolder->filePath("photo.png");
    if (QFile::exists(path)) return path;
    QImage photo(2000, 3200, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x)
            line[x] = qRgba((x / 8 + int(random.bounded(6))) & 255, (y / 13 + int(random.bounded(6))) & 255,
                            120 + int(random.bounded(6)), 255);
    }
    photo.setDotsPerMeterX(2835);
    photo.setDotsPerMeterY(2835);
    photo.save(path);
    return path;
}

void prepare(SkinBuilderModel& model) {
    model.loadImage(photoPath());
    model.setViewport(QRectF(200, 300, 1600, 1000));
    model.setSkinName(QStringLiteral("Bench"));
}

void BM_LoadImage(benchmark::State& state) {
    const QString path = photoPath();
    for (auto _ : state) {
        SkinBuilderModel model;
        model.loadImage(path);
        benchmark::DoNotOptimize(model.imageGeneration());
    }
}
BENCHMARK(BM_LoadImage)->Unit(benchmark::kMillisecond);

// The photo as loaded: its own PNG bytes are written.
void BM_InstallUnchanged(benchmark::State& state) {
    SkinBuilderModel model;
    prepare(model);
    for (auto _ : state)
        model.installSkin();
}
BENCHMARK(BM_InstallUnchanged)->Unit(benchmark::kMillisecond);

// After an image tool changed the pixels the frame must be encoded: the part of an install or export
// that then dominates.
void BM_EncodeEditedFrame(benchmark::State& state) {
    SkinBuilderModel model;
    prepare(model);
    const SkinImage edited(model.skinImage()->bitmap.copy(), model.skinImage()->size);
    for (auto _ : state)
        benchmark::DoNotOptimize(edited.pngData());
}
BENCHMARK(BM_EncodeEditedFrame)->Unit(benchmark::kMillisecond);

void BM_Export(benchmark::State& state) {
    SkinBuilderModel model;
    prepare(model);
    for (auto _ : state)
        model.exportSkin();
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

void BM_LoadSkin(benchmark::State& state) {
    SkinBuilderModel model;
    prepare(model);
    model.installSkin();
    const QString folder = QDir(workFolder->filePath("data/Quillaby/skins")).filePath("bench");
    for (auto _ : state)
        model.loadSkin(folder);
}
BENCHMARK(BM_LoadSkin)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir work;
    workFolder = &work;
    setenv("XDG_DATA_HOME", QFile::encodeName(work.filePath("data")).constData(), 1);
    setenv("TMPDIR", QFile::encodeName(work.path()).constData(), 1);
    QCoreApplication app(argc, argv);
    AppHooks::current().runAlert = [](const AlertRequest&) { return 0; };
    AppHooks::current().runFileDialog = [](const FileDialogRequest&) {
        return workFolder->filePath("out.zip");
    };
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
