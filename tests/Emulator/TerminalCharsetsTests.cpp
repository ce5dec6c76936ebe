// Character-set designation and invocation, line sizes and the screen alignment pattern.
#include "ScreenSetup.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

// What the table keyed by the designator shows for a byte.
std::string mapped(uint8_t designator, char byte) {
    return CharSets::lookup(designator)->at(uint8_t(byte));
}

} // namespace

TEST(TerminalCharsets, DesignationAndInvocation) {
    const std::string q0 = mapped('0', 'q');
    const std::string poundA = mapped('A', '#');
    struct Case {
        const char* name;
        std::string input;
        std::string row;
    };
    const std::vector<Case> cases = {
        {"ESC ( 0 translates G0 at once", "\x1b(0q", q0},
        {"ESC ( B designates the table keyed B", "\x1b(0\x1b(Bq", "q"},
        {"ESC ) 0 waits for SO", "\x1b)0q\x0eq\x0fq", "q" + q0 + "q"},
        {"ESC ) 0 with G1 invoked takes effect at once", "\x0e\x1b)0q", q0},
        {"ESC ( 0 with G1 invoked waits for SI", "\x0e\x1b(0q\x0fq", "q" + q0},
        {"ESC - A is ESC ) A", "\x1b-A\x0e#", poundA},
        {"ESC * and ESC . designate G2", "\x1b*0\x1b.A\x1bn#", poundA},
        {"ESC + and ESC / designate G3",
         "\x1b/0\x1bo"
         "q\x1b+A\x1b|#",
         q0 + poundA},
        {"ESC ~ invokes G1", "\x1b)0\x1b~q", q0},
        {"ESC , A designates nothing", "\x1b,A\x0e#", "#"},
        {"ESC ( W designates nothing", "\x1b(0\x1b(Wq", q0},
        {"ESC % G leaves G0 invoked and empty", "\x1b(A\x1b)0\x0e\x1b%Gq#", "q#"},
        {"ESC % @ too", "\x1b(A\x1b%@#", "#"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        h.terminal().silentLog = true;
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.row);
    }
}

TEST(TerminalCharsets, SelectUtf8KeepsTheOtherSlots) {
    TerminalHarness h(10, 3);
    Terminal& t = h.terminal();
    h.feed("\x1b(A\x1b)0\x0e\x1b%G");
    EXPECT_EQ(t.gLevel, 0);
    EXPECT_EQ(t.gCharsets[0], nullptr);
    EXPECT_EQ(t.charset, nullptr);
    EXPECT_EQ(t.gCharsets[1], CharSets::lookup('0'));
}

TEST(TerminalCharsets, SetAndInvokeOutOfRange) {
    TerminalHarness h(10, 3);
    Terminal& t = h.terminal();
    t.setgCharset(4, CharSets::lookup('0'));
    t.setgCharset(-1, CharSets::lookup('0'));
    EXPECT_EQ(t.gCharsets, (std::array<const CharSetMap*, 4>{}));
    t.setgLevel(7);
    EXPECT_EQ(t.gLevel, 7);
    EXPECT_EQ(t.charset, nullptr);
    t.selectCharset(',', 'A');
    t.selectCharset('(', 'W');
    EXPECT_EQ(t.gCharsets, (std::array<const CharSetMap*, 4>{}));
}

TEST(TerminalCharsets, LineSizes) {
    TerminalHarness h(10, 3);
    Terminal& t = h.terminal();
    h.feed("abcdefghij\x1b[2;3H");
    const BufferLine& row = *t.getLine(1);
    struct Case {
        const char* sequence;
        BufferLine::RenderLineMode mode;
    };
    const std::vector<Case> cases = {
        {"\x1b#3", BufferLine::RenderLineMode::doubledTop},
        {"\x1b#4", BufferLine::RenderLineMode::doubledDown},
        {"\x1b#6", BufferLine::RenderLineMode::doubleWidth},
        {"\x1b#5", BufferLine::RenderLineMode::single},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sequence + 1);
        h.feed("\x1b[1;5H");
        t.clearUpdateRange();
        h.feed(c.sequence);
        EXPECT_EQ(t.getLine(0)->renderMode, c.mode);
        EXPECT_EQ(row.renderMode, BufferLine::RenderLineMode::single) << "only the cursor row";
        EXPECT_EQ(h.dump(), "abcdefghij") << "the cells stay";
        EXPECT_EQ(h.cursor(), (std::pair{4, 0})) << "the cursor stays";
        EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 0}));
    }

    h.feed("\x1b#6\x1b[2;1H\x1b#3\x1b[2J");
    EXPECT_EQ(t.getLine(0)->renderMode, BufferLine::RenderLineMode::single) << "ED 2 resets every row";
    EXPECT_EQ(t.getLine(1)->renderMode, BufferLine::RenderLineMode::single);
}

TEST(TerminalCharsets, DoubleWidthRowsStopAtHalfTheColumns) {
    struct Case {
        const char* name;
        std::string input;
        std::string reply;
        std::string rows;
    };
    const std::string forty = std::string(40, 'a');
    const std::vector<Case> cases = {
        {"tabs", "\x1b[H\x1b#6\t\t\t\t\t\x1b[6n", "\x1b[1;40R", ""},
        {"tabs forward by CHT", "\x1b[H\x1b#6\x1b[9I\x1b[6n", "\x1b[1;40R", ""},
        {"cursor forward", "\x1b[H\x1b#6\x1b[50C\x1b[6n", "\x1b[1;40R", ""},
        {"cursor position", "\x1b[H\x1b#6\x1b[1;70H\x1b[6n", "\x1b[1;40R", ""},
        {"column absolute", "\x1b[H\x1b#3\x1b[70G\x1b[6n", "\x1b[1;40R", ""},
        {"the row becoming double width", "\x1b[1;60H\x1b#6\x1b[6n", "\x1b[1;40R", ""},
        {"moving down onto it", "\x1b[2H\x1b#6\x1b[1;70H\x1b[B\x1b[6n", "\x1b[2;40R", ""},
        {"a line feed onto it", "\x1b[2H\x1b#4\x1b[1;70H\n\x1b[6n", "\x1b[2;40R", ""},
        {"printing wraps at the middle", "\x1b[H\x1b#6" + forty + "bc\x1b[6n", "\x1b[2;3R", forty + "\nbc"},
        {"without autowrap the middle column takes the rest", "\x1b[?7l\x1b[H\x1b#6" + forty + "bc\x1b[6n",
         "\x1b[1;40R", std::string(39, 'a') + "c"},
        {"a single-width row is as before", "\x1b[H\t\t\t\t\t\x1b[1;70H\x1b[6n", "\x1b[1;70R", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 4);
        h.feed(c.input);
        EXPECT_EQ(h.replies(), c.reply);
        if (!c.rows.empty()) {
            EXPECT_EQ(h.dump(), c.rows);
        }
    }
}

TEST(TerminalCharsets, ScreenAlignmentPattern) {
    TerminalHarness h(4, 3);
    Terminal& t = h.terminal();
    const Attribute attribute(Attribute::Color::ansi256(1), Attribute::Color::trueColor(1, 2, 3),
                              CharacterStyle::bold | CharacterStyle::underline, UnderlineStyle::curly,
                              Attribute::Color::ansi256(9));
    h.feed("abcdef\x1b[2;3r\x1b[2;2H");
    setCurrentAttribute(h, attribute);
    t.clearUpdateRange();
    h.feed("\x1b#8");
    EXPECT_EQ(h.dump(true), "|EEEE\n|EEEE\n|EEEE") << "every wrap flag is cleared";
    EXPECT_EQ(h.cursor(), (std::pair{0, 0}));
    EXPECT_EQ(*t.getCharData(3, 2),
              CharData(Attribute(Attribute::Color::ansi256(1), Attribute::Color::trueColor(1, 2, 3),
                                 CharacterStyle::none, UnderlineStyle::none, Attribute::Color::ansi256(9)),
                       t.underlineColors(), 'E', 1))
        << "the colours of the current attribute, none of its styles";
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 2}));
    EXPECT_EQ(t.getScrollInvariantUpdateRange(), (Terminal::UpdateRange{0, 2}));
    EXPECT_EQ(h.buffer().scrollTop(), 1) << "the region stays";
    EXPECT_EQ(h.buffer().scrollBottom(), 2);
}

TEST(TerminalCharsets, ScreenAlignmentPatternInOriginMode) {
    TerminalHarness h(20, 10);
    Terminal& t = h.terminal();
    h.feed("\x1b[6;9r");
    t.originMode = true;
    setMarginMode(t, true);
    h.feed("\x1b[4;8s\x1b#8");
    std::string screen;
    for (int r = 0; r < 10; ++r)
        screen += (r > 0 ? "\n" : "") + std::string(20, 'E');
    EXPECT_EQ(h.dump(), screen) << "the pattern still covers the whole screen";
    EXPECT_EQ(h.cursor(), (std::pair{3, 5})) << "homed to the region's origin";
}
