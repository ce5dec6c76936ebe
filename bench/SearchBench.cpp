// Find in scroll-back: one full search for a term that is nowhere in 100,000 scroll-back lines, plain and as
// a regular expression. The find bar searches on every keystroke, so a full search must stay well inside a
// frame. "warm" reuses the line strings of the search before (keystrokes while nothing is printed); "cold"
// rebuilds them (output arrived since, and the view invalidated the cache). "LongLine" searches a
// scroll-back that holds one logical line.
#include "SearchService.h"
#include "Terminal.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

using namespace Tessaline;

namespace {

constexpr int scrollbackLines = 100'000;

// 80 x 24 with every scroll-back line in use: log-like lines of 40 to 79 columns.
Terminal& fullTerminal() {
    static std::unique_ptr<Terminal> terminal = [] {
        TerminalOptions options;
        options.cols = 80;
        options.rows = 24;
        options.scrollback = scrollbackLines;
        auto made = std::make_unique<Terminal>(nullptr, options);
        static const char* const words[] = {"lorem",      "ipsum", "dolor", "sit", "amet",    "consectetur",
                                            "adipiscing", "elit",  "sed",   "do",  "eiusmod", "tempor"};
        std::string text;
        for (int line = 0; line < scrollbackLines + 24; ++line) {
            std::string row = "[" + std::to_string(line) + "] ";
            for (int w = line; row.size() < size_t(40 + line % 40); ++w)
                row += std::string(words[w % 12]) + (w % 7 == 0 ? ", " : " ");
            row.resize(size_t(40 + line % 40));
            text += row + "\r\n";
        }
        made->feed(text);
        return made;
    }();
    return *terminal;
}

// The same scroll-back filled by one logical line wrapped over every row (output without line breaks):
// each of its rows is a row to search from, and none may make the search go over the line again.
Terminal& oneLongLine() {
    static std::unique_ptr<Terminal> terminal = [] {
        TerminalOptions options;
        options.cols = 80;
        options.rows = 24;
        options.scrollback = scrollbackLines;
        auto made = std::make_unique<Terminal>(nullptr, options);
        std::string text;
        for (int word = 0; text.size() < size_t(80) * (scrollbackLines + 24); ++word)
            text += "concatenate " + std::to_string(word) + " ";
        made->feed(text);
        return made;
    }();
    return *terminal;
}

void runSearch(benchmark::State& state, const std::string& term, const SearchOptions& options, bool cold,
               Terminal& terminal = fullTerminal()) {
    SearchService service(terminal);
    if (service.findNext(term, options)) state.SkipWithError("the term must be absent");
    for (auto _ : state) {
        if (cold) service.invalidate();
        benchmark::DoNotOptimize(service.findNext(term, options));
    }
    state.counters["lines"] = double(terminal.displayBuffer().lines().count());
    state.SetItemsProcessed(int64_t(state.iterations()) * terminal.displayBuffer().lines().count());
}

void BM_SearchPlainAbsent_warm(benchmark::State& state) {
    runSearch(state, "zqxj", SearchOptions(), false);
}
void BM_SearchPlainAbsent_cold(benchmark::State& state) {
    runSearch(state, "zqxj", SearchOptions(), true);
}
void BM_SearchPlainAbsentCaseSensitive_warm(benchmark::State& state) {
    runSearch(state, "Zqxj", SearchOptions(true, false, false), false);
}
void BM_SearchRegexAbsent_warm(benchmark::State& state) {
    runSearch(state, "zq[0-9]+x", SearchOptions(false, true, false), false);
}
void BM_SearchRegexAbsent_cold(benchmark::State& state) {
    runSearch(state, "zq[0-9]+x", SearchOptions(false, true, false), true);
}

// Whole-word "cat" occurs, rejected, in every word of the line.
void BM_SearchLongLineWholeWord_warm(benchmark::State& state) {
    runSearch(state, "cat", SearchOptions(false, false, true), false, oneLongLine());
}
void BM_SearchLongLineRegex_warm(benchmark::State& state) {
    runSearch(state, "zq[0-9]+x", SearchOptions(false, true, false), false, oneLongLine());
}

} // namespace

BENCHMARK(BM_SearchPlainAbsent_warm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPlainAbsent_cold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPlainAbsentCaseSensitive_warm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchRegexAbsent_warm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchRegexAbsent_cold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchLongLineWholeWord_warm)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchLongLineRegex_warm)->Unit(benchmark::kMillisecond);
