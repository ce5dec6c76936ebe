// The image clean-up tools on a 12-megapixel photo (4000 x 3000): a light, slightly noisy background
// around a dark device with a lit screen. Time per click, and the peak memory the tool adds over what
// the document already holds ("extra_MB", the process's peak resident size reset before each click).
#include "Builder/SkinBuilderModel.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <string>

using namespace Quillaby;

namespace {

QString photoPath() {
    static QTemporaryDir folder;
    const QString path = folder.filePath("photo-12mp.png");
    if (QFile::exists(path)) return path;
    QImage photo(4000, 3000, QImage::Format_ARGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < photo.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(photo.scanLine(y));
        for (int x = 0; x < photo.width(); ++x) {
            const int grey = 235 + int(random.bounded(12));
            line[x] = qRgb(grey, grey, grey - 3);
        }
    }
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(40, 38, 36));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(600, 300, 2800, 2400), 180, 180);
    painter.fillRect(QRect(900, 600, 2200, 1500), QColor(20, 70, 40));
    painter.end();
    QImageWriter writer(path, "png");
    writer.setQuality(100);
    writer.write(photo);
    return path;
}

// Peak resident size in kilobytes since the last reset.
long peakKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

long currentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

template<typename Tool>
void runTool(benchmark::State& state, Tool tool) {
    SkinBuilderModel model;
    model.loadImage(photoPath());
    double extra = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const long before = currentKilobytes();
        resetPeak();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        tool(model);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        extra = std::max(extra, double(peakKilobytes() - before) / 1024.0);
        // Back to the original picture, the history emptied, outside the timing.
        model.undo();
        model.loadImage(photoPath());
        state.ResumeTiming();
    }
    state.counters["extra_MB"] = extra;
}

void BM_MagicWand(benchmark::State& state) {
    runTool(state, [](SkinBuilderModel& model) { model.magicWandErase(QPointF(5, 5), 32); });
}
BENCHMARK(BM_MagicWand)->Unit(benchmark::kMillisecond)->UseManualTime();

void BM_RemoveBackground(benchmark::State& state) {
    runTool(state, [](SkinBuilderModel& model) { model.removeBackground(40); });
}
BENCHMARK(BM_RemoveBackground)->Unit(benchmark::kMillisecond)->UseManualTime();

// On a picture whose background is already gone, as after the two tools above.
void BM_TrimToContent(benchmark::State& state) {
    SkinBuilderModel model;
    model.loadImage(photoPath());
    model.removeBackground(40);
    const SkinImage cleared = *model.skinImage();
    double extra = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const long before = currentKilobytes();
        resetPeak();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        model.trimToContent();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        extra = std::max(extra, double(peakKilobytes() - before) / 1024.0);
        model.undo();
        state.ResumeTiming();
    }
    state.counters["extra_MB"] = extra;
    benchmark::DoNotOptimize(cleared.bitmap.width());
}
BENCHMARK(BM_TrimToContent)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
