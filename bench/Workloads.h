#pragma once

// The byte streams every engine benchmark feeds: deterministic (the same bytes on every machine and run),
// 16 to 17 MiB each, and meant for an 80x24 screen (cursor addressing, scroll regions and line lengths
// stay inside it). Benchmarks name themselves BM_<What>/<engine>/<workload>/<cols>x<rows> and report bytes
// per second, so that one run prints each engine side by side.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace Tessaline::Bench {

enum class WorkloadKind {
    ascii,     // plain ASCII lines
    sgr,       // 256-colour and 24-bit colours per cell, full-screen redraws on the alternate screen
    scroll,    // short lines scrolling inside DECSTBM regions, with reverse index
    cursor,    // cursor-addressed redraws: CUP, CHA, VPA, EL, ED
    wide,      // CJK, Hangul and emoji with VS16, ZWJ sequences, skin tones and flags
    combining, // decomposed text: letters with combining marks, many distinct clusters
    longLines, // lines of 1 to 16 KiB that wrap many times
    shell,     // prompts and output with OSC 0/2/7/8/133, SGR, unknown DCS and APC strings
};

inline constexpr int workloadCols = 80;
inline constexpr int workloadRows = 24;
// The size of one read from the pseudo-terminal: engines are fed the streams in pieces of this size.
inline constexpr size_t feedChunkSize = 16 * 1024;

// splitmix64: fixed output for a fixed seed on every platform (the standard distributions are not).
class Rng {
public:
    explicit Rng(uint64_t seed)
        : _state(seed) {}
    uint64_t next() {
        uint64_t z = (_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A value from low to high inclusive.
    int range(int low, int high) { return low + int(next() % uint64_t(high - low + 1)); }
    bool chance(int percent) { return range(0, 99) < percent; }
    template<class T, size_t N>
    const T& pick(const std::array<T, N>& items) {
        return items[size_t(range(0, int(N) - 1))];
    }

private:
    uint64_t _state;
};

// The words text is made of.
extern const std::array<std::string_view, 32> words;
// Words and spaces up to length bytes, never more.
void appendText(std::string& out, Rng& rng, int length);

// Every kind, in the order benchmarks list them.
std::span<const WorkloadKind> allWorkloads();
// The name used in benchmark names ("ascii", "sgr", "scroll", "cursor", "wide", "combining", "longlines",
// "shell").
std::string_view workloadName(WorkloadKind kind);
// The stream, made on first use and kept for the life of the process.
const std::string& workload(WorkloadKind kind);
// "<cols>x<rows>" of the screen the streams are made for.
std::string workloadSize();

// Calls feed with consecutive pieces of data of feedChunkSize bytes (the last may be shorter).
template<class Feed>
void feedInChunks(std::string_view data, Feed&& feed) {
    for (size_t at = 0; at < data.size(); at += feedChunkSize)
        feed(data.substr(at, feedChunkSize));
}

} // namespace Tessaline::Bench
