// Cursor motion and in-place editing: motions with margins, origin mode and the pending-wrap column;
// character, line and display editing with the erase cell; repetition; tab clearing; cursor save and
// restore; the conformance level.
#include "ScreenSetup.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

const std::string twenty(20, 'x');

// Bold red on palette colour 4, with an underline colour: erasing must keep only the background.
const Attribute coloured(Attribute::Color::ansi256(1), Attribute::Color::ansi256(4),
                         CharacterStyle::bold | CharacterStyle::underline, UnderlineStyle::single,
                         Attribute::Color::ansi256(2));
const CharData eraseCell(Attribute(Attribute::Color::defaultColor(), Attribute::Color::ansi256(4),
                                   CharacterStyle::none),
                         0, 1);

} // namespace

TEST(TerminalCursor, Motions) {
    struct Case {
        const char* name;
        std::string input;
        std::pair<int, int> cursor;
    };
    // 20 x 10; CSI 3 ; 8 r sets the region to rows 2 to 7 and homes the cursor.
    const std::vector<Case> cases = {
        {"CUU", "\x1b[5;5H\x1b[A", {4, 3}},
        {"CUU 0 is 1", "\x1b[5;5H\x1b[0A", {4, 3}},
        {"CUU stops at the top margin", "\x1b[3;8r\x1b[6;1H\x1b[10A", {0, 2}},
        {"CUU above the region stops at row 0", "\x1b[3;8r\x1b[2;1H\x1b[10A", {0, 0}},
        {"CUU keeps the pending-wrap column", "\x1b[3;1H" + twenty + "\x1b[A", {20, 1}},
        {"CUU huge", "\x1b[5;5H\x1b[99999999999A", {4, 0}},
        {"CUD stops at the bottom margin", "\x1b[3;8r\x1b[4;1H\x1b[99B", {0, 7}},
        {"CUD below the region stops at the last row", "\x1b[3;8r\x1b[9;1H\x1b[99B", {0, 9}},
        {"CUD pulls back the pending-wrap column", twenty + "\x1b[B", {19, 1}},
        {"CUF moves one for 0 and none", "\x1b[C\x1b[0C", {2, 0}},
        {"CUF from the pending-wrap column", twenty + "\x1b[C", {19, 0}},
        {"CUF huge", "\x1b[99999999999C", {19, 0}},
        {"CUB 1 from the pending-wrap column", twenty + "\x1b[D", {19, 0}},
        {"CUB huge", "\x1b[1;9H\x1b[2147483647D", {0, 0}},
        {"CHA", "\x1b[3;9H\x1b[5G", {4, 2}},
        {"CHA past the edge", "\x1b[100G", {19, 0}},
        {"CUP", "\x1b[3;4H", {3, 2}},
        {"CUP empty", "\x1b[3;4H\x1b[;H", {0, 0}},
        {"CUP clamps", "\x1b[2147483647;99999999999999H", {19, 9}},
        {"CUP ignores the region without origin mode", "\x1b[3;8r\x1b[10;1H", {0, 9}},
        {"HVP", "\x1b[3;4f", {3, 2}},
        {"HPA", "\x1b[2;2H\x1b[7`", {6, 1}},
        {"HPA past the edge", "\x1b[99`", {19, 0}},
        {"HPR", "\x1b[3G\x1b[4a", {6, 0}},
        {"HPR from the pending-wrap column", twenty + "\x1b[a", {19, 0}},
        {"VPA", "\x1b[4;5H\x1b[7d", {4, 6}},
        {"VPA keeps the pending-wrap column", twenty + "\x1b[5d", {20, 4}},
        {"VPA past the edge", "\x1b[99d", {0, 9}},
        {"VPR", "\x1b[2;3H\x1b[2e", {2, 3}},
        {"VPR pulls back the pending-wrap column", twenty + "\x1b[99e", {19, 9}},
        {"collected bytes are ignored", "\x1b[?3;4H", {3, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 10);
        h.feed(c.input);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

TEST(TerminalCursor, OriginAndMarginModes) {
    struct Case {
        const char* name;
        bool margins; // margin mode with margins 10 to 20
        std::string input;
        std::pair<int, int> cursor;
    };
    // 30 x 25, region rows 4 to 9 (CSI 5 ; 10 r), origin mode on.
    const std::vector<Case> cases = {
        {"CUP is held inside the region", false, "\x1b[20;1H", {0, 9}},
        {"HVP is not", false, "\x1b[20;1f", {0, 23}},
        {"CUP from the region's origin", false, "\x1b[2;3H", {2, 5}},
        {"HVP from the region's origin", false, "\x1b[2;3f", {2, 5}},
        {"CUP adds the left margin", true, "\x1b[1;1H", {10, 4}},
        {"HVP adds the left margin", true, "\x1b[1;1f", {10, 4}},
        {"CUP is held to the screen, not the margin", true, "\x1b[1;99H", {29, 4}},
        {"CHA from the left margin", true, "\x1b[3G", {12, 4}},
        {"CHA past the edge goes to the last column", true, "\x1b[100G", {29, 4}},
        {"HPA ignores origin mode", true, "\x1b[3`", {2, 4}},
        {"VPA ignores origin mode", true, "\x1b[2d", {10, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(30, 25);
        Terminal& t = h.terminal();
        h.feed("\x1b[5;10r");
        if (c.margins) {
            setMarginMode(t, true);
            h.feed("\x1b[11;21s");
        }
        t.originMode = true;
        h.feed("\x1b[H" + c.input);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

TEST(TerminalCursor, CharacterEditing) {
    struct Case {
        const char* name;
        std::string input; // after "abcdefghij" on row 0
        std::string row;
        std::pair<int, int> cursor;
    };
    const std::vector<Case> cases = {
        {"ICH", "\x1b[4G\x1b[2@", "abc..defgh", {3, 0}},
        {"ICH near the edge", "\x1b[9G\x1b[3@", "abcdefgh", {8, 0}},
        {"ICH huge", "\x1b[3G\x1b[99999999999@", "ab", {2, 0}},
        {"ICH on the pending-wrap column", "\x1b[@", "abcdefghij", {10, 0}},
        {"DCH", "\x1b[4G\x1b[2P", "abcfghij", {3, 0}},
        {"DCH huge", "\x1b[4G\x1b[2147483647P", "abc", {3, 0}},
        {"DCH on the pending-wrap column", "\x1b[P", "abcdefghij", {10, 0}},
        {"ECH", "\x1b[3G\x1b[3X", "ab...fghij", {2, 0}},
        {"ECH huge", "\x1b[3G\x1b[2147483647X", "ab", {2, 0}},
        {"EL 0", "\x1b[5G\x1b[K", "abcd", {4, 0}},
        {"EL 1", "\x1b[5G\x1b[1K", ".....fghij", {4, 0}},
        {"EL 2", "\x1b[5G\x1b[2K", "", {4, 0}},
        {"EL 5", "\x1b[5G\x1b[5K", "abcdefghij", {4, 0}},
        {"EL 1 on the pending-wrap column", "\x1b[1K", "", {10, 0}},
        {"EL with collected bytes", "\x1b[5G\x1b[?K", "abcd", {4, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        h.feed("abcdefghij");
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.row);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

TEST(TerminalCursor, MarkedRows) {
    struct Case {
        const char* name;
        std::string input; // from (3, 2) of a 10 x 6 screen
        std::optional<Terminal::UpdateRange> range;
    };
    const std::vector<Case> cases = {
        {"CUU marks nothing", "\x1b[A", std::nullopt},
        {"HVP marks nothing", "\x1b[5;1f", std::nullopt},
        {"CUP marks the old and the new row", "\x1b[5;1H", Terminal::UpdateRange{2, 4}},
        {"ECH marks nothing", "\x1b[X", std::nullopt},
        {"EL 5 marks the cursor row", "\x1b[5K", Terminal::UpdateRange{2, 2}},
        {"ICH", "\x1b[@", Terminal::UpdateRange{2, 2}},
        {"DCH", "\x1b[P", Terminal::UpdateRange{2, 2}},
        {"ED 0 marks down to the last row", "\x1b[J", Terminal::UpdateRange{2, 5}},
        {"ED 1 marks up to row 0", "\x1b[1J", Terminal::UpdateRange{0, 2}},
        {"ED 3 marks nothing", "\x1b[3J", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 6);
        h.feed("\x1b[3;4H");
        h.terminal().clearUpdateRange();
        h.feed(c.input);
        EXPECT_EQ(h.terminal().getUpdateRange(), c.range);
    }
}

TEST(TerminalCursor, CharacterEditingInsideTheMargins) {
    struct Case {
        const char* name;
        std::string input; // margins 2 to 6, after "abcdefghij" on row 0
        std::string row;
    };
    const std::vector<Case> cases = {
        {"ICH pushes out at the right margin", "\x1b[4G\x1b[@", "abc.defhij"},
        {"DCH is cut at the right margin", "\x1b[4G\x1b[9P", "abc....hij"},
        {"DCH pulls from inside the margins", "\x1b[4G\x1b[P", "abcefg.hij"},
        {"ICH left of the margins", "\x1b[2G\x1b[@", "abcdefghij"},
        {"DCH right of the margins", "\x1b[9G\x1b[P", "abcdefghij"},
        {"ECH ignores the margins", "\x1b[6G\x1b[4X", "abcde....j"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        h.feed("abcdefghij");
        setMarginMode(h.terminal(), true);
        h.feed("\x1b[3;7s" + c.input);
        EXPECT_EQ(h.dump(), c.row);
    }
}

TEST(TerminalCursor, EraseInDisplay) {
    struct Case {
        const char* name;
        std::string input; // after four rows "aaaa" to "dddd", cursor moved by the input
        std::string screen;
    };
    const std::vector<Case> cases = {
        {"ED 0", "\x1b[2;3H\x1b[J", "aaaa\nbb"},
        {"ED 1", "\x1b[2;3H\x1b[1J", "\n...b\ncccc\ndddd"},
        {"ED 2", "\x1b[2;3H\x1b[2J", ""},
        {"ED 3 changes no visible cell", "\x1b[2;3H\x1b[3J", "aaaa\nbbbb\ncccc\ndddd"},
        {"ED 4", "\x1b[2;3H\x1b[4J", "aaaa\nbbbb\ncccc\ndddd"},
        {"ED with collected bytes", "\x1b[2;3H\x1b[?2J", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(6, 4);
        writeRows(h, {"aaaa", "bbbb", "cccc", "dddd"});
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.screen);
        EXPECT_EQ(h.cursor(), (std::pair{2, 1})) << "the cursor stays";
    }
}

TEST(TerminalCursor, EraseInDisplayWrapFlagsAndScrollback) {
    TerminalHarness h(4, 3, 10);
    Buffer& b = h.buffer();
    h.feed("aaaabbbbccccdddd"); // four wrapped rows on three: "aaaa" in the scroll-back
    ASSERT_EQ(h.dumpAll(true), "|aaaa\n~bbbb\n~cccc\n~dddd");

    h.feed("\x1b[2;4H\x1b[J");
    EXPECT_EQ(h.dumpAll(true), "|aaaa\n~bbbb\n~ccc") << "ED 0 from column 3 keeps the wrap flag";
    h.feed("\x1b[2;1H\x1b[J");
    EXPECT_EQ(h.dumpAll(true), "|aaaa\n~bbbb") << "ED 0 from column 0 clears it";

    h.feed("\x1b[1;1Hbbbbcccc\x1b[1;3H\x1b[1J");
    EXPECT_EQ(h.dumpAll(true), "|aaaa\n|...b\n~cccc") << "ED 1 left of the last column";
    h.feed("\x1b[1;4H\x1b[1J");
    EXPECT_EQ(h.dumpAll(true), "|aaaa\n|\n|cccc") << "ED 1 on the last column unwraps the row below";

    h.feed("\x1b[3J");
    EXPECT_EQ(h.dumpAll(true), "|\n|cccc") << "ED 3 drops the scroll-back";
    EXPECT_EQ(b.yBase(), 0);
    EXPECT_EQ(b.yDisp(), 0);
    EXPECT_EQ(b.linesTop, 0);
}

TEST(TerminalCursor, ErasingLeavesTheEraseCell) {
    struct Case {
        const char* name;
        std::string input; // after "abcdefghij" on rows 0 and 1 and the coloured attribute
        int row;
        int col;
    };
    const std::vector<Case> cases = {
        {"ED 0", "\x1b[1;3H\x1b[J", 1, 9},
        {"ED 1", "\x1b[2;3H\x1b[1J", 0, 0},
        {"ED 2", "\x1b[2J", 2, 5},
        {"EL 0", "\x1b[1;3H\x1b[K", 0, 9},
        {"EL 1", "\x1b[1;3H\x1b[1K", 0, 2},
        {"EL 2", "\x1b[1;3H\x1b[2K", 0, 9},
        {"ECH", "\x1b[1;3H\x1b[X", 0, 2},
        {"ICH", "\x1b[1;3H\x1b[@", 0, 2},
        {"DCH", "\x1b[1;3H\x1b[P", 0, 9},
        {"IL", "\x1b[1;3H\x1b[L", 0, 4},
        {"DL", "\x1b[1;3H\x1b[M", 2, 4},
        {"RI", "\x1b[1;3H\x1bM", 0, 4},
        {"IL inside margins", "\x1b[1;3H\x1b[L", 0, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        h.feed("abcdefghij\r\nabcdefghij\x1b[H");
        setCurrentAttribute(h, coloured);
        if (c.name == std::string("IL inside margins")) setMarginMode(h.terminal(), true);
        h.feed(c.input);
        const CharData cell = *h.terminal().getCharData(c.col, c.row);
        EXPECT_EQ(cell, eraseCell);
    }
}

TEST(TerminalCursor, LineEditingFullWidth) {
    struct Case {
        const char* name;
        std::string input; // rows "0" to "4", region rows 1 to 3 (CSI 2 ; 4 r)
        std::string screen;
    };
    const std::vector<Case> cases = {
        {"IL", "\x1b[3;1H\x1b[L", "0\n1\n\n2\n4"},
        {"IL 2 at the top margin", "\x1b[2;1H\x1b[2L", "0\n\n\n1\n4"},
        {"IL 100", "\x1b[2;1H\x1b[100L", "0\n\n\n\n4"},
        {"IL huge", "\x1b[2;1H\x1b[2147483647L", "0\n\n\n\n4"},
        {"IL outside the region", "\x1b[1;1H\x1b[L\x1b[5;1H\x1b[L", "0\n1\n2\n3\n4"},
        {"DL", "\x1b[3;1H\x1b[M", "0\n1\n3\n\n4"},
        {"DL 2 at the top margin", "\x1b[2;1H\x1b[2M", "0\n3\n\n\n4"},
        {"DL huge", "\x1b[2;1H\x1b[99999999999M", "0\n\n\n\n4"},
        {"DL outside the region", "\x1b[5;1H\x1b[M", "0\n1\n2\n3\n4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 5);
        writeRows(h, {"0", "1", "2", "3", "4"});
        h.feed("\x1b[2;4r");
        h.terminal().clearUpdateRange();
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.screen);
        EXPECT_EQ(h.dumpAll(), h.dump()) << "nothing enters the scroll-back";
    }
}

TEST(TerminalCursor, LineEditingKeepsWrapFlagsWithTheirLines) {
    TerminalHarness h(4, 4);
    h.feed("aaaabb\r\ncc\x1b[1;1H\x1b[L");
    EXPECT_EQ(h.dump(true), "|\n|aaaa\n~bb\n|cc") << "IL moves whole lines";
    h.feed("\x1b[2M");
    EXPECT_EQ(h.dump(true), "~bb\n|cc") << "DL moves whole lines; the new bottom lines are unwrapped";
}

TEST(TerminalCursor, LineEditingInsideTheMargins) {
    struct Case {
        const char* name;
        std::string input; // margins 3 to 6, region rows 1 to 4, six rows of letters
        std::string screen;
    };
    const std::vector<Case> cases = {
        {"IL", "\x1b[3;5H\x1b[L",
         "aaaaaaaaaaaa\nbbbbbbbbbbbb\nccc....ccccc\ndddccccddddd\neeeddddeeeee\nffffffffffff"},
        {"IL 9", "\x1b[3;5H\x1b[9L",
         "aaaaaaaaaaaa\nbbbbbbbbbbbb\nccc....ccccc\nddd....ddddd\neee....eeeee\nffffffffffff"},
        {"IL left of the margins", "\x1b[3;2H\x1b[L",
         "aaaaaaaaaaaa\nbbbbbbbbbbbb\ncccccccccccc\ndddddddddddd\neeeeeeeeeeee\nffffffffffff"},
        {"DL", "\x1b[3;5H\x1b[M",
         "aaaaaaaaaaaa\nbbbbbbbbbbbb\ncccddddccccc\ndddeeeeddddd\neee....eeeee\nffffffffffff"},
        {"DL 2 at the top margin", "\x1b[2;4H\x1b[2M",
         "aaaaaaaaaaaa\nbbbddddbbbbb\nccceeeeccccc\nddd....ddddd\neee....eeeee\nffffffffffff"},
        {"DL right of the margins", "\x1b[3;8H\x1b[M",
         "aaaaaaaaaaaa\nbbbbbbbbbbbb\ncccccccccccc\ndddddddddddd\neeeeeeeeeeee\nffffffffffff"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(12, 6);
        writeRows(h, {"aaaaaaaaaaaa", "bbbbbbbbbbbb", "cccccccccccc", "dddddddddddd", "eeeeeeeeeeee",
                      "ffffffffffff"});
        setMarginMode(h.terminal(), true);
        h.feed("\x1b[4;7s\x1b[2;5r" + c.input);
        EXPECT_EQ(h.dump(), c.screen);
    }
}

TEST(TerminalCursor, LineEditingMarksTheCursorRowAndTheBottomMargin) {
    TerminalHarness h(10, 8);
    Terminal& t = h.terminal();
    h.feed("\x1b[2;6r\x1b[3;1H");
    t.clearUpdateRange();
    h.feed("\x1b[L");
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{2, 5}));
    setMarginMode(t, true);
    h.feed("\x1b[3;5s\x1b[4;1H");
    t.clearUpdateRange();
    h.feed("\x1b[L");
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{3, 5})) << "marked also left of the margins";
    h.feed("\x1b[1;1H");
    t.clearUpdateRange();
    h.feed("\x1b[L");
    EXPECT_FALSE(t.getUpdateRange()) << "above the region nothing happens";
}

TEST(TerminalCursor, DeleteLinesPullsBackThePendingWrapColumn) {
    TerminalHarness h(10, 3);
    h.feed("abcdefghij\x1b[M");
    EXPECT_EQ(h.cursor(), (std::pair{9, 0}));
    EXPECT_EQ(h.dump(), "");
}

// A count far beyond the screen costs what the screen holds, even with a large scroll-back.
TEST(TerminalCursor, HugeLineCountsWithALargeScrollback) {
    TerminalHarness h(10, 5, 100000);
    for (int i = 0; i < 20000; ++i)
        h.feed("line\r\n");
    const int yBase = h.buffer().yBase();
    h.feed("\x1b[2J");
    writeRows(h, {"0", "1", "2", "3", "4"});
    h.feed("\x1b[2;1H\x1b[999999999L");
    EXPECT_EQ(h.dump(), "0");
    writeRows(h, {"0", "1", "2", "3", "4"});
    h.feed("\x1b[2;1H\x1b[999999999M");
    EXPECT_EQ(h.dump(), "0");
    EXPECT_EQ(h.buffer().yBase(), yBase) << "the scroll-back is untouched";
}

TEST(TerminalCursor, Repeat) {
    struct Case {
        const char* name;
        std::string input;
        std::string screen;
        std::pair<int, int> cursor;
    };
    const std::vector<Case> cases = {
        {"REP", "A\x1b[3b", "AAAA", {4, 0}},
        {"REP 0 repeats once", "A\x1b[0b", "AA", {2, 0}},
        {"REP at column 0 writes blank cells", "\x1b[3b", "", {3, 0}},
        {"REP wraps", "A\x1b[14b", "AAAAAAAAAA\nAAAAA", {5, 1}},
        {"REP repeats the cell left of the cursor", "AB\x1b[2b", "ABBB", {4, 0}},
        {"REP is capped at twice the screen",
         "A\x1b[999999999b",
         "AAAAAAAAAA\nAAAAAAAAAA\nAAAAAAAAAA\nA",
         {1, 3}},
        {"REP skips the character set", "q\x1b(0\x1b[2b", "qqq", {3, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 4);
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.screen);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

// The row-at-a-time writing of REP against the same characters printed one by one, in every writing mode.
TEST(TerminalCursor, RepeatMatchesPrinting) {
    struct Mode {
        const char* name;
        bool insert;
        bool wraparound;
        bool margins; // margin mode with margins 2 to 6
    };
    const std::vector<Mode> modes = {
        {"plain", false, true, false},          {"insert", true, true, false},
        {"no wraparound", false, false, false}, {"insert without wraparound", true, false, false},
        {"margins", false, true, true},         {"insert inside margins", true, true, true},
    };
    for (const Mode& m : modes) {
        // Up to the cap of twice the screen.
        for (int count : {1, 3, 8, 25, 80}) {
            for (const char* start : {"\x1b[1;1H", "\x1b[2;4H", "\x1b[1;9H"}) {
                SCOPED_TRACE(std::string(m.name) + " count " + std::to_string(count) + " from " +
                             (start + 1));
                auto run = [&](bool repeat) {
                    auto h = std::make_unique<TerminalHarness>(10, 4);
                    Terminal& t = h->terminal();
                    writeRows(*h, {"abcdefghij", "klmnopqrst", "uvwxyz"});
                    setMarginMode(t, m.margins);
                    if (m.margins) h->feed("\x1b[3;7s");
                    t.insertMode = t.buffer().insertMode = m.insert;
                    t.wraparound = t.buffer().wraparound = m.wraparound;
                    h->feed(std::string(start) + "Z");
                    h->feed(repeat ? "\x1b[" + std::to_string(count) + "b" : std::string(size_t(count), 'Z'));
                    return std::pair{h->dumpAll(true), h->cursor()};
                };
                EXPECT_EQ(run(true), run(false));
            }
        }
    }
}

TEST(TerminalCursor, RepeatKeepsTheAttributeOfThePrecedingCell) {
    TerminalHarness h(10, 3);
    h.feed("A");
    setCurrentAttribute(h, coloured);
    h.feed("\x1b[2b");
    for (int col = 0; col < 3; ++col)
        EXPECT_TRUE(h.terminal().getCharData(col, 0)->hasDefaultAttribute()) << col;
}

TEST(TerminalCursor, TabClear) {
    struct Case {
        const char* name;
        std::string input; // at column 8
        std::vector<int> stops;
    };
    const std::vector<Case> cases = {
        {"TBC", "\x1b[g", {16}},
        {"TBC 0", "\x1b[0g", {16}},
        {"TBC 3", "\x1b[3g", {}},
        {"TBC 2", "\x1b[2g", {8, 16}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 3);
        h.feed("\x1b[9G" + c.input);
        std::vector<int> stops;
        for (int col = 1; col < 20; ++col)
            if (h.buffer().tabStops[size_t(col)]) stops.push_back(col);
        EXPECT_EQ(stops, c.stops);
        EXPECT_EQ(h.buffer().tabStops.size(), 20u);
    }
}

TEST(TerminalCursor, SaveAndRestore) {
    TerminalHarness h(20, 10);
    Terminal& t = h.terminal();
    t.setgCharset(1, CharSets::lookup('A'));
    h.feed("\x1b(0\x1b[3;5H");
    setCurrentAttribute(h, coloured);
    t.originMode = true;
    t.reverseWraparound = true;
    h.feed("\x1b"
           "7");

    // Everything changes: position, attribute, designations, the invoked set and the modes.
    setCurrentAttribute(h, Attribute::defaultAttribute());
    h.feed("\x1b(B\x1b)0\x0e\x1b[8;9H");
    t.originMode = false;
    t.reverseWraparound = false;
    setMarginMode(t, true);
    t.wraparound = false;

    h.feed("\x1b"
           "8");
    EXPECT_EQ(h.cursor(), (std::pair{4, 2}));
    EXPECT_EQ(t.currentAttribute(), coloured);
    EXPECT_EQ(t.charset, CharSets::lookup('0')) << "the saved map comes back";
    EXPECT_EQ(t.gLevel, 1) << "the invoked set is not saved";
    EXPECT_EQ(t.gCharsets[0], CharSets::lookup('B')) << "nor are the designations";
    EXPECT_EQ(t.gCharsets[1], CharSets::lookup('0'));
    EXPECT_TRUE(t.originMode);
    EXPECT_TRUE(t.reverseWraparound);
    EXPECT_FALSE(t.marginMode);
    EXPECT_FALSE(t.normalBuffer().marginMode);
    EXPECT_FALSE(t.altBuffer().marginMode);
    EXPECT_TRUE(t.wraparound);
    EXPECT_TRUE(t.altBuffer().wraparound);
}

TEST(TerminalCursor, SaveAndRestoreEdges) {
    struct Case {
        const char* name;
        std::string input;
        std::pair<int, int> cursor;
    };
    const std::vector<Case> cases = {
        {"CSI s saves without margin mode",
         "\x1b[3;5H\x1b[s\x1b[H\x1b"
         "8",
         {4, 2}},
        {"collected bytes save nothing",
         "\x1b[3;5H\x1b[?s\x1b[H\x1b"
         "8",
         {0, 0}},
        {"the pending-wrap column is saved and held on restore",
         std::string(20, 'x') + "\x1b"
                                "7\x1b[H\x1b"
                                "8",
         {19, 0}},
        {"the position is absolute in origin mode",
         "\x1b[3;8r\x1b[4;2H\x1b"
         "7\x1b[H\x1b"
         "8",
         {1, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 10);
        h.terminal().originMode = c.name == std::string("the position is absolute in origin mode");
        h.feed(c.input);
        EXPECT_EQ(h.cursor(), c.cursor);
    }

    TerminalHarness h(20, 10);
    h.buffer().savedX = 500;
    h.buffer().savedY = -3;
    h.feed("\x1b[5;5H\x1b"
           "8");
    EXPECT_EQ(h.cursor(), (std::pair{19, 0})) << "a saved position off the screen is held to it";
}

TEST(TerminalCursor, ConformanceLevel) {
    struct Case {
        const char* name;
        const char* input;
        Terminal::TerminalConformance level;
        bool send8bit;
    };
    const std::vector<Case> cases = {
        {"61 is 7-bit vt100", "\x1b[61;0\"p", Terminal::TerminalConformance::vt100, false},
        {"62 ; 1 is 7-bit vt200", "\x1b[62;1\"p", Terminal::TerminalConformance::vt200, false},
        {"63 ; 0 is 8-bit vt300", "\x1b[63;0\"p", Terminal::TerminalConformance::vt300, true},
        {"64 ; 2 is 8-bit vt400", "\x1b[64;2\"p", Terminal::TerminalConformance::vt400, true},
        {"65 alone keeps the controls", "\x1b[65\"p", Terminal::TerminalConformance::vt500, true},
        {"anything else is vt500", "\x1b[99;1\"p", Terminal::TerminalConformance::vt500, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        Terminal& t = h.terminal();
        t.conformance = Terminal::TerminalConformance::vt100;
        t.cc.send8bit = true;
        h.feed(c.input);
        EXPECT_EQ(t.conformance, c.level);
        EXPECT_EQ(t.cc.send8bit, c.send8bit);
    }
}

// Any mix of these commands with any counts, in any mode, leaves the cursor on the screen and every row
// at the screen's width.
TEST(TerminalCursor, RandomSequencesKeepTheScreenWhole) {
    const std::vector<std::string> finals = {"@", "A", "B", "C", "D", "E", "F", "G", "H",  "I",
                                             "J", "K", "L", "M", "P", "S", "T", "X", "Z",  "`",
                                             "a", "b", "d", "e", "f", "g", "r", "s", ">t", ">T"};
    const std::vector<std::string> escapes = {"6", "7",  "8",  "9",  "D",  "E", "H",
                                              "M", "#3", "#6", "#8", "(0", ")A"};
    const std::vector<int64_t> values = {0, 1, 2, 3, 5, 7, 12, 40, 2147483647, 99999999999};
    uint32_t seed = 12345;
    auto next = [&](uint32_t bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    TerminalHarness h(12, 6, 20);
    Terminal& t = h.terminal();
    t.silentLog = true;
    for (int step = 0; step < 20000; ++step) {
        switch (next(8)) {
        case 0:
            h.feed("\x1b" + escapes[next(uint32_t(escapes.size()))]);
            break;
        case 1:
            h.feed(std::string(next(30), char('a' + next(26))) + (next(2) ? "\r\n" : "\xe4\xb8\xad"));
            break;
        case 2:
            setMarginMode(t, next(2) == 0);
            t.originMode = next(3) == 0;
            t.insertMode = t.buffer().insertMode = next(3) == 0;
            t.wraparound = t.buffer().wraparound = next(4) != 0;
            break;
        default: {
            const std::string final = finals[next(uint32_t(finals.size()))];
            std::string csi = "\x1b[" + final.substr(0, final.size() - 1);
            const uint32_t count = next(3);
            for (uint32_t k = 0; k < count; ++k)
                csi += (k > 0 ? ";" : "") + std::to_string(values[next(uint32_t(values.size()))]);
            h.feed(csi + final.back());
            break;
        }
        }
        const Buffer& b = t.buffer();
        ASSERT_LE(b.x(), t.cols()) << step;
        ASSERT_LT(b.y(), t.rows()) << step;
        ASSERT_LE(b.scrollTop(), b.scrollBottom()) << step;
        ASSERT_LT(b.scrollBottom(), t.rows()) << step;
        ASSERT_LE(b.marginLeft(), b.marginRight()) << step;
        ASSERT_LT(b.marginRight(), t.cols()) << step;
        ASSERT_GE(b.lines().count(), b.yBase() + t.rows()) << step;
        for (int r = 0; r < t.rows(); ++r)
            ASSERT_EQ(t.getLine(r)->count(), t.cols()) << step;
    }
}
