// Character attributes (SGR) and the terminal's colours: OSC 4, 10, 11, 12, 104 and 112.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using C = Attribute::Color;
using S = CharacterStyle;

Attribute attr(CharacterStyle style, C fg = C::defaultColor(), C bg = C::defaultColor(),
               UnderlineStyle underline = UnderlineStyle::none,
               std::optional<C> underlineColor = std::nullopt) {
    return Attribute(fg, bg, style, underline, underlineColor);
}

const Attribute plain = Attribute::defaultAttribute();

} // namespace

TEST(TerminalSgr, Forms) {
    struct Case {
        const char* name;
        const char* input;
        Attribute expected;
    };
    const Case cases[] = {
        {"CSI m resets", "\x1b[1;31m\x1b[m", plain},
        {"CSI 0 m resets", "\x1b[1;31m\x1b[0m", plain},
        {"0 inside the list", "\x1b[1;0;3m", attr(S::italic)},
        {"every style", "\x1b[1;2;3;5;7;8;9m",
         attr({S::bold, S::dim, S::italic, S::blink, S::inverse, S::invisible, S::crossedOut})},
        {"22 removes bold and dim", "\x1b[1;2;3m\x1b[22m", attr(S::italic)},
        {"23 25 27 28 29", "\x1b[3;5;7;8;9;1m\x1b[23;25;27;28;29m", attr(S::bold)},
        {"prefix: nothing", "\x1b[>4;2m", plain},
        {"private marker: nothing", "\x1b[?1m", plain},
        {"sub-parameter of another code applies", "\x1b[1:2m", attr({S::bold, S::dim})},
        {"4", "\x1b[4m", attr(S::underline, C::defaultColor(), C::defaultColor(), UnderlineStyle::single)},
        {"4:3 curly", "\x1b[4:3m",
         attr(S::underline, C::defaultColor(), C::defaultColor(), UnderlineStyle::curly)},
        {"4:5 dashed", "\x1b[4:5m",
         attr(S::underline, C::defaultColor(), C::defaultColor(), UnderlineStyle::dashed)},
        {"4:0 removes", "\x1b[4m\x1b[4:0m", plain},
        {"4:9 is single", "\x1b[4:9m",
         attr(S::underline, C::defaultColor(), C::defaultColor(), UnderlineStyle::single)},
        {"4;3 is single and italic", "\x1b[4;3m",
         attr({S::underline, S::italic}, C::defaultColor(), C::defaultColor(), UnderlineStyle::single)},
        {"21 double", "\x1b[21m",
         attr(S::underline, C::defaultColor(), C::defaultColor(), UnderlineStyle::double_)},
        {"24 removes", "\x1b[4:3m\x1b[24m", plain},
        {"palette colours", "\x1b[31;42m", attr(S::none, C::ansi256(1), C::ansi256(2))},
        {"bright colours", "\x1b[97;100m", attr(S::none, C::ansi256(15), C::ansi256(8))},
        {"39 and 49", "\x1b[31;42m\x1b[39;49m", plain},
        {"38;5;n", "\x1b[38;5;200m", attr(S::none, C::ansi256(200))},
        {"38;5;300 is limited", "\x1b[38;5;300m", attr(S::none, C::ansi256(255))},
        {"38;2 true colour", "\x1b[38;2;1;2;3m", attr(S::none, C::trueColor(1, 2, 3))},
        {"38;2;300;0;0 is limited", "\x1b[38;2;300;0;0m", attr(S::none, C::trueColor(255, 0, 0))},
        {"48;2", "\x1b[48;2;4;5;6m", attr(S::none, C::defaultColor(), C::trueColor(4, 5, 6))},
        {"38:2 with colour space", "\x1b[38:2:0:10:20:30m", attr(S::none, C::trueColor(10, 20, 30))},
        {"38:2 without colour space", "\x1b[38:2:10:20:30m", attr(S::none, C::trueColor(10, 20, 30))},
        {"38:2 with empty colour space", "\x1b[38:2::10:20:30m", attr(S::none, C::trueColor(10, 20, 30))},
        {"38:2 extra members ignored", "\x1b[38:2:0:10:20:30:40;1m", attr(S::bold, C::trueColor(10, 20, 30))},
        {"38:2 too short consumes its run", "\x1b[38:2:1:2;3m", attr(S::italic)},
        {"38:5:n", "\x1b[48:5:9m", attr(S::none, C::defaultColor(), C::ansi256(9))},
        {"38:5 alone then ;1", "\x1b[38:5;1m", attr(S::bold)},
        {"38;5 incomplete", "\x1b[38;5m", plain},
        {"38 alone", "\x1b[38m", plain},
        {"38;2;1;2 incomplete: 1 and 2 apply", "\x1b[38;2;1;2m", attr({S::bold, S::dim})},
        {"38;9 unknown kind skips one", "\x1b[38;9;1m", attr(S::bold)},
        {"malformed colour keeps the old one", "\x1b[31m\x1b[38;5m", attr(S::none, C::ansi256(1))},
        {"colour then more", "\x1b[1;38;5;9;4m",
         attr({S::bold, S::underline}, C::ansi256(9), C::defaultColor(), UnderlineStyle::single)},
        {"58:5:1 underline colour", "\x1b[58:5:1m",
         attr(S::none, C::defaultColor(), C::defaultColor(), UnderlineStyle::none, C::ansi256(1))},
        {"58;2 underline colour", "\x1b[58;2;7;8;9m",
         attr(S::none, C::defaultColor(), C::defaultColor(), UnderlineStyle::none, C::trueColor(7, 8, 9))},
        {"59 removes it", "\x1b[58:5:1m\x1b[59m", plain},
        {"0 drops the underline colour", "\x1b[58:5:1;0m", plain},
        {"unknown codes change nothing", "\x1b[1m\x1b[6;10;26;50;98;108m", attr(S::bold)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.terminal().silentLog = true;
        h.feed(c.input);
        EXPECT_EQ(h.terminal().currentAttribute(), c.expected);
    }
}

TEST(TerminalSgr, CellsTakeTheAttribute) {
    TerminalHarness h;
    h.feed("\x1b[1;38;2;1;2;3;48;5;4ma\x1b[0mb");
    EXPECT_EQ(h.terminal().attribute(h.buffer().lines()[0]->get(0)),
              attr(S::bold, C::trueColor(1, 2, 3), C::ansi256(4)));
    EXPECT_EQ(h.terminal().attribute(h.buffer().lines()[0]->get(1)), plain);
}

TEST(TerminalSgr, EachTerminalKeepsItsOwnUnderlineColours) {
    // One terminal fills its table; another still gets exact colours.
    TerminalHarness busy;
    for (int i = 0; i <= UnderlineColorTable::capacity; ++i)
        busy.feed("\x1b[58;2;" + std::to_string(i & 255) + ";" + std::to_string(i >> 8) + ";9mx");
    EXPECT_EQ(busy.terminal().underlineColors().size(), size_t(UnderlineColorTable::capacity));
    TerminalHarness quiet;
    quiet.feed("\x1b[4;58;2;250;251;252ma");
    const Attribute cell = quiet.terminal().attribute(quiet.buffer().lines()[0]->get(0));
    EXPECT_EQ(cell.underlineColor, C::trueColor(250, 251, 252));
    EXPECT_EQ(quiet.terminal().underlineColors().size(), 1u);
}

// Unknown codes used to reach standard output whatever silentLog said: a program could flood it.
TEST(TerminalSgr, UnknownCodesGoThroughTheLog) {
    TerminalHarness h;
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed("\x1b[6m\x1b[1;60m"); }),
              (std::vector{DiagnosticKind::unhandledSequence, DiagnosticKind::unhandledSequence}));
    EXPECT_EQ(h.terminal().currentAttribute(), attr(S::bold));
    h.terminal().silentLog = true;
    EXPECT_TRUE(TerminalHarness::captureDiagnostics([&] { h.feed("\x1b[6m"); }).empty());
}

// MARK: Colours

TEST(TerminalColors, OscRepliesAndNotices) {
    struct Case {
        const char* name;
        const char* input;
        const char* replies;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"OSC 4 set then query",
         "\x1b]4;2;rgb:12/34/56\x07\x1b]4;2;?\x07",
         "\x1b]4;2;rgb:1212/3434/5656\x1b\\",
         {"colorChanged 2", "send \\e]4;2;rgb:1212/3434/5656\\e\\\\"}},
        {"OSC 4 set one, query another",
         "\x1b]4;1;#ff0000;2;?\x1b\\",
         "\x1b]4;2;rgb:1212/3434/5656\x1b\\",
         {"colorChanged 1", "send \\e]4;2;rgb:1212/3434/5656\\e\\\\"}},
        {"OSC 4 query after a query",
         "\x1b]4;1;?;2;?\x07",
         "\x1b]4;1;rgb:ffff/0000/0000\x1b\\\x1b]4;2;rgb:1212/3434/5656\x1b\\",
         {"send \\e]4;1;rgb:ffff/0000/0000\\e\\\\", "send \\e]4;2;rgb:1212/3434/5656\\e\\\\"}},
        {"OSC 4 index above 255 stops", "\x1b]4;300;#fff;1;?\x07", "", {}},
        {"OSC 4 bad spec skipped", "\x1b]4;1;bogus;3;#00ff00\x07", "", {"colorChanged 3"}},
        {"OSC 4 trailing index", "\x1b]4;1\x07", "", {}},
        {"OSC 10 query",
         "\x1b]10;?\x07",
         "\x1b]10;rgb:8a3d/8a3d/8a3d\x1b\\",
         {"getColors", "send \\e]10;rgb:8a3d/8a3d/8a3d\\e\\\\"}},
        {"OSC 12 query without a cursor colour",
         "\x1b]12;?\x07",
         "\x1b]12;rgb:8a3d/8a3d/8a3d\x1b\\",
         {"getColors", "send \\e]12;rgb:8a3d/8a3d/8a3d\\e\\\\"}},
        {"OSC 10 walks on to 11 and 12",
         "\x1b]10;?;?;?;?\x07",
         "\x1b]10;rgb:8a3d/8a3d/8a3d\x1b\\\x1b]11;rgb:0000/0000/0000\x1b\\\x1b]12;rgb:8a3d/8a3d/8a3d\x1b\\",
         {"getColors", "send \\e]10;rgb:8a3d/8a3d/8a3d\\e\\\\", "send \\e]11;rgb:0000/0000/0000\\e\\\\",
          "send \\e]12;rgb:8a3d/8a3d/8a3d\\e\\\\"}},
        {"OSC 11 empty items do not advance",
         "\x1b]11;;?\x07",
         "\x1b]11;rgb:0000/0000/0000\x1b\\",
         {"getColors", "send \\e]11;rgb:0000/0000/0000\\e\\\\"}},
        {"OSC 10 without items", "\x1b]10;\x07", "", {}},
        // The observer tells the delegate, then the delegate is told again; this delegate writes the colour
        // back (the default behaviour), which runs the observer a second time.
        {"OSC 12 set",
         "\x1b]12;#010203\x07",
         "",
         {"getColors", "setCursorColor rgb:0101/0202/0303", "setCursorColor rgb:0101/0202/0303",
          "setCursorColor rgb:0101/0202/0303"}},
        {"OSC 12 set then query",
         "\x1b]12;#010203;?\x07",
         "",
         {"getColors", "setCursorColor rgb:0101/0202/0303", "setCursorColor rgb:0101/0202/0303",
          "setCursorColor rgb:0101/0202/0303"}},
        {"OSC 11 set rebuilds the base16Lab palette",
         "\x1b]11;#000000\x07",
         "",
         {"getColors", "setBackgroundColor rgb:0000/0000/0000", "colorChanged all",
          "setBackgroundColor rgb:0000/0000/0000", "setBackgroundColor rgb:0000/0000/0000",
          "colorChanged all"}},
        {"OSC 104 all", "\x1b]104\x07", "", {"colorChanged all"}},
        {"OSC 104 list", "\x1b]104;1;;+3;x\x07", "", {"colorChanged 1", "colorChanged 3", "colorChanged 0"}},
        {"OSC 104 out of range", "\x1b]104;-1;256;99999999999999999999\x07", "", {"colorChanged 0"}},
        {"OSC 104 not ASCII", "\x1b]104;1;\xc3\xa9\x07", "", {}},
        // The delegate's default clears the terminal's cursor colour, whose observer tells it once more.
        {"OSC 112", "\x1b]112\x07", "", {"setCursorColor none", "setCursorColor none"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        // Entries 1 and 2 start from known values.
        h.terminal().ansiColors[1] = Color(0xffff, 0, 0);
        h.terminal().ansiColors[2] = Color(0x1212, 0x3434, 0x5656);
        h.feed(c.input);
        EXPECT_EQ(h.replies(), c.replies);
        EXPECT_EQ(h.log(), c.log);
    }
}

TEST(TerminalColors, PaletteChangesAndResets) {
    TerminalHarness h;
    Terminal& t = h.terminal();
    const std::vector<Color> built = t.defaultAnsiColors;
    h.feed("\x1b]4;1;#102030;200;#405060\x07");
    EXPECT_EQ(t.ansiColors[1], Color::parseColor("#102030"));
    EXPECT_EQ(t.ansiColors[200], Color::parseColor("#405060"));
    h.feed("\x1b]104;200\x07");
    EXPECT_EQ(t.ansiColors[200], built[200]);
    EXPECT_EQ(t.ansiColors[1], Color::parseColor("#102030"));
    h.feed("\x1b]104\x07");
    EXPECT_EQ(t.ansiColors, built);
    EXPECT_EQ(t.defaultAnsiColors, built) << "a reset does not rebuild";

    h.feed("\x1b]10;#ffffff\x07\x1b]11;rgb:00/00/80\x07");
    EXPECT_EQ(t.foregroundColor(), Color(0xffff, 0xffff, 0xffff));
    EXPECT_EQ(t.backgroundColor(), Color(0, 0, 0x8080));
    h.feed("\x1b]12;#00ff00\x07");
    EXPECT_EQ(t.cursorColor(), Color(0, 0xffff, 0));
    h.log();
    h.feed("\x1b]112\x07");
    EXPECT_FALSE(t.cursorColor()) << "the delegate's default clears it";
}

TEST(TerminalColors, WithoutADelegate) {
    Terminal t(nullptr, TerminalOptions());
    t.feed("\x1b]10;#ffffff;?\x07\x1b]4;1;#ff0000;1;?\x07\x1b]104\x07\x1b]112\x07");
    EXPECT_EQ(t.foregroundColor(), Color(0xffff, 0xffff, 0xffff));
    EXPECT_EQ(t.ansiColors, t.defaultAnsiColors);
}

TEST(TerminalColors, InstallPaletteTakesExactlySixteen) {
    TerminalHarness h;
    Terminal& t = h.terminal();
    const std::vector<Color> before = t.installedColors;
    for (size_t n : {15u, 17u}) {
        std::vector<Color> colors(n, Color(1, 2, 3));
        t.installPalette(colors);
        EXPECT_EQ(t.installedColors, before);
    }
    std::vector<Color> sixteen(16, Color(0x1000, 0x2000, 0x3000));
    t.installPalette(sixteen);
    EXPECT_EQ(t.installedColors, sixteen);
    EXPECT_EQ(t.ansiColors[3], sixteen[3]);
    EXPECT_TRUE(h.log().empty()) << "installing tells no one";
}

TEST(TerminalColors, EightBitReplies) {
    TerminalHarness h;
    h.terminal().ansiColors[5] = Color(0xabcd, 0, 0x0102);
    h.feed("\x1b G\x1b]4;5;?\x07\x1b]11;?\x1b\\");
    EXPECT_EQ(h.replies(), "\x9d"
                           "4;5;rgb:abcd/0000/0102\x9c\x9d"
                           "11;rgb:0000/0000/0000\x9c");
}
