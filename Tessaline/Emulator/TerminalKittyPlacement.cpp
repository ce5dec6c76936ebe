#include "KittyGraphicsMessages.h"
#include "Terminal.h"

namespace Tessaline {

namespace Messages = KittyGraphicsMessages;

void Terminal::handleKittyPut(const KittyGraphicsControl& control) {
    std::optional<uint32_t> imageId;
    std::optional<uint32_t> imageNumber;
    const KittyGraphicsImage* image = nullptr;
    if (control.imageNumber) {
        auto it = kittyGraphicsState.imageNumbers.find(*control.imageNumber);
        if (it != kittyGraphicsState.imageNumbers.end() && (image = updateKittyImageAccess(it->second))) {
            imageId = it->second;
            imageNumber = control.imageNumber;
        }
    }
    if (!image && control.imageId && (image = updateKittyImageAccess(*control.imageId)))
        imageId = control.imageId;
    if (!image) {
        sendKittyError(control, Messages::imageNotFound);
        return;
    }
    // Held for the display: nothing may evict it from under the call.
    KittyGraphicsPayloadPtr payload = image->payload;
    if (displayKittyImage(*payload, control, imageId, imageNumber))
        sendKittyOk(control, imageId, imageNumber, control.placementId);
}

// Placing images on the lines (cursor or parent origin, crop, pixel offsets, the delegate's strips, the
// cursor policy, virtual placements) is not built yet: every display succeeds without showing anything.
bool Terminal::displayKittyImage(const KittyGraphicsPayload&, const KittyGraphicsControl&,
                                 std::optional<uint32_t>, std::optional<uint32_t>) {
    return true;
}

// Deleting placements is not built yet; a deletion only drops a chunked transmission in progress.
void Terminal::handleKittyDelete(const KittyGraphicsControl&) {}

} // namespace Tessaline
