// Sixel decoding: 1000 x 1000 pictures in 16 colours, laid out the way encoders write them (one run per
// colour per band, "!" for repeated columns, "$" between colours and "-" between bands).
#include "SixelDecoder.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace Tessaline;

namespace {

constexpr int side = 1000;
constexpr int colors = 16;

template<typename ColorAt>
std::string encode(ColorAt colorAt) {
    std::string out = "\"1;1;1000;1000";
    for (int c = 0; c < colors; ++c)
        out += "#" + std::to_string(c) + ";2;" + std::to_string(c * 6) + ";" + std::to_string(100 - c * 6) +
               ";50";
    for (int band = 0; band < side; band += 6) {
        for (int c = 0; c < colors; ++c) {
            out += "#" + std::to_string(c);
            int x = 0;
            while (x < side) {
                const auto bitsAt = [&](int column) {
                    int bits = 0;
                    for (int k = 0; k < 6 && band + k < side; ++k)
                        bits |= (colorAt(column, band + k) == c) << k;
                    return bits;
                };
                const int bits = bitsAt(x);
                int run = 1;
                while (x + run < side && bitsAt(x + run) == bits)
                    ++run;
                const char sixel = char(63 + bits);
                if (run > 3)
                    out += "!" + std::to_string(run) + sixel;
                else
                    out.append(size_t(run), sixel);
                x += run;
            }
            out += c + 1 < colors ? "$" : "-";
        }
    }
    return out;
}

void decodeImage(benchmark::State& state, const std::string& data) {
    const std::vector<Color> ansi = Color::generateXtermPalette(Color::terminalAppColors);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    SixelDecoder decoder;
    for (auto _ : state) {
        decoder.decode(bytes, ansi);
        benchmark::DoNotOptimize(decoder.pixels().data());
    }
    if (decoder.maxX() != side || decoder.maxY() != side) state.SkipWithError("unexpected image size");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(data.size()));
    state.counters["Mpixel/s"] =
        benchmark::Counter(double(state.iterations()) * side * side / 1e6, benchmark::Counter::kIsRate);
    state.counters["data_bytes"] = double(data.size());
}

} // namespace

// Diagonal stripes 8 pixels wide: long runs, so most columns come from repeats.
static void BM_SixelDecodeStripes(benchmark::State& state) {
    static const std::string data = encode([](int x, int y) { return ((x + y) / 8) % colors; });
    decodeImage(state, data);
}
BENCHMARK(BM_SixelDecodeStripes)->Unit(benchmark::kMillisecond);

// A colour per pixel from a hash, as in a dithered photograph: almost no repeats, one byte per column
// for every colour of every band.
static void BM_SixelDecodeNoise(benchmark::State& state) {
    static const std::string data = encode([](int x, int y) {
        uint32_t h = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u;
        h ^= h >> 15;
        h *= 0x2C1B3C6Du;
        h ^= h >> 12;
        return int(h % colors);
    });
    decodeImage(state, data);
}
BENCHMARK(BM_SixelDecodeNoise)->Unit(benchmark::kMillisecond);
