#pragma once

#include "ImageSizeRequest.h"

#include <cstdint>
#include <optional>

namespace Tessaline {

// The placement request of one Kitty display, held by the terminal only while it hands the image to its
// delegate; the delegate reads it while it cuts the image into strips and attaches them.
struct KittyPlacementContext {
    std::optional<uint32_t> imageId;
    std::optional<uint32_t> imageNumber;
    std::optional<uint32_t> placementId;
    std::optional<uint32_t> parentImageId;
    std::optional<uint32_t> parentPlacementId;
    int64_t parentOffsetH = 0;
    int64_t parentOffsetV = 0;
    int64_t zIndex = 0;
    ImageSizeRequest widthRequest;
    ImageSizeRequest heightRequest;
    bool preserveAspectRatio = true;
    int64_t cursorPolicy = 0;
    // The position came from a parent placement.
    bool isRelative = false;
    int64_t pixelOffsetX = 0;
    int64_t pixelOffsetY = 0;

    bool operator==(const KittyPlacementContext&) const = default;
};

} // namespace Tessaline
