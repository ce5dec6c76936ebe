// Scrolling commands: reverse index, SU and SD, the scroll region and the left and right margins, back
// and forward index.
#include "ScreenSetup.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

const Attribute coloured(Attribute::Color::ansi256(1), Attribute::Color::ansi256(4), CharacterStyle::bold);

// Rows "0" to "4" of a 10 x 5 screen with some scroll-back lines above them.
void numberedScreen(TerminalHarness& h) {
    h.feed("old\r\nolder\r\n\r\n\r\n\r\n\r\n\x1b[2J");
    writeRows(h, {"0", "1", "2", "3", "4"});
}

std::string scrollback(TerminalHarness& h) {
    const Buffer& b = h.buffer();
    std::string out;
    for (int r = 0; r < b.yBase(); ++r)
        out += (r > 0 ? "\n" : "") + h.row(*b.lines().peek(r));
    return out;
}

} // namespace

TEST(TerminalScrolling, ReverseIndex) {
    struct Case {
        const char* name;
        bool margins;      // margin mode on, margins 2 to 5
        std::string input; // region rows 1 to 3 (CSI 2 ; 4 r)
        std::string screen;
        std::pair<int, int> cursor;
    };
    const std::vector<Case> cases = {
        {"at the top margin the region moves down", false, "\x1b[2;1H\x1bM", "0\n\n1\n2\n4", {0, 1}},
        {"below the top margin the cursor moves up", false, "\x1b[4;3H\x1bM", "0\n1\n2\n3\n4", {2, 2}},
        {"on row 0 above the region nothing happens", false, "\x1b[1;1H\x1bM", "0\n1\n2\n3\n4", {0, 0}},
        {"below the region the cursor moves up", false, "\x1b[5;1H\x1bM", "0\n1\n2\n3\n4", {0, 3}},
        {"pending-wrap column", false, "\x1b[2;10Hx\x1bM", "0\n\n1........x\n2\n4", {9, 1}},
        {"left of the margins on the top margin", true, "\x1b[2;1H\x1bM", "0\n1\n2\n3\n4", {0, 1}},
        {"left of the margins below it", true, "\x1b[3;1H\x1bM", "0\n1\n2\n3\n4", {0, 1}},
        {"right of the margins on the top margin", true, "\x1b[2;8H\x1bM", "0\n1\n2\n3\n4", {7, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 5);
        numberedScreen(h);
        const std::string before = scrollback(h);
        setMarginMode(h.terminal(), c.margins);
        h.feed("\x1b[2;4r");
        if (c.margins) h.feed("\x1b[3;6s");
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.screen);
        EXPECT_EQ(h.cursor(), c.cursor);
        EXPECT_EQ(scrollback(h), before) << "the scroll-back never changes";
    }
}

TEST(TerminalScrolling, ReverseIndexInsideTheMargins) {
    TerminalHarness h(8, 5);
    Terminal& t = h.terminal();
    h.feed("abcdefgh\r\nijklmnop\r\nqrstuvwx\r\nyz012345\r\n67");
    h.buffer().lines()[2]->renderMode = BufferLine::RenderLineMode::doubleWidth;
    setMarginMode(t, true);
    h.feed("\x1b[3;6s\x1b[2;4r\x1b[2;4H");
    setCurrentAttribute(h, coloured);
    t.clearUpdateRange();
    h.feed("\x1bM");
    EXPECT_EQ(h.dump(true), "|abcdefgh\n|ij....op\n|qrklmnwx\n|yzstuv45\n|67");
    EXPECT_EQ(h.buffer().lines()[2]->renderMode, BufferLine::RenderLineMode::single);
    EXPECT_EQ(t.getCharData(3, 1)->bg(), Attribute::Color::ansi256(4)) << "the erase cell";
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{1, 3}));
}

TEST(TerminalScrolling, ReverseIndexOnAnEmptyRingIsAbandoned) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    t.activateAltBuffer(std::nullopt);
    t.altBuffer().clear();
    t.silentLog = true;
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { t.reverseIndex(); }),
              std::vector{DiagnosticKind::invariant})
        << "reported whatever silentLog says";
}

TEST(TerminalScrolling, ScrollUpAndDown) {
    struct Case {
        const char* name;
        bool margins;      // margin mode on, margins 2 to 5
        std::string input; // region rows 1 to 3 (CSI 2 ; 4 r), rows "0" to "4" made 8 wide
        std::string screen;
    };
    const std::vector<Case> cases = {
        {"SU", false, "\x1b[S", "00000000\n22222222\n33333333\n\n44444444"},
        {"SU 2", false, "\x1b[2S", "00000000\n33333333\n\n\n44444444"},
        {"SU huge", false, "\x1b[2147483647S", "00000000\n\n\n\n44444444"},
        {"SD", false, "\x1b[T", "00000000\n\n11111111\n22222222\n44444444"},
        {"SD huge", false, "\x1b[99999999999T", "00000000\n\n\n\n44444444"},
        {"SU inside the margins", true, "\x1b[S", "00000000\n11222211\n22333322\n33....33\n44444444"},
        {"SD inside the margins", true, "\x1b[T", "00000000\n11....11\n22111122\n33222233\n44444444"},
        {"SD 5 inside the margins", true, "\x1b[5T", "00000000\n11....11\n22....22\n33....33\n44444444"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(8, 5);
        numberedScreen(h);
        writeRows(h, {"00000000", "11111111", "22222222", "33333333", "44444444"});
        const std::string before = scrollback(h);
        setMarginMode(h.terminal(), c.margins);
        h.feed("\x1b[2;4r");
        if (c.margins) h.feed("\x1b[3;6s");
        h.feed("\x1b[3;4H");
        h.terminal().clearUpdateRange();
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.screen);
        EXPECT_EQ(h.cursor(), (std::pair{3, 2})) << "the cursor stays";
        EXPECT_EQ(scrollback(h), before) << "SU never feeds the scroll-back";
        EXPECT_EQ(h.terminal().getUpdateRange(), (Terminal::UpdateRange{1, 3}));
    }
}

// SU and SD leave blanks in the default colours, whatever the current background.
TEST(TerminalScrolling, ScrollBlanksHaveTheDefaultBackground) {
    for (const char* input : {"\x1b[5;10r\x1b[3S", "\x1b[5;10r\x1b[3T"}) {
        SCOPED_TRACE(input + 1);
        TerminalHarness h(10, 12);
        h.feed(std::string(120, 'x'));
        setCurrentAttribute(h, coloured);
        h.feed(input);
        const int row = input[std::string(input).size() - 1] == 'S' ? 9 : 4;
        for (int col = 0; col < 10; ++col)
            EXPECT_EQ(*h.terminal().getCharData(col, row), CharData::Null);
    }
}

TEST(TerminalScrolling, ScrollDownMovesCellsNotLines) {
    TerminalHarness h(4, 4);
    h.feed("aaaabb\r\ncc\x1b[T");
    EXPECT_EQ(h.dump(true), "|\n~aaaa\n|bb\n|cc") << "the wrap flags stay on their rows";
}

TEST(TerminalScrolling, ScrollDownUsesNarrowedMarginsWithoutMarginMode) {
    TerminalHarness h(8, 3);
    Terminal& t = h.terminal();
    writeRows(h, {"abcdefgh", "ijklmnop", "qrstuvwx"});
    setMarginMode(t, true);
    h.feed("\x1b[3;5s");
    setMarginMode(t, false);
    h.feed("\x1b[T");
    EXPECT_EQ(h.dump(), "ab...fgh\nijcdenop\nqrklmvwx");
}

TEST(TerminalScrolling, SetScrollRegion) {
    struct Case {
        const char* name;
        bool origin;
        std::string input; // from the cursor at (4, 4) of a 10 x 10 screen
        int top;
        int bottom;
        std::pair<int, int> cursor;
    };
    const std::vector<Case> cases = {
        {"a region", false, "\x1b[3;5r", 2, 4, {0, 0}},
        {"one row is refused but homes", false, "\x1b[5;5r", 0, 9, {0, 0}},
        {"bottom 0 is the last row", false, "\x1b[5;0r", 4, 9, {0, 0}},
        {"no parameters", false, "\x1b[3;5r\x1b[r", 0, 9, {0, 0}},
        {"bottom past the screen", false, "\x1b[2;99999r", 1, 9, {0, 0}},
        {"top past the screen is refused", false, "\x1b[99999;2r", 0, 9, {0, 0}},
        {"collected bytes: not DECSTBM", false, "\x1b[?1r", 0, 9, {4, 4}},
        {"origin mode homes to the top margin", true, "\x1b[3;5r", 2, 4, {0, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 10);
        h.feed("\x1b[5;5H");
        h.terminal().originMode = c.origin;
        h.feed(c.input);
        EXPECT_EQ(h.buffer().scrollTop(), c.top);
        EXPECT_EQ(h.buffer().scrollBottom(), c.bottom);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

TEST(TerminalScrolling, SetMargins) {
    struct Case {
        const char* name;
        std::string input; // margin mode on (mode 69), cursor at (4, 4) of a 20 x 10 screen
        int left;
        int right;
    };
    const std::vector<Case> cases = {
        {"margins", "\x1b[3;6s", 2, 5},
        {"left beyond right collapses to one column", "\x1b[10;5s", 4, 4},
        {"right 0 is the last column", "\x1b[5;0s", 4, 19},
        {"no parameters", "\x1b[3;6s\x1b[s", 0, 19},
        {"huge", "\x1b[99999;999999s", 19, 19},
        {"collected bytes do nothing", "\x1b[?3;6s", 0, 19},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 10);
        h.feed("\x1b[?69h\x1b[5;5H");
        h.terminal().clearUpdateRange();
        h.feed(c.input);
        EXPECT_EQ(h.buffer().marginLeft(), c.left);
        EXPECT_EQ(h.buffer().marginRight(), c.right);
        EXPECT_EQ(h.cursor(), (std::pair{4, 4})) << "the cursor does not move";
        EXPECT_FALSE(h.terminal().getUpdateRange());
    }
}

TEST(TerminalScrolling, BackAndForwardIndex) {
    struct Case {
        const char* name;
        bool margins;      // margin mode on; the margins are 2 to 6 either way
        std::string input; // region rows 0 to 1 of three rows "abcdefghij"
        std::string screen;
        std::pair<int, int> cursor;
    };
    const std::string untouched = "abcdefghij\nabcdefghij\nabcdefghij";
    const std::vector<Case> cases = {
        {"DECBI at the left margin opens a column",
         true,
         "\x1b[1;3H\x1b"
         "6",
         "ab cdefhij\nab cdefhij\nabcdefghij",
         {2, 0}},
        {"DECBI without margin mode shifts to the last column",
         false,
         "\x1b[1;3H\x1b"
         "6",
         "ab cdefghi\nab cdefghi\nabcdefghij",
         {2, 0}},
        {"DECBI elsewhere moves back",
         true,
         "\x1b[1;5H\x1b"
         "6",
         untouched,
         {3, 0}},
        {"DECBI outside the region",
         true,
         "\x1b[3;3H\x1b"
         "6",
         untouched,
         {2, 2}},
        {"DECFI at the right margin deletes the left margin's column",
         true,
         "\x1b[2;7H\x1b"
         "9",
         "abdefg hij\nabdefg hij\nabcdefghij",
         {6, 1}},
        {"DECFI without margin mode",
         false,
         "\x1b[2;7H\x1b"
         "9",
         "abdefghij \nabdefghij \nabcdefghij",
         {6, 1}},
        {"DECFI elsewhere moves forward",
         true,
         "\x1b[1;5H\x1b"
         "9",
         untouched,
         {5, 0}},
        {"DECFI on the pending-wrap column",
         false,
         "\x1b[1;10Hj\x1b"
         "9",
         untouched,
         {10, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        Terminal& t = h.terminal();
        writeRows(h, {"abcdefghij", "abcdefghij", "abcdefghij"});
        h.feed("\x1b[1;2r");
        setMarginMode(t, true);
        h.feed("\x1b[3;7s");
        setMarginMode(t, c.margins);
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.screen);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

// Before the fix DECBI opened its column with the inverted default background, a bright bar.
TEST(TerminalScrolling, OpenedColumnsHoldTheEraseAttribute) {
    for (const char* input : {"\x1b"
                              "6",
                              "\x1b[10G\x1b"
                              "9"}) {
        SCOPED_TRACE(input);
        TerminalHarness h(10, 3);
        h.feed("abcdefghij\x1b[H");
        setCurrentAttribute(h, coloured);
        h.feed(input);
        const int col = input[1] == '6' ? 0 : 9;
        EXPECT_EQ(*h.terminal().getCharData(col, 0),
                  CharData(Attribute(Attribute::Color::defaultColor(), Attribute::Color::ansi256(4),
                                     CharacterStyle::none),
                           32, 1));
    }
}

TEST(TerminalScrolling, EmitLineFeedOnlyTellsTheDelegate) {
    TerminalHarness h(10, 3);
    h.delegate().ignored.clear();
    h.terminal().emitLineFeed();
    EXPECT_EQ(h.log(), std::vector<std::string>{"linefeed"});
    EXPECT_EQ(h.cursor(), (std::pair{0, 0}));
}
