#include "Color.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unordered_set>

using namespace Tessaline;

namespace {

// Within one 8-bit level per channel: the L*a*b* round trip rounds twice.
void expectNear(const Color& actual, const Color& expected) {
    EXPECT_LE(std::abs(int(actual.red) - int(expected.red)), 257) << actual.formatAsXcolor();
    EXPECT_LE(std::abs(int(actual.green) - int(expected.green)), 257) << actual.formatAsXcolor();
    EXPECT_LE(std::abs(int(actual.blue) - int(expected.blue)), 257) << actual.formatAsXcolor();
}

} // namespace

TEST(Color, ParseColor) {
    struct Case {
        const char* name;
        std::string_view input;
        std::optional<Color> expected;
    };
    const Case cases[] = {
        {"one digit", "#fff", Color(0xF0F0, 0xF0F0, 0xF0F0)},
        {"one digit mixed", "#F08", Color(0xF0F0, 0x0000, 0x8080)},
        {"two digits", "#ffffff", Color(0xFFFF, 0xFFFF, 0xFFFF)},
        {"two digits mixed case", "#C2aB00", Color(0xC2C2, 0xABAB, 0x0000)},
        {"three digits", "#fffffffff", Color(0xFFFF, 0xFFFF, 0xFFFF)},
        {"three digits half", "#800000000", Color(0x8080, 0, 0)},
        {"four digits", "#ffffffffffff", Color(0xFFFF, 0xFFFF, 0xFFFF)},
        {"four digits exact", "#123456789abc", Color(0x1234, 0x5678, 0x9ABC)},
        {"hash alone", "#", std::nullopt},
        {"two characters", "#12", std::nullopt},
        {"five digits", "#12345", std::nullopt},
        {"fourteen", "#1234567890abc", std::nullopt},
        {"component without digits", "#GG0000", Color(0, 0, 0)},
        {"component cut short", "#1G0000", Color(0x0101, 0, 0)},
        {"rgb two digits", "rgb:ff/80/00", Color(0xFFFF, 0x8080, 0x0000)},
        {"rgb four digits", "rgb:ffff/8000/0000", Color(0xFFFF, 0x8000, 0x0000)},
        {"rgb one digit", "rgb:f/8/0", Color(0xF0F0, 0x8080, 0x0000)},
        {"rgb widest field scales all", "rgb:f/ff/fff", Color(0x00F0, 0x0FFF, 0xFFFF)},
        {"rgb three digits", "rgb:800/fff/000", Color(0x8080, 0xFFFF, 0)},
        {"rgb fifth digit is a separator", "rgb:12345/6/7", Color(0x1234, 0x0006, 0x0007)},
        {"rgb missing fields", "rgb:ff", Color(0xFFFF, 0, 0)},
        {"rgb no digits", "rgb:", std::nullopt},
        {"rgb separators only", "rgb:///", std::nullopt},
        {"prefix is lower case", "RGB:ff/ff/ff", std::nullopt},
        {"colour name", "red", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Color::parseColor(c.input), c.expected);
    }
}

TEST(Color, FormatAsXcolorRoundTrips) {
    struct Case {
        const char* name;
        Color color;
        const char* expected;
    };
    const Case cases[] = {
        {"black", Color(0, 0, 0), "rgb:0000/0000/0000"},
        {"default foreground", Color::defaultForeground, "rgb:8a3d/8a3d/8a3d"},
        {"mixed", Color(0x1234, 0xABCD, 0xFFFF), "rgb:1234/abcd/ffff"},
        {"standard red", Color::terminalAppColors[1], "rgb:c2c2/3636/2121"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.color.formatAsXcolor();
        EXPECT_EQ(text, c.expected);
        EXPECT_EQ(Color::parseColor(text), c.color);
    }
}

TEST(Color, ValueSemanticsAndScaledConstructors) {
    EXPECT_EQ(Color::defaultBackground, Color(0, 0, 0));
    EXPECT_EQ(Color::terminalAppColors[15], Color(0xE9E9, 0xEBEB, 0xEBEB));
    EXPECT_EQ(Color::fromRgb8(0xC2, 0, 300), Color(0xC2C2, 0, 0xFFFF));
    EXPECT_EQ(Color::fromRgb4(0xF, 8, 99), Color(0xF0F0, 0x8080, 0xF0F0));

    std::unordered_set<Color> set(Color::terminalAppColors.begin(), Color::terminalAppColors.end());
    EXPECT_EQ(set.size(), 16u);
    EXPECT_TRUE(set.count(Color(0xC2C2, 0x3636, 0x2121)));
    EXPECT_FALSE(set.count(Color(0xC2C2, 0x2121, 0x3636)));
    EXPECT_NE(std::hash<Color>()(Color(1, 2, 3)), std::hash<Color>()(Color(3, 2, 1)));
}

TEST(Color, XtermPalette) {
    auto palette = Color::generateXtermPalette(Color::terminalAppColors);
    ASSERT_EQ(palette.size(), 256u);
    for (size_t i = 0; i < 16; ++i)
        EXPECT_EQ(palette[i], Color::terminalAppColors[i]);
    EXPECT_EQ(palette[16], Color(0, 0, 0));
    EXPECT_EQ(palette[21], Color(0, 0, 0xFFFF));
    EXPECT_EQ(palette[52], Color(0x5F5F, 0, 0));
    EXPECT_EQ(palette[110], Color(0x8787, 0xAFAF, 0xD7D7));
    EXPECT_EQ(palette[196], Color(0xFFFF, 0, 0));
    EXPECT_EQ(palette[231], Color(0xFFFF, 0xFFFF, 0xFFFF));
    EXPECT_EQ(palette[232], Color(0x0808, 0x0808, 0x0808));
    EXPECT_EQ(palette[244], Color(0x8080, 0x8080, 0x8080));
    EXPECT_EQ(palette[255], Color(0xEEEE, 0xEEEE, 0xEEEE));

    // Any number of initial colours comes back in front, followed by the same 240.
    auto bare = Color::generateXtermPalette({});
    ASSERT_EQ(bare.size(), 240u);
    EXPECT_TRUE(std::equal(bare.begin(), bare.end(), palette.begin() + 16));
}

TEST(Color, Base16LabPalette) {
    const auto& base = Color::terminalAppColors;

    // Fewer than 8 base colours: the xterm cube.
    auto few = std::span(base).first(7);
    EXPECT_EQ(Color::generateBase16LabPalette(few), Color::generateXtermPalette(few));

    // Corners of the cube: background, colours 1 to 6, foreground; b is the innermost axis.
    auto corners = [&](const std::vector<Color>& palette, const Color& bg, const Color& fg) {
        ASSERT_EQ(palette.size(), 256u);
        for (size_t i = 0; i < 16; ++i)
            EXPECT_EQ(palette[i], base[i]);
        auto at = [&](int r, int g, int b) { return palette[size_t(16 + 36 * r + 6 * g + b)]; };
        struct Corner {
            const char* name;
            int r, g, b;
            Color expected;
        };
        const Corner cases[] = {
            {"background", 0, 0, 0, bg},  {"red", 5, 0, 0, base[1]},   {"green", 0, 5, 0, base[2]},
            {"yellow", 5, 5, 0, base[3]}, {"blue", 0, 0, 5, base[4]},  {"magenta", 5, 0, 5, base[5]},
            {"cyan", 0, 5, 5, base[6]},   {"foreground", 5, 5, 5, fg},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            expectNear(at(c.r, c.g, c.b), c.expected);
        }
    };

    SCOPED_TRACE("without background and foreground");
    auto palette = Color::generateBase16LabPalette(base);
    corners(palette, base[0], base[7]);
    // The grey ramp runs from the background towards the foreground, brightening at every step.
    for (size_t i = 233; i < 256; ++i)
        EXPECT_GT(palette[i].green, palette[i - 1].green) << i;
    EXPECT_GT(palette[232].green, base[0].green);
    EXPECT_LT(palette[255].green, base[7].green);

    SCOPED_TRACE("with background and foreground");
    const Color bg(0x1010, 0x2020, 0x3030), fg(0xF0F0, 0xE0E0, 0xD0D0);
    auto themed = Color::generateBase16LabPalette(base, bg, fg);
    corners(themed, bg, fg);
    // The ramp follows the given ends, not colours 0 and 7.
    EXPECT_NE(themed[232], palette[232]);
    EXPECT_GT(themed[243].red, bg.red);
    EXPECT_LT(themed[243].red, fg.red);
}
