// The selection model: double click (word, run, bracketed expression), extension, rows, selected text.
#include "SelectionService.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using Mode = SelectionService::SelectionMode;

void expectRange(const SelectionService& s, Position start, Position end, bool hasRange) {
    EXPECT_EQ(s.start().debugDescription(), start.debugDescription());
    EXPECT_EQ(s.end().debugDescription(), end.debugDescription());
    EXPECT_EQ(s.hasSelectionRange(), hasRange);
}

} // namespace

TEST(SelectionService, DoubleClick) {
    struct Case {
        const char* name;
        std::string feed;
        Position at;
        Position start, end;
        bool hasRange;
        int yDisp = -1; // scrolls the view there first
    };
    // A 20 x 5 screen; positions are (column, row).
    const Case cases[] = {
        {"a word takes dots and dashes", "foo.bar-baz qux", {4, 0}, {0, 0}, {11, 0}, true},
        {"digits are a word", "x 123 y", {3, 0}, {2, 0}, {5, 0}, true},
        {"a dot does not start a word", "a.b", {1, 0}, {1, 0}, {1, 0}, false},
        {"a comma selects nothing", "a,b", {1, 0}, {1, 0}, {1, 0}, false},
        {"a run of spaces", "a   b", {2, 0}, {1, 0}, {4, 0}, true},
        {"the empty tail of a row", "ab", {5, 0}, {2, 0}, {20, 0}, true},
        {"a column past the row is its empty tail", "ab", {25, 0}, {2, 0}, {20, 0}, true},
        {"a word at the end of a full row", "aaaaaaaaaaaaaaaaaaaa", {19, 0}, {0, 0}, {20, 0}, true},
        {"an opening bracket to its closer", "f(a, g(b)) x", {1, 0}, {1, 0}, {10, 0}, true},
        {"a closing bracket back to its opener", "f(a, g(b)) x", {9, 0}, {1, 0}, {10, 0}, true},
        {"an inner pair", "f(a, g(b)) x", {6, 0}, {6, 0}, {9, 0}, true},
        {"kinds nest independently", "([)]x)", {0, 0}, {0, 0}, {6, 0}, true},
        // Backwards every closer pushes: the stray ")" inside keeps the "(" at column 0 from matching.
        {"a closer searched back over a stray closer", "([)]x)", {5, 0}, {5, 0}, {5, 0}, false},
        {"an expression over two rows", "(a\r\nb)", {0, 0}, {0, 0}, {2, 1}, true},
        {"an opener never closed", "(ab", {0, 0}, {0, 0}, {0, 0}, false},
        {"a closer never opened", "ab)", {2, 0}, {2, 0}, {2, 0}, false},
        // The screen shows rows 0-4 of 8: the closer on row 7 is below it.
        {"a closer below the screen is not searched",
         "(x\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n)",
         {0, 0},
         {0, 0},
         {0, 0},
         false,
         0},
        {"an opener in the scroll-back is found",
         "(x\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n)",
         {0, 7},
         {0, 0},
         {1, 7},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 5);
        h.feed(c.feed);
        Terminal& t = h.terminal();
        if (c.yDisp >= 0) t.buffer().setYDisp(c.yDisp);
        SelectionService s(t);
        s.selectWordOrExpression(c.at, t.displayBuffer());
        expectRange(s, c.start, c.end, c.hasRange);
        EXPECT_TRUE(s.active());
        EXPECT_EQ(s.selectionMode, Mode::word);
        EXPECT_EQ(h.log(), std::vector<std::string>{"selectionChanged"});
    }
}

TEST(SelectionService, ShiftExtendAnchorRule) {
    struct Case {
        const char* name;
        Position start, end, click;
        Position newStart, newEnd;
    };
    const Case cases[] = {
        {"before the start of a forward selection turns it", {10, 5}, {20, 5}, {2, 5}, {20, 5}, {2, 5}},
        {"inside a forward selection moves the end", {10, 5}, {20, 5}, {15, 5}, {10, 5}, {15, 5}},
        {"past the end of a forward selection moves the end", {10, 5}, {20, 5}, {30, 5}, {10, 5}, {30, 5}},
        {"after the start of a backward selection turns it", {20, 5}, {10, 5}, {25, 5}, {10, 5}, {25, 5}},
        {"inside a backward selection moves the end", {20, 5}, {10, 5}, {15, 5}, {20, 5}, {15, 5}},
        {"an earlier row decides before the column", {10, 5}, {20, 5}, {35, 4}, {20, 5}, {35, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(40, 10);
        SelectionService s(h.terminal());
        s.setSelection(c.start, c.end);
        s.shiftExtend(c.click);
        expectRange(s, c.newStart, c.newEnd, true);
    }
}

TEST(SelectionService, WordModeExtension) {
    TerminalHarness h(30, 5);
    h.feed("hello world again");
    Terminal& t = h.terminal();
    SelectionService s(t);
    s.selectWordOrExpression({7, 0}, t.displayBuffer());
    expectRange(s, {6, 0}, {11, 0}, true);
    // Forwards to the end of the word under the pointer, backwards to its start.
    s.dragExtend({14, 0});
    expectRange(s, {6, 0}, {17, 0}, true);
    s.dragExtend({2, 0});
    expectRange(s, {6, 0}, {0, 0}, true);
    // The selection runs backwards; a shift-click after its start keeps the far end.
    s.shiftExtend({13, 0});
    expectRange(s, {0, 0}, {17, 0}, true);
    // Character mode takes the position as it is.
    s.startSelection();
    EXPECT_EQ(s.selectionMode, Mode::character);
    expectRange(s, {0, 0}, {0, 0}, false);
    s.dragExtend({14, 0});
    expectRange(s, {0, 0}, {14, 0}, true);
    EXPECT_EQ(s.getSelectedText(), "hello world ag");
}

TEST(SelectionService, SelectedText) {
    struct Case {
        const char* name;
        std::string feed;
        std::function<void(SelectionService&)> select;
        std::string expected;
    };
    // A 10 x 3 screen.
    const Case cases[] = {
        {"a range in either order", "0123456789",
         [](SelectionService& s) {
             s.setSelection({7, 0}, {2, 0});
         },
         "23456"},
        {"a double-clicked word", "ab cd",
         [](SelectionService& s) {
             s.selectWordOrExpression({4, 0}, s.terminal.displayBuffer());
         },
         "cd"},
        {"a row is copied whole, last column included", "0123456789",
         [](SelectionService& s) { s.select(0); }, "0123456789"},
        {"a row with trailing blanks", "ab\r\ncd", [](SelectionService& s) { s.select(1); }, "cd"},
        {"select all covers the last column of the last line", "0123456789ab\r\nxyz",
         [](SelectionService& s) { s.selectAll(); }, "0123456789ab\nxyz"},
        {"a drag after a row selection reads as a range", "0123456789",
         [](SelectionService& s) {
             s.select(0);
             s.dragExtend({9, 0});
         },
         "012345678"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        h.feed(c.feed);
        SelectionService s(h.terminal());
        c.select(s);
        EXPECT_EQ(s.getSelectedText(), c.expected);
    }
}

TEST(SelectionService, RowsAndAll) {
    TerminalHarness h(10, 3, 100);
    h.feed("a\r\nb\r\nc\r\nd\r\ne");
    Terminal& t = h.terminal();
    SelectionService s(t);
    s.select(2);
    expectRange(s, {0, 2}, {9, 2}, true);
    EXPECT_TRUE(s.selectingRows);
    EXPECT_EQ(s.selectionMode, Mode::row);
    s.startSelection();
    EXPECT_FALSE(s.selectingRows);
    EXPECT_EQ(s.selectionMode, Mode::character);

    // Five lines exist; the ring could hold 103.
    s.selectAll();
    expectRange(s, {0, 0}, {9, 4}, true);
    EXPECT_EQ(s.selectionMode, Mode::character);
    EXPECT_EQ(s.getSelectedText(), "a\nb\nc\nd\ne");
    EXPECT_TRUE(s.isMultiLine());
}

TEST(SelectionService, SetSelectionClamps) {
    TerminalHarness h(10, 3);
    h.feed("abc");
    SelectionService s(h.terminal());
    s.setSelection({50, 1}, {4, 99});
    expectRange(s, {9, 1}, {4, 2}, true);
    s.setSelection({-3, -1}, {-3, -1});
    expectRange(s, {-3, -1}, {-3, -1}, false);
    EXPECT_TRUE(s.active());
    EXPECT_EQ(s.getSelectedText(), "");
}

TEST(SelectionService, ActiveAndNotices) {
    TerminalHarness h(10, 3);
    SelectionService s(h.terminal());
    EXPECT_FALSE(s.active());
    EXPECT_EQ(s.debugDescription(), "[Selection (active=false, start=col=0 row=0 end=col=0 row=0 hasSR=false "
                                    "pivot=col=0 row=0]");
    s.setActive(true);
    s.setActive(true);
    EXPECT_EQ(h.log(), std::vector<std::string>{"selectionChanged"});
    s.setActive(false);
    EXPECT_FALSE(s.pivot.has_value());
    s.pivot = Position(1, 1);
    s.setActive(false);
    EXPECT_FALSE(s.pivot.has_value());
    EXPECT_EQ(h.log(), std::vector<std::string>{"selectionChanged"});

    // Every other change notifies each time.
    s.setSoftStart({2, 1});
    s.setSoftStart({2, 1});
    EXPECT_EQ(h.log(), (std::vector<std::string>{"selectionChanged", "selectionChanged"}));
    s.selectWordOrExpression({0, 0}, h.terminal().displayBuffer());
    EXPECT_EQ(s.debugDescription(), "[Selection (active=true, start=col=0 row=0 end=col=10 row=0 hasSR=true "
                                    "pivot=nil]");
    h.log();
    s.selectNone();
    EXPECT_FALSE(s.active());
    EXPECT_EQ(s.selectionMode, Mode::character);
    s.selectNone();
    EXPECT_EQ(h.log(), std::vector<std::string>{"selectionChanged"});
}

TEST(SelectionService, ViewRowForms) {
    TerminalHarness h(10, 2);
    h.feed("one\r\ntwo\r\nthree");
    Terminal& t = h.terminal();
    ASSERT_EQ(t.displayBuffer().yDisp(), 1);
    SelectionService s(t);
    s.startSelection(0, 1);
    expectRange(s, {1, 1}, {1, 1}, false);
    s.dragExtend(1, 3);
    expectRange(s, {1, 1}, {3, 2}, true);
    EXPECT_EQ(s.getSelectedText(), "wo\nthr");
    s.pivot = Position(0, 0);
    s.pivotExtend(0, 2);
    expectRange(s, {0, 0}, {2, 1}, true);
}
