// The cost of painting rows: a 200x50 screen of the shell workload painted whole into an image at scale 1
// and 2 (and a screen full of text changing colour every four cells, the dense case), and one changed row
// painted alone; milliseconds per frame. Goals: a full repaint under 4 ms (a
// quarter of a 60 Hz frame) at scale 1, one row under 0.25 ms, and no allocation by the row builder once
// its caches are warm (counted by the operator new of this program over every row of a frame).
//
//   build/release/bench/quillaby_view_bench --benchmark_filter=BM_Paint
#include "CellMetrics.h"
#include "TerminalView.h"
#include "Workloads.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

namespace {

std::atomic<bool> countAllocations{false};
std::atomic<long> allocations{0};

} // namespace

void* operator new(std::size_t size) {
    if (countAllocations.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr int cols = 200;
constexpr int rows = 50;
// Enough of the shell stream to fill the screen and the scroll-back with its prompts, colours and links.
constexpr size_t fedBytes = size_t(512) << 10;

struct Screen {
    std::unique_ptr<TerminalView> view;

    // A full screen of text whose colour changes every few cells, for the dense case.
    static std::string denseScreen() {
        std::string out = "\x1b[H";
        for (int row = 0; row < rows; ++row) {
            for (int col = 0; col < cols; col += 4)
                out += "\x1b[38;5;" + std::to_string((row * 7 + col) % 256) + "m" + "abcd";
            if (row + 1 < rows) out += "\r\n";
        }
        return out;
    }

    explicit Screen(bool dense = false) {
        const QFont font = TerminalView::defaultFont();
        const QSizeF cell = CellMetrics::cellSize(FontMeasures::of(font), 1);
        view = std::make_unique<TerminalView>(
            QRect(0, 0, int(std::ceil(cell.width() * cols)) + 20, int(std::ceil(cell.height() * rows))),
            font);
        view->resizeTerminal(cols, rows);
        const std::string& shell = workload(WorkloadKind::shell);
        view->feed(std::string_view(shell).substr(0, std::min(fedBytes, shell.size())));
        if (dense) view->feed(denseScreen());
    }

    QImage image(double scale) const {
        QImage out(QSize(int(std::ceil(view->width() * scale)), int(std::ceil(view->height() * scale))),
                   QImage::Format_ARGB32_Premultiplied);
        out.setDevicePixelRatio(scale);
        return out;
    }

    // The row builder over every row on display, as one frame builds them.
    long builderAllocations() {
        Buffer& shown = view->terminal().displayBuffer();
        countAllocations = true;
        allocations = 0;
        for (int row = 0; row < rows; ++row)
            view->buildAttributedString(shown.yDisp() + row, *shown.lines()[shown.yDisp() + row],
                                        shown.cols());
        countAllocations = false;
        return allocations.load();
    }
};

void fullScreen(benchmark::State& state, double scale, bool dense) {
    Screen screen(dense);
    if (screen.view->terminal().cols() != cols) {
        state.SkipWithError("the view did not come out at 200 columns");
        return;
    }
    QImage image = screen.image(scale);
    const QRectF all(QPointF(0, 0), QSizeF(screen.view->size()));
    for (auto _ : state) {
        QPainter painter(&image);
        screen.view->drawTerminalContents(painter, all);
    }
    // Counted after the frames above warmed the caches.
    countAllocations = true;
    allocations = 0;
    {
        QPainter painter(&image);
        screen.view->drawTerminalContents(painter, all);
    }
    countAllocations = false;
    state.counters["allocationsPerFrame"] = double(allocations.load());
    state.counters["builderAllocationsPerFrame"] = double(screen.builderAllocations());
}

void BM_PaintFullScreen(benchmark::State& state) {
    fullScreen(state, double(state.range(0)), false);
}

void BM_PaintFullDenseScreen(benchmark::State& state) {
    fullScreen(state, double(state.range(0)), true);
}

void BM_PaintOneChangedRow(benchmark::State& state) {
    Screen screen;
    QImage image = screen.image(1);
    const double h = screen.view->cellDimension().height();
    {
        QPainter painter(&image);
        screen.view->drawTerminalContents(painter, QRectF(QPointF(0, 0), QSizeF(screen.view->size())));
    }
    const QRectF row(0, h * 10, screen.view->width(), h);
    int n = 0;
    for (auto _ : state) {
        // The row changes, as a prompt line being typed on.
        state.PauseTiming();
        screen.view->feed("\x1b[11;1H\x1b[32muser@host\x1b[0m:\x1b[34m~/src\x1b[0m$ make -j" +
                          std::to_string(n++ % 10));
        state.ResumeTiming();
        QPainter painter(&image);
        screen.view->drawTerminalContents(painter, row);
    }
}

BENCHMARK(BM_PaintFullScreen)
    ->Name("BM_PaintFullScreen/shell/200x50/scale")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintFullDenseScreen)
    ->Name("BM_PaintFullScreen/dense/200x50/scale")
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PaintOneChangedRow)->Name("BM_PaintOneChangedRow/shell/200x50")->Unit(benchmark::kMicrosecond);

} // namespace
