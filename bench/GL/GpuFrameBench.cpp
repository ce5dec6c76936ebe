// A 200x50 screen of the shell workload drawn whole through the GPU path (row cache, layers, caret) and
// through the painter in the same run; milliseconds per frame. Mesa's software renderer under Xvfb is
// slow, so the figure that matters is the processor time of buildDrawData: under 1 ms for a full screen,
// and no row rebuilt when nothing changed.
//
//   scripts/bench-gl.sh [--benchmark_filter=BM_Gpu|BM_Painter]     (on a private Xvfb; or run
//   build/release/bench/quillaby_gl_bench with DISPLAY set and QT_QPA_PLATFORM=xcb)
#include "CellMetrics.h"
#include "GLTerminalRenderer.h"
#include "GLTerminalWidget.h"
#include "TerminalView.h"
#include "Workloads.h"

#include <QCoreApplication>
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <ctime>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr int cols = 200;
constexpr int rows = 50;
constexpr size_t fedBytes = size_t(512) << 10;

double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// A shown view at 200x50 fed the shell workload, in GPU mode when asked.
struct Screen {
    std::unique_ptr<TerminalView> view;
    GLTerminalWidget* widget = nullptr;

    explicit Screen(bool gpu) {
        const QFont font = TerminalView::defaultFont();
        const QSizeF cell = CellMetrics::cellSize(FontMeasures::of(font), 1);
        view = std::make_unique<TerminalView>(
            QRect(0, 0, int(std::ceil(cell.width() * cols)) + 20, int(std::ceil(cell.height() * rows))),
            font);
        view->resizeTerminal(cols, rows);
        const std::string& shell = workload(WorkloadKind::shell);
        view->feed(std::string_view(shell).substr(0, std::min(fedBytes, shell.size())));
        view->updateDisplay(false);
        if (!gpu) return;
        view->show();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        view->setUseGpu(true);
        widget = static_cast<GLTerminalWidget*>(view->gpuView());
        widget->grabFramebuffer();
    }
    GLTerminalRenderer* renderer() const { return widget ? widget->renderer() : nullptr; }

    // One whole frame through the renderer, finished on the GPU.
    void drawFrame() {
        widget->makeCurrent();
        renderer()->draw(*widget);
        QOpenGLContext::currentContext()->functions()->glFinish();
        widget->doneCurrent();
    }
};

bool ready(benchmark::State& state, Screen& screen) {
    if (screen.view->terminal().cols() != cols) {
        state.SkipWithError("the view did not come out at 200 columns");
        return false;
    }
    if (!screen.renderer()) {
        state.SkipWithError("no GPU renderer: run on an X server with OpenGL 3.3 (scripts/bench-gl.sh)");
        return false;
    }
    return true;
}

// Every row built anew each frame, as after a scroll.
void BM_GpuFullFrame(benchmark::State& state) {
    Screen screen(true);
    if (!ready(state, screen)) return;
    screen.view->setGpuBufferingMode(GLBufferingMode(state.range(0)));
    double buildCpu = 0;
    int rowsBuilt = 0;
    for (auto _ : state) {
        screen.renderer()->rowCache->rowCache.clear();
        screen.drawFrame();
        rowsBuilt = screen.renderer()->rowCache->lastStats.rowsBuilt;
    }
    // The build alone, on processor time.
    screen.widget->makeCurrent();
    const int samples = 20;
    const double start = cpuSeconds();
    for (int i = 0; i < samples; ++i) {
        screen.renderer()->rowCache->rowCache.clear();
        benchmark::DoNotOptimize(screen.renderer()->buildDrawData(screen.view->backingScale()));
    }
    buildCpu = (cpuSeconds() - start) / samples;
    screen.widget->doneCurrent();
    state.counters["rowsBuilt"] = rowsBuilt;
    state.counters["buildDrawDataCpuMs"] = buildCpu * 1e3;
}

// Nothing changed since the last frame: the cache answers every row.
void BM_GpuUnchangedFrame(benchmark::State& state) {
    Screen screen(true);
    if (!ready(state, screen)) return;
    screen.view->setGpuBufferingMode(GLBufferingMode(state.range(0)));
    screen.drawFrame();
    int rowsBuilt = -1;
    for (auto _ : state) {
        screen.drawFrame();
        rowsBuilt = screen.renderer()->rowCache->lastStats.rowsBuilt;
    }
    screen.widget->makeCurrent();
    const int samples = 200;
    const double start = cpuSeconds();
    for (int i = 0; i < samples; ++i)
        benchmark::DoNotOptimize(screen.renderer()->buildDrawData(screen.view->backingScale()));
    state.counters["buildDrawDataCpuMs"] = (cpuSeconds() - start) / samples * 1e3;
    screen.widget->doneCurrent();
    state.counters["rowsBuilt"] = rowsBuilt;
}

// buildDrawData alone, on the widget's context: every row anew (arg 1) or nothing changed (arg 0).
void BM_GpuBuildDrawData(benchmark::State& state) {
    Screen screen(true);
    if (!ready(state, screen)) return;
    screen.view->setGpuBufferingMode(GLBufferingMode(state.range(0)));
    const bool full = state.range(1) != 0;
    GLTerminalRenderer& renderer = *screen.renderer();
    screen.widget->makeCurrent();
    renderer.buildDrawData(screen.view->backingScale());
    for (auto _ : state) {
        if (full) renderer.rowCache->rowCache.clear();
        benchmark::DoNotOptimize(renderer.buildDrawData(screen.view->backingScale()));
    }
    screen.widget->doneCurrent();
    state.counters["rowsBuilt"] = renderer.rowCache->lastStats.rowsBuilt;
}

// The same screen through the painter, into an image.
void BM_PainterFullFrame(benchmark::State& state) {
    Screen screen(false);
    QImage image(screen.view->size(), QImage::Format_ARGB32_Premultiplied);
    const QRectF all(QPointF(0, 0), QSizeF(screen.view->size()));
    for (auto _ : state) {
        QPainter painter(&image);
        screen.view->drawTerminalContents(painter, all);
    }
}

BENCHMARK(BM_GpuFullFrame)
    ->Name("BM_GpuFullFrame/shell/200x50/mode")
    ->Arg(int(GLBufferingMode::perRowPersistent))
    ->Arg(int(GLBufferingMode::perFrameAggregated))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpuUnchangedFrame)
    ->Name("BM_GpuUnchangedFrame/shell/200x50/mode")
    ->Arg(int(GLBufferingMode::perRowPersistent))
    ->Arg(int(GLBufferingMode::perFrameAggregated))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GpuBuildDrawData)
    ->Name("BM_GpuBuildDrawData/shell/200x50")
    ->ArgNames({"mode", "full"})
    ->ArgsProduct({{int(GLBufferingMode::perRowPersistent), int(GLBufferingMode::perFrameAggregated)},
                   {1, 0}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PainterFullFrame)->Name("BM_PainterFullFrame/shell/200x50")->Unit(benchmark::kMillisecond);

} // namespace
