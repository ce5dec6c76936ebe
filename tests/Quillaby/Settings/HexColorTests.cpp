#include "App/Log.h"
#include "Settings/HexColor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Quillaby;

namespace {
RgbColor bits(unsigned value) {
    return RgbColor::rgb(((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0,
                         (value & 0xFF) / 255.0);
}
const RgbColor magenta = RgbColor::rgb(1, 0, 1);
} // namespace

TEST(HexColor, BothParsersReadTheSameTextsDifferently) {
    struct Case {
        const char* name;
        QString text;
        std::optional<unsigned> lenient; // none: magenta and a log line
        std::optional<unsigned> strict;
    };
    const Case cases[] = {
        {"upper case with #", "#1E1E2E", 0x1e1e2e, 0x1e1e2e},
        {"bare lower case", "1e1e2e", 0x1e1e2e, 0x1e1e2e},
        {"hashes at both ends", "##1e1e2e##", 0x1e1e2e, 0x1e1e2e},
        {"leading blank is a seventh character", " #1e1e2e", std::nullopt, std::nullopt},
        {"trailing blank too", "#1e1e2e ", std::nullopt, std::nullopt},
        {"junk after digits", "#12ZZZZ", 0x000012, std::nullopt},
        {"0x prefix", "0x1234", 0x001234, std::nullopt},
        {"blanks before digits inside six", "  1e1e", 0x001e1e, std::nullopt},
        {"hash inside stays", "#1e#e2e", 0x00001e, std::nullopt},
        {"short form is not expanded", "#FFF", std::nullopt, std::nullopt},
        {"eight digits", "#1e1e2eff", std::nullopt, std::nullopt},
        {"no digit at all", "#zzzzzz", std::nullopt, std::nullopt},
        {"empty", "", std::nullopt, std::nullopt},
        {"only hashes", "###", std::nullopt, std::nullopt},
        {"plus sign and five digits", "+12345", std::nullopt, 0x012345},
        {"minus sign and zeros", "-00000", std::nullopt, 0},
        {"minus sign and a digit", "-00001", std::nullopt, std::nullopt},
        {"accent joins its letter", QStringLiteral("1e1e2e\u0301"), 0x1e1e2e, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        RgbColor lenient = hexColorOrMagenta(c.text);
        if (c.lenient) {
            EXPECT_EQ(lenient, bits(*c.lenient));
            EXPECT_TRUE(log.lines().isEmpty());
        } else {
            EXPECT_EQ(lenient, magenta);
            EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[Quillaby] Invalid hex color '") + c.text +
                                               QStringLiteral("' — using magenta sentinel so it's visible")});
        }
        log.clear();
        std::optional<RgbColor> strict = hexColor(c.text);
        ASSERT_EQ(strict.has_value(), c.strict.has_value());
        if (c.strict) {
            EXPECT_EQ(*strict, bits(*c.strict));
        }
        EXPECT_TRUE(log.lines().isEmpty());
    }
}

TEST(HexColor, HexStringTruncatesEachComponent) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        RgbColor color;
        const char* expected;
    };
    const Case cases[] = {
        {"halves truncate down", RgbColor::rgb(0.5, 0.25, 1.0), "#7F3FFF"},
        {"black", RgbColor::rgb(0, 0, 0), "#000000"},
        {"just under one", RgbColor::rgb(0.999, 0.999, 0.999), "#FEFEFE"},
        {"out of range is held at the ends", RgbColor::rgb(1.5, -0.2, 2), "#FF00FF"},
        {"not a number counts as zero", RgbColor::rgb(nan, 1, nan), "#00FF00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hexString(c.color), QString::fromLatin1(c.expected));
    }
}

TEST(HexColor, EveryByteSurvivesARoundTrip) {
    for (unsigned v = 0; v < 256; ++v) {
        const QString text = QStringLiteral("#%1%2%3")
                                 .arg(v, 2, 16, QLatin1Char('0'))
                                 .arg(255 - v, 2, 16, QLatin1Char('0'))
                                 .arg(v, 2, 16, QLatin1Char('0'))
                                 .toUpper();
        ASSERT_EQ(hexString(*hexColor(text)), text);
        ASSERT_EQ(hexString(RgbColor::fromQColor(hexColorOrMagenta(text).toQColor())), text);
    }
}
