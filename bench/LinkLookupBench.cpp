// Link lookup under the pointer: it runs on every hover, so it must stay far below a frame.
#include "Terminal.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace Tessaline;

namespace {

class NullDelegate : public TerminalDelegate {
public:
    void send(Terminal&, std::span<const uint8_t>) override {}
};

std::unique_ptr<Terminal> makeTerminal(NullDelegate& delegate, int cols) {
    TerminalOptions options;
    options.cols = cols;
    options.rows = 24;
    return std::make_unique<Terminal>(&delegate, options);
}

void lookUp(benchmark::State& state, Terminal& terminal, Position at) {
    const auto location = Terminal::LinkLookupLocation::buffer(at);
    for (auto _ : state)
        benchmark::DoNotOptimize(terminal.linkMatch(location, Terminal::LinkLookupMode::explicitAndImplicit));
}

} // namespace

// A URL in a line of prose.
static void BM_LinkLookupUrl(benchmark::State& state) {
    NullDelegate delegate;
    auto terminal = makeTerminal(delegate, 80);
    terminal->feed(
        "build log at https://ci.example.com/jobs/12345/console?tail=1 (see also ~/logs/build.txt)");
    lookUp(state, *terminal, Position(30, 0));
}
BENCHMARK(BM_LinkLookupUrl);

// Plain text with no link: the whole line is searched and nothing is found.
static void BM_LinkLookupNoLink(benchmark::State& state) {
    NullDelegate delegate;
    auto terminal = makeTerminal(delegate, 80);
    terminal->feed(
        "The quick brown fox jumps over the lazy dog while the build runs its tests again and again.");
    lookUp(state, *terminal, Position(10, 0));
}
BENCHMARK(BM_LinkLookupNoLink);

// A long wrapped run of word characters (a hash or a Base64 blob) fills the scan window.
static void BM_LinkLookupLongWord(benchmark::State& state) {
    NullDelegate delegate;
    auto terminal = makeTerminal(delegate, 80);
    terminal->feed(std::string(80 * 12, 'q'));
    lookUp(state, *terminal, Position(10, 6));
}
BENCHMARK(BM_LinkLookupLongWord)->Unit(benchmark::kMillisecond);

// "http://" and a run of commas makes the pattern backtrack exponentially: the time budget ends it.
static void BM_LinkLookupHostileRow(benchmark::State& state) {
    NullDelegate delegate;
    auto terminal = makeTerminal(delegate, 200);
    terminal->feed("http://" + std::string(190, ','));
    lookUp(state, *terminal, Position(3, 0));
}
BENCHMARK(BM_LinkLookupHostileRow)->Unit(benchmark::kMillisecond);

// An OSC 8 link: no pattern runs at all.
static void BM_LinkLookupExplicit(benchmark::State& state) {
    NullDelegate delegate;
    auto terminal = makeTerminal(delegate, 80);
    terminal->feed("see \x1b]8;;https://example.com/page\x1b\\the page\x1b]8;;\x1b\\ for details");
    lookUp(state, *terminal, Position(6, 0));
}
BENCHMARK(BM_LinkLookupExplicit);
