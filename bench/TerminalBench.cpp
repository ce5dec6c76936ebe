// The whole terminal fed as a host feeds it, against libvterm with its screen layer: both receive every
// workload in reads of 64 KiB with a scroll-back of 10,000 lines (libvterm's scrolled-off lines go to a
// host ring of that size through sb_pushline), at 80x24 and 200x50.
//
// Each benchmark first feeds the whole stream once, so that the scroll-back is full and what is timed is
// a long-running terminal. Counters: maxChunkMs, the slowest 64 KiB read of the timed runs;
// maxChunkCpuMs, the same in the thread's own processor time, which leaves out the time other processes
// of a busy machine took; slowestChunkMs, the processor time of the slowest chunk in its best run, which
// leaves out a chunk's one-off interruptions as well (every run meets the same chunks in the same state);
// and bytesPerCell, the heap the engine holds once full divided by the cells it keeps (screen plus
// scroll-back).
#include "CaseWorkloads.h"
#include "Terminal.h"
#include "Workloads.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#ifdef TESSALINE_HAVE_LIBVTERM
#include <vterm.h>
#endif

#include <algorithm>
#include <chrono>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Bench;

namespace {

constexpr size_t chunkSize = 64 * 1024;
constexpr int scrollback = 10'000;

struct Size {
    int cols;
    int rows;
};
constexpr Size sizes[] = {{80, 24}, {200, 50}};

size_t heapInUse() {
    return mallinfo2().uordblks;
}

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The slowest chunk, in wall-clock and in processor milliseconds, and each chunk's best processor time.
struct Slowest {
    double wall = 0;
    double cpu = 0;
    std::vector<double> best;
    void add(const Slowest& other) {
        wall = std::max(wall, other.wall);
        cpu = std::max(cpu, other.cpu);
        if (best.empty()) best = other.best;
        for (size_t k = 0; k < best.size() && k < other.best.size(); ++k)
            best[k] = std::min(best[k], other.best[k]);
    }
    double slowestBest() const { return best.empty() ? 0 : *std::max_element(best.begin(), best.end()); }
};

// Feeds the stream in chunks; answers the slowest chunk.
template<class Feed>
Slowest feedTimed(std::string_view data, Feed&& feed) {
    Slowest slowest;
    for (size_t at = 0; at < data.size(); at += chunkSize) {
        const double cpuStart = threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        feed(data.substr(at, chunkSize));
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        const double cpu = threadCpuMs() - cpuStart;
        slowest.wall = std::max(slowest.wall, took.count());
        slowest.cpu = std::max(slowest.cpu, cpu);
        slowest.best.push_back(cpu);
    }
    return slowest;
}

void report(benchmark::State& state, const std::string& data, const Slowest& slowest, size_t heap,
            Size size) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["maxChunkMs"] = slowest.wall;
    state.counters["maxChunkCpuMs"] = slowest.cpu;
    state.counters["slowestChunkMs"] = slowest.slowestBest();
    state.counters["bytesPerCell"] = double(heap) / (double(size.cols) * double(size.rows + scrollback));
}

// Replies go nowhere; the other callbacks keep their defaults.
class SinkDelegate final : public TerminalDelegate {
public:
    void send(Terminal&, std::span<const uint8_t>) override {}
};

void feedTessaline(benchmark::State& state, const std::string& data, Size size) {
    SinkDelegate delegate;
    TerminalOptions options;
    options.cols = size.cols;
    options.rows = size.rows;
    options.scrollback = scrollback;
    const size_t before = heapInUse();
    auto terminal = std::make_unique<Terminal>(&delegate, options);
    auto feed = [&](std::string_view chunk) { terminal->feed(chunk); };
    feedTimed(data, feed);
    const size_t heap = heapInUse() - before;
    Slowest slowest;
    for (auto _ : state) {
        slowest.add(feedTimed(data, feed));
        terminal->clearUpdateRange();
    }
    report(state, data, slowest, heap, size);
}

#ifdef TESSALINE_HAVE_LIBVTERM
// What a libvterm host keeps of the lines that scroll off: a ring of rows of cells.
struct HostScrollback {
    std::vector<std::vector<VTermScreenCell>> lines;
    size_t next = 0;

    static int push(int cols, const VTermScreenCell* cells, void* user) {
        auto& self = *static_cast<HostScrollback*>(user);
        if (self.lines.size() < size_t(scrollback)) self.lines.emplace_back();
        auto& line = self.lines[self.next];
        line.assign(cells, cells + cols);
        self.next = (self.next + 1) % size_t(scrollback);
        return 1;
    }
    static int pop(int, VTermScreenCell*, void*) { return 0; }
};

void discardOutput(const char*, size_t, void*) {}

void feedLibvterm(benchmark::State& state, const std::string& data, Size size) {
    const size_t before = heapInUse();
    auto host = std::make_unique<HostScrollback>();
    VTerm* vt = vterm_new(size.rows, size.cols);
    vterm_set_utf8(vt, 1);
    vterm_output_set_callback(vt, discardOutput, nullptr);
    VTermScreen* screen = vterm_obtain_screen(vt);
    static const VTermScreenCallbacks callbacks = {
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, HostScrollback::push, HostScrollback::pop,
    };
    vterm_screen_set_callbacks(screen, &callbacks, host.get());
    vterm_screen_enable_altscreen(screen, 1);
    vterm_screen_reset(screen, 1);
    auto feed = [&](std::string_view chunk) { vterm_input_write(vt, chunk.data(), chunk.size()); };
    feedTimed(data, feed);
    const size_t heap = heapInUse() - before;
    Slowest slowest;
    for (auto _ : state)
        slowest.add(feedTimed(data, feed));
    report(state, data, slowest, heap, size);
    vterm_free(vt);
}
#endif

// The stream is made when the benchmark first runs, not at registration.
using StreamSource = std::function<const std::string&()>;

void registerPair(const std::string& name, const StreamSource& data, Size size) {
    const std::string suffix = "/" + name + "/" + std::to_string(size.cols) + "x" + std::to_string(size.rows);
    auto prefix = name.find('/') == std::string::npos ? std::string("BM_Feed") : std::string("BM_FeedCase");
    benchmark::RegisterBenchmark((prefix + "/tessaline" + suffix).c_str(), [data,
                                                                            size](benchmark::State& state) {
        feedTessaline(state, data(), size);
    })->Unit(benchmark::kMillisecond);
#ifdef TESSALINE_HAVE_LIBVTERM
    benchmark::RegisterBenchmark((prefix + "/libvterm" + suffix).c_str(), [data,
                                                                           size](benchmark::State& state) {
        feedLibvterm(state, data(), size);
    })->Unit(benchmark::kMillisecond);
#endif
}

// Streams made on first use and kept, for the pairs of BM_FeedCase.
const std::string& caseStream(const std::string& name) {
    static std::map<std::string, std::string> made;
    auto found = made.find(name);
    if (found != made.end()) return found->second;
    constexpr size_t bytes = size_t(4) << 20;
    std::string data;
    if (name == "text/ascii") data = accentedLines(bytes, false);
    if (name == "text/accented") data = accentedLines(bytes, true);
    if (name == "hangul/precomposed") data = hangulLines(bytes, false);
    if (name == "hangul/decomposed") data = hangulLines(bytes, true);
    if (name == "scroll/plain") data = regionScroll(bytes, false);
    if (name == "scroll/margins") data = regionScroll(bytes, true);
    if (name == "ildl/plain") data = insertDeleteLines(bytes, false);
    if (name == "ildl/margins") data = insertDeleteLines(bytes, true);
    return made.emplace(name, std::move(data)).first->second;
}

// The pairs that compare one behaviour with its plain form (the same rows in ASCII, the same scrolling
// without margins) and with libvterm, at 200x50.
constexpr const char* caseNames[] = {"text/ascii",        "text/accented", "hangul/precomposed",
                                     "hangul/decomposed", "scroll/plain",  "scroll/margins",
                                     "ildl/plain",        "ildl/margins"};

const bool registered = [] {
    for (WorkloadKind kind : allWorkloads())
        for (Size size : sizes)
            registerPair(
                std::string(workloadName(kind)), [kind]() -> const std::string& { return workload(kind); },
                size);
    for (const char* name : caseNames)
        registerPair(name, [name]() -> const std::string& { return caseStream(name); }, {caseCols, caseRows});
    return true;
}();

} // namespace
