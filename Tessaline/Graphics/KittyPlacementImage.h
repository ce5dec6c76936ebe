#pragma once

#include "TerminalImage.h"

#include <cstdint>
#include <optional>

namespace Tessaline {

// An image strip that can belong to a Kitty placement: every strip of a placement carries the placement's
// identity and geometry. Strips of other image protocols derive from it too, with kittyIsKitty false, and
// every Kitty operation passes them by. The Kitty code writes only col, kittyCol and kittyRow (when it
// moves strips); the rest is set by whoever makes the strip.
class KittyPlacementImage : public TerminalImage {
public:
    bool kittyIsKitty = false;
    std::optional<uint32_t> kittyImageId;
    std::optional<uint32_t> kittyImageNumber;
    std::optional<uint32_t> kittyPlacementId;
    int64_t kittyZIndex = 0;
    // The placement's left column and top line (a line index, the same on every strip of it).
    int64_t kittyCol = 0;
    int64_t kittyRow = 0;
    // The placement's size in cells.
    int64_t kittyCols = 0;
    int64_t kittyRows = 0;
    int64_t kittyPixelOffsetX = 0;
    int64_t kittyPixelOffsetY = 0;
};

} // namespace Tessaline
