#include "CharSets.h"

#include "Utf8.h"

#include <initializer_list>
#include <utility>

namespace Tessaline {

namespace {

using Replacements = std::initializer_list<std::pair<uint8_t, char32_t>>;

CharSetMap makeMap(Replacements replacements) {
    CharSetMap map;
    for (auto [byte, scalar] : replacements)
        map.emplace(byte, Utf8::encode(uint32_t(scalar)));
    return map;
}

// Line drawing and the other symbols of 0x60-0x7E.
const CharSetMap& decSpecialGraphics() {
    static const CharSetMap map = makeMap({
        {0x60, 0x25C6}, {0x61, 0x2592}, {0x62, 0x2409}, {0x63, 0x240C}, {0x64, 0x240D}, {0x65, 0x240A},
        {0x66, 0x00B0}, {0x67, 0x00B1}, {0x68, 0x2424}, {0x69, 0x240B}, {0x6A, 0x2518}, {0x6B, 0x2510},
        {0x6C, 0x250C}, {0x6D, 0x2514}, {0x6E, 0x253C}, {0x6F, 0x23BA}, {0x70, 0x23BB}, {0x71, 0x2500},
        {0x72, 0x23BC}, {0x73, 0x23BD}, {0x74, 0x251C}, {0x75, 0x2524}, {0x76, 0x2534}, {0x77, 0x252C},
        {0x78, 0x2502}, {0x79, 0x2264}, {0x7A, 0x2265}, {0x7B, 0x03C0}, {0x7C, 0x2260}, {0x7D, 0x00A3},
        {0x7E, 0x00B7},
    });
    return map;
}

const CharSetMap& unitedKingdom() {
    static const CharSetMap map = makeMap({{0x23, 0x00A3}});
    return map;
}

const CharSetMap& unitedStates() {
    static const CharSetMap map;
    return map;
}

const CharSetMap& dutch() {
    static const CharSetMap map = makeMap({
        {0x23, 0x00A3},
        {0x40, 0x00BE},
        {0x5B, 0x0133},
        {0x5C, 0x00BD},
        {0x5D, 0x007C},
        {0x7B, 0x00A8},
        {0x7C, 0x0066},
        {0x7D, 0x00BC},
        {0x7E, 0x00B4},
    });
    return map;
}

const CharSetMap& finnish() {
    static const CharSetMap map = makeMap({
        {0x5B, 0x00C4},
        {0x5C, 0x00D6},
        {0x5D, 0x00C5},
        {0x5E, 0x00DC},
        {0x60, 0x00E9},
        {0x7B, 0x00E4},
        {0x7C, 0x00F6},
        {0x7D, 0x00E5},
        {0x7E, 0x00FC},
    });
    return map;
}

const CharSetMap& french() {
    static const CharSetMap map = makeMap({
        {0x23, 0x00A3},
        {0x40, 0x00E0},
        {0x5B, 0x00B0},
        {0x5C, 0x00E7},
        {0x5D, 0x00A7},
        {0x7B, 0x00E9},
        {0x7C, 0x00F9},
        {0x7D, 0x00E8},
        {0x7E, 0x00A8},
    });
    return map;
}

const CharSetMap& frenchCanadian() {
    static const CharSetMap map = makeMap({
        {0x40, 0x00E0},
        {0x5B, 0x00E2},
        {0x5C, 0x00E7},
        {0x5D, 0x00EA},
        {0x5E, 0x00EE},
        {0x60, 0x00F4},
        {0x7B, 0x00E9},
        {0x7C, 0x00F9},
        {0x7D, 0x00E8},
        {0x7E, 0x00FB},
    });
    return map;
}

const CharSetMap& german() {
    static const CharSetMap map = makeMap({
        {0x40, 0x00A7},
        {0x5B, 0x00C4},
        {0x5C, 0x00D6},
        {0x5D, 0x00DC},
        {0x7B, 0x00E4},
        {0x7C, 0x00F6},
        {0x7D, 0x00FC},
        {0x7E, 0x00DF},
    });
    return map;
}

const CharSetMap& italian() {
    static const CharSetMap map = makeMap({
        {0x23, 0x00A3},
        {0x40, 0x00A7},
        {0x5B, 0x00B0},
        {0x5C, 0x00E7},
        {0x5D, 0x00E9},
        {0x60, 0x00F9},
        {0x7B, 0x00E0},
        {0x7C, 0x00F2},
        {0x7D, 0x00E8},
        {0x7E, 0x00EC},
    });
    return map;
}

const CharSetMap& norwegianDanish() {
    static const CharSetMap map = makeMap({
        {0x40, 0x00C4},
        {0x5B, 0x00C6},
        {0x5C, 0x00D8},
        {0x5D, 0x00C5},
        {0x5E, 0x00DC},
        {0x60, 0x00E4},
        {0x7B, 0x00E6},
        {0x7C, 0x00F8},
        {0x7D, 0x00E5},
        {0x7E, 0x00FC},
    });
    return map;
}

const CharSetMap& spanish() {
    static const CharSetMap map = makeMap({
        {0x23, 0x00A3},
        {0x40, 0x00A7},
        {0x5B, 0x00A1},
        {0x5C, 0x00D1},
        {0x5D, 0x00BF},
        {0x7B, 0x00B0},
        {0x7C, 0x00F1},
        {0x7D, 0x00E7},
    });
    return map;
}

const CharSetMap& swedish() {
    static const CharSetMap map = makeMap({
        {0x40, 0x00C9},
        {0x5B, 0x00C4},
        {0x5C, 0x00D6},
        {0x5D, 0x00C5},
        {0x5E, 0x00DC},
        {0x60, 0x00E9},
        {0x7B, 0x00E4},
        {0x7C, 0x00F6},
        {0x7D, 0x00E5},
        {0x7E, 0x00FC},
    });
    return map;
}

const CharSetMap& swiss() {
    static const CharSetMap map = makeMap({
        {0x23, 0x00F9},
        {0x40, 0x00E0},
        {0x5B, 0x00E9},
        {0x5C, 0x00E7},
        {0x5D, 0x00EA},
        {0x5E, 0x00EE},
        {0x5F, 0x00E8},
        {0x60, 0x00F4},
        {0x7B, 0x00E4},
        {0x7C, 0x00F6},
        {0x7D, 0x00FC},
        {0x7E, 0x00FB},
    });
    return map;
}

} // namespace

const std::unordered_map<uint8_t, const CharSetMap*>& CharSets::all() {
    static const std::unordered_map<uint8_t, const CharSetMap*> table = {
        {'0', &decSpecialGraphics()},
        {'2', &decSpecialGraphics()},
        {'A', &unitedKingdom()},
        {'B', &unitedStates()},
        {'4', &dutch()},
        {'5', &finnish()},
        {'C', &finnish()},
        {'R', &french()},
        {'Q', &frenchCanadian()},
        {'K', &german()},
        {'Y', &italian()},
        {'6', &norwegianDanish()},
        {'E', &norwegianDanish()},
        {'Z', &spanish()},
        {'7', &swedish()},
        {'H', &swedish()},
        {'=', &swiss()},
    };
    return table;
}

const CharSetMap* CharSets::lookup(uint8_t designator) {
    const auto& table = all();
    auto it = table.find(designator);
    return it == table.end() ? nullptr : it->second;
}

} // namespace Tessaline
