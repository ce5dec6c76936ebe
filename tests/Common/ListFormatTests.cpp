#include "ListFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

using namespace Tessaline;

TEST(ListFormat, NumbersAndBytes) {
    EXPECT_EQ(bracketedList(std::vector<int64_t>{}), "[]");
    EXPECT_EQ(bracketedList(std::vector<int64_t>{1, -2, 99999999999}), "[1, -2, 99999999999]");
    EXPECT_EQ(bracketedList(std::vector<uint8_t>{97, 255}), "[97, 255]");
    EXPECT_EQ(bracketedList(std::string_view(">$\xff")), "[62, 36, 255]") << "bytes as unsigned values";
}
