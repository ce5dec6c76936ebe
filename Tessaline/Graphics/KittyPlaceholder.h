#pragma once

#include <cstdint>
#include <unordered_map>

namespace Tessaline {

// The Unicode placeholder scheme of Kitty graphics: a cell showing part of a virtual placement holds
// U+10EEEE followed by diacritics whose positions in a fixed list of 297 combining marks give the image
// row, the image column and the image id's most significant byte.
namespace KittyPlaceholder {

inline constexpr uint32_t placeholderCharacter = 0x10EEEE;
inline constexpr int diacriticCount = 297;

// Diacritic code point to its position in the list; built once, on first use.
const std::unordered_map<uint32_t, int>& diacriticIndex();

// The diacritic at a position (0..296).
uint32_t diacritic(int index);

} // namespace KittyPlaceholder

} // namespace Tessaline
