#include "KittyPlaceholder.h"
#include "KittyPlaceholderDecoder.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace Tessaline;

namespace {

using Color = Attribute::Color;

constexpr char32_t placeholder = 0x10EEEE;

Attribute colours(Color fg, std::optional<Color> underline = std::nullopt) {
    return Attribute(fg, Color::defaultColor(), CharacterStyle::none, UnderlineStyle::none, underline);
}

KittyPlaceholderCell cell(int64_t row, int64_t col, uint32_t imageId, uint32_t placementId, int64_t imageRow,
                          int64_t imageCol, int64_t msb) {
    return {row, col, imageId, placementId, imageRow, imageCol, msb};
}

} // namespace

TEST(KittyPlaceholderDecoder, DiacriticTable) {
    const auto& table = KittyPlaceholder::diacriticIndex();
    EXPECT_EQ(table.size(), 297u);
    EXPECT_EQ(table.at(0x0305), 0);
    EXPECT_EQ(table.at(0x030D), 1);
    EXPECT_EQ(table.at(0xA8E5), 255);
    EXPECT_EQ(table.at(0xA8E6), 256);
    EXPECT_EQ(table.at(0x1D244), 296);
    EXPECT_FALSE(table.contains(0x0301));
}

TEST(KittyPlaceholderDecoder, Cells) {
    struct Previous {
        KittyPlaceholderCell cell;
        Attribute attribute;
    };
    struct Case {
        const char* name;
        std::u32string text;
        Attribute attribute;
        int64_t col;
        std::optional<Previous> previous;
        std::optional<KittyPlaceholderCell> expected;
    };
    const Attribute palette42 = colours(Color::ansi256(42));
    const Attribute rgb = colours(Color::trueColor(1, 2, 3));
    // A cell at row 2, column 5 of image 9, high byte 1, at screen column 3.
    const Previous before{cell(0, 3, 0x01000009, 0, 2, 5, 1), colours(Color::ansi256(9))};
    const Attribute same = colours(Color::ansi256(9));
    const Case cases[] = {
        {"not a placeholder", U"A", palette42, 0, std::nullopt, std::nullopt},
        {"not a placeholder, diacritics after", U"A\u0305", palette42, 0, std::nullopt, std::nullopt},
        {"palette id, row and column 0",
         {placeholder, 0x0305, 0x0305},
         palette42,
         0,
         std::nullopt,
         cell(0, 0, 42, 0, 0, 0, 0)},
        {"row, column and high byte",
         {placeholder, 0x030D, 0x030E, 0x0310},
         colours(Color::trueColor(0, 1, 2)),
         0,
         std::nullopt,
         cell(0, 0, 50331906, 0, 1, 2, 3)},
        {"24-bit id and placement id",
         {placeholder},
         colours(Color::trueColor(1, 2, 3), Color::trueColor(0, 0, 7)),
         0,
         std::nullopt,
         cell(0, 0, 66051, 7, 0, 0, 0)},
        {"palette placement id",
         {placeholder},
         colours(Color::ansi256(3), Color::ansi256(200)),
         0,
         std::nullopt,
         cell(0, 0, 3, 200, 0, 0, 0)},
        {"default colour: id 0",
         {placeholder},
         colours(Color::defaultColor()),
         0,
         std::nullopt,
         cell(0, 0, 0, 0, 0, 0, 0)},
        {"high byte above 255 counts as 255",
         {placeholder, 0x0305, 0x0305, 0x1D244},
         colours(Color::ansi256(5)),
         0,
         std::nullopt,
         cell(0, 0, 0xFF000005, 0, 0, 0, 296)},
        {"fourth diacritic ignored",
         {placeholder, 0x030D, 0x030D, 0x030D, 0x0310},
         rgb,
         0,
         std::nullopt,
         cell(0, 0, 0x01010203, 0, 1, 1, 1)},
        {"other marks are skipped",
         {placeholder, 0x0301, 0x030E, 0xFE0F, 0x030D},
         rgb,
         0,
         std::nullopt,
         cell(0, 0, 66051, 0, 2, 1, 0)},
        {"bare cell continues the one before",
         {placeholder},
         same,
         4,
         before,
         cell(0, 4, 0x01000009, 0, 2, 6, 1)},
        {"bare cell in another colour starts again",
         {placeholder},
         palette42,
         4,
         before,
         cell(0, 4, 42, 0, 0, 0, 0)},
        {"bare cell with an underline colour the one before lacks",
         {placeholder},
         colours(Color::ansi256(9), Color::ansi256(1)),
         4,
         before,
         cell(0, 4, 9, 1, 0, 0, 0)},
        {"bare cell not next to the one before", {placeholder}, same, 5, before, cell(0, 5, 9, 0, 0, 0, 0)},
        {"row only, same row: next column and high byte",
         {placeholder, 0x030E},
         same,
         4,
         before,
         cell(0, 4, 0x01000009, 0, 2, 6, 1)},
        {"row only, another row: column 0",
         {placeholder, 0x0310},
         same,
         4,
         before,
         cell(0, 4, 9, 0, 3, 0, 0)},
        {"row and column that follow: high byte kept",
         {placeholder, 0x030E, 0x033E},
         same,
         4,
         before,
         cell(0, 4, 0x01000009, 0, 2, 6, 1)},
        {"row and column that jump: high byte 0",
         {placeholder, 0x030E, 0x0346},
         same,
         4,
         before,
         cell(0, 4, 9, 0, 2, 8, 0)},
        {"three diacritics ignore the one before",
         {placeholder, 0x0305, 0x0305, 0x030D},
         same,
         4,
         before,
         cell(0, 4, 0x01000009, 0, 0, 0, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = Utf8::encode(c.text);
        std::optional<KittyPlaceholderCell> previous;
        std::optional<Attribute> previousAttribute;
        if (c.previous) {
            previous = c.previous->cell;
            previousAttribute = c.previous->attribute;
        }
        EXPECT_EQ(KittyPlaceholderDecoder::decode(text, c.attribute, 0, c.col, previous, previousAttribute),
                  c.expected);
    }
}

TEST(KittyPlaceholderDecoder, ARowOfBarePlaceholders) {
    const Attribute attribute = colours(Color::ansi256(9));
    std::optional<KittyPlaceholderCell> previous =
        KittyPlaceholderDecoder::decode(Utf8::encode(std::u32string{placeholder, 0x030E, 0x033D}), attribute,
                                        1, 0, std::nullopt, std::nullopt);
    ASSERT_TRUE(previous);
    EXPECT_EQ(previous->placeholderCol, 5);
    for (int64_t col = 1; col <= 4; ++col) {
        previous = KittyPlaceholderDecoder::decode(Utf8::encode(placeholder), attribute, 1, col, previous,
                                                   attribute);
        ASSERT_TRUE(previous);
        EXPECT_EQ(previous->placeholderRow, 2);
        EXPECT_EQ(previous->placeholderCol, 5 + col);
    }
}
