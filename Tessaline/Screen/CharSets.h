#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

namespace Tessaline {

// A 94-character set: the text shown in place of each replaced printable byte (0x23-0x7E).
using CharSetMap = std::unordered_map<uint8_t, std::string>;

// The DEC Special Graphics and national replacement sets, by designator byte. Maps are static tables:
// the terminal and the saved cursor refer to them by pointer (null: no map in force).
class CharSets {
public:
    CharSets() = delete;
    // Designator byte -> map; built once on first use. A byte without an entry has no map.
    static const std::unordered_map<uint8_t, const CharSetMap*>& all();
    // The map of a designator, or null.
    static const CharSetMap* lookup(uint8_t designator);
};

} // namespace Tessaline
