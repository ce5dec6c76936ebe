#include "UnicodeUtil.h"
#include "UnicodeWidthData.h"

#include <gtest/gtest.h>

using namespace Tessaline;

TEST(UnicodeUtil, ColumnWidth) {
    struct Case {
        const char* name;
        uint32_t rune;
        int expected;
    };
    const Case cases[] = {
        {"letter", 'A', 1},
        {"nul", 0x0000, 0},
        {"escape", 0x001B, -1},
        {"delete", 0x007F, -1},
        {"c1 csi", 0x009B, -1},
        {"no-break space", 0x00A0, 1},
        {"combining acute", 0x0301, 0},
        {"spacing mark", 0x0903, 0},
        {"enclosing circle", 0x20DD, 0},
        {"soft hyphen", 0x00AD, 1},
        {"zero width space", 0x200B, 0},
        {"zero width joiner", 0x200D, 0},
        {"byte order mark", 0xFEFF, 0},
        {"line separator", 0x2028, 0},
        {"paragraph separator", 0x2029, 0},
        {"skin tone", 0x1F3FB, 0},
        {"skin tone last", 0x1F3FF, 0},
        {"fullwidth circumflex", 0xFF3E, 2},
        {"fullwidth grave", 0xFF40, 2},
        {"fullwidth macron", 0xFFE3, 2},
        {"acute accent (Sk)", 0x00B4, 1},
        {"katakana voiced mark (Sk, wide)", 0x309B, 2},
        {"hangul choseong", 0x1100, 2},
        {"hangul jungseong", 0x1160, 0},
        {"hangul jongseong last", 0x11FF, 0},
        {"hangul syllable", 0xAC00, 2},
        {"hangul jamo extended-b", 0xD7B0, 0},
        {"regional indicator", 0x1F1E6, 2},
        {"regional indicator last", 0x1F1FF, 2},
        {"grinning face", 0x1F600, 2},
        {"heavy black heart", 0x2764, 1},
        {"ideographic space", 0x3000, 2},
        {"fullwidth exclamation", 0xFF01, 2},
        {"halfwidth full stop", 0xFF61, 1},
        {"cjk extension b", 0x20000, 2},
        {"plane 3 last", 0x3FFFD, 2},
        {"plane 4", 0x40000, 1},
        {"variation selector 16", 0xFE0F, 0},
        {"tag", 0xE0041, 0},
        {"private use", 0xE000, 1},
        {"surrogate", 0xD800, 1},
        {"last code point", 0x10FFFF, 1},
        {"beyond unicode", 0x110000, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UnicodeUtil::columnWidth(c.rune), c.expected);
        EXPECT_EQ(UnicodeUtil::columnWidthByRules(c.rune), c.expected);
    }
}

// The lookup table must answer exactly as the rules for every code point, block edges included.
TEST(UnicodeUtil, TableMatchesRulesEverywhere) {
    int mismatches = 0;
    for (uint32_t c = 0; c <= 0x10FFFF && mismatches < 10; ++c) {
        if (UnicodeUtil::columnWidth(c) != UnicodeUtil::columnWidthByRules(c)) {
            ADD_FAILURE() << std::hex << "U+" << c;
            ++mismatches;
        }
    }
    EXPECT_EQ(UnicodeUtil::columnWidth(0xFFFFFFFF), 1);
}

TEST(UnicodeUtil, Bisearch) {
    const auto& wide = UnicodeWidthData::eastAsianWide;
    const auto& vs16 = UnicodeWidthData::emojiVs16Base;
    struct Case {
        const char* name;
        uint32_t rune;
        std::span<const UnicodeUtil::LH> table;
        int max;
        int expected;
    };
    const Case cases[] = {
        {"range start", 0x231A, wide, 122, 1},
        {"just below a range", 0x2319, wide, 122, 0},
        {"below the table", 0x0041, wide, 122, 0},
        {"first range", 0x1100, wide, 122, 1},
        {"last range end", 0x3FFFD, wide, 122, 1},
        {"above the table", 0x3FFFE, wide, 122, 0},
        {"beyond max", 0x3FFFD, wide, 121, 0},
        {"max beyond the table", 0x3FFFD, wide, 500, 1},
        {"negative max", 0x1100, wide, -1, 0},
        {"empty table", 0x1100, {}, 0, 0},
        {"heavy heart is a vs16 base", 0x2764, vs16, 182, 1},
        {"digit is a vs16 base", '7', vs16, 182, 1},
        {"letter is not", 'A', vs16, 182, 0},
        {"last vs16 base", 0x1F6F3, vs16, 182, 1},
        {"gap between vs16 bases", 0x1F6F2, vs16, 182, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UnicodeUtil::bisearch(c.rune, c.table, c.max), c.expected);
    }
}

TEST(UnicodeUtil, Utf8FirstByteTable) {
    struct Case {
        const char* name;
        int from, to;
        uint8_t expected;
    };
    const Case cases[] = {
        {"ascii", 0x00, 0x7F, 0xF0},       {"continuation and overlong", 0x80, 0xC1, 0xF1},
        {"two bytes", 0xC2, 0xDF, 0x02},   {"e0", 0xE0, 0xE0, 0x13},
        {"three bytes", 0xE1, 0xEC, 0x03}, {"ed (no surrogates)", 0xED, 0xED, 0x23},
        {"ee ef", 0xEE, 0xEF, 0x03},       {"f0", 0xF0, 0xF0, 0x34},
        {"four bytes", 0xF1, 0xF3, 0x04},  {"f4 (up to U+10FFFF)", 0xF4, 0xF4, 0x44},
        {"never valid", 0xF5, 0xFF, 0xF1},
    };
    int covered = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int b = c.from; b <= c.to; ++b, ++covered)
            EXPECT_EQ(UnicodeUtil::first[size_t(b)], c.expected) << b;
    }
    EXPECT_EQ(covered, 256);
}
