#include "CharData.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Tessaline;
using Color = Attribute::Color;

TEST(CharData, NullCellAndPacking) {
    const CharData& n = CharData::Null;
    EXPECT_EQ(n.code, 0);
    EXPECT_EQ(n.width(), 1);
    EXPECT_FALSE(n.hasPayload());
    EXPECT_TRUE(n.isSimpleRune());
    const UnderlineColorTable colors;
    EXPECT_EQ(n.attribute(colors), Attribute::defaultAttribute());
    EXPECT_NE(Attribute::empty, n.attribute(colors));

    CharData g = n;
    g.setValue(0x400001, 1);
    EXPECT_FALSE(g.isSimpleRune());
    EXPECT_EQ(g.getCharacter(), U' ');
    g.code = 0xD800;
    EXPECT_EQ(g.getCharacter(), U' ');
    EXPECT_EQ(g.debugDescription(), "CharData: 55296 ?");
    g.code = 'A';
    EXPECT_EQ(g.debugDescription(), "CharData: 65 A");
}

TEST(CharData, AttributeRoundTripsThroughTheCell) {
    Attribute a(Color::trueColor(255, 128, 0), Color::ansi256(200),
                {CharacterStyle::bold, CharacterStyle::italic}, UnderlineStyle::curly,
                Color::trueColor(1, 2, 3));
    UnderlineColorTable colors;
    CharData c(a, colors, 'x', 2, TinyAtom{7});
    EXPECT_EQ(c.attribute(colors), a);
    EXPECT_EQ(c.width(), 2);
    EXPECT_EQ(c.payload().code, 7);
    EXPECT_EQ(c.fg(), a.fg);
    EXPECT_EQ(c.bg(), a.bg);

    // Underline colour nil against defaultColor: different attributes and different cells.
    Attribute b = Attribute::defaultAttribute();
    Attribute d = b;
    d.underlineColor = Color::defaultColor();
    EXPECT_NE(b, d);
    EXPECT_NE(CharData(b), CharData(d, colors));
    EXPECT_EQ(CharData(d, colors).attribute(colors), d);
    EXPECT_FALSE(CharData(b).sameAttribute(CharData(d, colors)));
}

TEST(CharData, UnderlineColorTableNeverFails) {
    // More distinct colours than the table holds still give a cell with some underline colour.
    UnderlineColorTable colors;
    for (int i = 0; i < UnderlineColorTable::capacity + 50; ++i) {
        Attribute a = Attribute::defaultAttribute();
        a.underlineColor = Color::trueColor(uint8_t(i), uint8_t(i >> 8), 77);
        CharData c(a, colors);
        ASSERT_TRUE(c.attribute(colors).underlineColor.has_value());
    }
    EXPECT_EQ(colors.size(), size_t(UnderlineColorTable::capacity));
}

TEST(CharData, AFullUnderlineColorTableGivesAColourNearby) {
    UnderlineColorTable colors;
    for (int i = 0; i < UnderlineColorTable::capacity; ++i)
        colors.indexOf(Color::trueColor(uint8_t(i), uint8_t(i >> 8), 77));
    colors.indexOf(Color::ansi256(20));
    struct Case {
        const char* name;
        Color asked;
        int within; // of the colour given, each channel (or code)
    };
    const Case cases[] = {
        {"a cube with colours held", Color::trueColor(200, 5, 80), 31},
        {"a cube held only in a coarser grid", Color::trueColor(10, 10, 140), 127},
        {"far from every colour held", Color::trueColor(255, 255, 255), 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Color given = colors.colorAt(colors.indexOf(c.asked));
        ASSERT_TRUE(given.isTrueColor());
        EXPECT_LE(std::abs(given.red() - c.asked.red()), c.within);
        EXPECT_LE(std::abs(given.green() - c.asked.green()), c.within);
        EXPECT_LE(std::abs(given.blue() - c.asked.blue()), c.within);
    }
    EXPECT_EQ(colors.size(), size_t(UnderlineColorTable::capacity));
}

TEST(Attribute, ToSgr) {
    struct Case {
        const char* name;
        Attribute attribute;
        const char* sgr;
    };
    auto dflt = Color::defaultColor();
    const Case cases[] = {
        {"default", Attribute::defaultAttribute(), "0m"},
        {"bold red", Attribute(Color::ansi256(1), dflt, CharacterStyle::bold), "0;1;31m"},
        {"bright on 256", Attribute(Color::ansi256(12), Color::ansi256(16), {}), "0;94;48;5;16m"},
        {"truecolor underline", Attribute(Color::trueColor(255, 128, 0), dflt, CharacterStyle::underline),
         "0;4;38;2;255;128;0m"},
        {"fg 15", Attribute(Color::ansi256(15), dflt, {}), "0;97m"},
        {"fg 16", Attribute(Color::ansi256(16), dflt, {}), "0;38;5;16m"},
        {"bg 8", Attribute(dflt, Color::ansi256(8), {}), "0;100m"},
        {"bg 3", Attribute(dflt, Color::ansi256(3), {}), "0;43m"},
        {"bg truecolor", Attribute(dflt, Color::trueColor(1, 2, 3), {}), "0;48;2;1;2;3m"},
        {"unwritten styles",
         Attribute(dflt, dflt, {CharacterStyle::dim, CharacterStyle::italic, CharacterStyle::crossedOut}),
         "0m"},
        {"all written styles",
         Attribute(dflt, Color::defaultInvertedColor(),
                   {CharacterStyle::bold, CharacterStyle::underline, CharacterStyle::blink,
                    CharacterStyle::inverse, CharacterStyle::invisible}),
         "0;1;4;5;7;8m"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.attribute.toSgr(), c.sgr);
    }
}

TEST(CharacterStyle, SetAlgebra) {
    CharacterStyle s{CharacterStyle::bold, CharacterStyle::dim};
    EXPECT_EQ(s.rawValue, 33);
    EXPECT_TRUE(s.contains(CharacterStyle::bold));
    EXPECT_TRUE(CharacterStyle::bold.isSubset(s));
    s.remove(CharacterStyle::bold);
    EXPECT_EQ(s, CharacterStyle::dim);
    EXPECT_EQ((s ^ CharacterStyle::dim), CharacterStyle::none);
    EXPECT_EQ(CharacterStyle::fromPackedAttribute(int32_t(0x81) << 18),
              (CharacterStyle{CharacterStyle::bold, CharacterStyle::crossedOut}));
    EXPECT_EQ(underlineStyleFromRaw(5), UnderlineStyle::dashed);
    EXPECT_FALSE(underlineStyleFromRaw(6).has_value());
}

TEST(TinyAtom, HandsOutFromOneAndReusesReleasedCodes) {
    TinyAtom::Registry registry;
    EXPECT_EQ(registry.target(TinyAtom{0}), nullptr);
    auto first = registry.lookup(std::string("a"));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, 1);
    EXPECT_EQ(std::any_cast<std::string>(*registry.target(*first)), "a");

    for (int i = 2; i <= TinyAtom::lastCode; ++i)
        ASSERT_TRUE(registry.lookup(i));
    EXPECT_FALSE(registry.lookup(0)) << "every code live: none left";

    // Released codes come back, searching on from the last code used and wrapping past 65534 to 1.
    registry.release(300);
    registry.release(5);
    auto reused = registry.lookup(std::string("b"));
    ASSERT_TRUE(reused);
    EXPECT_EQ(reused->code, 5);
    auto next = registry.lookup(std::string("c"));
    ASSERT_TRUE(next);
    EXPECT_EQ(next->code, 300);
    EXPECT_FALSE(registry.lookup(0));

    registry.release(1234);
    registry.release(1234); // nothing registered: ignored
    EXPECT_EQ(registry.target(TinyAtom{1234}), nullptr);
}
