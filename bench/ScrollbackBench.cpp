// What the scroll-back costs: the first fill of a new ring against the same lines into a full one, and
// the memory a large scroll-back of ordinary lines holds.
#include "CaseWorkloads.h"
#include "Terminal.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <memory>
#include <string>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

class SinkDelegate final : public TerminalDelegate {
public:
    void send(Terminal&, std::span<const uint8_t>) override {}
};

TerminalOptions optionsFor(int scrollback) {
    TerminalOptions options;
    options.cols = caseCols;
    options.rows = caseRows;
    options.scrollback = scrollback;
    return options;
}

// The first lines of the ASCII workload (lines of 0 to 79 columns), enough to fill the ring once.
const std::string& fillLines() {
    static const std::string lines = [] {
        const std::string& all = workload(WorkloadKind::ascii);
        size_t at = 0;
        for (int line = 0; line < 10'000 + caseRows && at != std::string::npos; ++line)
            at = all.find("\r\n", at) + 2;
        return all.substr(0, at);
    }();
    return lines;
}

} // namespace

// The lines into a new terminal with 10,000 lines of scroll-back (full), or into one whose ring is
// already full (fresh 0): the first fill may cost at most 1.5x the full ring.
static void BM_FirstFill(benchmark::State& state) {
    const bool fresh = state.range(0) != 0;
    const std::string& lines = fillLines();
    SinkDelegate delegate;
    std::unique_ptr<Terminal> terminal;
    if (!fresh) {
        terminal = std::make_unique<Terminal>(&delegate, optionsFor(10'000));
        terminal->feed(lines);
    }
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            terminal.reset();
            terminal = std::make_unique<Terminal>(&delegate, optionsFor(10'000));
            state.ResumeTiming();
        }
        terminal->feed(lines);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(lines.size()));
}
BENCHMARK(BM_FirstFill)->ArgName("fresh")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 100,000 lines of 150 columns at 200x50 with a scroll-back of 100,000: the heap the terminal holds per
// cell of the screen and scroll-back (at most 16 bytes).
static void BM_ScrollbackMemory(benchmark::State& state) {
    const std::string lines = textLines(100'000 + caseRows, 150);
    SinkDelegate delegate;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        auto terminal = std::make_unique<Terminal>(&delegate, optionsFor(100'000));
        terminal->feed(lines);
        const size_t heap = mallinfo2().uordblks - before;
        state.counters["bytesPerCell"] = double(heap) / (double(caseCols) * double(caseRows + 100'000));
        state.PauseTiming();
        terminal.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ScrollbackMemory)->Unit(benchmark::kMillisecond)->Iterations(1);
