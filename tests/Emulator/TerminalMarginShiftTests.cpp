// Scrolling inside left and right margins turns rows and puts the cells outside the margins back only
// when something looks at them. A terminal read after every command puts them back at once, so both
// must show the same screen whatever the commands.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

// One command of the kinds that meet the margins: printing inside and outside them (marks and wide
// characters too), line feeds at the region's bottom, line and scroll commands, erases in the row,
// cursor moves, new margins and regions, wraps and the screens.
std::string randomCommand(std::mt19937& random) {
    auto pick = [&](int n) { return int(random() % uint32_t(n)); };
    auto number = [&](int n) { return std::to_string(1 + pick(n)); };
    static const std::vector<std::string> texts = {
        "abc",         "0123456789", "e\xCC\x81", "\xCC\x81", "\xE4\xB8\xAD", "\xE2\x9D\xA4\xEF\xB8\x8F",
        "xyz uvw rst",
    };
    switch (pick(17)) {
    case 0:
    case 1:
    case 2:
        return texts[size_t(pick(int(texts.size())))];
    case 3:
    case 4:
        return "\n";
    case 5:
        return "\r";
    case 6:
        return "\x1b[" + number(8) + (pick(2) ? "L" : "M");
    case 7:
        return "\x1b[" + number(3) + (pick(2) ? "S" : "T");
    case 8:
        return pick(2) ? "\x1bM"
                       : "\x1b"
                         "D";
    case 9:
        return "\x1b[" + number(10) + ";" + number(20) + "H";
    case 10:
        return "\x1b[" + std::to_string(pick(3)) + "K";
    case 11:
        return "\x1b[" + number(4) + (pick(2) ? "@" : (pick(2) ? "P" : "X"));
    case 12:
        return "\x1b[" + number(5) + ";" + std::to_string(12 + pick(8)) + "s";
    case 13:
        return "\x1b[" + number(4) + ";" + std::to_string(6 + pick(5)) + "r";
    case 14:
        return pick(4) == 0 ? "\x1b[?69l" : "\x1b[?69h";
    case 15:
        return pick(2) ? "\x1b[?7l" : "\x1b[?7h";
    default:
        return pick(3) == 0 ? "\x1b[?1049h" : (pick(2) ? "\x1b[?1049l" : "\x1b[4h\x1b[31mq\x1b[4l\x1b[m");
    }
}

} // namespace

TEST(TerminalMarginShift, ReadingAfterEachCommandChangesNothing) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        TerminalHarness lazy(20, 10, 20);
        TerminalHarness eager(20, 10, 20);
        // Every row holds text, so that misplaced cells outside the margins show.
        std::string start = "\x1b[?69h";
        for (int row = 0; row < 10; ++row)
            start += std::string(20, char('A' + row)) + (row < 9 ? "\r\n" : "");
        lazy.feed(start);
        eager.feed(start);
        for (int i = 0; i < 300; ++i) {
            const std::string command = randomCommand(random);
            lazy.feed(command);
            eager.feed(command);
            (void)eager.dump();
        }
        EXPECT_EQ(lazy.dumpAll(true), eager.dumpAll(true));
        EXPECT_EQ(lazy.cursor(), eager.cursor());
    }
}

TEST(TerminalMarginShift, ScrollingInsideMarginsKeepsTheColumnsOutside) {
    struct Case {
        const char* name;
        std::string input; // rows "AAAAAAAAAA" .. "EEEEEEEEEE", margins 3 to 7, region rows 2 to 4
        std::string screen;
    };
    const std::vector<Case> cases = {
        {"line feeds at the bottom", "\x1b[4;4H\n\n",
         "AAAAAAAAAA\nBBDDDDDBBB\nCC.....CCC\nDD.....DDD\nEEEEEEEEEE"},
        {"one line feed", "\x1b[4;4H\n", "AAAAAAAAAA\nBBCCCCCBBB\nCCDDDDDCCC\nDD.....DDD\nEEEEEEEEEE"},
        {"delete a line", "\x1b[2;4H\x1b[M", "AAAAAAAAAA\nBBCCCCCBBB\nCCDDDDDCCC\nDD.....DDD\nEEEEEEEEEE"},
        {"insert a line, then erase the last row", "\x1b[2;4H\x1b[L\x1b[4;1H\x1b[K",
         "AAAAAAAAAA\nBB.....BBB\nCCBBBBBCCC\n\nEEEEEEEEEE"},
        {"a line feed, then printing left of the margin", "\x1b[4;4H\n\x1b[3;1Hxy",
         "AAAAAAAAAA\nBBCCCCCBBB\nxyDDDDDCCC\nDD.....DDD\nEEEEEEEEEE"},
        {"a mark joins a letter left of the margin after a scroll", "\x1b[4;1Hq\x1b[4;4H\n\xCC\x81",
         "AAAAAAAAAA\nBBCCCCCBBB\nCCDDDDDCCC\nq\xCC\x81"
         "D.....DDD\nEEEEEEEEEE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 5);
        h.feed("AAAAAAAAAA\r\nBBBBBBBBBB\r\nCCCCCCCCCC\r\nDDDDDDDDDD\r\nEEEEEEEEEE");
        h.feed("\x1b[?69h\x1b[3;7s\x1b[2;4r");
        h.feed(c.input);
        EXPECT_EQ(h.dump(), c.screen);
    }
}
