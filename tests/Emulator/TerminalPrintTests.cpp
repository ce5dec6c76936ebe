// The print path (UTF-8, character sets, widths, graphemes) and the C0 controls LF, CR, BS and HT.
#include "TerminalHarness.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

struct PrintCase {
    const char* name;
    std::vector<std::string> feeds; // fed one after another, as separate runs
    std::string expected;           // the screen dump
    std::pair<int, int> cursor;
};

void runCases(const std::vector<PrintCase>& cases, int cols = 80, int rows = 4) {
    for (const PrintCase& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(cols, rows);
        for (const std::string& feed : c.feeds)
            h.feed(feed);
        EXPECT_EQ(h.dump(), c.expected);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

std::string spaces(int n) {
    return std::string(size_t(n), ' ');
}

} // namespace

TEST(TerminalPrint, Utf8) {
    runCases({
        {"ascii", {"abc"}, "abc", {3, 0}},
        {"two-byte", {"\xC3\xA9"}, "é", {1, 0}},
        {"split over two runs", {"\xC3", "\xA9"}, "é", {1, 0}},
        {"four bytes split three ways", {"\xF0\x9F", "\x98", "\x80!"}, "😀_!", {3, 0}},
        {"a control between the halves keeps them", {"\xC3", "\r", "\xA9"}, "é", {1, 0}},
        {"an escape sequence prints the held byte as a bad one",
         {"\xC3", "\x1b[m",
          "\xA9"
          "A"},
         "Ã©A",
         {3, 0}},
        {"a lead byte before an escape sequence prints as before a letter", {"x\xDF\x1b[my"}, "xßy", {3, 0}},
        {"so does a longer start", {"x\xE4\xB8\x1b[my"}, "xäy", {3, 0}},
        {"a lead byte before a letter", {"x\xDFy"}, "xßy", {3, 0}},
        // Fault: the byte after a bad lead was lost ("C3 41" printed only U+00C3).
        {"invalid pair keeps the next byte", {"\xC3\x41"}, "ÃA", {2, 0}},
        {"invalid triple keeps the next byte", {"\xE2\x82\x41"}, "âA", {2, 0}},
        {"invalid across runs keeps the next byte", {"\xE2\x82", "\x41"}, "âA", {2, 0}},
        {"surrogate drops its continuation bytes", {"\xED\xA0\x80Z"}, "íZ", {2, 0}},
        {"a byte that starts nothing is Latin-1", {"\xC0\xAF"}, "À¯", {2, 0}},
        {"stray continuation byte is Latin-1", {"\xA9"}, "©", {1, 0}},
        {"stray C1 byte is dropped",
         {"a\x85"
          "b"},
         "ab",
         {2, 0}},
        {"above U+10FFFF", {"\xF4\x90\x80\x80."}, "ô.", {2, 0}},
        // Fault: DEL was stored as a cell by the ASCII fast path.
        {"DEL never prints (fast path)",
         {"a\x7f"
          "b"},
         "ab",
         {2, 0}},
        {"DEL never prints (general path)",
         {"\xC3\xA9\x7f"
          "b"},
         "éb",
         {2, 0}},
        {"DEL inside a short run", {"abcdef\x7fgh"}, "abcdefgh", {8, 0}},
        {"DEL ending a four-byte run", {"abc\x7f"}, "abc", {3, 0}},
        {"UTF-8 ending a five-byte run", {"abc\xC3\xA9"}, "abcé", {4, 0}},
        {"UTF-8 inside a long run",
         {"abcdefghijklmnopqrstuvwxyz\xC3\xA9z"},
         "abcdefghijklmnopqrstuvwxyzéz",
         {28, 0}},
        {"wide CJK", {"\xE4\xB8\xADx"}, "中_x", {3, 0}},
    });
}

TEST(TerminalPrint, Graphemes) {
    runCases({
        {"combining acute", {"e\xCC\x81x"}, "e\xCC\x81x", {2, 0}},
        {"combining mark split from its base", {"e", "\xCC\x81"}, "e\xCC\x81", {1, 0}},
        {"combining mark first prints nothing",
         {"\xCC\x81"
          "a"},
         "a",
         {1, 0}},
        {"emoji", {"\xF0\x9F\x98\x80"}, "😀_", {2, 0}},
        {"heart with VS16 widens",
         {spaces(10) + "\xE2\x9D\xA4\xEF\xB8\x8F"},
         spaces(10) + "❤️_",
         {12, 0}},
        {"VS16 in the last column keeps width 1",
         {spaces(79) + "\xE2\x9D\xA4\xEF\xB8\x8F"},
         spaces(79) + "❤️",
         {80, 0}},
        {"VS15 narrows a wide emoji", {"\xE2\x8C\x9A\xEF\xB8\x8E"}, "⌚︎_", {1, 0}},
        {"VS15 after VS16 is dropped", {"\xE2\x9D\xA4\xEF\xB8\x8F\xEF\xB8\x8E"}, "❤️_", {2, 0}},
        {"VS16 after A is dropped", {"A\xEF\xB8\x8F"}, "A", {1, 0}},
        {"flag pair", {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA"}, "🇩🇪_", {2, 0}},
        {"third indicator starts a cell",
         {"\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA\xF0\x9F\x87\xAB"},
         "🇩🇪_🇫_",
         {4, 0}},
        {"ZWJ sequence", {"\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9"}, "👨‍👩_", {2, 0}},
        {"ZWJ then a letter", {"\xF0\x9F\x91\xA8\xE2\x80\x8Dq"}, "👨‍_q", {3, 0}},
        {"skin tone", {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"}, "👍🏽_", {2, 0}},
        {"wide at the right edge wraps", {spaces(79) + "\xE4\xB8\xAD"}, spaces(79) + "\n中_", {2, 1}},
    });
}

TEST(TerminalPrint, GraphemeCodes) {
    TerminalHarness h(80, 4);
    Terminal& t = h.terminal();
    h.feed("e\xCC\x81\xF0\x9F\x98\x80\xC3\xA9");
    const CharData accented = *t.getCharData(0, 0);
    EXPECT_GE(accented.code, 0x400001);
    EXPECT_EQ(accented.width(), 1);
    EXPECT_EQ(t.getCharacter(accented), "e\xCC\x81");
    EXPECT_EQ(t.getCharData(1, 0)->code, accented.code + 1) << "U+1F600 takes the next grapheme code";
    EXPECT_EQ(t.getCharData(3, 0)->code, 0xE9);
    EXPECT_EQ(t.graphemes().lastCharIndex(), accented.code + 2);

    EXPECT_EQ(t.code("\r\n"), 10);
    EXPECT_EQ(t.code("E"), 69);
    EXPECT_EQ(t.code("\xE4\xB8\xAD"), 0x4E2D);
    EXPECT_EQ(t.code("e\xCC\x81"), accented.code) << "the same character, the same code";
    EXPECT_EQ(t.character(0xD800), " ");
    EXPECT_EQ(t.character(0x110000), " ");
    EXPECT_EQ(t.character(t.graphemes().lastCharIndex()), " ") << "never handed out";
    EXPECT_EQ(t.character(0), std::string(1, '\0'));
    EXPECT_EQ(t.makeCharData(Attribute::defaultAttribute(), std::string_view("e\xCC\x81"), 1).code,
              accented.code);
    CharData cell;
    t.updateCharData(cell, std::string_view("\xF0\x9F\x98\x80"), 2);
    EXPECT_EQ(cell.code, accented.code + 1);
    EXPECT_EQ(cell.width(), 2);

    h.feed("\x1b"
           "c");
    EXPECT_EQ(t.code("e\xCC\x81"), accented.code)
        << "a full reset starts the table afresh, lowest code first";
}

TEST(TerminalPrint, GraphemeTableIsBounded) {
    TerminalHarness h(80, 4);
    Terminal& t = h.terminal();
    // Fill the table with distinct two-scalar characters.
    for (int i = 0; t.graphemes().count() < GraphemeTable::maxCount; ++i) {
        std::string text =
            Utf8::encode(0x4E00 + uint32_t(i % 20000)) + Utf8::encode(0x300 + uint32_t(i / 20000));
        t.code(text);
    }
    h.feed("a\xCC\x81 \xF0\x9F\xA6\x80");
    EXPECT_EQ(t.getCharData(0, 0)->code, 0xFFFD) << "a new cluster past the bound";
    EXPECT_EQ(t.getCharData(2, 0)->code, 0x1F980) << "a lone scalar keeps its own value";
    EXPECT_EQ(h.dump(), "\xEF\xBF\xBD 🦀_");
    EXPECT_EQ(t.graphemes().count(), GraphemeTable::maxCount);
}

TEST(TerminalPrint, LongClustersStopGrowing) {
    TerminalHarness h(80, 4);
    std::string zalgo = "a";
    for (int i = 0; i < 100; ++i)
        zalgo += "\xCC\x81";
    h.feed(zalgo + "b");
    EXPECT_EQ(h.cursor(), (std::pair{2, 0}));
    EXPECT_LE(h.terminal().getCharacter(0, 0)->size(), GraphemeTable::maxLength);
}

TEST(TerminalPrint, JoiningNeedsTheSameScreenSize) {
    TerminalHarness h(80, 4);
    h.feed("e");
    h.terminal().resize(70, 4);
    h.feed("\xCC\x81\xF0\x9F\x8F\xBD");
    EXPECT_EQ(h.dump(), "e") << "a mark with nothing to join to is dropped";
}

TEST(TerminalPrint, CharacterSets) {
    TerminalHarness h(80, 4);
    Terminal& t = h.terminal();
    t.setgCharset(0, CharSets::lookup('0'));
    h.feed("qx\xC3\xA9");
    EXPECT_EQ(h.dump(), "─│é");
    EXPECT_EQ(t.getCharData(0, 0)->width(), 1);
    h.feed("\x0e"
           "q");
    EXPECT_EQ(h.dump(), "─│éq") << "SO invokes G1, which is empty";
    t.setgCharset(1, CharSets::lookup('0'));
    h.feed("q\x0f"
           "q\x1b%Gq");
    EXPECT_EQ(h.dump(), "─│éq──q") << "designating into the invoked set applies at once; ESC % G empties G0";
}

TEST(TerminalPrint, InsertModeStillPrintsEveryCharacter) {
    TerminalHarness h(10, 2);
    Terminal& t = h.terminal();
    h.feed("xyz\r");
    t.insertMode = true;
    t.buffer().insertMode = true;
    h.feed("abc");
    EXPECT_EQ(h.dump(), "abcxyz");
    EXPECT_EQ(t.buffer().lastBufferStorage, (Buffer::LastBufferStorage{0, 2, 10, 2}));
}

TEST(TerminalPrint, NoWraparoundKeepsWritingTheLastColumn) {
    TerminalHarness h(10, 2);
    Terminal& t = h.terminal();
    t.wraparound = false;
    t.buffer().wraparound = false;
    h.feed("abcdefgh"
           "ijklmn");
    EXPECT_EQ(h.dump(), "abcdefghin");
    EXPECT_EQ(h.cursor(), (std::pair{9, 0})) << "no column past the edge waits to wrap";
}

TEST(TerminalPrint, NoWraparoundHoldsTheCursorOnTheRightMargin) {
    struct Case {
        const char* name;
        std::string input;
        std::string reply;
        std::string row;
    };
    const std::string margins = "\x1b[?69h\x1b[5;9s\x1b[5;9r\x1b[9;8H\x1b[?7l";
    const std::vector<Case> cases = {
        {"text past the margin", margins + "abcdef\x1b[6n", "\x1b[9;9R", "       af"},
        {"later text overwrites the margin column", margins + "abcdefg\x1b[DX\x1b[6n", "\x1b[9;9R",
         "       Xg"},
        {"a wide character that does not fit is dropped", margins + "a\xe4\xb8\xad\x1b[6n", "\x1b[9;9R",
         "       a"},
        {"repeat", margins + "a\x1b[5b\x1b[6n", "\x1b[9;9R", "       aa"},
        {"one column at a time", margins + "a\x1b[6n", "\x1b[9;9R", "       a"},
        {"a cursor beyond the margin stays where nothing was written",
         "\x1b[?69h\x1b[1;5s\x1b[?7l\x1b[9;8H\xcc\x81\x1b[6n", "\x1b[9;8R", ""},
        {"the screen's last column", "\x1b[?7l\x1b[9;8Habcdefghijklmnopq\x1b[6n", "\x1b[9;20R",
         "       abcdefghijklq"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 10);
        h.feed(c.input);
        EXPECT_EQ(h.replies(), c.reply);
        std::string row = h.buffer().lines()[8]->translateToString(true);
        std::replace(row.begin(), row.end(), '\0', ' ');
        EXPECT_EQ(row, c.row);
    }
}

TEST(TerminalPrint, WrappedRowsAreMarked) {
    TerminalHarness h(5, 3);
    h.feed("abcdefgh\r\nxy");
    EXPECT_EQ(h.dump(true), "|abcde\n~fgh\n|xy");
}

// A row reused by scrolling is cleared only as far as it held text; nothing of the old text may show.
TEST(TerminalPrint, RecycledRowsShowNoStaleCells) {
    TerminalHarness h(10, 2, 2);
    h.feed("0123456789abcdefghij\r\nxy\r\nshort\r\n\xE4\xB8\xAD");
    EXPECT_EQ(h.dumpAll(true), "~abcdefghij\n|xy\n|short\n|中_");
}

struct ControlCase {
    const char* name;
    std::function<void(Terminal&)> setUp;
    std::string input;
    std::pair<int, int> cursor;
    int yBase;
};

TEST(TerminalPrint, Controls) {
    auto region = [](int top, int bottom) {
        return [=](Terminal& t) {
            t.buffer().setScrollTop(top);
            t.buffer().setScrollBottom(bottom);
        };
    };
    auto margins = [](int left, int right, bool on) {
        return [=](Terminal& t) {
            t.marginMode = on;
            t.buffer().marginMode = on;
            t.buffer().setMarginLeft(left);
            t.buffer().setMarginRight(right);
        };
    };
    auto at = [](int x, int y) {
        return [=](Terminal& t) {
            t.buffer().setX(x);
            t.buffer().setY(y);
        };
    };
    auto both = [](auto a, auto b) {
        return [=](Terminal& t) {
            a(t);
            b(t);
        };
    };
    const std::vector<ControlCase> cases = {
        {"LF moves down", nullptr, "ab\n", {2, 1}, 0},
        {"LF on the bottom row scrolls", at(0, 4), "\n", {0, 4}, 1},
        {"LF below the region does nothing", both(region(0, 2), at(3, 4)), "\n", {3, 4}, 0},
        {"LF at the pending-wrap column", at(10, 1), "\n", {9, 2}, 0},
        {"LF right of the margins on the region's bottom row",
         both(margins(2, 5, false), at(7, 4)),
         "\n",
         {7, 4},
         0},
        {"LF with the margins in margin mode", both(margins(2, 5, true), at(7, 4)), "\n", {7, 4}, 0},
        {"LNM returns the carriage", [](Terminal& t) { t.lineFeedMode = true; }, "abc\n", {0, 1}, 0},
        {"VT and FF are line feeds", nullptr, "a\x0b\x0c", {1, 2}, 0},
        {"CR", at(5, 1), "\r", {0, 1}, 0},
        {"CR to the left margin", both(margins(3, 8, true), at(6, 1)), "\r", {3, 1}, 0},
        {"CR left of the left margin", both(margins(3, 8, true), at(2, 1)), "\r", {0, 1}, 0},
        {"BS", at(5, 1), "\b", {4, 1}, 0},
        {"BS at column 0", at(0, 1), "\b", {0, 1}, 0},
        {"BS from the pending-wrap column", at(10, 1), "\b", {8, 1}, 0},
        {"BS at column 0 with reverse wraparound",
         both(at(0, 2), [](Terminal& t) { t.reverseWraparound = true; }),
         "\b",
         {9, 1},
         0},
        {"BS at the region's top with reverse wraparound",
         both(both(region(1, 3), at(0, 1)), [](Terminal& t) { t.reverseWraparound = true; }),
         "\b",
         {9, 3},
         0},
        {"BS below the region with reverse wraparound",
         both(both(region(0, 2), at(0, 4)), [](Terminal& t) { t.reverseWraparound = true; }),
         "\b",
         {9, 3},
         0},
        {"BS on row 0 above the region with reverse wraparound",
         both(region(2, 4), [](Terminal& t) { t.reverseWraparound = true; }),
         "\b",
         {0, 0},
         0},
        {"HT", nullptr, "\tx\t", {9, 0}, 0},
        {"HT at the end", at(78, 0), "\t\t", {9, 0}, 0},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 5);
        if (c.setUp) c.setUp(h.terminal());
        h.feed(c.input);
        EXPECT_EQ(h.cursor(), c.cursor);
        EXPECT_EQ(h.buffer().yBase(), c.yBase);
    }
}

TEST(TerminalPrint, LineFeedTellsTheDelegate) {
    TerminalHarness h(10, 3);
    h.delegate().ignored.clear();
    h.feed("\n\n\n");
    EXPECT_EQ(h.log(), (std::vector<std::string>{"linefeed", "linefeed", "scrolled 1", "linefeed"}));
}

TEST(TerminalPrint, ReverseWraparoundUnwrapsTheRow) {
    TerminalHarness h(5, 3);
    h.terminal().reverseWraparound = true;
    h.feed("abcdefg");
    h.buffer().setX(0);
    h.feed("\bX");
    EXPECT_EQ(h.dump(true), "|abcdX\n|fg");
}

TEST(TerminalPrint, MarksJoinedInOneRunTakeOneCode) {
    TerminalHarness h(80, 4);
    Terminal& t = h.terminal();
    const int32_t next = t.graphemes().lastCharIndex();
    h.feed("a\xCC\x81\xCC\x82\xCC\x83"
           "b");
    EXPECT_EQ(t.getCharData(0, 0)->code, next);
    EXPECT_EQ(t.graphemes().lastCharIndex(), next + 1);
    EXPECT_EQ(h.dump(), "a\xCC\x81\xCC\x82\xCC\x83"
                        "b");
    h.feed("\xCC\x84"); // a later run extends the cell it left
    EXPECT_EQ(t.getCharacter(1, 0), "b\xCC\x84");
    EXPECT_EQ(t.graphemes().lastCharIndex(), next + 2);
}

// The print path remembers what it wrote last only within a run: a cell changed between runs (here
// directly, as a rectangle copy could) is read again.
TEST(TerminalPrint, CellChangedBetweenRunsIsReadAgain) {
    TerminalHarness h(80, 4);
    Terminal& t = h.terminal();
    h.feed("\xF0\x9F\x91\xA8");
    CharData cell = *t.getCharData(0, 0);
    cell.code = t.code("\xF0\x9F\x91\xA8\xE2\x80\x8D");
    h.buffer().lines()[0]->set(0, cell);
    h.feed("\xF0\x9F\x91\xA9");
    EXPECT_EQ(h.dump(), "👨‍👩_");
}

namespace {

// Every screen cell's code and width and all its other bytes (attribute, payload), the cursor, the wrap
// flags and the next grapheme code: what two ways of printing the same text must agree on.
std::string printedState(TerminalHarness& h) {
    std::string out = h.dump(true) + "\n";
    Buffer& buffer = h.buffer();
    for (int y = 0; y < buffer.rows(); ++y) {
        const BufferLine& line = *buffer.lines()[buffer.yBase() + y];
        for (int x = 0; x < line.count(); ++x) {
            out += std::to_string(line[x].code) + ":" + std::to_string(line[x].width()) + ":";
            std::array<uint8_t, sizeof(CharData)> bytes;
            std::memcpy(bytes.data(), &line[x], bytes.size());
            for (uint8_t b : bytes) {
                out += "0123456789abcdef"[b >> 4];
                out += "0123456789abcdef"[b & 15];
            }
            out += " ";
        }
        out += "\n";
    }
    const auto [x, y] = h.cursor();
    return out + "cursor " + std::to_string(x) + "," + std::to_string(y) + " next " +
           std::to_string(h.terminal().graphemes().lastCharIndex());
}

} // namespace

// A run joins a letter's marks and places the cells that fit straight from its bytes. The same text
// goes the general way through a character set (every ASCII byte a cell of its own, marks joined to the
// cell read back) and, on blank rows, through insert mode (every cell placed one by one): all three must
// print the same cells with the same codes.
TEST(TerminalPrint, FastPathsPrintAsTheGeneralPath) {
    std::string zalgo = "a";
    for (int i = 0; i < 70; ++i)
        zalgo += "\xCC\x81";
    const struct {
        const char* name;
        std::string setup; // fed first, in all three terminals
        std::string text;  // no '#', which the United Kingdom set maps
    } cases[] = {
        {"letters with marks", "",
         "a\xCC\x81"
         "b\xCC\x82\xCC\x83 c\xCC\x84\xCC\x85\xCC\x86"
         "d a\xCC\x81"},
        {"a space takes marks", "", " \xCC\x81x"},
        {"marks then the joiner", "", "e\xCC\x81\xE2\x80\x8D\xF0\x9F\x91\xA9x"},
        {"marks then a keycap and VS16", "",
         "*\xE2\x83\xA3\xEF\xB8\x8F"
         "1\xEF\xB8\x8F\xE2\x83\xA3"},
        {"marks then a wide character", "",
         "a\xCC\x81\xE4\xB8\xAD"
         "b\xCC\x81\xF0\x9F\x98\x80"},
        {"marks then a vowel that is no mark", "",
         "a\xCC\x81\xE1\x85\xA1"
         "b\xE0\xA4\x83"},
        {"marks around DEL", "", "a\xCC\x81\x7F\xCC\x82z"},
        {"marks then a broken sequence", "",
         "a\xCC\x81\xC3"
         "A"},
        {"a mark cut off at the end", "", "a\xCC\x81\xCC"},
        {"an overlong cluster", "", zalgo + "b" + zalgo},
        {"marks in the last column wrap on", "",
         std::string(19, ' ') + "a\xCC\x81\xCC\x82"
                                "b\xCC\x83"},
        {"marks without wraparound", "\x1b[?7l",
         "abcdefghijklmnopqrstu\xCC\x81v\xCC\x82\xE4\xB8\xAD\xCC\x83"},
        {"insert mode", "ab\r\x1b[4h", "x\xCC\x81y\xE4\xB8\xAD\xCC\x82"},
        {"margins", "\x1b[?69h\x1b[5;10s\x1b[1;8H",
         "a\xCC\x81\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97"
         "b\xCC\x82\xF0\x9F\x98\x80\xE4\xB8\xAD"},
        {"right of the right margin", "\x1b[?69h\x1b[2;5s\x1b[1;12H",
         "\xE4\xB8\xAD\xE6\x96\x87"
         "a\xCC\x81"},
        {"wide characters up to the edge", "",
         "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97\xEA\xB0\x80\xEB\x82\x98\xEB\x8B\xA4\xF0\x9F\x98\x80\xF0\x9F"
         "\x98"
         "\x81\xF0\x9F\x98\x82\xE4\xB8\xAD"
         "a\xE4\xB8\xAD\xE6\x96\x87"},
        {"emoji sequences", "",
         "\xE2\x9D\xA4\xEF\xB8\x8F\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA\xF0\x9F"
         "\x87"
         "\xAB\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7"
         "a\xEF\xB8\x8F"},
        {"wide without wraparound", "\x1b[?7l",
         std::string(17, 'x') + "\xE4\xB8\xAD\xE6\x96\x87\xE5\xAD\x97"
                                "a\xCC\x81"},
        {"emoji sequences among letters, in colour", "\x1b[1;31;44m",
         "a \xE2\x9D\xA4\xEF\xB8\x8F b\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"
         "c\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA "
         "\xF0\x9F\xA7\x91\xE2\x80\x8D\xF0\x9F\xA4\x9D\xE2\x80\x8D\xF0\x9F\xA7\x91"
         "d\xC2\xA9\xEF\xB8\x8F\xE4\xB8\xAD\xEF\xB8\x8F"},
        {"VS16 widening in a linked cell", "\x1b]8;;http://example.com\x1b\\",
         "\xE2\x9D\xA4\xEF\xB8\x8F\xE2\x98\xBA\xEF\xB8\x8F"},
        {"VS16 at the edge", "", std::string(18, ' ') + "\xE2\x9D\xA4\xEF\xB8\x8F\xE2\x9D\xA4\xEF\xB8\x8F"},
        {"VS16 in the last column", "", std::string(19, ' ') + "\xE2\x9D\xA4\xEF\xB8\x8Fz"},
        {"VS16 at the right margin", "\x1b[?69h\x1b[2;5s\x1b[1;4H", "\xE2\x9D\xA4\xEF\xB8\x8Fz"},
        // Each after plain cells, so that the run's fast path meets it.
        {"VS15", "", "x\xE4\xB8\xAD\xE2\x9D\xA4\xEF\xB8\x8E"},
        {"VS16 twice", "", "x\xE4\xB8\xAD\xE2\x9D\xA4\xEF\xB8\x8F\xEF\xB8\x8F"},
        {"VS16 after a mark", "", "x\xE4\xB8\xAD\xE2\x9D\xA4\xCC\x81\xEF\xB8\x8F"},
        {"VS16 after no base", "",
         "x\xE4\xB8\xAD\xE6\x96\x87\xEF\xB8\x8F"
         "a\xEF\xB8\x8F"},
        {"indicators in threes", "",
         "x\xE4\xB8\xAD\xF0\x9F\x87\xA9\xF0\x9F\x87\xAA\xF0\x9F\x87\xAB\xF0\x9F\x87\xAC\xF0\x9F\x87\xAD"},
        {"indicators with marks", "",
         "x\xE4\xB8\xAD\xF0\x9F\x87\xA9\xCC\x81\xF0\x9F\x87\xAA\xE4\xB8\xAD\xF0\x9F\x87\xA9"},
        {"a joiner after no pictograph", "", "x\xE4\xB8\xAD\xE6\x96\x87\xE2\x80\x8D\xE6\x96\x87"},
        {"a joiner after a letter", "",
         "x\xE4\xB8\xAD"
         "a\xE2\x80\x8D\xF0\x9F\x91\xA9"},
        {"two joiners", "", "x\xE4\xB8\xAD\xF0\x9F\x91\xA8\xE2\x80\x8D\xE2\x80\x8D\xF0\x9F\x91\xA9"},
        {"a joiner at the end", "", "x\xE4\xB8\xAD\xF0\x9F\x91\xA8\xE2\x80\x8D"},
        {"a joiner, a mark, a pictograph", "",
         "x\xE4\xB8\xAD\xF0\x9F\x91\xA8\xE2\x80\x8D\xCC\x81\xF0\x9F\x91\xA9"},
        {"skin tones after others", "",
         "x\xE4\xB8\xAD\xF0\x9F\x8F\xBD"
         "x\xF0\x9F\x8F\xBD\xF0\x9F\x8F\xBD"},
        {"DEL inside emoji", "", "x\xE4\xB8\xAD\xF0\x9F\x91\x8D\x7F\xF0\x9F\x8F\xBD\xE4\xB8\xAD\x7F\xCC\x81"},
        {"broken bytes after emoji", "",
         "x\xE4\xB8\xAD\xF0\x9F\x91\x8D\xC3\xF0\x9F\x8F\xBD\xE4\xB8\xAD\xF0\x9F"},
        {"an overlong emoji cluster", "", "x\xE4\xB8\xAD\xF0\x9F\x91\x8D" + zalgo.substr(1)},
        {"decomposed Hangul", "",
         "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8\xE1\x84\x82\xE1\x85\xB5 \xEA\xB0\x80\xE1\x86\xA8"
         "a\xE1\x85\xA1\xE1\x84\x80\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8\xE1\x85\xA1"},
        {"decomposed Hangul across the edge", "",
         std::string(19, 'x') + "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8\xE1\x84\x82\xE1\x85\xB5"},
        {"accented letters, symbols and box drawing", "",
         "caf\xC3\xA9 na\xC3\xAFve \xE2\x94\x80\xE2\x94\x82 \xD0\x96\xCE\xB1 ok"},
        {"accented text across the edge", "", std::string(17, 'x') + "\xC3\xA9\xC3\xA8\xC3\xAA" + "abc"},
        {"accented text without wraparound", "\x1b[?7l",
         std::string(17, 'x') + "\xC3\xA9\xC3\xA8\xC3\xAA" + "abc"},
        {"a mark in the run after accented text", "", "\xC3\xA9t\xC3\xA9\x1b[m\xCC\x81x"},
        {"Latin-1 letters and signs over more than a row", "",
         "The caf\xC3\xA9 na\xC3\xAFve \xC2\xA0\xC2\xBF\xC3\xBF\xC2\xAD\xC3\x97 and a long tail of ASCII"},
        {"a control of Latin-1 among accented text", "", "abc\xC2\x85\xC3\xA9 defghijklmnopqrstuv"},
        {"a mark after a Latin-1 letter", "", "abcdefghijklmnopq\xC3\xA9\xCC\x81xyz"},
        {"a Latin-1 letter in the last column", "", std::string(19, 'x') + "\xC3\xA9" + std::string(18, 'y')},
        {"a Latin-1 letter cut off at the end", "", "abcdefghijklmnopqrs\xC3"},
        {"a pictograph in the run after a joiner", "",
         "\xF0\x9F\x91\xA8\xE2\x80\x8D\x1b[m\xC2\xA9"
         "a"},
        {"scrolling rows", "",
         "a\xCC\x81\xE4\xB8\xAD\r\n\xE6\x96\x87"
         "b\xCC\x82\r\n\r\n\r\n\xF0\x9F\x98\x80"
         "c\xCC\x83\r\n" +
             std::string(20, 'y') + "z\xCC\x84"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness fast(20, 4);
        fast.feed(c.setup).feed(c.text);
        TerminalHarness charset(20, 4);
        charset.feed("\x1b(A").feed(c.setup).feed(c.text);
        TerminalHarness inserting(20, 4);
        inserting.feed("\x1b[4h").feed(c.setup).feed(c.text);
        const std::string expected = printedState(fast);
        EXPECT_EQ(printedState(charset), expected) << "joined the general way";
        EXPECT_EQ(printedState(inserting), expected) << "placed the general way";
    }
}

// A lone ASCII byte between two sequences takes a path of its own; fed a byte per run, text must leave
// the cells, cursor and last written position that one run leaves, whatever the modes around it.
TEST(TerminalPrint, OneByteRunsMatchOneRun) {
    struct Case {
        const char* name;
        std::string setup;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"plain", "\x1b[31;4m", "ab c~"},
        {"wraps at the edge", "\x1b[1;9H\x1b[1;38;5;9m", "abcd"},
        {"scrolls at the bottom", "\x1b[4;9H", "abcdef"},
        {"no wraparound", "\x1b[?7l\x1b[1;9H", "abcd"},
        {"insert mode", "xyz\r\x1b[4h", "ab"},
        {"left and right margins", "\x1b[?69h\x1b[3;6s\x1b[1;5H", "abcdef"},
        {"past the right margin", "\x1b[?69h\x1b[3;6s\x1b[1;8H", "abc"},
        {"line drawing set", "\x1b(0", "lqk"},
        {"held UTF-8 start", "", "a\xc3\xa9z"},
        {"DEL and controls in runs", "",
         "a\x7f"
         "b"},
        {"double-width row", "\x1b#6", "abcdef"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness whole(10, 4), bytewise(10, 4);
        whole.feed(c.setup).feed(c.text);
        bytewise.feed(c.setup);
        for (char ch : c.text)
            bytewise.feed(std::string_view(&ch, 1));
        EXPECT_EQ(bytewise.dump(true), whole.dump(true));
        EXPECT_EQ(bytewise.cursor(), whole.cursor());
        EXPECT_EQ(bytewise.buffer().lastBufferStorage, whole.buffer().lastBufferStorage);
        for (int y = 0; y < 4; ++y) {
            const BufferLine& a = *whole.terminal().getLine(y);
            const BufferLine& b = *bytewise.terminal().getLine(y);
            ASSERT_EQ(b.count(), a.count());
            for (int x = 0; x < a.count(); ++x)
                EXPECT_TRUE(b[x] == a[x]) << "row " << y << " column " << x;
        }
    }
}

// Decomposed Hangul joins by syllable structure: a leading consonant, a vowel and a trailing consonant
// make one wide cell, a trailing consonant joins a precomposed syllable without one, and a vowel after
// anything but a syllable that takes it stands apart (dropped, taking no column).
TEST(TerminalPrint, DecomposedHangulJoinsBySyllables) {
    TerminalHarness h(20, 2);
    const std::string gak = "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8"; // U+1100 U+1161 U+11A8
    h.feed(gak + "\xEA\xB0\x80\xE1\x86\xA8" + "a\xE1\x85\xA1");
    Terminal& t = h.terminal();
    EXPECT_EQ(t.getCharacter(0, 0), gak);
    EXPECT_EQ(t.getCharData(0, 0)->width(), 2);
    EXPECT_EQ(t.getCharacter(2, 0), "\xEA\xB0\x80\xE1\x86\xA8");
    EXPECT_EQ(t.getCharacter(4, 0), "a");
    EXPECT_EQ(h.cursor(), (std::pair{5, 0}));
}
