#pragma once

#include <cstdint>

namespace Tessaline {

// One decoded placeholder cell: which image and placement it shows, and which cell of the image.
struct KittyPlaceholderCell {
    // The cell's screen position, as given to the decoder.
    int64_t row = 0;
    int64_t col = 0;
    // Low 24 bits from the foreground colour, high 8 bits from msb (255 when msb is larger).
    uint32_t imageId = 0;
    // From the underline colour; 0 without one.
    uint32_t placementId = 0;
    // The row and column of the image this cell shows.
    int64_t placeholderRow = 0;
    int64_t placeholderCol = 0;
    // The third diacritic's index as decoded (0..296).
    int64_t msb = 0;

    bool operator==(const KittyPlaceholderCell&) const = default;
};

} // namespace Tessaline
