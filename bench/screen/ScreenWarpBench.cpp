// The device screen at 60 Hz: a 200x50 terminal warped into a keystone quadrilateral (the desk tube's
// proportions) with rolling scanlines over it, drawn at scale 1 as the window's repaint draws it.
//
//   BM_Warp          the warp alone: the whole upright terminal image through the projective transform
//   BM_Overlay       the effects overlay alone (rolling scanlines, glow, vignette) through the transform
//   BM_ContentFrame  a frame after the whole screen changed: the terminal rendered, compared, warped,
//                    copied, and the overlay over it
//   BM_RollingFrame  a frame in which only the scanlines moved: the terminal rendered and compared (no
//                    change, no warp), the warped image copied, the overlay over it
// Goal: the warp and the overlay of one frame under 8 ms. Beside the wall-clock time each reports
// allCpuMs, the processor time of all threads per frame (the warp runs in bands on up to 4 threads),
// which a loaded machine does not inflate.
//
//   build/release/bench/quillaby_screen_bench
#include "TerminalView.h"

#include "Settings/SkinEffectsSettings.h"
#include "Skins/SkinManifest.h"
#include "Windows/EffectsLayer.h"
#include "Windows/ScreenContainer.h"
#include "Windows/ScreenWarpEffect.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

using namespace Quillaby;

namespace {

constexpr int cols = 200;
constexpr int rows = 50;

struct Screen {
    QWidget host;
    Tessaline::TerminalView* terminal;
    ScreenContainer* container;
    EffectsLayer* effects;
    QImage frame;
    int generation = 0;

    Screen() {
        host.setAttribute(Qt::WA_NoSystemBackground);
        terminal = new Tessaline::TerminalView();
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(14);
        terminal->setFont(font);
        const QSizeF cell = terminal->cellDimension();
        const QSizeF size(cell.width() * cols, cell.height() * rows);
        host.resize(size.toSize());
        container = new ScreenContainer(&host);
        container->registerPanel(HostedPanel{terminal, {}}, 0);
        const double w = size.width(), h = size.height();
        // The desk tube's keystone: its top corners pulled in by 7 and down by 4 on a 460 x 345 screen.
        const QList<QPointF> quad{{w * 7 / 460, h * 4 / 345}, {w - w * 7 / 460, h * 4 / 345}, {w, h}, {0, h}};
        container->configureViewport(QRectF(QPointF(), size), size, quad, 22, {});
        effects = new EffectsLayer(&host);
        effects->setViewport(QRectF(QPointF(), size), quad, {22, 22, 22, 22});
        SkinEffectsSettings settings;
        settings.scanlines = true;
        settings.scanlineStyle = QStringLiteral("rolling");
        settings.scanlineIntensity = 0.35;
        settings.glow = true;
        settings.curvature = true;
        SkinManifest::TerminalPalette palette;
        palette.foreground = RgbColor::rgb(0.4, 1, 0.6);
        palette.background = RgbColor::rgb(0, 0.05, 0.02);
        effects->configure(settings, palette);
        frame = QImage(host.size(), QImage::Format_ARGB32_Premultiplied);
        fillScreen();
    }

    bool sized() const { return terminal->width() >= cols * terminal->cellDimension().width() - 1; }

    // A full screen of coloured text, different on every call.
    void fillScreen() {
        std::string text = "\x1b[H";
        for (int r = 0; r < rows; ++r) {
            text += "\x1b[3" + std::to_string(1 + (r + generation) % 7) + "m";
            for (int c = 0; c < cols; ++c) text += char('!' + (r * 7 + c + generation) % 90);
            if (r + 1 < rows) text += "\r\n";
        }
        ++generation;
        terminal->feed(std::string_view(text));
    }

    ScreenWarpEffect* warp() const { return qobject_cast<ScreenWarpEffect*>(terminal->graphicsEffect()); }

    void drawFrame() {
        frame.fill(Qt::transparent);
        host.render(&frame, QPoint(), QRegion(), QWidget::DrawChildren);
    }
};

double processCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Per-frame processor time of all threads, paused time included only as little as Pause allows.
struct CpuCounter {
    benchmark::State& state;
    double start = processCpuSeconds();
    double paused = 0;
    double pauseStart = 0;
    void pause() { pauseStart = processCpuSeconds(); }
    void resume() { paused += processCpuSeconds() - pauseStart; }
    ~CpuCounter() {
        const double total = processCpuSeconds() - start - paused;
        state.counters["allCpuMs"] = state.iterations() > 0 ? total * 1e3 / double(state.iterations()) : 0;
    }
};

Screen& screen() {
    static Screen* instance = new Screen();
    return *instance;
}

void BM_Warp(benchmark::State& state) {
    Screen& s = screen();
    s.drawFrame();
    const QRect all = s.terminal->rect();
    CpuCounter cpu{state};
    for (auto _ : state) benchmark::DoNotOptimize(s.warp()->warp(all));
}

void BM_Overlay(benchmark::State& state) {
    Screen& s = screen();
    QImage image(s.effects->size(), QImage::Format_ARGB32_Premultiplied);
    CpuCounter cpu{state};
    for (auto _ : state) {
        for (int i = 0; i < 13; ++i) s.effects->rollingTick();
        image.fill(Qt::transparent);
        s.effects->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    }
}

void BM_ContentFrame(benchmark::State& state) {
    Screen& s = screen();
    CpuCounter cpu{state};
    for (auto _ : state) {
        state.PauseTiming();
        cpu.pause();
        s.fillScreen();
        cpu.resume();
        state.ResumeTiming();
        s.drawFrame();
    }
}

void BM_RollingFrame(benchmark::State& state) {
    Screen& s = screen();
    s.drawFrame();
    CpuCounter cpu{state};
    for (auto _ : state) {
        for (int i = 0; i < 13; ++i) s.effects->rollingTick();
        s.drawFrame();
    }
}

const std::string suffix = "/" + std::to_string(cols) + "x" + std::to_string(rows);
BENCHMARK(BM_Warp)->Name("BM_Warp" + suffix)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Overlay)->Name("BM_Overlay" + suffix)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ContentFrame)->Name("BM_ContentFrame" + suffix)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RollingFrame)->Name("BM_RollingFrame" + suffix)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (!screen().sized() || !screen().warp()) {
        std::fprintf(stderr, "the screen did not come out warped at %dx%d\n", cols, rows);
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
