// Column widths on the print path: every non-ASCII scalar is measured before it goes into the grid.
#include "UnicodeUtil.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace Tessaline;

namespace {

// Non-ASCII text as terminals see it: accented Latin, Cyrillic, box drawing, CJK, Hangul, combining marks
// and emoji, spread so that consecutive scalars rarely share a table block.
std::vector<uint32_t> mixedScalars() {
    const uint32_t samples[] = {0x00E9,  0x00FC, 0x0432, 0x0301, 0x2500, 0x2502, 0x4E2D,  0x6587,
                                0xAC00,  0xD55C, 0x3042, 0x30AB, 0xFF21, 0x200D, 0x1F600, 0x1F44D,
                                0x1F3FB, 0x2764, 0x20AC, 0x0627, 0x05D0, 0x0E01, 0x20000, 0xFE0F};
    std::vector<uint32_t> scalars;
    for (int i = 0; i < 4096; ++i)
        scalars.push_back(samples[(i * 7) % std::size(samples)] + uint32_t(i % 3));
    return scalars;
}

template<int (*width)(uint32_t)>
void measure(benchmark::State& state) {
    const auto scalars = mixedScalars();
    for (auto _ : state) {
        int total = 0;
        for (uint32_t c : scalars)
            total += width(c);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(scalars.size()));
}

} // namespace

// The lookup table the print path reads.
static void BM_ColumnWidth(benchmark::State& state) {
    measure<&UnicodeUtil::columnWidth>(state);
}
BENCHMARK(BM_ColumnWidth);

// The same rules asked of the Unicode properties and the wide ranges directly, for comparison.
static void BM_ColumnWidthByRules(benchmark::State& state) {
    measure<&UnicodeUtil::columnWidthByRules>(state);
}
BENCHMARK(BM_ColumnWidthByRules);
