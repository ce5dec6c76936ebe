// Link detection: OSC 8 links under a position, URLs and paths found in the text of the logical line,
// across wraps and across rows that only look joined.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using Mode = Terminal::LinkLookupMode;
using Location = Terminal::LinkLookupLocation;

// "text @row [from,to) rows: r[from,to) ..." or "none".
std::string describe(const std::optional<Terminal::LinkMatch>& match) {
    if (!match) return "none";
    std::string out = match->text + " @" + std::to_string(match->row) + " [" +
                      std::to_string(match->range.lowerBound) + "," +
                      std::to_string(match->range.upperBound) + ")" + (match->isExplicit ? " explicit" : "") +
                      " rows:";
    for (const auto& rowRange : match->rowRanges)
        out += " " + std::to_string(rowRange.row) + "[" + std::to_string(rowRange.range.lowerBound) + "," +
               std::to_string(rowRange.range.upperBound) + ")";
    return out;
}

std::string lookUp(TerminalHarness& h, int col, int row, Mode mode = Mode::explicitAndImplicit) {
    return describe(h.terminal().linkMatch(Location::buffer(Position(col, row)), mode));
}

// Rows written one by one, each ended by CR LF (no wrap between them).
std::string rows(std::initializer_list<std::string> lines) {
    std::string out;
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

} // namespace

TEST(TerminalLinks, ExplicitLinks) {
    TerminalHarness h(10, 4);
    // "see " then a link over "abcdefgh": it wraps onto the second row, where " . " covers its last
    // cell. Then a wide character inside a link on the third row.
    h.feed("see \x1b]8;id=1;http://h/a;b\x1b\\abcdefgh\x1b]8;;\x1b\\ . \r\n");
    h.feed("\x1b]8;;http://wide\x1b\\x\xe4\xb8\xadz\x1b]8;;\x1b\\");
    struct Case {
        const char* name;
        int col;
        int row;
        Mode mode;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"first row of a wrapped link", 6, 0, Mode::explicitOnly,
         "http://h/a;b @0 [4,10) explicit rows: 0[4,10)"},
        {"second row of it", 0, 1, Mode::explicitOnly, "http://h/a;b @1 [0,2) explicit rows: 1[0,2)"},
        {"outside the link", 2, 0, Mode::explicitOnly, "none"},
        {"the second cell of a wide character", 2, 2, Mode::explicitOnly,
         "http://wide @2 [0,5) explicit rows: 2[0,5)"},
        {"the wide character itself", 1, 2, Mode::explicitOnly, "http://wide @2 [0,5) explicit rows: 2[0,5)"},
        {"an explicit link wins in both modes", 1, 2, Mode::explicitAndImplicit,
         "http://wide @2 [0,5) explicit rows: 2[0,5)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(lookUp(h, c.col, c.row, c.mode), c.expected);
    }
    EXPECT_EQ(h.terminal().link(Location::buffer(Position(6, 0)), Mode::explicitOnly), "http://h/a;b");
}

TEST(TerminalLinks, ImplicitLinksInOneRow) {
    struct Case {
        const char* name;
        std::string text;
        int col;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a URL", "go to https://example.com/a?b=c now", 8,
         "https://example.com/a?b=c @0 [6,31) rows: 0[6,31)"},
        {"a final '.' is left out", "see http://x.org/a.", 6, "http://x.org/a @0 [4,18) rows: 0[4,18)"},
        {"a final ',' is left out", "http://x.org/a, and", 0, "http://x.org/a @0 [0,14) rows: 0[0,14)"},
        {"a bracketed word stays", "http://x.org/wiki/A_(b) x", 3,
         "http://x.org/wiki/A_(b) @0 [0,23) rows: 0[0,23)"},
        {"a home path", "edit ~/src/main.cpp please", 7, "~/src/main.cpp @0 [5,19) rows: 0[5,19)"},
        {"a relative path with a dot", "in src/lib/a.h:12 here", 4, "src/lib/a.h:12 @0 [3,17) rows: 0[3,17)"},
        {"an absolute path going past single spaces", "open /tmp/my file.txt", 6,
         "/tmp/my file.txt @0 [5,21) rows: 0[5,21)"},
        {"a shell variable path", "cd $HOME/src", 5, "$HOME/src @0 [3,12) rows: 0[3,12)"},
        {"a URL right after '$' is no link", "x$http://example.com", 6, "none"},
        {"a position beside the link", "go to https://example.com now", 2, "none"},
        {"right of the last character", "https://example.com", 30, "none"},
        {"plain words", "nothing to see here", 3, "none"},
        {"a wide character before the URL", "\xe4\xb8\xad http://a.b/c", 5,
         "http://a.b/c @0 [3,15) rows: 0[3,15)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(40, 4);
        h.feed(c.text);
        EXPECT_EQ(lookUp(h, c.col, 0), c.expected);
        EXPECT_EQ(lookUp(h, c.col, 0, Mode::explicitOnly), "none");
    }
}

TEST(TerminalLinks, AWrappedURLIsFoundFromEitherRow) {
    TerminalHarness h(20, 4);
    // The URL starts at column 9 and wraps after 11 characters; the second row holds its last 18.
    h.feed("see this https://example.com/some/path end");
    ASSERT_EQ(h.dump(true), "|see this https://exa\n~mple.com/some/path e\n~nd");
    const std::string rowRanges = " rows: 0[9,20) 1[0,18)";
    EXPECT_EQ(lookUp(h, 12, 0), "https://example.com/some/path @0 [9,20)" + rowRanges);
    EXPECT_EQ(lookUp(h, 3, 1), "https://example.com/some/path @1 [0,18)" + rowRanges);
    EXPECT_EQ(lookUp(h, 18, 1), "none");
}

TEST(TerminalLinks, RowsWrittenSeparatelyJoinAtTheEdge) {
    struct Case {
        const char* name;
        int cols;
        std::string input;
        int col;
        int row;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"joined, looked up from the upper row", 20, rows({"  https://example.co", "m/docs/page.html x"}), 5,
         0, "https://example.com/docs/page.html @0 [2,20) rows: 0[2,20) 1[0,16)"},
        {"joined, looked up from the lower row", 20, rows({"  https://example.co", "m/docs/page.html x"}), 3,
         1, "https://example.com/docs/page.html @1 [0,16) rows: 0[2,20) 1[0,16)"},
        {"indentation of the lower row is skipped", 20, rows({"  https://example.co", "    m/docs/a.html"}),
         6, 1, "https://example.com/docs/a.html @1 [4,17) rows: 0[2,20) 1[4,17)"},
        {"blanks before the lower row's text give nothing", 20,
         rows({"  https://example.co", "    m/docs/a.html"}), 1, 1, "none"},
        {"ending in the first column of the edge band", 20, rows({"  https://example", ".com/x"}), 4, 0,
         "https://example.com/x @0 [2,17) rows: 0[2,17) 1[0,6)"},
        {"ending left of the edge band", 20, rows({"  https://exampl", "e.com/x"}), 4, 0,
         "https://exampl @0 [2,16) rows: 0[2,16)"},
        {"a quotation mark ending the upper row", 20, rows({"  \"https://example\"", ".com/x"}), 4, 0,
         "https://example @0 [3,18) rows: 0[3,18)"},
        {"a quotation mark starting the lower row", 20, rows({"  https://example.co", "\"m/docs"}), 4, 0,
         "https://example.co @0 [2,20) rows: 0[2,20)"},
        {"no link across the seam", 20, rows({"xxxxxxxxxxxxxxxxxxxx", "yyyy"}), 4, 0, "none"},
        {"three rows", 10, rows({"http://a.b", "/ccccccccc", "/d.html"}), 2, 2,
         "http://a.b/ccccccccc/d.html @2 [0,7) rows: 0[0,10) 1[0,10) 2[0,7)"},
        {"a narrow terminal's band is 2 columns", 8, rows({"x http:/", "/a.b/c"}), 3, 0,
         "http://a.b/c @0 [2,8) rows: 0[2,8) 1[0,6)"},
        {"left of a narrow terminal's band", 8, rows({"x http", "://a.b/c"}), 3, 0, "none"},
        {"80 columns: the band is 16 wide", 80, rows({std::string(58, ' ') + "http://", "example.com/"}), 60,
         0, "http://example.com/ @0 [58,65) rows: 0[58,65) 1[0,12)"},
        {"80 columns: one column left of the band", 80,
         rows({std::string(57, ' ') + "http://", "example.com/"}), 60, 0, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(c.cols, 6);
        h.feed(c.input);
        EXPECT_EQ(lookUp(h, c.col, c.row), c.expected);
    }
}

TEST(TerminalLinks, LocationsAreShiftedAndClamped) {
    TerminalHarness h(30, 3, 10);
    h.feed(rows({"a http://one.example/", "b", "c", "d"}) + "e http://two.example/");
    ASSERT_EQ(h.buffer().yBase(), 2);
    EXPECT_EQ(h.terminal().link(Location::screen(Position(5, 2)), Mode::explicitAndImplicit),
              "http://two.example/");
    h.buffer().setYDisp(0);
    EXPECT_EQ(h.terminal().link(Location::screen(Position(5, 0)), Mode::explicitAndImplicit),
              "http://one.example/");
    EXPECT_EQ(h.terminal().link(Location::buffer(Position(5, 0)), Mode::explicitAndImplicit),
              "http://one.example/");
    // Past the last row and column: the bottom-right cell, which is empty.
    EXPECT_EQ(lookUp(h, 500, 500), "none");
    // Above the first row and left of the first column: the top-left cell, a letter beside the URL.
    EXPECT_EQ(lookUp(h, -3, -7), "none");
    EXPECT_EQ(describe(h.terminal().linkMatch(Location::buffer(Position(-3, 4)), Mode::explicitAndImplicit)),
              "none");
    EXPECT_EQ(lookUp(h, 4, 4), "http://two.example/ @4 [2,21) rows: 4[2,21)");
}

// The pattern backtracks exponentially on such text; the lookup must give up, not hang the pointer.
TEST(TerminalLinks, AHostileRowGivesUpQuickly) {
    TerminalHarness h(200, 4);
    h.feed("http://" + std::string(190, ','));
    const auto start = std::chrono::steady_clock::now();
    const std::string found = lookUp(h, 3, 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(found, "none");
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

TEST(TerminalLinks, TheJoinedTextIsBounded) {
    // A wrapped line of 11 rows with a URL at its start: at 100 columns the lookup reads 3 rows (384
    // cells, whole rows) on each side of the row it is asked about.
    TerminalHarness h(100, 20, 0);
    h.feed("http://start.example/" + std::string(100 * 10, 'x') + " ~/near/end.txt");
    const std::optional<Terminal::LinkMatch> fromStart =
        h.terminal().linkMatch(Location::buffer(Position(3, 0)), Mode::explicitAndImplicit);
    ASSERT_TRUE(fromStart);
    EXPECT_EQ(fromStart->text, "http://start.example/" + std::string(100 * 4 - 21, 'x'));
    EXPECT_EQ(fromStart->rowRanges.size(), 4u);
    EXPECT_EQ(lookUp(h, 50, 3).substr(0, 21), "http://start.example/");
    EXPECT_EQ(lookUp(h, 50, 4), "none") << "the URL's start lies out of reach";
    EXPECT_EQ(h.terminal().link(Location::buffer(Position(25, 10)), Mode::explicitAndImplicit),
              "~/near/end.txt");
}
