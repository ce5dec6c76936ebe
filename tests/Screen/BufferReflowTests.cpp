#include "Buffer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace Tessaline;

namespace {

constexpr int32_t wideCode = 0x4E00;

struct Size {
    int cols;
    int rows;
};

// A buffer set up as the terminal sets up its normal (or, without scroll-back, alternate) buffer, with
// a scroll closure that moves the whole screen up: the top row goes into the scroll-back (pushed, or
// recycled once the ring is full) and the new bottom row is wrapped as asked.
struct Term {
    Buffer buffer;

    Term(int cols, int rows, std::optional<int> scrollback)
        : buffer(cols, rows, 8, scrollback) {
        buffer.fillViewportRows();
        buffer.wraparound = true;
        buffer.scroll = [this](bool isWrapped) { scrollUp(isWrapped); };
    }

    void scrollUp(bool isWrapped) {
        auto& lines = buffer.lines();
        if (lines.isFull()) {
            lines.recycle(Attribute::defaultAttribute());
        } else {
            lines.push(buffer.getBlankLine(Attribute::defaultAttribute()));
            buffer.setYBase(buffer.yBase() + 1);
        }
        lines[buffer.yBase() + buffer.rows() - 1]->isWrapped = isWrapped;
        buffer.setYDisp(buffer.yBase());
    }

    // Prints as the terminal does with autowrap on; "W" is a wide character (its "_" is written with it)
    // and "\n" a CR LF.
    void print(const std::string& text) {
        for (char c : text) {
            if (c == '_') continue;
            if (c == '\n') {
                buffer.setX(0);
                if (buffer.y() == buffer.rows() - 1)
                    scrollUp(false);
                else
                    buffer.setY(buffer.y() + 1);
            } else if (c == 'W') {
                buffer.insertCharacter(CharData(Attribute::defaultAttribute(), wideCode, 2));
            } else {
                buffer.insertCharacter(CharData(Attribute::defaultAttribute(), c, 1));
            }
        }
    }

    // The whole ring, one row a line after a header: "~" marks a wrapped row, "." a blank cell, "W" a wide
    // character and "_" the cell after it. Every cell of a row is shown, so the dump shows row widths.
    std::string dump() const {
        const Buffer& b = buffer;
        std::string out = "yBase=" + std::to_string(b.yBase()) + " yDisp=" + std::to_string(b.yDisp()) +
                          " cursor=" + std::to_string(b.x()) + "," + std::to_string(b.y()) + "\n";
        for (int r = 0; r < b.lines().count(); ++r) {
            const BufferLinePtr& line = b.lines().peek(r);
            if (!line) {
                out += "(not made)\n";
                continue;
            }
            out += line->isWrapped ? '~' : ' ';
            for (int c = 0; c < line->count(); ++c) {
                const CharData& cell = (*line)[c];
                if (cell.code == 0)
                    out += cell.width() == 0 ? '_' : '.';
                else
                    out += cell.code == wideCode ? 'W' : char(cell.code);
            }
            out += '\n';
        }
        return out;
    }

    // The text of every run (a row and the wrapped rows after it), as the reflow sees it: each row's
    // wrapped length of cells, continuation cells left out, trailing blanks trimmed. The run holding
    // the cursor is left out: it is never reflowed.
    std::vector<std::string> logicalLines() const {
        const auto& lines = buffer.lines();
        const int cursorRow = buffer.yBase() + buffer.y();
        std::vector<std::string> out;
        int r = 0;
        while (r < lines.count()) {
            int end = r + 1;
            while (end < lines.count() && lines.peek(end)->isWrapped)
                ++end;
            std::string text;
            for (int i = r; i < end; ++i) {
                const BufferLine& line = *lines.peek(i);
                const BufferLine* next = i + 1 < end ? lines.peek(i + 1).get() : nullptr;
                const int length = Buffer::getWrappedLineTrimmedLength(line, next, buffer.cols());
                for (int c = 0; c < length; ++c) {
                    const CharData& cell = line[c];
                    if (cell.width() == 0) continue;
                    text += cell.code == 0 ? ' ' : cell.code == wideCode ? 'W' : char(cell.code);
                }
            }
            while (!text.empty() && text.back() == ' ')
                text.pop_back();
            if (cursorRow < r || cursorRow >= end) out.push_back(text);
            r = end;
        }
        return out;
    }
};

struct FakeImage : TerminalImage {
    int pixelWidth() const override { return 1; }
    int pixelHeight() const override { return 1; }
    int col() const override { return 0; }
    void setCol(int) override {}
};

// Text of mixed lengths, some lines empty, some with wide characters, from a fixed seed.
std::string mixedText(int lineCount, int maxLength, uint32_t seed) {
    std::string out;
    for (int i = 0; i < lineCount; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int length = int((seed >> 8) % uint32_t(maxLength + 1));
        for (int c = 0; c < length; ++c) {
            seed = seed * 1664525u + 1013904223u;
            const uint32_t pick = (seed >> 16) % 40;
            out += pick == 0 ? 'W' : pick == 1 ? ' ' : char('a' + pick % 26);
        }
        out += '\n';
    }
    return out;
}

} // namespace

TEST(BufferReflow, MoreAndFewerRows) {
    struct Case {
        const char* name;
        std::optional<int> scrollback;
        std::string text;
        Size to;
        std::string expected;
    };
    const Case cases[] = {
        {"taller takes rows back from the scroll-back and the cursor stays on its text",
         10,
         "a\nb\nc\nd\ne\nf",
         {4, 6},
         "yBase=0 yDisp=0 cursor=1,5\n a...\n b...\n c...\n d...\n e...\n f...\n"},
        {"taller without scroll-back in use adds blank rows at the bottom",
         10,
         "a\nb\nc",
         {4, 6},
         "yBase=0 yDisp=0 cursor=1,2\n a...\n b...\n c...\n ....\n ....\n ....\n"},
        {"taller takes back what there is, then adds blank rows",
         10,
         "a\nb\nc\nd\ne",
         {4, 7},
         "yBase=0 yDisp=0 cursor=1,4\n a...\n b...\n c...\n d...\n e...\n ....\n ....\n"},
        {"shorter removes the rows below the cursor",
         10,
         "a\nb",
         {4, 2},
         "yBase=0 yDisp=0 cursor=1,1\n a...\n b...\n"},
        {"shorter with the cursor on the bottom row moves rows into the scroll-back",
         10,
         "a\nb\nc\nd",
         {4, 2},
         "yBase=2 yDisp=2 cursor=1,1\n a...\n b...\n c...\n d...\n"},
        {"shorter without scroll-back drops the top rows",
         std::nullopt,
         "a\nb\nc\nd",
         {4, 2},
         "yBase=0 yDisp=0 cursor=1,1\n c...\n d...\n"},
        {"shorter with a full ring discards the oldest rows beyond the new capacity",
         2,
         "a\nb\nc\nd\ne\nf\ng\nh",
         {4, 2},
         "yBase=2 yDisp=2 cursor=1,1\n e...\n f...\n g...\n h...\n"},
        {"taller and narrower at once",
         10,
         "a\nb\nc\nd\ne\nf",
         {3, 5},
         "yBase=1 yDisp=1 cursor=1,4\n a..\n b..\n c..\n d..\n e..\n f..\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Term t(4, 4, c.scrollback);
        t.print(c.text);
        t.buffer.resize(c.to.cols, c.to.rows);
        EXPECT_EQ(t.dump(), c.expected);
        EXPECT_EQ(t.buffer.rows(), c.to.rows);
        EXPECT_EQ(t.buffer.cols(), c.to.cols);
        EXPECT_EQ(t.buffer.scrollBottom(), c.to.rows - 1);
    }
}

TEST(BufferReflow, SavedCursorRowFollowsDiscardedRows) {
    Term t(4, 4, 2);
    t.print("a\nb\nc\nd\ne\nf\ng\nh");
    t.buffer.savedY = 3;
    t.buffer.savedX = 3;
    t.buffer.resize(2, 2);
    EXPECT_EQ(t.buffer.savedY, 1) << "lowered by the two discarded rows";
    EXPECT_EQ(t.buffer.savedX, 1);
}

TEST(BufferReflow, SameSizeResetsTheScrollRegionOnly) {
    Term t(6, 4, 10);
    t.print("abc\nabcdefgh");
    const std::string before = t.dump();
    t.buffer.setScrollTop(1);
    t.buffer.setScrollBottom(2);
    t.buffer.resize(6, 4);
    EXPECT_EQ(t.dump(), before);
    EXPECT_EQ(t.buffer.scrollTop(), 0);
    EXPECT_EQ(t.buffer.scrollBottom(), 3);
}

// Screens before and after, with scroll-back. Each case starts at its size, prints its text, then goes
// through its sizes in order.
TEST(BufferReflow, NarrowingAndWidening) {
    struct Case {
        const char* name;
        Size from;
        std::string text;
        std::vector<Size> to;
        std::string expected;
        int scrollback = 10;
    };
    const Case cases[] = {
        {"narrowing splits long rows and wrapped runs; the screen keeps the cursor's text",
         {10, 4},
         "abcdefgh\n0123456789ABC\n$",
         {{5, 4}},
         "yBase=2 yDisp=2 cursor=1,3\n"
         " abcde\n"
         "~fgh..\n"
         " 01234\n"
         "~56789\n"
         "~ABC..\n"
         " $....\n"},
        {"widening back joins the runs and removes the emptied rows",
         {10, 4},
         "abcdefgh\n0123456789ABC\n$",
         {{5, 4}, {10, 4}},
         "yBase=0 yDisp=0 cursor=1,3\n"
         " abcdefgh..\n"
         " 0123456789\n"
         "~ABC.......\n"
         " $.........\n"},
        {"widening with no scroll-back above moves the cursor up and adds a blank row",
         {5, 4},
         "abcdefgh\n$",
         {{10, 4}},
         "yBase=0 yDisp=0 cursor=1,1\n"
         " abcdefgh..\n"
         " $.........\n"
         " ..........\n"
         " ..........\n"},
        {"widening with scroll-back above takes the rows from the scroll-back",
         {5, 2},
         "abcdefghij\nk\n$",
         {{10, 2}},
         "yBase=1 yDisp=1 cursor=1,1\n"
         " abcdefghij\n"
         " k.........\n"
         " $.........\n"},
        {"narrowing with the cursor above the bottom moves it down and drops the bottom row",
         {10, 4},
         "abcdefgh\n$",
         {{5, 4}},
         "yBase=0 yDisp=0 cursor=1,2\n"
         " abcde\n"
         "~fgh..\n"
         " $....\n"
         " .....\n"},
        {"a wide character straddling the new edge starts the next row and leaves a blank",
         {10, 3},
         "abcdefgW_x\n$",
         {{8, 3}},
         "yBase=0 yDisp=0 cursor=1,2\n"
         " abcdefg.\n"
         "~W_x.....\n"
         " $.......\n"},
        {"widening joins the wide character without the blank",
         {10, 3},
         "abcdefgW_x\n$",
         {{8, 3}, {10, 3}},
         "yBase=0 yDisp=0 cursor=1,1\n"
         " abcdefgW_x\n"
         " $.........\n"
         " ..........\n"},
        {"widening puts a wide character that lands on the new edge at the start of the next row",
         {4, 4},
         "abcdefW_\n$",
         {{7, 4}},
         "yBase=0 yDisp=0 cursor=1,2\n"
         " abcdef.\n"
         "~W_.....\n"
         " $......\n"
         " .......\n"},
        {"the run holding the cursor is cut, not split, when narrowing",
         {10, 3},
         "abc\n0123456789ab",
         {{5, 3}},
         "yBase=0 yDisp=0 cursor=2,2\n"
         " abc..\n"
         " 01234\n"
         "~ab...\n"},
        {"the run holding the cursor keeps its rows when widening",
         {5, 3},
         "abcdefg\n0123456789ab",
         {{10, 3}},
         "yBase=1 yDisp=1 cursor=2,2\n"
         " abcdefg...\n"
         " 01234.....\n"
         "~56789.....\n"
         "~ab........\n"},
        {"narrowing a full ring discards the oldest rows and leaves the screen in place",
         {10, 2},
         "abcdefgh\nij\nkl\n$",
         {{5, 2}},
         "yBase=2 yDisp=2 cursor=1,1\n"
         "~fgh..\n"
         " ij...\n"
         " kl...\n"
         " $....\n",
         2},
        {"with scroll-back 0 the split text pushes the oldest rows out and the screen stays",
         {10, 3},
         "abcdefghijklmnopqrst\n$",
         {{5, 3}},
         "yBase=0 yDisp=0 cursor=1,2\n"
         "~klmno\n"
         "~pqrst\n"
         " $....\n",
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Term t(c.from.cols, c.from.rows, c.scrollback);
        t.print(c.text);
        for (const Size& size : c.to)
            t.buffer.resize(size.cols, size.rows);
        EXPECT_EQ(t.dump(), c.expected);
    }
}

// The fault this pins: the widening path rebuilt the ring per run and the narrowing path placed rows
// with stale indices once earlier batches had moved them. Every run's text must survive any sequence of
// widths unchanged, and the cursor must stay on its text.
TEST(BufferReflow, RunsKeepTheirTextThroughManyWidths) {
    Term t(80, 24, 100'000);
    t.print(mixedText(600, 300, 7) + "$");
    const std::vector<std::string> original = t.logicalLines();
    ASSERT_GT(original.size(), 500u);
    for (int cols : {37, 120, 53, 200, 41, 80, 79, 81, 3, 80}) {
        SCOPED_TRACE(cols);
        t.buffer.resize(cols, 24);
        EXPECT_EQ(t.logicalLines(), original);
        const auto& cursorRow = *t.buffer.lines()[t.buffer.yBase() + t.buffer.y()];
        EXPECT_EQ(cursorRow[0].code, '$');
        EXPECT_EQ(t.buffer.x(), 1);
        EXPECT_EQ(t.buffer.yBase() + t.buffer.rows(), t.buffer.lines().count());
        EXPECT_EQ(t.buffer.yDisp(), t.buffer.yBase());
    }
}

TEST(BufferReflow, FullRingKeepsTheNewestText) {
    Term t(80, 24, 500);
    t.print(mixedText(600, 300, 11) + "$");
    ASSERT_TRUE(t.buffer.lines().isFull());
    const std::vector<std::string> original = t.logicalLines();
    const int yBase = t.buffer.yBase();
    t.buffer.resize(30, 24);

    EXPECT_TRUE(t.buffer.lines().isFull());
    EXPECT_EQ(t.buffer.yBase(), yBase) << "the screen rows stay where they were";
    EXPECT_EQ((*t.buffer.lines()[t.buffer.yBase() + t.buffer.y()])[0].code, '$');
    // The oldest run may have lost its head; every later one is whole and in order.
    const std::vector<std::string> now = t.logicalLines();
    ASSERT_GT(now.size(), 10u);
    const std::vector<std::string> tail(original.end() - std::ptrdiff_t(now.size() - 1), original.end());
    EXPECT_EQ(std::vector<std::string>(now.begin() + 1, now.end()), tail);
    EXPECT_TRUE(original[original.size() - now.size()].ends_with(now[0]));
}

// Narrowings whose new rows do not all fit the ring: the oldest rows give way, a batch among them only
// in part. Every run after the oldest one kept stays whole and in order, through narrowing and
// widening back, and the cursor stays on its text.
TEST(BufferReflow, NewRowsOverflowingTheRing) {
    struct Case {
        const char* name;
        int cols;
        int rows;
        int scrollback;
        std::string text;
        std::vector<int> widths;
    };
    const std::string longRun(200, 'x');
    const Case cases[] = {
        {"one run longer than the ring", 10, 3, 4, "ab\n" + longRun + "\n$", {5, 3, 10, 4}},
        {"wide characters at the edge", 9, 3, 6, "abcdefghW_\nWWWWWWWWWWWWWWWWWWW\nxW_W_\n$", {4, 5, 2, 9}},
        {"empty rows between runs", 8, 4, 5, "\n\nabcdefghijklmnop\n\n\nqrstuvwxyz0123\n\n$", {3, 8, 2, 5}},
        {"many short runs", 12, 4, 8, mixedText(40, 30, 3) + "$", {5, 12, 4, 7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Term t(c.cols, c.rows, c.scrollback);
        t.print(c.text);
        std::vector<std::string> kept = t.logicalLines();
        for (int cols : c.widths) {
            SCOPED_TRACE(cols);
            t.buffer.resize(cols, c.rows);
            const std::vector<std::string> now = t.logicalLines();
            ASSERT_LE(t.buffer.lines().count(), c.rows + c.scrollback);
            EXPECT_EQ(t.buffer.yBase() + c.rows, t.buffer.lines().count());
            EXPECT_EQ((*t.buffer.lines()[t.buffer.yBase() + t.buffer.y()])[0].code, '$');
            EXPECT_EQ(t.buffer.x(), 1);
            ASSERT_LE(now.size(), kept.size());
            if (!now.empty()) {
                const std::vector<std::string> tail(kept.end() - std::ptrdiff_t(now.size() - 1), kept.end());
                EXPECT_EQ(std::vector<std::string>(now.begin() + 1, now.end()), tail);
                EXPECT_TRUE(kept[kept.size() - now.size()].ends_with(now[0]));
            }
            kept = now;
        }
    }
}

TEST(BufferReflow, CursorMarginsAndSavedColumnAreClamped) {
    struct Case {
        const char* name;
        int marginLeft, marginRight, x, savedX;
        int newCols;
        int expectLeft, expectRight, expectX, expectSavedX;
    };
    const Case cases[] = {
        {"narrowing brings everything inside", 50, 79, 79, 79, 40, 39, 39, 39, 39},
        {"the pending-wrap column is pulled back", 0, 79, 80, 0, 40, 0, 39, 39, 0},
        {"margins inside the new width stay", 10, 20, 5, 5, 40, 10, 20, 5, 5},
        {"a left margin past the right margin becomes it", 35, 30, 0, 0, 40, 30, 30, 0, 0},
        {"widening never widens the margins", 5, 39, 39, 39, 80, 5, 39, 39, 39},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::optional<int> scrollback : {std::optional<int>(100), std::optional<int>()}) {
            Term t(80, 4, scrollback);
            t.buffer.setMarginLeft(c.marginLeft);
            t.buffer.setMarginRight(c.marginRight);
            t.buffer.setX(c.x);
            t.buffer.savedX = c.savedX;
            t.buffer.resize(c.newCols, 4);
            EXPECT_EQ(t.buffer.marginLeft(), c.expectLeft);
            EXPECT_EQ(t.buffer.marginRight(), c.expectRight);
            EXPECT_EQ(t.buffer.x(), c.expectX);
            EXPECT_EQ(t.buffer.savedX, c.expectSavedX);
        }
    }
}

TEST(BufferReflow, TabListHasExactlyTheNewColumnCount) {
    Term t(80, 4, 100);
    t.buffer.tabSet(3);
    t.buffer.resize(20, 4);
    ASSERT_EQ(t.buffer.tabStops.size(), 20u);
    EXPECT_TRUE(t.buffer.tabStops[3]);
    EXPECT_TRUE(t.buffer.tabStops[16]);

    t.buffer.resize(30, 4);
    ASSERT_EQ(t.buffer.tabStops.size(), 30u);
    for (int i = 20; i < 30; ++i)
        EXPECT_FALSE(t.buffer.tabStops[size_t(i)]) << "new columns wait for setupTabStops: " << i;
    t.buffer.setupTabStops(20, 8);
    EXPECT_TRUE(t.buffer.tabStops[24]);

    // An empty ring skips the row work but the tab list still follows the width.
    Buffer empty(80, 4, 8, std::nullopt);
    empty.resize(50, 4);
    EXPECT_EQ(empty.tabStops.size(), 50u);
}

TEST(BufferReflow, WithoutScrollbackNothingIsReflowedOrCut) {
    Term t(10, 3, std::nullopt);
    t.print("0123456789ab\n$");
    t.buffer.resize(5, 3);
    EXPECT_EQ(t.dump(), "yBase=0 yDisp=0 cursor=1,2\n"
                        " 0123456789\n"
                        "~ab........\n"
                        " $.........\n");
    EXPECT_FALSE(t.buffer.isReflowEnabled());
}

// Text below the cursor is reflowed like any other: its new rows go below it and the screen still ends
// with the ring. The new rows first take the place of blank rows at the bottom; once the ring is full the
// oldest rows give way, the cursor's own row among them.
TEST(BufferReflow, NarrowingTextBelowTheCursor) {
    struct Case {
        const char* name;
        std::optional<int> scrollback;
        Size from;
        std::string text;
        Size to;
        std::string expected;
    };
    const Case cases[] = {
        {"new rows push the screen up",
         10,
         {6, 3},
         "ab\ncdef\nghij",
         {2, 3},
         "yBase=2 yDisp=2 cursor=0,0\n ab\n cd\n~ef\n gh\n~ij\n"},
        {"new rows take the blank rows at the bottom",
         10,
         {6, 4},
         "ab\ncdef",
         {2, 4},
         "yBase=0 yDisp=0 cursor=0,0\n ab\n cd\n~ef\n ..\n"},
        {"a full ring drops its oldest rows",
         0,
         {6, 3},
         "ab\ncdef\nghij",
         {2, 4},
         "yBase=0 yDisp=0 cursor=0,0\n cd\n~ef\n gh\n~ij\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Term t(c.from.cols, c.from.rows, c.scrollback);
        t.print(c.text);
        t.buffer.setX(0);
        t.buffer.setY(0);
        t.buffer.resize(c.to.cols, c.to.rows);
        EXPECT_EQ(t.dump(), c.expected);
        EXPECT_EQ(t.buffer.yBase() + c.to.rows, t.buffer.lines().count());
    }
}

// A cleared alternate buffer holds no rows; made smaller, it must not keep room for a scroll-back.
TEST(BufferReflow, EmptyRingTakesTheSmallerCapacity) {
    Buffer b(80, 25, 8, std::nullopt);
    b.resize(80, 10);
    EXPECT_EQ(b.lines().maxLength(), 10);
    Term t(4, 4, 10);
    t.buffer.clear();
    t.buffer.resize(4, 2);
    EXPECT_EQ(t.buffer.lines().maxLength(), 12);
}

// Rows of a large scroll-back are made only when first read; a resize must not make them all.
TEST(BufferReflow, UnusedSlotsAreNotMade) {
    for (int scrollback : {1000, INT_MAX - 10}) {
        SCOPED_TRACE(scrollback);
        Term t(10, 2, scrollback);
        t.print("abcdefghijklmno\nxyz\nuvw\n$");
        const size_t slots = t.buffer.lines().getArray().size();
        for (Size size : {Size{20, 2}, Size{5, 3}, Size{16, 4}}) {
            SCOPED_TRACE(size.cols);
            t.buffer.resize(size.cols, size.rows);
            const auto& lines = t.buffer.lines();
            EXPECT_EQ(lines.getArray().size(), slots);
            for (const BufferLinePtr& line : lines.getArray()) {
                if (line) {
                    EXPECT_EQ(line->count(), size.cols);
                }
            }
            // Rows that left the ring are gone from it: a slot past the count that still held a row in
            // use would show it twice once the count grew again without new rows being stored.
            std::set<const BufferLine*> inUse;
            for (int i = 0; i < lines.count(); ++i)
                inUse.insert(lines.peek(i).get());
            for (int i = lines.count(); i < int(lines.getArray().size()); ++i)
                EXPECT_FALSE(lines.peek(i) && inUse.count(lines.peek(i).get())) << "slot " << i;
        }
        // A slot made after the resize has the new width.
        EXPECT_EQ(t.buffer.lines()[t.buffer.lines().count()]->count(), 16);
    }
}

// Rows a widening removes wait past the count and a narrowing makes its new rows from them, but only
// from rows nobody else holds.
TEST(BufferReflow, RemovedRowHeldElsewhereIsNotReused) {
    Term t(5, 2, 10);
    t.print("abcdefgh\nij\n$");
    const BufferLinePtr removed = t.buffer.lines().peek(1);
    t.buffer.resize(10, 2);
    ASSERT_EQ(removed.use_count(), 2) << "out of use, still in its slot past the count";
    const std::string before = removed->debugDescription();
    t.buffer.resize(5, 2);
    EXPECT_EQ(removed->debugDescription(), before);
    for (int i = 0; i < t.buffer.lines().count(); ++i)
        EXPECT_NE(t.buffer.lines().peek(i), removed);
    EXPECT_EQ(t.dump(), "yBase=2 yDisp=2 cursor=1,1\n"
                        " abcde\n"
                        "~fgh..\n"
                        " ij...\n"
                        " $....\n");
}

TEST(BufferReflow, ImageCountIsRecountedAfterReflow) {
    Term t(5, 4, 10);
    t.print("abcdefgh\n$");
    t.buffer.attachImage(std::make_shared<FakeImage>(), 1);
    ASSERT_TRUE(t.buffer.hasAnyImages());
    t.buffer.resize(10, 4);
    EXPECT_FALSE(t.buffer.hasAnyImages()) << "the emptied row left the ring with its strip";

    t.buffer.attachImage(std::make_shared<FakeImage>(), 0);
    t.buffer.resize(4, 4);
    EXPECT_EQ(t.buffer.linesWithImagesCount(), 1) << "the strip stays with its row; new rows have none";
    EXPECT_TRUE(t.buffer.lines()[0]->images.has_value());
    EXPECT_FALSE(t.buffer.lines()[1]->images.has_value());
}

TEST(BufferReflow, RowNarrowerThanTheWidthStopsTheProcess) {
    Term t(10, 3, 10);
    t.buffer.lines().set(1, BufferLine::make(3));
    EXPECT_DEATH(t.buffer.resize(10, 3), "stop here newCols=10 but the element has: 3");
}

TEST(BufferReflow, WrappedLength) {
    auto row = [](const std::string& text, bool colouredBlank = false) {
        auto line = BufferLine::make(int(text.size()));
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == 'W')
                line->set(int(i), CharData(Attribute::defaultAttribute(), wideCode, 2));
            else if (text[i] == '_')
                line->set(int(i), CharData(Attribute::defaultAttribute(), 0, 0));
            else if (text[i] != '.')
                line->set(int(i), CharData(Attribute::defaultAttribute(), text[i], 1));
        }
        if (colouredBlank) line->set(int(text.size()) - 1, CharData(Attribute::empty, 0, 1));
        return line;
    };
    struct Case {
        const char* name;
        BufferLinePtr line;
        BufferLinePtr next;
        int expected;
    };
    const Case cases[] = {
        {"the last row counts its trimmed length", row("ab.W_."), nullptr, 5},
        {"a full row", row("abcdef"), row("gh...."), 6},
        {"a row whose wide character moved on", row("abcde."), row("W_...."), 5},
        {"a blank last cell without a wide character after it", row("abcde."), row("gW_..."), 6},
        {"a coloured blank is not a null cell", row("abcde.", true), row("W_...."), 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(*c.line, c.next.get(), 6), c.expected);
    }

    CircularBufferLineList ring(5);
    ring.push(row("abcde."));
    ring.push(row("W_x..."));
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(ring, 0, 6), 5);
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(ring, 1, 6), 3) << "the ring's last row";
    // Rows the ring has not made are blank, and are read without being made.
    ring.setCount(4);
    ring.set(3, row("W_...."));
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(ring, 1, 6), 6);
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(ring, 2, 6), 5);
    ring.setCount(5);
    EXPECT_EQ(Buffer::getWrappedLineTrimmedLength(ring, 4, 6), 0);
    EXPECT_FALSE(ring.peek(2));
    EXPECT_FALSE(ring.peek(4));
}

TEST(BufferReflow, NewLineLengths) {
    auto run = [](std::vector<std::string> texts) {
        std::vector<BufferLinePtr> rows;
        for (const auto& text : texts) {
            auto line = BufferLine::make(int(text.size()));
            for (size_t i = 0; i < text.size(); ++i)
                if (text[i] == 'W')
                    line->set(int(i), CharData(Attribute::defaultAttribute(), wideCode, 2));
                else if (text[i] == '_')
                    line->set(int(i), CharData(Attribute::defaultAttribute(), 0, 0));
                else if (text[i] != '.')
                    line->set(int(i), CharData(Attribute::defaultAttribute(), text[i], 1));
            rows.push_back(line);
        }
        return rows;
    };
    struct Case {
        const char* name;
        std::vector<BufferLinePtr> rows;
        int newCols;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"one long row", run({"abcdefgh.."}), 3, {3, 3, 2}},
        {"a wrapped run", run({"abcdefghij", "klm......."}), 4, {4, 4, 4, 1}},
        {"a wide character on the edge ends the row early", run({"abW_cdef.."}), 3, {2, 3, 3}},
        {"an empty run has no rows", run({".........."}), 4, {}},
        {"a wide character on a one-column screen is cut, not moved", run({"W_W_"}), 1, {1, 1, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Buffer::getNewLineLengths(c.rows, 10, c.newCols), c.expected);
    }
}

namespace {

// A terminal-like screen for the differential test: rows leaving the screen keep only the cells they use
// in the arena (as the terminal's scroll does), text comes in several attributes, and the program moves
// the cursor, overwrites rows and clears them between resizes.
struct ArenaTerm {
    Buffer buffer;

    ArenaTerm(int cols, int rows, int scrollback, bool shared)
        : buffer(cols, rows, 8, scrollback) {
        buffer.reflowSharesCells = shared;
        buffer.fillViewportRows();
        buffer.wraparound = true;
        buffer.scroll = [this](bool isWrapped) { scrollUp(isWrapped); };
    }

    void scrollUp(bool isWrapped) {
        auto& lines = buffer.lines();
        BufferLine* leaving = lines.peek(buffer.yBase()).get();
        if (leaving && leaving->count() != buffer.cols()) leaving = nullptr;
        if (lines.isFull()) {
            lines.recycle(CharData::Null, leaving, &buffer.cellArena());
            if (!lines.peek(lines.count() - 1)) lines[lines.count() - 1];
        } else {
            auto line = std::make_shared<BufferLine>(0);
            if (!leaving || !leaving->retire(*line, CharData::Null, buffer.cellArena()))
                line = buffer.getBlankLine(Attribute::defaultAttribute());
            lines.push(std::move(line));
            buffer.setYBase(buffer.yBase() + 1);
        }
        lines[buffer.yBase() + buffer.rows() - 1]->isWrapped = isWrapped;
        buffer.setYDisp(buffer.yBase());
    }
};

// Every row's flag and cells, the cursor and the origins; "" when both screens agree.
std::string difference(const Buffer& a, const Buffer& b) {
    auto state = [](const Buffer& x) {
        return std::vector<int>{x.lines().count(), x.yBase(), x.yDisp(), x.x(), x.y(), x.savedY,
                                x.cols(),          x.rows()};
    };
    if (state(a) != state(b)) return "cursor, origins or size differ";
    for (int r = 0; r < a.lines().count(); ++r) {
        const BufferLine* ra = a.lines().peek(r).get();
        const BufferLine* rb = b.lines().peek(r).get();
        if (!ra || !rb) {
            if (bool(ra) != bool(rb)) return "row " + std::to_string(r) + " made in one only";
            continue;
        }
        if (ra->isWrapped != rb->isWrapped || ra->count() != rb->count())
            return "row " + std::to_string(r) + " wrap flag or width";
        if (ra->getTrimmedLength() != rb->getTrimmedLength())
            return "row " + std::to_string(r) + " trimmed length";
        for (int c = 0; c < ra->count(); ++c)
            if (!((*ra)[c] == (*rb)[c]))
                return "row " + std::to_string(r) + " column " + std::to_string(c) + ": " + ra->debugDescription() +
                       " | " + rb->debugDescription();
    }
    return "";
}

} // namespace

// The reflow that lets rows of the scroll-back share their run's text against the one that copies cells
// into every row: random text (narrow and wide characters, blanks, attributes, wrapped runs), random
// cursor moves and overwrites, random sizes. Both must leave the same rows, cells, cursor and origins.
TEST(BufferReflow, SharedTextMatchesTheCopyingReflow) {
    const Attribute red(Attribute::Color::ansi256(1), Attribute::Color::defaultColor(), CharacterStyle::bold);
    const Attribute blueBack(Attribute::Color::defaultColor(), Attribute::Color::ansi256(4),
                             CharacterStyle::none);
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        uint32_t state = seed * 2654435761u;
        auto random = [&](uint32_t bound) {
            state = state * 1664525u + 1013904223u;
            return (state >> 8) % bound;
        };
        const int cols0 = 2 + int(random(20));
        const int rows0 = 1 + int(random(6));
        const int scrollback = int(random(40));
        ArenaTerm shared(cols0, rows0, scrollback, true);
        ArenaTerm copying(cols0, rows0, scrollback, false);
        auto both = [&](auto&& step) {
            step(shared.buffer, shared);
            step(copying.buffer, copying);
        };
        for (int step = 0; step < 40; ++step) {
            const uint32_t action = random(10);
            if (action < 5) {
                // A run of text in one attribute.
                const int length = int(random(3 * uint32_t(shared.buffer.cols()) + 2));
                const uint32_t pick = random(3);
                const Attribute attribute = pick == 0 ? Attribute::defaultAttribute() : pick == 1 ? red : blueBack;
                std::vector<CharData> cells;
                for (int i = 0; i < length; ++i) {
                    const uint32_t kind = random(12);
                    if (kind == 0)
                        cells.emplace_back(attribute, 0x4E00 + int32_t(random(100)), 2);
                    else if (kind == 1)
                        cells.emplace_back(attribute, ' ', 1);
                    else
                        cells.emplace_back(attribute, int32_t('a' + random(26)), 1);
                }
                both([&](Buffer& b, auto&) {
                    for (const CharData& cell : cells)
                        b.insertCharacter(cell);
                });
            } else if (action < 8) {
                both([&](Buffer& b, auto& term) {
                    b.setX(0);
                    if (b.y() == b.rows() - 1)
                        term.scrollUp(false);
                    else
                        b.setY(b.y() + 1);
                });
            } else if (action == 8) {
                // The program moves the cursor (and may clear the row it lands on).
                const int x = int(random(uint32_t(shared.buffer.cols())));
                const int y = int(random(uint32_t(shared.buffer.rows())));
                const bool clear = random(2) == 0;
                both([&](Buffer& b, auto&) {
                    b.setX(x);
                    b.setY(y);
                    if (clear) b.lines()[b.yBase() + y]->fill(CharData::Null);
                });
            } else {
                const int cols = 1 + int(random(30));
                const int rows = 1 + int(random(8));
                both([&](Buffer& b, auto&) { b.resize(cols, rows); });
                ASSERT_EQ(difference(shared.buffer, copying.buffer), "")
                    << "after resizing to " << cols << "x" << rows << " at step " << step;
            }
        }
        // Every row written after the reflow gets cells of its own: the shared text is never changed.
        both([&](Buffer& b, auto&) {
            for (int r = 0; r < b.lines().count(); ++r)
                if (b.lines().peek(r)) b.lines()[r]->set(0, CharData(red, 'Z', 1));
            b.resize(b.cols() + 3, b.rows());
        });
        ASSERT_EQ(difference(shared.buffer, copying.buffer), "");
    }
}
