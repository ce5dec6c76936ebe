#include "CircularBufferLineList.h"
#include "DiagnosticsCapture.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

struct FakeImage : TerminalImage {
    int pixelWidth() const override { return 1; }
    int pixelHeight() const override { return 1; }
    int col() const override { return 0; }
    void setCol(int) override {}
};

BufferLinePtr row(char name) {
    auto line = BufferLine::make(2);
    line->set(0, CharData(Attribute::defaultAttribute(), name));
    return line;
}

// The ring's rows from index 0 to count-1 by their first character ('.' for a blank row).
std::string contents(CircularBufferLineList& ring) {
    std::string s;
    for (int i = 0; i < ring.count(); ++i)
        s += ring[i]->get(0).code ? char(ring[i]->get(0).code) : '.';
    return s;
}

CircularBufferLineList ringOf(int capacity, const std::string& rows) {
    CircularBufferLineList ring(capacity);
    ring.makeEmpty = [](int) { return BufferLine::make(2); };
    for (char c : rows)
        ring.push(row(c));
    return ring;
}

} // namespace

TEST(CircularBufferLineList, PushDropsOldestWhenFull) {
    auto ring = ringOf(3, "123");
    EXPECT_TRUE(ring.isFull());
    ring.push(row('4'));
    EXPECT_EQ(contents(ring), "234");
    EXPECT_EQ(ring.count(), 3);
}

TEST(CircularBufferLineList, RecycleReusesTheOldestRow) {
    auto ring = ringOf(3, "1234");
    BufferLine* oldest = ring[0].get();
    oldest->attach(std::make_shared<FakeImage>());
    std::vector<bool> reported;
    ring.onLineRecycled = [&](bool hadImages) { reported.push_back(hadImages); };
    Attribute blue(Attribute::Color::ansi256(4), Attribute::Color::ansi256(4), {});
    ring.recycle(blue);
    EXPECT_EQ(contents(ring), "34.");
    EXPECT_EQ(ring[2].get(), oldest);
    EXPECT_FALSE(oldest->images);
    EXPECT_EQ(oldest->get(0).bg(), blue.bg);
    ring.recycle(blue);
    EXPECT_EQ(reported, (std::vector<bool>{true, false}));
}

TEST(CircularBufferLineListDeathTest, RecycleOnlyWhenFull) {
    EXPECT_EXIT(
        {
            auto ring = ringOf(3, "12");
            ring.recycle(Attribute::empty);
        },
        testing::KilledBySignal(SIGABRT), "can only recycle when the buffer is full");
}

TEST(CircularBufferLineList, PushReportsImages) {
    CircularBufferLineList ring(2);
    std::vector<bool> reported;
    ring.onLinePushed = [&](bool hasImages) { reported.push_back(hasImages); };
    auto withImage = row('a');
    withImage->attach(std::make_shared<FakeImage>());
    ring.push(withImage);
    ring.push(row('b'));
    ring.push(row('c')); // drops a row with images: not reported
    EXPECT_EQ(reported, (std::vector<bool>{true, false, false}));
}

TEST(CircularBufferLineList, EmptySlotsAreMadeOnceWhenRead) {
    CircularBufferLineList ring(4);
    int made = 0;
    ring.makeEmpty = [&](int) {
        ++made;
        return BufferLine::make(2);
    };
    ring.setCount(2);
    auto first = ring[1];
    auto second = ring[1];
    EXPECT_EQ(made, 1);
    EXPECT_EQ(first, second);
}

TEST(CircularBufferLineList, CountDownAndUpKeepsRows) {
    auto ring = ringOf(3, "123");
    ring.setCount(1);
    EXPECT_EQ(contents(ring), "1");
    ring.setCount(3);
    EXPECT_EQ(contents(ring), "123");
}

TEST(CircularBufferLineList, RaisingMaxLengthRelaysOldestFirst) {
    auto ring = ringOf(3, "1234"); // holds 2,3,4 with the oldest in slot 1
    ring.setMaxLength(5);
    EXPECT_EQ(ring.getStartIndex(), 0);
    EXPECT_EQ(ring.count(), 3);
    EXPECT_EQ(contents(ring), "234");
    ring.push(row('5'));
    ring.push(row('6'));
    ring.push(row('7'));
    EXPECT_EQ(contents(ring), "34567");

    ring.trimStart(3);
    ring.setMaxLength(2);
    EXPECT_EQ(contents(ring), "67");
}

TEST(CircularBufferLineList, Splice) {
    auto ring = ringOf(5, "123");
    std::vector<int> changes;
    ring.splice(1, 1, {row('a'), row('b')}, [&](int i) { changes.push_back(i); });
    EXPECT_EQ(contents(ring), "1ab3");
    EXPECT_EQ(changes, (std::vector<int>{1, 3, 1, 2}));

    auto full = ringOf(3, "123");
    full.splice(3, 0, {row('4')}, nullptr);
    EXPECT_EQ(contents(full), "234");
}

TEST(CircularBufferLineList, TrimStart) {
    auto ring = ringOf(5, "12345");
    ring.trimStart(2);
    EXPECT_EQ(contents(ring), "345");
    ring.trimStart(10);
    EXPECT_EQ(ring.count(), 0);
}

TEST(CircularBufferLineList, ShiftElements) {
    auto ring = ringOf(5, "123");
    DiagnosticsCapture capture;
    EXPECT_FALSE(ring.shiftElements(1, 2, -1));
    EXPECT_EQ(capture.takeKinds(), std::vector{DiagnosticKind::invariant});
    EXPECT_FALSE(ring.shiftElements(3, 1, 1));
    EXPECT_FALSE(ring.shiftElements(0, -1, 1));
    EXPECT_EQ(capture.takeKinds(), (std::vector{DiagnosticKind::invariant, DiagnosticKind::invariant}));

    auto five = ringOf(5, "12345");
    EXPECT_TRUE(five.shiftElements(2, 2, -1));
    EXPECT_EQ(contents(five), "13445");

    auto grows = ringOf(5, "123");
    EXPECT_TRUE(grows.shiftElements(1, 2, 1));
    EXPECT_EQ(contents(grows), "1223");

    auto overflows = ringOf(4, "1234");
    EXPECT_TRUE(overflows.shiftElements(2, 2, 2));
    EXPECT_EQ(contents(overflows), "3434") << "past maxLength the oldest rows drop";
}

TEST(CircularBufferLineList, LargeCapacityGrowsAsRowsArrive) {
    CircularBufferLineList ring(10'000'000);
    ring.makeEmpty = [](int) { return BufferLine::make(2); };
    for (int i = 0; i < 100; ++i)
        ring.push(row(char('0' + i % 10)));
    EXPECT_LT(ring.getArray().size(), 1000u);
    EXPECT_EQ(ring.count(), 100);
    EXPECT_EQ(ring[57]->get(0).code, '7');
}

TEST(CircularList, IntegersWithMakeEmpty) {
    CircularList<int> ring(3);
    ring.makeEmpty = [](int) { return 0; };
    ring.setCount(2);
    EXPECT_EQ(ring[1], 0);
    ring.push(5);
    ring.push(6);
    EXPECT_EQ(ring[0], 0);
    EXPECT_EQ(ring[2], 6);
}

TEST(CircularBufferLineList, RotateMovesRowsByHandle) {
    struct Case {
        const char* name;
        std::string rows; // pushed into a ring of capacity 5, so the slots wrap past its end
        int first;
        int last;
        bool towardsStart;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"up", "abcde", 1, 3, true, "acdbe"},
        {"down", "abcde", 1, 3, false, "adbce"},
        {"up across the end of the slots", "abcdefg", 0, 4, true, "defgc"},
        {"down across the end of the slots", "abcdefg", 1, 4, false, "cgdef"},
        {"up from the last slot", "abcdef", 3, 4, true, "bcdfe"},
        {"down from the last slot", "abcdef", 2, 4, false, "bcfde"},
        {"one row", "abcde", 2, 2, true, "abcde"},
        {"past the count", "abc", 1, 3, true, "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CircularBufferLineList ring = ringOf(5, c.rows);
        const BufferLinePtr moved = ring[c.towardsStart ? c.first : std::max(c.last, 0)];
        auto* slot = ring.rotate(c.first, c.last, c.towardsStart);
        EXPECT_EQ(contents(ring), c.expected);
        if (slot) {
            EXPECT_EQ(*slot, moved) << "the same row object, where it landed";
        }
    }
}
