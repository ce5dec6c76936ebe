#include "GraphemeTable.h"

#include <gtest/gtest.h>

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
    const std::string texts[] = {"a",           std::string("a\0", 2), std::string("a\0\0", 3), "e\xCC\x81",
                                 "e\xCC\x81\xCC\xA7", "ab", "abcd",    "abcdefg",                "abcdefgh",
                                 "abcdefghi",   "abcdefghijklmnopq",   "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"};
    std::vector<int32_t> codes;
    for (const std::string& text : texts)
        codes.push_back(table.codeOrZero(text));
    for (size_t i = 0; i < codes.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(codes[i], codes[j]) << i << " and " << j;
    for (char filler : {'\0', 'x', '\xFF'}) {
        for (size_t i = 0; i < std::size(texts); ++i) {
            const std::string padded = texts[i] + std::string(8, filler);
            EXPECT_EQ(table.codeOrZero(std::string_view(padded).substr(0, texts[i].size()), padded.size()), codes[i])
                << i << " followed by " << int(filler);
            EXPECT_EQ(table.find(texts[i]), codes[i]);
        }
    }
    EXPECT_EQ(table.count(), int(std::size(texts)));
}
