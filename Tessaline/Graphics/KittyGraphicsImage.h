#pragma once

#include "KittyGraphicsPayload.h"

#include <cstdint>
#include <memory>

namespace Tessaline {

using KittyGraphicsPayloadPtr = std::shared_ptr<const KittyGraphicsPayload>;

// One image of the Kitty store. The payload is shared, not copied, with a display that shows it while it
// is stored (and may be evicted at once).
struct KittyGraphicsImage {
    KittyGraphicsPayloadPtr payload;
    // The payload's byte count, fixed when stored.
    int64_t byteSize = 0;
    // Stamp of the last store or placement; larger is more recent, unique within the store.
    uint64_t lastAccessTick = 0;
};

} // namespace Tessaline
