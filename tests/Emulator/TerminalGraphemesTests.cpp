#include "TerminalHarness.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace Tessaline;
using Tessaline::Testing::TerminalHarness;

namespace {

// Distinct clusters: a letter and three combining marks each.
std::string cluster(int i) {
    return std::string(1, char('a' + i % 26)) + Utf8::encode(0x300 + uint32_t(i / 26 % 112)) +
           Utf8::encode(0x300 + uint32_t(i / 26 / 112 % 112)) + Utf8::encode(0x363 + uint32_t(i % 13));
}

std::string clusters(int first, int count) {
    std::string text;
    for (int i = first; i < first + count; ++i)
        text += cluster(i);
    return text;
}

const std::string accented = "e\xCC\x81";
const std::string flag = "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7";
const std::string coder = "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB";

} // namespace

// 70,000 distinct clusters used to fill the table for good: after a reset "é" and flags printed as
// U+FFFD.
TEST(TerminalGraphemes, AFullResetStartsTheTableAfresh) {
    TerminalHarness h(80, 25, 500);
    Terminal& t = h.terminal();
    h.feed(clusters(0, 70'000));
    h.feed("\x1b"
           "c");
    h.feed(accented + flag + coder);
    EXPECT_EQ(t.getCharacter(*t.getCharData(0, 0)), accented);
    EXPECT_EQ(t.getCharacter(*t.getCharData(1, 0)), flag);
    EXPECT_EQ(t.getCharacter(*t.getCharData(3, 0)), coder);
}

// Without a reset, codes nothing shows any more are handed out again, and what is shown keeps its text.
TEST(TerminalGraphemes, CodesNoCellHoldsAreReclaimed) {
    TerminalHarness h(80, 25, 100);
    Terminal& t = h.terminal();
    // 70 on the last row.
    const int total = 199'990;
    const int chunk = 500;
    for (int first = 0; first < total; first += chunk)
        h.feed(clusters(first, std::min(chunk, total - first)));
    EXPECT_LE(t.graphemes().count(), GraphemeTable::maxCount);
    // The last row holds the last clusters printed, each with its own text.
    const int row = t.buffer().y();
    const int column = t.buffer().x();
    for (int x = 0; x < column; ++x) {
        SCOPED_TRACE(x);
        EXPECT_EQ(t.getCharacter(*t.getCharData(x, row)), cluster(total - column + x));
    }
    h.feed(accented + flag + coder);
    EXPECT_EQ(t.getCharacter(*t.getCharData(column, row)), accented);
    EXPECT_EQ(t.getCharacter(*t.getCharData(column + 1, row)), flag);
    EXPECT_EQ(t.getCharacter(*t.getCharData(column + 3, row)), coder);
}
