#include "SixelDecoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

using namespace Tessaline;

namespace {

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The terminal's generated table: registers 0 to 255 fall back on it.
const std::vector<Color>& ansiColors() {
    static const std::vector<Color> colors = Color::generateXtermPalette(Color::terminalAppColors);
    return colors;
}

// One line per pixel row: "." transparent, R, G, B the pure opaque colours, any other pixel as its four
// bytes in hexadecimal between brackets.
std::string dump(const SixelDecoder& decoder) {
    const std::vector<uint8_t>& pixels = decoder.pixels();
    if (pixels.size() != size_t(decoder.maxX() * decoder.maxY() * 4))
        return "bitmap of " + std::to_string(pixels.size()) + " bytes";
    std::string text;
    for (int64_t row = 0; row < decoder.maxY(); ++row) {
        for (int64_t column = 0; column < decoder.maxX(); ++column) {
            const uint8_t* p = &pixels[size_t(row * decoder.maxX() + column) * 4];
            const uint32_t rgba = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
            switch (rgba) {
            case 0:
                text += '.';
                break;
            case 0xFF0000FF:
                text += 'R';
                break;
            case 0x00FF00FF:
                text += 'G';
                break;
            case 0x0000FFFF:
                text += 'B';
                break;
            default: {
                char hex[11];
                std::snprintf(hex, sizeof hex, "[%08x]", rgba);
                text += hex;
            }
            }
        }
        text += '\n';
    }
    return text;
}

struct Case {
    const char* name;
    std::string input;
    int64_t width;
    int64_t height;
    std::string pixels;
};

void expectDecodes(const Case& c) {
    SCOPED_TRACE(c.name);
    SixelDecoder decoder;
    EXPECT_EQ(decoder.decode(bytesOf(c.input), ansiColors()), SixelDecoder::Result::decoded);
    EXPECT_EQ(decoder.maxX(), c.width);
    EXPECT_EQ(decoder.maxY(), c.height);
    EXPECT_EQ(dump(decoder), c.pixels);
}

} // namespace

TEST(SixelDecoder, Registers) {
    const Case cases[] = {
        {"rgb register, full band", "#0;2;100;0;0#0~~~~~~-", 6, 6,
         "RRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\n"},
        {"rgb percentages round down", "#5;2;50;20;1#5@", 1, 1, "[7f3302ff]\n"},
        {"rgb percentages above 100 clamp", "#5;2;250;0;0#5@", 1, 1, "R\n"},
        {"hls hue 0 is blue", "#0;1;0;50;100#0~~", 2, 6, "BB\nBB\nBB\nBB\nBB\nBB\n"},
        {"hls hue 120 is red, 240 green", "#1;1;120;50;100#1@#2;1;240;50;100#2@", 2, 1, "RG\n"},
        {"hls grey", "#1;1;200;50;0#1@", 1, 1, "[7f7f7fff]\n"},
        {"hls hue above 360 clamps", "#1;1;999;50;100#1@", 1, 1, "B\n"},
        {"undefined register takes the ansi colour", "#1~~", 2, 6,
         "[c23621ff][c23621ff]\n[c23621ff][c23621ff]\n[c23621ff][c23621ff]\n"
         "[c23621ff][c23621ff]\n[c23621ff][c23621ff]\n[c23621ff][c23621ff]\n"},
        {"last ansi colour", "#255@", 1, 1, "[eeeeeeff]\n"},
        {"register past the ansi table is transparent", "#256~", 1, 6, ".\n.\n.\n.\n.\n.\n"},
        {"redefinition applies to the next run", "#1;2;100;0;0#1@#1;2;0;100;0@", 2, 1, "RG\n"},
        {"two to four numbers select without defining", "#1;2;0;0@", 1, 1, "[c23621ff]\n"},
        {"unknown colour model defines nothing", "#1;3;0;0;100#1@", 1, 1, "[c23621ff]\n"},
        {"numbers past the fifth are dropped", "#1;2;0;0;100;7;8@", 1, 1, "B\n"},
        {"semicolon after the pound is skipped", "#;1;2;0;100;0@", 1, 1, "G\n"},
        {"numbers beyond 64 bits name one register",
         "#99999999999999999999999;2;100;0;0#999999999999999999999999@", 1, 1, "R\n"},
        {"a defining introducer also selects", "#3;2;0;0;100@", 1, 1, "B\n"},
    };
    for (const Case& c : cases)
        expectDecodes(c);

    // Each image starts with a fresh palette.
    SixelDecoder decoder;
    decoder.decode(bytesOf("#1;2;100;0;0#1@"), ansiColors());
    decoder.decode(bytesOf("#1@"), ansiColors());
    EXPECT_TRUE(decoder.palette().empty());
    EXPECT_EQ(dump(decoder), "[c23621ff]\n");
}

TEST(SixelDecoder, Layout) {
    const Case cases[] = {
        {"repeat without a final newline", "#0;2;100;0;0#0!6~", 6, 6,
         "RRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\nRRRRRR\n"},
        {"a single bit sizes the height", "#0;2;0;0;100#0AA", 2, 2, "..\nBB\n"},
        {"count 0 draws nothing and does not advance", "#0;2;100;0;0#0!0~~", 1, 6, "R\nR\nR\nR\nR\nR\n"},
        {"count waits across $ and -", "#0;2;100;0;0#0!3$-@", 3, 7, "...\n...\n...\n...\n...\n...\nRRR\n"},
        {"count is reset by an introducer", "#0;2;100;0;0!3#0@", 1, 1, "R\n"},
        {"the last count wins", "#0;2;100;0;0#0!5!2@", 2, 1, "RR\n"},
        {"bang without digits is ignored", "#0;2;100;0;0#0!@", 1, 1, "R\n"},
        {"dollar returns and later writes win", "#1;2;100;0;0#1~~$#2;2;0;0;100#2?@", 2, 6,
         "RB\nRR\nRR\nRR\nRR\nRR\n"},
        {"dollar keeps the widest row", "#1;2;100;0;0#1@@@$@", 3, 1, "RRR\n"},
        {"dash starts the next band", "#1;2;100;0;0#1@-@@", 2, 7, "R.\n..\n..\n..\n..\n..\nRR\n"},
        {"question marks widen but set nothing", "#1;2;100;0;0#1@??", 3, 1, "R..\n"},
        {"bands without sixels add no height", "#1;2;100;0;0#1@---", 1, 1, "R\n"},
        {"second bare pound ends the image", "#0;2;100;0;0#0~~#~~", 2, 6, "RR\nRR\nRR\nRR\nRR\nRR\n"},
        {"bare pound ends drawing", "#0;2;100;0;0#0@#x@", 1, 1, "R\n"},
        {"raster attributes and sixels before the first pound", "~~\"1;1;40;40#1;2;100;0;0#1@", 1, 1, "R\n"},
        {"controls, stray digits and semicolons are skipped", "#1;2;100;0;0#1@\r\n5;@", 2, 1, "RR\n"},
        {"empty data", "", 0, 0, ""},
        {"no pound at all", "\"1;1;6;6~~~", 0, 0, ""},
        {"pound only", "#", 0, 0, ""},
        {"introducers without sixels", "#1;2;100;0;0#1", 0, 0, ""},
        // A final run of a single sixel byte used to be dropped by both passes.
        {"one-byte final run", "#0;2;100;0;0#0~", 1, 6, "R\nR\nR\nR\nR\nR\n"},
        {"one-byte final run, default colour", "#4@", 1, 1, "[492ee1ff]\n"},
    };
    for (const Case& c : cases)
        expectDecodes(c);

    // An empty body with no storage behind it.
    SixelDecoder empty;
    EXPECT_EQ(empty.decode({}, ansiColors()), SixelDecoder::Result::decoded);
    EXPECT_EQ(empty.maxX() + empty.maxY(), 0);
}

TEST(SixelDecoder, HlsToRgb) {
    struct HlsCase {
        const char* name;
        int64_t hue, lum, sat;
        uint32_t expected;
    };
    const HlsCase cases[] = {
        {"sector 4 (hue 0)", 0, 50, 100, 0x0000FF},
        {"sector 5", 90, 50, 100, 0xFF007F},
        {"sector 0", 150, 50, 100, 0xFF7F00},
        {"sector 1", 210, 50, 100, 0x7FFF00},
        {"sector 2", 270, 50, 100, 0x00FF7F},
        {"sector 3", 330, 50, 100, 0x007FFF},
        {"hue 360 is blue again", 360, 50, 100, 0x0000FF},
        {"percent truncates", 10, 50, 100, 0x2800FF},
        {"light and half saturated", 150, 75, 50, 0xDDBF9E},
        {"dark", 0, 25, 100, 0x00007F},
        {"grey", 0, 33, 0, 0x545454},
        {"white", 0, 100, 0, 0xFFFFFF},
    };
    for (const HlsCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SixelDecoder::hls_to_rgb(c.hue, c.lum, c.sat), c.expected);
    }
}

TEST(SixelDecoder, Caps) {
    const std::string tallest = "#0;2;100;0;0#0" + std::string(1666, '-') + "@";
    const std::string tooTall = "#0;2;100;0;0#0" + std::string(1666, '-') + "~";
    std::string overBudget = "\"1;1;10000;10000#0;2;100;0;0#0";
    for (int band = 0; band < 1666; ++band)
        overBudget += "!10000~-";
    struct CapCase {
        const char* name;
        std::string input;
        SixelDecoder::Result result;
        int64_t width;
        int64_t height;
    };
    const CapCase cases[] = {
        {"widest", "#0!10000@", SixelDecoder::Result::decoded, 10'000, 1},
        {"one column too wide", "#0!10001@", SixelDecoder::Result::imageTooLarge, 0, 0},
        {"too wide by the run after a repeat", "#0!10000@@", SixelDecoder::Result::imageTooLarge, 0, 0},
        {"too wide by rows added up", "#0!6000@$!6000?!6000?", SixelDecoder::Result::imageTooLarge, 0, 0},
        {"count beyond 64 bits", "#0!99999999999999999999999999@", SixelDecoder::Result::imageTooLarge, 0, 0},
        {"tallest", tallest, SixelDecoder::Result::decoded, 1, 9997},
        {"one band too tall", tooTall, SixelDecoder::Result::imageTooLarge, 0, 0},
        // 13 KB that used to cost a 400 MB bitmap (and as much again in the host's copy).
        {"sides within the caps, bytes over the budget", overBudget, SixelDecoder::Result::imageOverBudget, 0,
         0},
        {"just within the budget", "#0!5792~", SixelDecoder::Result::decoded, 5792, 6},
    };
    for (const CapCase& c : cases) {
        SCOPED_TRACE(c.name);
        SixelDecoder decoder;
        EXPECT_EQ(decoder.decode(bytesOf(c.input), ansiColors()), c.result);
        EXPECT_EQ(decoder.maxX(), c.width);
        EXPECT_EQ(decoder.maxY(), c.height);
        EXPECT_EQ(decoder.pixels().size(), size_t(c.width * c.height * 4));
    }

    // Data one byte past the cap is refused before anything is read or allocated.
    std::string longest(SixelDecoder::maxDataLength, ' ');
    longest[0] = '#';
    longest[1] = '0';
    SixelDecoder decoder;
    EXPECT_EQ(decoder.decode(bytesOf(longest), ansiColors()), SixelDecoder::Result::decoded);
    EXPECT_EQ(decoder.maxX(), 0);
    longest.push_back('?');
    EXPECT_EQ(decoder.decode(bytesOf(longest), ansiColors()), SixelDecoder::Result::dataTooLong);
    EXPECT_EQ(decoder.maxX(), 0);
    EXPECT_TRUE(decoder.pixels().empty());
}

TEST(SixelDecoder, PaletteIsBounded) {
    // Every register past the bound keeps its fallback colour; those defined before it keep theirs.
    std::string data;
    for (size_t reg = 1'000; reg < 1'000 + SixelDecoder::maxPaletteEntries + 1; ++reg)
        data += "#" + std::to_string(reg) + ";2;100;0;0";
    data += "#1000@#" + std::to_string(1'000 + SixelDecoder::maxPaletteEntries) + "@";
    SixelDecoder decoder;
    ASSERT_EQ(decoder.decode(bytesOf(data), ansiColors()), SixelDecoder::Result::decoded);
    EXPECT_EQ(decoder.palette().size(), SixelDecoder::maxPaletteEntries);
    EXPECT_EQ(dump(decoder), "R.\n");
    // Redefining a register already held still works at the bound.
    data += "#1000;2;0;0;100#1000@";
    ASSERT_EQ(decoder.decode(bytesOf(data), ansiColors()), SixelDecoder::Result::decoded);
    EXPECT_EQ(dump(decoder), "R.B\n");
}
