#include "GraphemeTable.h"

#include <gtest/gtest.h>

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
