#pragma once

#include "Attribute.h"
#include "KittyPlaceholderCell.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace Tessaline {

// Decodes one Kitty placeholder cell. A row is decoded left to right, each result fed back as `previous`
// of the next cell: a cell may leave out its diacritics and continue the cell before it.
class KittyPlaceholderDecoder {
public:
    // `character` is the cell's whole grapheme in UTF-8; `previous` and `previousAttribute` describe the
    // cell just before it when that cell decoded as a placeholder. Nothing when the cell is no placeholder.
    static std::optional<KittyPlaceholderCell> decode(std::string_view character, const Attribute& attribute,
                                                      int64_t row, int64_t col,
                                                      const std::optional<KittyPlaceholderCell>& previous,
                                                      const std::optional<Attribute>& previousAttribute);

    // The 24-bit number a colour stands for: a palette index, or red, green, blue as one value; 0 for the
    // default colours.
    static uint32_t colorValue(const Attribute::Color& color);
};

} // namespace Tessaline
