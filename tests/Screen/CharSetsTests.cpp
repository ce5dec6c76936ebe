#include "CharSets.h"

#include "Utf8.h"

#include <gtest/gtest.h>

using namespace Tessaline;

TEST(CharSets, DesignatorsAndReplacementCounts) {
    struct Case {
        const char* name;
        uint8_t designator;
        size_t replacements;
    };
    const Case cases[] = {
        {"special graphics", '0', 31},
        {"special graphics alias", '2', 31},
        {"united kingdom", 'A', 1},
        {"united states", 'B', 0},
        {"dutch", '4', 9},
        {"finnish", '5', 9},
        {"finnish alias", 'C', 9},
        {"french", 'R', 9},
        {"french canadian", 'Q', 10},
        {"german", 'K', 8},
        {"italian", 'Y', 10},
        {"norwegian danish", '6', 10},
        {"norwegian danish alias", 'E', 10},
        {"spanish", 'Z', 8},
        {"swedish", '7', 10},
        {"swedish alias", 'H', 10},
        {"swiss", '=', 12},
    };
    EXPECT_EQ(CharSets::all().size(), std::size(cases));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CharSetMap* map = CharSets::lookup(c.designator);
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map, CharSets::all().at(c.designator));
        EXPECT_EQ(map->size(), c.replacements);
        for (const auto& [byte, text] : *map) {
            EXPECT_GE(byte, 0x23);
            EXPECT_LE(byte, 0x7E);
            std::u32string scalars;
            ASSERT_TRUE(Utf8::decode(text, scalars));
            EXPECT_EQ(scalars.size(), 1u) << int(byte);
        }
    }

    // Aliases share one table.
    EXPECT_EQ(CharSets::lookup('0'), CharSets::lookup('2'));
    EXPECT_EQ(CharSets::lookup('5'), CharSets::lookup('C'));
    EXPECT_EQ(CharSets::lookup('6'), CharSets::lookup('E'));
    EXPECT_EQ(CharSets::lookup('7'), CharSets::lookup('H'));

    for (uint8_t notDesignator : {uint8_t('%'), uint8_t('1'), uint8_t('b'), uint8_t(0), uint8_t(0xFF)})
        EXPECT_EQ(CharSets::lookup(notDesignator), nullptr) << int(notDesignator);
}

TEST(CharSets, Replacements) {
    struct Case {
        const char* name;
        uint8_t designator;
        uint8_t byte;
        const char* expected; // null: the byte is not replaced
    };
    const Case cases[] = {
        {"graphics diamond", '0', 0x60, "\u25C6"},
        {"graphics horizontal line", '0', 0x71, "\u2500"},
        {"graphics middle dot", '0', 0x7E, "\u00B7"},
        {"graphics leaves underscore", '0', 0x5F, nullptr},
        {"graphics leaves letters", '0', 'A', nullptr},
        {"uk pound", 'A', 0x23, "\u00A3"},
        {"uk leaves at", 'A', 0x40, nullptr},
        {"dutch ij", '4', 0x5B, "\u0133"},
        {"dutch plain f", '4', 0x7C, "f"},
        {"dutch vertical line", '4', 0x5D, "|"},
        {"finnish a umlaut", 'C', 0x5B, "\u00C4"},
        {"french section", 'R', 0x5D, "\u00A7"},
        {"french canadian u circumflex", 'Q', 0x7E, "\u00FB"},
        {"german sharp s", 'K', 0x7E, "\u00DF"},
        {"italian i grave", 'Y', 0x7E, "\u00EC"},
        {"danish ae", 'E', 0x5B, "\u00C6"},
        {"spanish inverted question", 'Z', 0x5D, "\u00BF"},
        {"spanish leaves tilde", 'Z', 0x7E, nullptr},
        {"swedish e acute", 'H', 0x40, "\u00C9"},
        {"swiss u grave", '=', 0x23, "\u00F9"},
        {"swiss e grave", '=', 0x5F, "\u00E8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CharSetMap& map = *CharSets::lookup(c.designator);
        auto it = map.find(c.byte);
        if (c.expected) {
            ASSERT_NE(it, map.end());
            EXPECT_EQ(it->second, c.expected);
        } else {
            EXPECT_EQ(it, map.end());
        }
    }

    // Only the Swiss set replaces 0x5F.
    for (const auto& [designator, map] : CharSets::all())
        EXPECT_EQ(map->count(0x5F), designator == '=' ? 1u : 0u) << designator;
}
