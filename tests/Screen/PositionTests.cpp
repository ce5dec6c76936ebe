#include "Position.h"

#include <gtest/gtest.h>

using namespace Tessaline;

TEST(Position, Compare) {
    using R = Position::CompareResult;
    struct Case {
        const char* name;
        Position a, b;
        R expected;
    };
    const Case cases[] = {
        {"the row decides before the column", {5, 2}, {0, 3}, R::before},
        {"a later row", {0, 3}, {5, 2}, R::after},
        {"same row, smaller column", {1, 4}, {2, 4}, R::before},
        {"same row, larger column", {2, 4}, {1, 4}, R::after},
        {"equal", {7, 7}, {7, 7}, R::equal},
        {"negative values compare as integers", {-1, -5}, {0, -4}, R::before},
        {"negative column", {-3, 0}, {-2, 0}, R::before},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Position::compare(c.a, c.b), c.expected);
    }
    EXPECT_EQ(Position(3, 12), Position(3, 12));
    EXPECT_NE(Position(3, 12), Position(12, 3));
    EXPECT_EQ(Position(3, 12).debugDescription(), "col=3 row=12");
    EXPECT_EQ(Position(-1, 0).debugDescription(), "col=-1 row=0");
}

TEST(Line, FragmentsAndDescription) {
    Line line;
    EXPECT_EQ(line.debugDescription(), "[]");
    EXPECT_EQ(line.length, 0);

    line.add({std::string("ls"), 4, 0, 2});
    line.add(LineFragment::lineBreak(5));
    EXPECT_EQ(line.debugDescription(), "2/3: [ls][\\n]");
    EXPECT_EQ(line.fragments[1].line, 4);
    EXPECT_EQ(line.fragments[1].location, -1);

    line.add({std::nullopt, 5, 0, 0});
    EXPECT_EQ(line.length, 3);
    EXPECT_EQ(line.debugDescription(), "3/3: [ls][\\n][]") << "an absent text shows as nothing";
}
