// The slowest 64 KiB read of output that presses on one behaviour: no read may hold the terminal for long,
// whatever it holds and however large the scroll-back. 200x50 with 30,000 lines of scroll-back; each case
// first brings the terminal into its state (untimed: a full scroll-back of the kind the case needs), then
// feeds its stream in 64 KiB chunks, three runs or more.
//
// Counters as in BM_Feed: slowestChunkMs, the slowest chunk's processor time in its best run (each run
// meets chunks of the same kind in the same state, so this leaves out one-off interruptions of a busy
// machine); maxChunkCpuMs and maxChunkMs, the slowest chunk of all runs in processor and wall-clock time.
// The process-wide Unicode tables are made first, as the application makes them on a worker after launch.
#include "CaseWorkloads.h"
#include "Terminal.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr size_t chunkSize = 64 * 1024;
constexpr int scrollback = 30'000;

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

class SinkDelegate final : public TerminalDelegate {
public:
    void send(Terminal&, std::span<const uint8_t>) override {}
};

struct Case {
    const char* name;
    // Fed once before the runs (or before each run, with fresh).
    std::function<std::string()> prepare;
    // The timed stream of a run (numbered from 0), fed in chunks.
    std::function<std::string(int)> stream;
    // Each run starts from a new terminal.
    bool fresh = false;
};

// A full scroll-back of plain lines of `length` columns.
std::string fullScrollback(int length = 120) {
    return textLines(scrollback + caseRows, length);
}

// Lines of `perLine` links each, every link a URI of its own, into a scroll-back first filled with them.
Case linksCase(const char* name, int perLine) {
    constexpr int linksPerRun = 64'000;
    return {name, [perLine] { return linkLines(scrollback + caseRows, perLine, 0); },
            [perLine](int run) {
                return linkLines(linksPerRun / perLine, perLine, 10'000'000 + run * linksPerRun);
            }};
}

const std::vector<Case>& cases() {
    static const std::vector<Case> all = {
        // ls --hyperlink into a large scroll-back: far more links alive than 16-bit handles. Each run takes
        // nearly as many links as there are handles, so the runs see the registry fill and empty over and
        // over, as a terminal that lists files all day does; with 1 and 16 links to a line too.
        linksCase("links", 4),
        linksCase("links1", 1),
        linksCase("links16", 16),
        // DECCOLM back and forth over a scroll-back of 150-column lines.
        // (The first switch, from 200 columns, is made before the runs.)
        {"deccolm", [] { return fullScrollback(150) + "\x1b[?3l"; },
         [](int) { return columnToggles(4 * chunkSize); }},
        // The same with every read ending at the other width.
        {"deccolmapart", [] { return fullScrollback(150) + "\x1b[?3l"; },
         [](int) { return columnTogglesEndingApart(4 * chunkSize, chunkSize); }},
        // A new underline colour per letter, once thousands are in use.
        {"underlinecolours", [] { return fullScrollback() + underlineColours(0, 5'000 * 20) + "\x1b[m\r\n"; },
         [](int run) { return underlineColours(1'000'000 + run * 200'000, 16 * chunkSize) + "\x1b[m"; }},
        {"accented", [] { return fullScrollback(); },
         [](int) { return accentedLines(16 * chunkSize, true); }},
        {"hangulnfd", [] { return fullScrollback(); }, [](int) { return hangulLines(16 * chunkSize, true); }},
        {"marginscroll", [] { return fullScrollback(); },
         [](int) { return regionScroll(16 * chunkSize, true); }},
        {"marginildl", [] { return fullScrollback(); },
         [](int) { return insertDeleteLines(16 * chunkSize, true); }},
        // The first rows of a new scroll-back: every row is new.
        {"firstfill", [] { return std::string(); }, [](int) { return textLines(scrollback / 3, 120, 7); },
         true},
        {"linefeeds", [] { return fullScrollback(); }, [](int) { return repeated("\n", 16 * chunkSize); }},
        {"reverseindex", [] { return fullScrollback(); },
         [](int) { return repeated("\x1bM", 16 * chunkSize, "\x1b[H"); }},
        {"altscreen", [] { return fullScrollback(); },
         [](int) { return repeated("\x1b[?1049hsome text\r\n\x1b[?1049l", 16 * chunkSize); }},
        {"erasescrollback", [] { return fullScrollback(); },
         [](int) { return fullScrollback() + "\x1b[3J" + textLines(1000, 80); }},
        {"reset", [] { return fullScrollback(); },
         [](int) {
             return fullScrollback() +
                    "\x1b"
                    "c" +
                    textLines(1000, 80);
         }},
        {"insertmode", [] { return fullScrollback(); },
         [](int) { return "\x1b[4h" + accentedLines(16 * chunkSize, false) + "\x1b[4l"; }},
        {"combiningmarks", [] { return fullScrollback(); },
         [](int) { return repeated("\xCC\x81", 16 * chunkSize, "a"); }},
        // Letters with marks, nearly every cluster a new one, into a scroll-back they fill: the grapheme
        // table stays full and gives back the codes of rows that left, over and over.
        {"distinctclusters", [] { return workload(WorkloadKind::combining); },
         [](int) { return workload(WorkloadKind::combining).substr(0, 16 * chunkSize); }},
        {"linkacrossrows", [] { return fullScrollback(); },
         [](int) {
             return "\x1b]8;;https://example.com/\x1b\\" + repeated("\n", 2 * chunkSize) + "\x1b]8;;\x1b\\";
         }},
    };
    return all;
}

void runCase(benchmark::State& state, const Case& c) {
    SinkDelegate delegate;
    TerminalOptions options;
    options.cols = caseCols;
    options.rows = caseRows;
    options.scrollback = scrollback;
    std::unique_ptr<Terminal> terminal;
    const std::string prepare = c.prepare();
    auto start = [&] {
        terminal = std::make_unique<Terminal>(&delegate, options);
        terminal->feed(prepare);
        terminal->clearUpdateRange();
    };
    if (!c.fresh) start();
    double slowestWall = 0;
    double slowestCpu = 0;
    std::vector<double> best;
    size_t bytes = 0;
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string data = c.stream(run);
        if (c.fresh) start();
        state.ResumeTiming();
        size_t chunk = 0;
        for (size_t at = 0; at < data.size(); at += chunkSize, ++chunk) {
            const double cpuStart = threadCpuMs();
            const auto wallStart = std::chrono::steady_clock::now();
            terminal->feed(std::string_view(data).substr(at, chunkSize));
            const std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - wallStart;
            const double cpu = threadCpuMs() - cpuStart;
            slowestWall = std::max(slowestWall, took.count());
            slowestCpu = std::max(slowestCpu, cpu);
            if (chunk >= best.size())
                best.push_back(cpu);
            else
                best[chunk] = std::min(best[chunk], cpu);
        }
        terminal->clearUpdateRange();
        bytes += data.size();
        ++run;
    }
    state.SetBytesProcessed(int64_t(bytes));
    state.counters["maxChunkMs"] = slowestWall;
    state.counters["maxChunkCpuMs"] = slowestCpu;
    state.counters["slowestChunkMs"] = best.empty() ? 0 : *std::max_element(best.begin(), best.end());
}

const bool registered = [] {
    Terminal::prepareSharedTables();
    for (const Case& c : cases())
        benchmark::RegisterBenchmark(("BM_WorstChunk/" + std::string(c.name)).c_str(), runCase, c)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
    return true;
}();

} // namespace
