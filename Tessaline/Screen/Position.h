#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Tessaline {

// One cell of the grid. A position has no frame of its own: the operation taking it says whether the row
// counts from the oldest row held in the buffer or from the top of the visible screen. Nothing is clamped
// here; negative and out-of-range values are representable and each consumer clamps as it needs.
struct Position {
    enum class CompareResult {
        before,
        after,
        equal
    };

    int64_t col = 0;
    int64_t row = 0;

    constexpr Position() = default;
    constexpr Position(int64_t col, int64_t row)
        : col(col)
        , row(row) {}

    // Row first, then column.
    static constexpr CompareResult compare(const Position& a, const Position& b) {
        if (a.row < b.row) return CompareResult::before;
        if (a.row > b.row) return CompareResult::after;
        if (a.col < b.col) return CompareResult::before;
        if (a.col > b.col) return CompareResult::after;
        return CompareResult::equal;
    }

    // "col=3 row=12".
    std::string debugDescription() const;

    constexpr bool operator==(const Position&) const = default;
};

// A run of selected text and where it was read: text extraction assembles a selection from these.
struct LineFragment {
    // Absent reads as the empty string.
    std::optional<std::string> text;
    // Buffer row the text was read from.
    int64_t line = 0;
    // Column the text starts at in that row.
    int64_t location = 0;
    // Grapheme clusters in the text.
    int64_t length = 0;

    // A line break is a fragment of its own, attributed to the row before the one that follows it.
    static LineFragment lineBreak(int64_t followingRow) {
        return {std::string("\n"), followingRow - 1, -1, 1};
    }
};

// One logical line of a selection being assembled, fragment by fragment, in reading order.
class Line {
public:
    std::vector<LineFragment> fragments;
    // The sum of the fragments' lengths.
    int64_t length = 0;

    void add(const LineFragment& fragment) {
        fragments.push_back(fragment);
        length += fragment.length;
    }

    // "[]" when empty, else "2/3: [ls][\n]" (fragment count, length, texts with a line break as "\n").
    std::string debugDescription() const;
};

} // namespace Tessaline
