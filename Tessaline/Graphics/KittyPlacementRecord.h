#pragma once

#include <cstdint>
#include <optional>

namespace Tessaline {

// One Kitty placement kept by its key, so that it can be replaced, be a parent, follow its parent or be
// shown only through placeholder cells. The first six fields are fixed when the record is made.
struct KittyPlacementRecord {
    uint32_t imageId = 0;
    uint32_t placementId = 0;
    std::optional<uint32_t> parentImageId;
    std::optional<uint32_t> parentPlacementId;
    int64_t parentOffsetH = 0;
    int64_t parentOffsetV = 0;
    // Shift inside the first cell, in pixels (right and down).
    int64_t pixelOffsetX = 0;
    int64_t pixelOffsetY = 0;
    // Top-left cell: a screen column and a line index of the buffer's ring.
    int64_t col = 0;
    int64_t row = 0;
    // Size in cells.
    int64_t cols = 0;
    int64_t rows = 0;
    // Negative values are drawn under the text.
    int64_t zIndex = 0;
    // Shown only through placeholder cells: no strips on the lines.
    bool isVirtual = false;
    // Made while the alternate buffer was active.
    bool isAlternateBuffer = false;

    bool operator==(const KittyPlacementRecord&) const = default;
};

} // namespace Tessaline
