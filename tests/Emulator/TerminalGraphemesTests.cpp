#include "TerminalHarness.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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

namespace {

// Where a cell lies: a buffer, a slot of its ring's storage (the ring does not turn while the clusters
// below are printed without a line feed), a column.
struct CellAt {
    const Buffer* buffer = nullptr;
    size_t slot = 0;
    int col = 0;
};

const CharData& cellAt(const CellAt& at) {
    return (*at.buffer->lines().getArray()[at.slot])[at.col];
}

// The cell showing `text` in any slot of the normal and alternate buffers and of the synchronized-output
// copy.
std::optional<CellAt> findCell(Terminal& t, const std::string& text) {
    std::vector<const Buffer*> buffers = {&t.normalBuffer(), &t.altBuffer()};
    if (t.synchronizedOutputBuffer) buffers.push_back(t.synchronizedOutputBuffer.get());
    for (const Buffer* buffer : buffers) {
        const auto& slots = buffer->lines().getArray();
        for (size_t slot = 0; slot < slots.size(); ++slot) {
            if (!slots[slot]) continue;
            for (int col = 0; col < slots[slot]->count(); ++col)
                if (t.getCharacter((*slots[slot])[col]) == text) return CellAt{buffer, slot, col};
        }
    }
    return std::nullopt;
}

// Distinct clusters on the last row, a row's worth per chunk of input: codes are reclaimed round after
// round, and no row moves.
void printOnLastRow(TerminalHarness& h, int first, int count) {
    for (int at = first; at < first + count; at += 70)
        h.feed("\x1b[25H" + clusters(at, 70));
}

} // namespace

// A code stays while any cell anywhere holds it, whatever holds it, and reclaims go on around it.
TEST(TerminalGraphemes, ACodeIsKeptWhileAnyCellHoldsIt) {
    const std::string marker = cluster(300'000);
    const auto printMarker = [&](TerminalHarness& h) { h.feed("\x1b[H" + marker); };
    // Enough clusters that the terminal reads its scroll-back rows as they come.
    const auto busyTable = [](TerminalHarness& h) { h.feed("\x1b[25H" + clusters(100'000, 20'000)); };
    // Rows read afresh after a resize, a reclaim due before they all are: in one chunk of this many new
    // clusters (not moving the cursor), the marker among the rows read last.
    const auto dueWhileReading = [&](int burst) {
        return [=](TerminalHarness& h) {
            busyTable(h);
            h.feed(std::string(9'000, '\n'));
            printMarker(h);
            h.feed(std::string(30, '\n'));
            h.terminal().resize(60, 25);
            h.terminal().resize(80, 25);
            h.feed("\x1b[?7l\x1b[25H" + clusters(200'000, burst) + "\x1b[?7h");
        };
    };
    struct Case {
        const char* name;
        std::function<void(TerminalHarness&)> place;
        int scrollback = 500;
    };
    const Case cases[] = {
        {"a scroll-back row",
         [&](TerminalHarness& h) {
             busyTable(h);
             printMarker(h);
             h.feed(std::string(30, '\n'));
         }},
        {"the alternate screen",
         [&](TerminalHarness& h) {
             h.terminal().activateAltBuffer(std::nullopt);
             printMarker(h);
             h.terminal().activateNormalBuffer(false);
         }},
        {"the synchronized-output copy's screen",
         [&](TerminalHarness& h) {
             printMarker(h);
             h.feed("\x1b[?2026h\x1b[2J");
         }},
        // The copy was made with every scroll-back row read; the buffer's row then leaves the ring.
        {"the synchronized-output copy's scroll-back",
         [&](TerminalHarness& h) {
             busyTable(h);
             printMarker(h);
             h.feed(std::string(30, '\n'));
             h.feed("\x1b[?2026h");
             h.feed(std::string(700, '\n'));
         }},
        // Erasing the scroll-back leaves its rows in the ring's slots past the count.
        {"a slot past the ring's count",
         [&](TerminalHarness& h) {
             busyTable(h);
             h.feed(std::string(600, '\n'));
             printMarker(h);
             h.feed(std::string(30, '\n') + "\x1b[3J");
         }},
        {"a scroll-back row after a reflow",
         [&](TerminalHarness& h) {
             busyTable(h);
             printMarker(h);
             h.feed(std::string(30, '\n'));
             h.terminal().resize(60, 25);
             h.terminal().resize(80, 25);
         }},
        {"a scroll-back row read chunks after a reclaim was due", dueWhileReading(30'000), 10'000},
        {"a scroll-back row read when the table had little room", dueWhileReading(44'000), 10'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 25, c.scrollback);
        Terminal& t = h.terminal();
        c.place(h);
        const std::optional<CellAt> at = findCell(t, marker);
        ASSERT_TRUE(at);
        const uint64_t generation = t.graphemeGeneration();
        printOnLastRow(h, 0, 147'000);
        EXPECT_GE(t.graphemeGeneration(), generation + 2) << "codes were reclaimed round after round";
        EXPECT_EQ(t.getCharacter(cellAt(*at)), marker);
        EXPECT_EQ(t.getCharacter(*t.getCharData(69, 24)), cluster(146'999));
    }
}

// The code of a scroll-back row's cluster goes back once the row has left the ring.
TEST(TerminalGraphemes, ACodeOnlyAScrollBackRowHeldGoesBackWhenTheRowLeaves) {
    TerminalHarness h(80, 25, 500);
    Terminal& t = h.terminal();
    const std::string marker = cluster(300'000);
    h.feed("\x1b[25H" + clusters(100'000, 20'000));
    h.feed("\x1b[H" + marker + std::string(30, '\n'));
    printOnLastRow(h, 0, 70'000);
    EXPECT_TRUE(t.graphemes().find(marker)) << "still in the scroll-back";
    h.feed(std::string(600, '\n'));
    printOnLastRow(h, 70'000, 70'000);
    EXPECT_FALSE(t.graphemes().find(marker));
}
