#include "KittyGraphicsMessages.h"
#include "KittyGraphicsTransmission.h"
#include "KittyPlacementImage.h"
#include "Terminal.h"

#include <string>

namespace Tessaline {

namespace Messages = KittyGraphicsMessages;

// MARK: Intake and chunk assembly

void Terminal::handleKittyGraphics(std::span<const uint8_t> content) {
    settlePending();
    KittyGraphicsCommand command = parseKittyGraphicsControl(content);
    const KittyGraphicsControl& control = command.control;
    std::optional<KittyGraphicsPending>& pending = kittyGraphicsState.pending;
    if (control.action == 'd' || control.action == 'D') pending.reset();
    if (control.more == 1) {
        if (!pending) pending.emplace(control);
        pending->append(command.payload);
        return;
    }
    if (pending) {
        // The last chunk completes the first chunk's command; its own control keys do not count.
        KittyGraphicsPending whole = std::move(*pending);
        pending.reset();
        whole.append(command.payload);
        processKittyGraphics(whole.control, whole.finish());
        return;
    }
    processKittyGraphics(control, decodeKittyBase64(command.payload));
}

void Terminal::processKittyGraphics(const KittyGraphicsControl& control,
                                    std::optional<std::vector<uint8_t>> data) {
    switch (control.action) {
    case 't':
        handleKittyTransmit(control, std::move(data), false);
        break;
    case 'T':
        handleKittyTransmit(control, std::move(data), true);
        break;
    case 'q':
        // A query tests the data as if it were carried in the sequence, whatever t says, and keeps nothing.
        if (decodeKittyPayload(control, std::move(data)))
            sendKittyOk(control, control.imageId, control.imageNumber, control.placementId);
        else
            sendKittyError(control, Messages::badPayload);
        break;
    case 'p':
        handleKittyPut(control);
        break;
    case 'd':
    case 'D':
        handleKittyDelete(control);
        break;
    default:
        sendKittyError(control, Messages::unsupportedAction);
        break;
    }
}

// MARK: Transmission and store

void Terminal::handleKittyTransmit(const KittyGraphicsControl& control,
                                   std::optional<std::vector<uint8_t>> data, bool display) {
    if (control.imageId && control.imageNumber) {
        sendKittyError(control, Messages::iAndIExclusive);
        return;
    }
    KittyLoadResult result = loadKittyPayload(control, std::move(data));
    if (!result.payload) {
        sendKittyError(control, result.errorMessage.value_or(Messages::badPayload));
        return;
    }
    handleKittyTransmitPayload(
        control, std::make_shared<const KittyGraphicsPayload>(std::move(*result.payload)), display);
}

void Terminal::handleKittyTransmitPayload(const KittyGraphicsControl& control,
                                          KittyGraphicsPayloadPtr payload, bool display) {
    std::optional<uint32_t> imageId;
    std::optional<uint32_t> imageNumber;
    if (control.imageNumber) {
        imageId = kittyGraphicsState.takeImageIdForNumber(collectUsedKittyImageIds());
        imageNumber = control.imageNumber;
    } else if (control.imageId) {
        imageId = control.imageId;
    } else {
        // Neither i nor I: shown when asked, never stored, never answered.
        if (display) displayKittyImage(*payload, control, std::nullopt, std::nullopt);
        return;
    }
    storeKittyImage(payload, *imageId, imageNumber);
    // The display works on the payload itself: the store may have evicted it already.
    if (display && !displayKittyImage(*payload, control, imageId, imageNumber)) return;
    sendKittyOk(control, imageId, imageNumber, control.placementId);
}

void Terminal::storeKittyImage(KittyGraphicsPayloadPtr payload, uint32_t imageId,
                               std::optional<uint32_t> imageNumber) {
    kittyGraphicsState.storeImage(std::move(payload), imageId, imageNumber);
    enforceKittyImageCacheLimit();
}

void Terminal::enforceKittyImageCacheLimit() {
    int64_t limit = KittyGraphicsState::clampCacheLimit(options.kittyImageCacheLimitBytes);
    kittyGraphicsState.enforceCacheLimit(limit, [this] { return collectUsedKittyImageIds(); });
}

KittyImageIdSet Terminal::collectUsedKittyImageIds() {
    KittyImageIdSet used;
    collectUsedKittyImageIds(normalBuffer(), used);
    collectUsedKittyImageIds(altBuffer(), used);
    kittyGraphicsState.collectRecordImageIds(used);
    return used;
}

void Terminal::collectUsedKittyImageIds(const Buffer& buffer, KittyImageIdSet& into) const {
    if (!buffer.hasAnyImages()) return;
    const CircularBufferLineList& lines = buffer.lines();
    for (int i = 0; i < lines.count(); ++i) {
        // Slots never filled hold no strips: read without making lines.
        const BufferLinePtr& line = lines.peek(i);
        if (!line || !line->images) continue;
        for (const TerminalImagePtr& strip : *line->images)
            if (auto* kitty = strip->asKittyPlacementImage(); kitty && kitty->kittyImageId)
                into.insert(*kitty->kittyImageId);
    }
}

void Terminal::cleanupUnusedKittyImages() {
    kittyGraphicsState.removeUnusedImages(collectUsedKittyImageIds());
}

const KittyGraphicsImage* Terminal::updateKittyImageAccess(uint32_t imageId) {
    return kittyGraphicsState.updateImageAccess(imageId);
}

void Terminal::removeKittyImageNumbers(uint32_t imageId) {
    kittyGraphicsState.removeImageNumbers(imageId);
}

// MARK: Replies

void Terminal::sendKittyReply(std::string_view body) {
    sendResponse(cc.send8bit ? std::string_view("\x9f") : std::string_view("\x1b_"), body, cc.st());
}

void Terminal::sendKittyOk(const KittyGraphicsControl& control, std::optional<uint32_t> imageId,
                           std::optional<uint32_t> imageNumber, std::optional<uint32_t> placementId) {
    if (control.suppressResponses != 0) return;
    std::string body = "G";
    bool first = true;
    auto add = [&](const char* key, std::optional<uint32_t> value) {
        if (!value) return;
        if (!first) body += ',';
        first = false;
        body += key;
        body += std::to_string(*value);
    };
    add("i=", imageId);
    add("I=", imageNumber);
    add("p=", placementId);
    body += ";OK";
    sendKittyReply(body);
}

void Terminal::sendKittyError(const KittyGraphicsControl& control, std::string_view message) {
    if (control.suppressResponses != 0 && control.suppressResponses != 1) return;
    std::string body = "G";
    if (control.imageId)
        body += "i=" + std::to_string(*control.imageId);
    else if (control.imageNumber)
        body += "I=" + std::to_string(*control.imageNumber);
    body += ';';
    body += message;
    sendKittyReply(body);
}

} // namespace Tessaline
