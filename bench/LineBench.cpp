// Cells, rows and the line ring: the building blocks every print and scroll goes through.
#include "CircularBufferLineList.h"

#include <benchmark/benchmark.h>

using namespace Tessaline;

// Fills an 80-column row from an ASCII run, one template cell per run with only the code written per cell.
static void BM_FillRowFromAscii(benchmark::State& state) {
    BufferLine line(80);
    const char text[] = "The quick brown fox jumps over the lazy dog; 0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    Attribute attribute(Attribute::Color::ansi256(2), Attribute::Color::defaultColor(), CharacterStyle::bold);
    for (auto _ : state) {
        const CharData cell(attribute, 0, 1);
        CharData* out = line.cellsForWrite(80);
        // Store the template, then its code: patching a stack copy would stall on store forwarding.
        for (int i = 0; i < 80; ++i) {
            out[i] = cell;
            out[i].code = uint8_t(text[i]);
        }
        benchmark::DoNotOptimize(line.cells());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 80);
}
BENCHMARK(BM_FillRowFromAscii);

// Pushes 1,000,000 lines through a ring of capacity 10,000: new rows while it fills, recycled rows after.
static void BM_RingPushRecycle(benchmark::State& state) {
    constexpr int capacity = 10'000;
    constexpr int lines = 1'000'000;
    for (auto _ : state) {
        CircularBufferLineList ring(capacity);
        ring.makeEmpty = [](int) { return BufferLine::make(80); };
        for (int i = 0; i < lines; ++i) {
            if (ring.isFull())
                ring.recycle(Attribute::defaultAttribute());
            else
                ring.push(BufferLine::make(80));
        }
        benchmark::DoNotOptimize(ring.count());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * lines);
    state.counters["ns_per_line"] = benchmark::Counter(
        double(state.iterations()) * lines, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RingPushRecycle)->Unit(benchmark::kMillisecond);
