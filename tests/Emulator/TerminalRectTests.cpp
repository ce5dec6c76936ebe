// Rectangular-area operations: DECFRA, DECERA, DECSERA, DECCRA, DECIC, DECDC and DECRQCRA.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using Log = std::vector<std::string>;

// An 8 x 5 screen of distinct letters, the cursor home.
const char* const pattern = "abcdefgh\r\nijklmnop\r\nqrstuvwx\r\nABCDEFGH\r\nIJKLMNOP";
const std::string patternDump = "abcdefgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP";

struct Screen {
    TerminalHarness h{8, 5};

    Screen() {
        h.feed(pattern);
        home();
    }
    void home() {
        h.buffer().setX(0);
        h.buffer().setY(0);
    }
    // The attribute of the cells written next (through the saved cursor, which keeps the position).
    void setAttribute(const Attribute& attribute) {
        h.feed("\x1b[?1048h");
        h.buffer().savedAttr = attribute;
        h.feed("\x1b[?1048l");
    }
    const CharData& cell(int col, int row) { return (*h.buffer().lines()[h.buffer().yBase() + row])[col]; }
    std::string dump() { return h.dump(); }
};

const Attribute boldOnRed(Attribute::Color::ansi256(3), Attribute::Color::ansi256(1), CharacterStyle::bold,
                          UnderlineStyle::curly, Attribute::Color::ansi256(4));
const Attribute blueItalic(Attribute::Color::ansi256(4), Attribute::Color::defaultColor(),
                           CharacterStyle::italic);
// What erased columns carry under boldOnRed: only its background.
const Attribute eraseOnRed(Attribute::Color::defaultColor(), Attribute::Color::ansi256(1),
                           CharacterStyle::none);

struct DumpCase {
    const char* name;
    std::string input;
    std::string expected;
};

void runDumpCases(const std::vector<DumpCase>& cases) {
    for (const DumpCase& c : cases) {
        SCOPED_TRACE(c.name);
        Screen s;
        s.h.terminal().silentLog = true;
        s.h.feed(c.input);
        EXPECT_EQ(s.dump(), c.expected);
        EXPECT_EQ(s.h.replies(), "");
    }
}

} // namespace

TEST(TerminalRect, FillEraseAndSelectiveErase) {
    runDumpCases({
        {"fill two rows", "\x1b[42;1;1;2;3$x", "***defgh\n***lmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"fill to the corner", "\x1b[42;4;4$x", "abcdefgh\nijklmnop\nqrstuvwx\nABC*****\nIJK*****"},
        {"fill bottom 0 is the last row", "\x1b[42;2;2;0;4$x",
         "abcdefgh\ni***mnop\nq***uvwx\nA***EFGH\nI***MNOP"},
        {"fill whole screen by default", "\x1b[43$x", "++++++++\n++++++++\n++++++++\n++++++++\n++++++++"},
        {"fill clamped to the screen", "\x1b[42;5;8;99999999999;99999999999$x",
         "abcdefgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNO*"},
        {"fill inverted rows", "\x1b[42;3;1;2;8$x", patternDump},
        {"fill inverted columns", "\x1b[42;1;5;5;4$x", patternDump},
        {"fill outside the screen", "\x1b[42;6;1$x", patternDump},
        {"fill surrogate gives spaces", "\x1b[55296;1;1;1;2$x",
         "  cdefgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"fill beyond Unicode gives spaces", "\x1b[1114112;1;1;1;2$x",
         "  cdefgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"fill 0 empties", "\x1b[0;1;1;1;2$x", "..cdefgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"fill wide ideograph one column each", "\x1b[20013;1;1;1;3$x",
         "中中中defgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"fill astral scalar", "\x1b[128512;2;1;2;1$x", "abcdefgh\n😀jklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"fill needs $", "\x1b[42;1;1;2;3x", patternDump},
        {"erase", "\x1b[2;2;3;3$z", "abcdefgh\ni  lmnop\nq  tuvwx\nABCDEFGH\nIJKLMNOP"},
        {"erase defaults to the screen", "\x1b[$z", "        \n        \n        \n        \n        "},
        {"erase needs $", "\x1b[2;2;3;3z", patternDump},
        {"selective erase", "\x1b[4;7;5;8${", "abcdefgh\nijklmnop\nqrstuvwx\nABCDEF  \nIJKLMN  "},
    });
}

TEST(TerminalRect, FillAndEraseWriteTheAttributeSelectiveEraseKeepsIt) {
    Screen s;
    s.setAttribute(blueItalic);
    s.h.feed("\x1b[120;1;1;1;8$x");
    s.setAttribute(boldOnRed);
    s.h.feed("\x1b[42;1;1;1;2$x\x1b[1;3;1;4$z\x1b[1;5;1;6${");
    for (int col = 0; col < 4; ++col) {
        SCOPED_TRACE(col);
        EXPECT_EQ(s.h.terminal().attribute(s.cell(col, 0)), boldOnRed);
        EXPECT_EQ(s.cell(col, 0).width(), 1);
    }
    EXPECT_EQ(s.cell(0, 0).code, '*');
    EXPECT_EQ(s.cell(2, 0).code, ' ');
    EXPECT_EQ(s.cell(4, 0).code, ' ');
    EXPECT_EQ(s.h.terminal().attribute(s.cell(4, 0)), blueItalic);
    EXPECT_EQ(s.cell(6, 0).code, 'x');

    // A wide character erased selectively: both halves become one-column spaces.
    Screen w;
    w.h.feed("中\x1b[1;1;1;2${");
    EXPECT_EQ(w.cell(0, 0).code, ' ');
    EXPECT_EQ(w.cell(1, 0).code, ' ');
    EXPECT_EQ(w.cell(1, 0).width(), 1);
}

TEST(TerminalRect, OriginModeShiftsTheRectangle) {
    Screen s;
    s.h.buffer().setScrollTop(2);
    s.h.buffer().setMarginLeft(1);
    s.h.feed("\x1b[?6h\x1b[1;1;1;1$z");
    EXPECT_EQ(s.dump(), "abcdefgh\nijklmnop\nq stuvwx\nABCDEFGH\nIJKLMNOP");
    // Shifted past the screen, the area is held to it.
    s.h.feed("\x1b[42;1;7;9;9$x");
    EXPECT_EQ(s.dump(), "abcdefgh\nijklmnop\nq stuvw*\nABCDEFG*\nIJKLMNO*");
}

TEST(TerminalRect, CopyRectangularArea) {
    runDumpCases({
        {"copy", "\x1b[1;1;2;3;1;4;5;1$v", "abcdefgh\nijklmnop\nqrstuvwx\nABCDabcH\nIJKLijkP"},
        {"source page 2", "\x1b[1;1;2;3;2;4;5;1$v", patternDump},
        {"destination page 2", "\x1b[1;1;2;3;1;4;5;2$v", patternDump},
        {"pages 0 mean 1", "\x1b[1;1;2;3;0;4;5;0$v", "abcdefgh\nijklmnop\nqrstuvwx\nABCDabcH\nIJKLijkP"},
        {"cut at the right edge", "\x1b[1;1;1;4;1;1;7;1$v",
         "abcdefab\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"rows below the screen dropped", "\x1b[1;1;3;2;1;4;1;1$v",
         "abcdefgh\nijklmnop\nqrstuvwx\nabCDEFGH\nijKLMNOP"},
        {"overlap one row lower", "\x1b[1;1;4;8;1;2;1;1$v",
         "abcdefgh\nabcdefgh\nijklmnop\nqrstuvwx\nABCDEFGH"},
        {"overlap one row higher", "\x1b[2;1;5;8;1;1;1;1$v",
         "ijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP\nIJKLMNOP"},
        {"overlap one column right", "\x1b[1;1;2;7;1;1;2;1$v",
         "aabcdefg\niijklmno\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"overlap one column left", "\x1b[1;2;1;8;1;1;1;1$v",
         "bcdefghh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP"},
        {"defaults copy the screen onto itself", "\x1b[$v", patternDump},
        {"destination clamped to the corner", "\x1b[1;1;1;1;1;99;99;1$v",
         "abcdefgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOa"},
        {"empty source", "\x1b[3;1;2;8;1;1;1;1$v", patternDump},
        {"needs $", "\x1b[1;1;2;3;1;4;5;1v", patternDump},
    });
}

TEST(TerminalRect, CopyKeepsCellsWholeAndIgnoresOriginForTheDestination) {
    Screen s;
    s.setAttribute(boldOnRed);
    s.h.feed("\x1b[42;1;1;1;1$x");
    s.h.buffer().setScrollTop(1);
    s.h.feed("\x1b[?6h");
    // The source starts at the region's top (row 1), the destination at the screen's row 0.
    s.h.feed("\x1b[1;1;1;2;1;1;3;1$v");
    EXPECT_EQ(s.dump(), "*bijefgh\nijklmnop\nqrstuvwx\nABCDEFGH\nIJKLMNOP");
    s.h.feed("\x1b[?6l\x1b[1;1;1;1;1;5;5;1$v");
    EXPECT_EQ(s.cell(4, 4).code, '*');
    EXPECT_EQ(s.h.terminal().attribute(s.cell(4, 4)), boldOnRed);
}

TEST(TerminalRect, InsertAndDeleteColumns) {
    struct Case {
        const char* name;
        int x;
        bool margins;
        std::string input;
        std::string expected;
    };
    // The scroll region is rows 1 to 3; with margins, margin mode is on and the margins are columns 1 to 5.
    const std::vector<Case> cases = {
        {"insert 2", 2, false, "\x1b[2'}", "abcdefgh\nij  klmn\nqr  stuv\nAB  CDEF\nIJKLMNOP"},
        {"insert 0 is 1", 2, false, "\x1b['}", "abcdefgh\nij klmno\nqr stuvw\nAB CDEFG\nIJKLMNOP"},
        {"insert more than the row", 2, false, "\x1b[99999999999'}",
         "abcdefgh\nij      \nqr      \nAB      \nIJKLMNOP"},
        {"insert at the pending-wrap column", 8, false, "\x1b[2'}", patternDump},
        {"insert inside margins", 2, true, "\x1b[1'}", "abcdefgh\nij klmop\nqr stuwx\nAB CDEGH\nIJKLMNOP"},
        {"insert left of the margins", 0, true, "\x1b[1'}", patternDump},
        {"insert right of the margins", 6, true, "\x1b[1'}", patternDump},
        {"insert needs '", 2, false, "\x1b[2}", patternDump},
        {"delete 2", 2, false, "\x1b[2'~", "abcdefgh\nijmnop  \nqruvwx  \nABEFGH  \nIJKLMNOP"},
        {"delete 0 is 1", 2, false, "\x1b['~", "abcdefgh\nijlmnop \nqrtuvwx \nABDEFGH \nIJKLMNOP"},
        {"delete more than the row", 2, false, "\x1b[99999999999'~",
         "abcdefgh\nij      \nqr      \nAB      \nIJKLMNOP"},
        {"delete at the pending-wrap column", 8, false, "\x1b[2'~", patternDump},
        {"delete inside margins", 2, true, "\x1b[2'~", "abcdefgh\nijmn  op\nqruv  wx\nABEF  GH\nIJKLMNOP"},
        {"delete left of the margins", 0, true, "\x1b[2'~", patternDump},
        {"delete ignores the collect", 2, false, "\x1b[2~",
         "abcdefgh\nijmnop  \nqruvwx  \nABEFGH  \nIJKLMNOP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Screen s;
        Buffer& b = s.h.buffer();
        b.setScrollTop(1);
        b.setScrollBottom(3);
        if (c.margins) {
            s.h.feed("\x1b[?69h");
            b.setMarginLeft(1);
            b.setMarginRight(5);
        }
        b.setX(c.x);
        b.setY(2);
        s.h.terminal().silentLog = true;
        s.h.feed(c.input);
        EXPECT_EQ(s.dump(), c.expected);
    }
}

TEST(TerminalRect, ColumnsOpenWithTheEraseCellAndUnwrap) {
    Screen s;
    s.h.feed("\r\n\x1b[?7h0123456789");
    s.setAttribute(boldOnRed);
    Buffer& b = s.h.buffer();
    b.setX(5);
    b.setY(0);
    s.h.terminal().clearUpdateRange();
    s.h.feed("\x1b[2'}");
    for (int row = 0; row < 5; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(s.cell(5, row), CharData(eraseOnRed, 32, 1));
        EXPECT_FALSE(b.lines()[b.yBase() + row]->isWrapped);
    }
    // Deleting them again brings the row back, with erase cells at the right edge.
    s.h.feed("\x1b[2'~");
    EXPECT_EQ(s.h.row(*b.lines()[b.yBase() + 4]), "IJKLMN  ");
    EXPECT_EQ(s.cell(6, 4), CharData(eraseOnRed, 32, 1));
    EXPECT_EQ(s.cell(7, 4), CharData(eraseOnRed, 32, 1));
    EXPECT_EQ(s.h.terminal().getUpdateRange(), (Terminal::UpdateRange{0, 4}));
}

TEST(TerminalRect, DeleteColumnsOnlyWithTheCursorInTheRegion) {
    Screen s;
    Buffer& b = s.h.buffer();
    b.setScrollTop(1);
    b.setScrollBottom(2);
    b.setX(0);
    b.setY(4);
    s.h.feed("\x1b[1'~");
    EXPECT_EQ(s.dump(), patternDump);
    // DECIC does not ask where the cursor row is.
    s.h.feed("\x1b[1'}");
    EXPECT_EQ(s.dump(), "abcdefgh\n ijklmno\n qrstuvw\nABCDEFGH\nIJKLMNOP");
}

TEST(TerminalRect, ChecksumRepliesByteForByte) {
    struct Case {
        const char* name;
        std::string screen;
        std::string input;
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"one letter", "a", "\x1b[1;1;1;1;1;1*y", "\x1bP1!~0061\x1b\\"},
        {"empty cells count as spaces", "A", "\x1b[5;1;1;1;2;2*y", "\x1bP5!~00a1\x1b\\"},
        {"two parameters", "a", "\x1b[1;1*y", "\x1bP1!~0000\x1b\\"},
        {"three parameters take the screen", "", "\x1b[7;1;1*y", "\x1bP7!~0500\x1b\\"},
        {"inverted", "a", "\x1b[1;1;2;1;1;1*y", "\x1bP1!~0000\x1b\\"},
        {"page ignored", "a", "\x1b[1;9;1;1;1;1*y", "\x1bP1!~0061\x1b\\"},
        {"missing id", "a", "\x1b[;1;1;1;1;1*y", "\x1bP0!~0061\x1b\\"},
        {"any collect", "a", "\x1b[2;1;1;1;1;1y", "\x1bP2!~0061\x1b\\"},
        {"wide character and its second half", "中", "\x1b[1;1;1;1;1;2*y", "\x1bP1!~4e4d\x1b\\"},
        {"combining mark adds its scalar", "e\xcc\x81", "\x1b[1;1;1;1;1;1*y", "\x1bP1!~0366\x1b\\"},
        {"more than four digits", "😀", "\x1b[1;1;1;1;1;1*y", "\x1bP1!~1f600\x1b\\"},
        {"8-bit", "\x1b Ga", "\x1b[1;1;1;1;1;1*y",
         "\x90"
         "1!~0061\x9c"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(8, 5);
        h.feed(c.screen);
        h.replies();
        h.feed(c.input);
        EXPECT_EQ(h.replies(), c.reply);
    }
}

TEST(TerminalRect, ChecksumOnlyForTrustedProcesses) {
    TerminalHarness h(8, 5);
    h.delegate().trusted = false;
    h.feed("a");
    h.log();
    h.feed("\x1b[1;1;1;1;1;1*y");
    EXPECT_EQ(h.log(), (Log{"isProcessTrusted", "send \\eP1!~0000\\e\\\\"}));
}

TEST(TerminalRect, ChecksumWrapsAt32Bits) {
    // 100 x 50 cells of U+10FFFF (written by DECFRA) sum to 0x14c07ec78, past 32 bits.
    TerminalHarness h(100, 50);
    h.feed("\x1b[1114111$x\x1b[1;1;1*y");
    EXPECT_EQ(h.replies(), "\x1bP1!~4c07ec78\x1b\\");
}

TEST(TerminalRect, OtherFormsAreLogged) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<DiagnosticKind> lines;
    };
    const std::vector<Case> cases = {
        {"CSI x", "\x1b[>1x", {DiagnosticKind::unhandledSequence}},
        {"CSI x no collect", "\x1b[1;2x", {DiagnosticKind::unhandledSequence}},
        {"CSI {", "\x1b[1;2{", {DiagnosticKind::unhandledSequence}},
        {"CSI }", "\x1b[3}", {DiagnosticKind::unhandledSequence}},
        {"DECELR", "\x1b['z", {DiagnosticKind::unhandledSequence}},
        {"CSI z other", "\x1b[1z", {}},
        {"CSI v other", "\x1b[1v", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Screen s;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { s.h.feed(c.input); }), c.lines);
        EXPECT_EQ(s.dump(), patternDump);
        s.h.terminal().silentLog = true;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { s.h.feed(c.input); }),
                  std::vector<DiagnosticKind>{});
    }
}

// The rectangle commands changed cells without marking their rows, so a view never redrew them.
TEST(TerminalRect, ChangedRowsAreMarked) {
    struct Case {
        const char* name;
        const char* input;
        int startY, endY;
    };
    const Case cases[] = {
        {"DECFRA", "\x1b[88;2;1;3;4$x", 1, 2},         {"DECERA", "\x1b[3;1;4;4$z", 2, 3},
        {"DECSERA", "\x1b[2;1;2;4${", 1, 1},           {"DECCRA", "\x1b[1;1;1;2;1;4;3;1$v", 3, 3},
        {"DECIC", "\x1b[2;4r\x1b[3;1H\x1b[2'}", 0, 3}, {"DECDC", "\x1b[2;4r\x1b[3;1H\x1b[2'~", 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(8, 5);
        h.terminal().clearUpdateRange();
        h.feed(c.input);
        const auto range = h.terminal().getUpdateRange();
        ASSERT_TRUE(range.has_value());
        EXPECT_LE(range->startY, c.startY);
        EXPECT_GE(range->endY, c.endY);
    }
}
