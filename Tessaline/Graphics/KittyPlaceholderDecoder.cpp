#include "KittyPlaceholderDecoder.h"

#include "KittyPlaceholder.h"

#include <algorithm>

namespace Tessaline {

namespace {

// The next scalar of UTF-8 text from `at`; a malformed byte reads as U+FFFD and is skipped.
uint32_t nextScalar(std::string_view text, size_t& at) {
    const uint8_t lead = uint8_t(text[at++]);
    if (lead < 0x80) return lead;
    int length = lead >= 0xF8 ? -1 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (length < 0 || at + size_t(length) > text.size()) return 0xFFFD;
    uint32_t value = lead & (0x3F >> length);
    for (int k = 0; k < length; ++k) {
        const uint8_t next = uint8_t(text[at]);
        if ((next & 0xC0) != 0x80) return 0xFFFD;
        value = value << 6 | (next & 0x3F);
        ++at;
    }
    return value;
}

} // namespace

uint32_t KittyPlaceholderDecoder::colorValue(const Attribute::Color& color) {
    if (color.isAnsi256()) return color.code();
    if (color.isTrueColor()) return uint32_t(color.red()) << 16 | uint32_t(color.green()) << 8 | color.blue();
    return 0;
}

std::optional<KittyPlaceholderCell>
KittyPlaceholderDecoder::decode(std::string_view character, const Attribute& attribute, int64_t row,
                                int64_t col, const std::optional<KittyPlaceholderCell>& previous,
                                const std::optional<Attribute>& previousAttribute) {
    if (character.empty()) return std::nullopt;
    size_t at = 0;
    if (nextScalar(character, at) != KittyPlaceholder::placeholderCharacter) return std::nullopt;

    // Only the first three diacritics count; other marks between them are passed over.
    const auto& table = KittyPlaceholder::diacriticIndex();
    int64_t indexes[3] = {0, 0, 0};
    int found = 0;
    while (at < character.size() && found < 3) {
        auto it = table.find(nextScalar(character, at));
        if (it != table.end()) indexes[found++] = it->second;
    }

    const bool continues = previous && previous->row == row && col == previous->col + 1 &&
                           previousAttribute && previousAttribute->fg == attribute.fg &&
                           previousAttribute->underlineColor == attribute.underlineColor;

    int64_t placeholderRow = 0;
    int64_t placeholderCol = 0;
    int64_t msb = 0;
    switch (found) {
    case 0:
        if (continues) {
            placeholderRow = previous->placeholderRow;
            placeholderCol = previous->placeholderCol + 1;
            msb = previous->msb;
        }
        break;
    case 1:
        placeholderRow = indexes[0];
        if (continues && placeholderRow == previous->placeholderRow) {
            placeholderCol = previous->placeholderCol + 1;
            msb = previous->msb;
        }
        break;
    case 2:
        placeholderRow = indexes[0];
        placeholderCol = indexes[1];
        if (continues && placeholderRow == previous->placeholderRow &&
            placeholderCol == previous->placeholderCol + 1)
            msb = previous->msb;
        break;
    default:
        placeholderRow = indexes[0];
        placeholderCol = indexes[1];
        msb = indexes[2];
        break;
    }

    KittyPlaceholderCell cell;
    cell.row = row;
    cell.col = col;
    const uint32_t highByte = uint32_t(std::clamp<int64_t>(msb, 0, 255));
    cell.imageId = highByte << 24 | (colorValue(attribute.fg) & 0xFFFFFF);
    cell.placementId = attribute.underlineColor ? colorValue(*attribute.underlineColor) : 0;
    cell.placeholderRow = placeholderRow;
    cell.placeholderCol = placeholderCol;
    cell.msb = msb;
    return cell;
}

} // namespace Tessaline
