// The cost of the view: a 64 MiB mixed workload (a MiB of each engine workload in turn) fed at 200x50 into
// a TerminalView that paints its redraws into the offscreen platform's backing image, against the same
// feed into a bare Terminal, in the same run. Both take 16 KiB reads and yield to the event loop every
// 4 ms, as the process host's drain job does, so the view redraws on its own 16.67 ms timer as it would
// under a flooding program. Goal: the view costs at most 15% more than the bare engine.
//
// Each iteration feeds both, in alternating order, so that both meet the same load of a shared machine;
// the counters give the median of the iterations in wall-clock and in this thread's processor time (which
// leaves out what other processes took), and the ratios view / bare of those medians.
//
//   build/release/bench/quillaby_view_bench
#include "CellMetrics.h"
#include "TerminalView.h"
#include "Workloads.h"

#include <QApplication>
#include <QPaintEvent>
#include <QStyle>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr int cols = 200;
constexpr int rows = 50;
constexpr size_t mixedSize = size_t(64) << 20;
constexpr size_t sliceSize = size_t(1) << 20;
constexpr auto yieldEvery = std::chrono::milliseconds(4);

const std::string& mixedWorkload() {
    static const std::string data = [] {
        std::string out;
        out.reserve(mixedSize);
        for (size_t slice = 0; out.size() < mixedSize; ++slice) {
            for (WorkloadKind kind : allWorkloads()) {
                const std::string& stream = workload(kind);
                const size_t at = (slice * sliceSize) % (stream.size() - sliceSize);
                out.append(stream, at, std::min(sliceSize, mixedSize - out.size()));
                if (out.size() >= mixedSize) break;
            }
        }
        return out;
    }();
    return data;
}

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

// Feeds the stream in reads, yielding to the event loop every 4 ms; then lets `finish` run.
template<class Feed, class Finish>
Timing feedLikeTheHost(std::string_view data, Feed&& feed, Finish&& finish) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    auto sliceStart = start;
    feedInChunks(data, [&](std::string_view chunk) {
        feed(chunk);
        const auto now = std::chrono::steady_clock::now();
        if (now - sliceStart >= yieldEvery) {
            QCoreApplication::processEvents();
            sliceStart = std::chrono::steady_clock::now();
        }
    });
    QCoreApplication::processEvents();
    finish();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            threadCpuSeconds() - cpuStart};
}

struct NullDelegate final : TerminalDelegate {
    void send(Terminal&, std::span<const uint8_t>) override {}
};

class CountingView final : public TerminalView {
public:
    using TerminalView::TerminalView;
    int paints = 0;
    double paintedRows = 0;
    double paintSeconds = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++paints;
        paintedRows += event->rect().height() / cellDimension().height();
        const auto start = std::chrono::steady_clock::now();
        TerminalView::paintEvent(event);
        paintSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

Timing runBare(const std::string& data) {
    NullDelegate delegate;
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    Terminal terminal(&delegate, options);
    return feedLikeTheHost(
        data, [&](std::string_view chunk) { terminal.feed(chunk); }, [] {});
}

struct ViewRun {
    Timing timing;
    int paints = 0;
    double paintedRows = 0;
    double paintSeconds = 0;
    bool sized = false;
};

ViewRun runView(const std::string& data) {
    ViewRun run;
    // Made at its size, as the application makes its views, rather than resized to it.
    const QFont font = TerminalView::defaultFont();
    const QSizeF cell = CellMetrics::cellSize(FontMeasures::of(font), 1);
    const int barWidth = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    CountingView view(
        QRect(0, 0, int(std::ceil(cell.width() * cols)) + barWidth, int(std::ceil(cell.height() * rows))),
        font);
    view.show();
    QCoreApplication::processEvents();
    run.sized = view.terminal().cols() == cols && view.terminal().rows() == rows;
    view.paints = 0;
    view.paintedRows = 0;
    view.paintSeconds = 0;
    run.timing = feedLikeTheHost(
        data, [&](std::string_view chunk) { view.feed(chunk); },
        [&] {
            // The last redraw, as the timer would have made it.
            view.updateDisplay(false);
            view.repaint();
        });
    run.paints = view.paints;
    run.paintedRows = view.paintedRows;
    run.paintSeconds = view.paintSeconds;
    return run;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double viewOverBareWall = 0;
double viewOverBareCpu = 0;

void BM_ViewAgainstBareEngine(benchmark::State& state) {
    const std::string& data = mixedWorkload();
    std::vector<double> bareWall, bareCpu, viewWall, viewCpu;
    int paints = 0;
    double paintedRows = 0;
    double paintSeconds = 0;
    bool viewFirst = false;
    for (auto _ : state) {
        Timing bare;
        ViewRun view;
        if (viewFirst) {
            view = runView(data);
            bare = runBare(data);
        } else {
            bare = runBare(data);
            view = runView(data);
        }
        viewFirst = !viewFirst;
        if (!view.sized) {
            state.SkipWithError("the view did not come out at 200x50");
            return;
        }
        state.SetIterationTime(view.timing.wall);
        bareWall.push_back(bare.wall);
        bareCpu.push_back(bare.cpu);
        viewWall.push_back(view.timing.wall);
        viewCpu.push_back(view.timing.cpu);
        paints += view.paints;
        paintedRows += view.paintedRows;
        paintSeconds += view.paintSeconds;
    }
    viewOverBareWall = median(viewWall) / median(bareWall);
    viewOverBareCpu = median(viewCpu) / median(bareCpu);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["bareMs"] = median(bareWall) * 1e3;
    state.counters["viewMs"] = median(viewWall) * 1e3;
    state.counters["bareCpuMs"] = median(bareCpu) * 1e3;
    state.counters["viewCpuMs"] = median(viewCpu) * 1e3;
    state.counters["viewOverBare"] = viewOverBareWall;
    state.counters["viewOverBareCpu"] = viewOverBareCpu;
    state.counters["paints"] = benchmark::Counter(paints, benchmark::Counter::kAvgIterations);
    state.counters["rowsPerPaint"] = paints > 0 ? paintedRows / paints : 0;
    state.counters["msPerPaint"] = paints > 0 ? paintSeconds * 1e3 / paints : 0;
}

BENCHMARK(BM_ViewAgainstBareEngine)
    ->Name("BM_ViewAgainstBareEngine/mixed64MiB/" + std::to_string(cols) + "x" + std::to_string(rows))
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(9);

} // namespace

int main(int argc, char** argv) {
    // Painting goes into the offscreen platform's backing image; no display is needed.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    mixedWorkload();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (viewOverBareWall > 0)
        std::printf(
            "view / bare engine, medians: %.3f wall-clock, %.3f processor time (goal: at most 1.15)\n",
            viewOverBareWall, viewOverBareCpu);
    return 0;
}
