#pragma once

// Streams that each press on one behaviour of the engine (a stall, a slow path, a comparison), for a
// 200x50 screen: the worst-chunk benchmark feeds all of them, the comparison benchmarks the pairs. Like
// the workloads, every stream is deterministic.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace Tessaline::Bench {

inline constexpr int caseCols = 200;
inline constexpr int caseRows = 50;

// Lines of words of exactly `length` columns, CR LF after each.
std::string textLines(int lines, int length, unsigned seed = 1);
// Lines of `perLine` OSC 8 links (each to its own URI, numbered from `first`), as `ls --hyperlink` writes.
std::string linkLines(int lines, int perLine, int first);
// DECCOLM set and reset, `bytes` of them.
std::string columnToggles(size_t bytes);
// The same in reads of `chunk` bytes that end at 132 and 80 columns in turn: whatever coalesces the
// switches of one read, each read changes the width.
std::string columnTogglesEndingApart(size_t bytes, size_t chunk);
// A letter per colour: SGR 58 with a colour of its own for each, numbered from `first`.
std::string underlineColours(int first, size_t bytes);
// Lines of 79 ASCII columns that hold one "é" each (with accented), or an "e" in its place.
std::string accentedLines(size_t bytes, bool accented);
// Hangul syllables, 40 to a line, decomposed into conjoining jamo (decomposed) or precomposed.
std::string hangulLines(size_t bytes, bool decomposed);
// Lines written at the bottom of a scroll region with LF; within left and right margins (columns 1 to
// 100) when margins is true, else across the screen.
std::string regionScroll(size_t bytes, bool margins);
// Lines inserted and deleted with IL and DL at random rows, each followed by text; within left and right
// margins (columns 1 to 100) when margins is true.
std::string insertDeleteLines(size_t bytes, bool margins);
// `bytes` of one sequence (or byte string) repeated, after an optional lead-in.
std::string repeated(std::string_view unit, size_t bytes, std::string_view leadIn = {});

} // namespace Tessaline::Bench
