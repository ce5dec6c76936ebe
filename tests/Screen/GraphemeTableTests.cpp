#include "GraphemeTable.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace Tessaline;

TEST(GraphemeTable, HandsOutIncreasingCodesOncePerText) {
    GraphemeTable table;
    EXPECT_EQ(table.lastCharIndex(), 0x400001);
    EXPECT_FALSE(table.find("e\xCC\x81"));
    EXPECT_EQ(table.code("e\xCC\x81"), 0x400001);
    EXPECT_EQ(table.code("\xF0\x9F\x98\x80"), 0x400002);
    EXPECT_EQ(table.code("e\xCC\x81"), 0x400001);
    EXPECT_EQ(table.find("\xF0\x9F\x98\x80"), 0x400002);
    EXPECT_EQ(*table.text(0x400002), "\xF0\x9F\x98\x80");
    EXPECT_FALSE(table.text(0x400003));
    EXPECT_FALSE(table.text(0x400000));
    EXPECT_FALSE(table.text(-5));
    EXPECT_EQ(table.count(), 2);
}

TEST(GraphemeTable, IsBounded) {
    GraphemeTable table;
    EXPECT_FALSE(table.code(std::string(GraphemeTable::maxLength + 1, 'x')));
    EXPECT_TRUE(table.code(std::string(GraphemeTable::maxLength, 'x')));
    for (int i = 1; i < GraphemeTable::maxCount; ++i)
        ASSERT_EQ(table.code(std::to_string(i)), GraphemeTable::firstCode + i);
    EXPECT_FALSE(table.code("new"));
    EXPECT_EQ(table.code("77"), GraphemeTable::firstCode + 77) << "known texts still resolve";
    EXPECT_EQ(*table.text(GraphemeTable::firstCode + GraphemeTable::maxCount - 1),
              std::to_string(GraphemeTable::maxCount - 1));
}

// Short texts are read as whole words when the caller says the bytes after them may be read: whatever
// those bytes hold, a text gets the code it gets when read exactly, and texts that differ only in a
// trailing zero byte stay apart.
TEST(GraphemeTable, WordReadsMatchExactReads) {
    GraphemeTable table;
    const std::string texts[] = {"a",
                                 std::string("a\0", 2),
                                 std::string("a\0\0", 3),
                                 "e\xCC\x81",
                                 "e\xCC\x81\xCC\xA7",
                                 "ab",
                                 "abcd",
                                 "abcdefg",
                                 "abcdefgh",
                                 "abcdefghi",
                                 "abcdefghijklmnopq",
                                 "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"};
    std::vector<int32_t> codes;
    for (const std::string& text : texts)
        codes.push_back(table.codeOrZero(text));
    for (size_t i = 0; i < codes.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(codes[i], codes[j]) << i << " and " << j;
    for (char filler : {'\0', 'x', '\xFF'}) {
        for (size_t i = 0; i < std::size(texts); ++i) {
            const std::string padded = texts[i] + std::string(8, filler);
            EXPECT_EQ(table.codeOrZero(std::string_view(padded).substr(0, texts[i].size()), padded.size()),
                      codes[i])
                << i << " followed by " << int(filler);
            EXPECT_EQ(table.find(texts[i]), codes[i]);
        }
    }
    EXPECT_EQ(table.count(), int(std::size(texts)));
}

TEST(GraphemeTable, RetainGivesBackTheRestLowestFirst) {
    GraphemeTable table;
    const int32_t a = *table.code("a\xCC\x81");
    const int32_t b = *table.code("b\xCC\x81");
    const int32_t crab = *table.codeForScalar(0x1F980);
    const int32_t c = *table.code("c\xCC\x81");
    GraphemeTable::IndexSet kept(size_t(table.count()), false);
    kept[size_t(b - GraphemeTable::firstCode)] = true;
    table.retain(kept);

    EXPECT_EQ(table.liveCount(), 1);
    EXPECT_FALSE(table.text(a));
    EXPECT_FALSE(table.find("c\xCC\x81"));
    EXPECT_EQ(table.find("b\xCC\x81"), b) << "a kept code keeps its value and text";
    EXPECT_EQ(*table.text(b), "b\xCC\x81");
    EXPECT_EQ(table.code("d\xCC\x81"), a) << "the lowest code given back goes first";
    EXPECT_EQ(table.codeForScalar(0x1F980), crab) << "a scalar given back is looked up afresh";
    EXPECT_EQ(*table.text(crab), "\xF0\x9F\xA6\x80");
    EXPECT_EQ(table.code("e\xCC\x81"), c);
    EXPECT_EQ(table.code("f\xCC\x81"), c + 1);

    // Full, then emptied: every code can be handed out again.
    for (int i = table.count(); i < GraphemeTable::maxCount; ++i)
        table.code("x" + std::to_string(i));
    EXPECT_FALSE(table.code("one too many"));
    table.retain(GraphemeTable::IndexSet(size_t(table.count()), false));
    EXPECT_EQ(table.code("one too many"), GraphemeTable::firstCode);
    EXPECT_EQ(*table.text(GraphemeTable::firstCode), "one too many");
}

// A full table given back part of its codes round after round, as reclaiming a busy scroll-back does:
// what stays finds its code and text, what went is gone, and new texts take the codes given back.
TEST(GraphemeTable, ManyRoundsOfGivingBackKeepEveryTextFound) {
    GraphemeTable table;
    std::map<int32_t, std::string> live;
    std::mt19937 random(7);
    int next = 0;
    for (int round = 0; round < 20; ++round) {
        for (int k = 0; k < 40'000; ++k) {
            // Lengths from 2 to 40 bytes, and now and then a text that is still there.
            const std::string text = k % 50 == 0 && !live.empty()
                                         ? live.begin()->second
                                         : std::to_string(next++) + std::string(size_t(random() % 30), 'm');
            if (const std::optional<int32_t> code = table.code(text)) live[*code] = text;
        }
        GraphemeTable::IndexSet kept(size_t(table.count()), false);
        std::vector<std::string> gone;
        for (auto it = live.begin(); it != live.end();) {
            if (random() % 10 < 7) {
                kept[size_t(it->first - GraphemeTable::firstCode)] = true;
                ++it;
            } else {
                gone.push_back(it->second);
                it = live.erase(it);
            }
        }
        table.retain(kept);
        SCOPED_TRACE(round);
        ASSERT_EQ(table.liveCount(), int(live.size()));
        for (const auto& [code, text] : live) {
            ASSERT_EQ(table.find(text), code) << text;
            ASSERT_EQ(table.text(code), text);
        }
        for (const std::string& text : gone)
            ASSERT_FALSE(table.find(text)) << text;
    }
    EXPECT_EQ(table.count(), GraphemeTable::maxCount);
}
