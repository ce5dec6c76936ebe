#pragma once

#include "Base64.h"
#include "ImageBudget.h"
#include "KittyGraphicsControl.h"
#include "KittyGraphicsPayload.h"

#include <algorithm>

namespace Tessaline {

// A transmission arriving in chunks (m=1). Each chunk's Base64 text is decoded as it arrives, so what is
// held is the decoded data, never more than the pending budget (ImageBudget::maxPendingBytes, under the
// protocol's data limit): past it the data is dropped and the transmission fails with "EINVAL: bad
// payload" when it completes.
struct KittyGraphicsPending {
    // The first chunk's control block, which governs the whole transmission.
    KittyGraphicsControl control;
    Base64Decoder decoder;

    explicit KittyGraphicsPending(const KittyGraphicsControl& firstControl)
        : control(firstControl)
        , decoder(Base64Decoder::Mode::skipOutsideAlphabet,
                  size_t(std::min(KittyGraphicsLimits::maxDataSize, ImageBudget::maxPendingBytes))) {
        // Raw pixels of a known size land in one buffer, with room for RGB to widen in place.
        if (!control.compression)
            if (auto size = kittyStoredDataSize(control)) decoder.reserve(size_t(*size));
    }

    // Each chunk is Base64 of its own: clients pad every chunk.
    void append(std::span<const uint8_t> text) {
        decoder.append(text);
        decoder.endPiece();
    }

    // The decoded data of the whole transmission; nothing when it did not decode, was empty or passed the
    // data limit.
    std::optional<std::vector<uint8_t>> finish() {
        if (!decoder.finish() || decoder.data().empty()) return std::nullopt;
        return decoder.takeData();
    }
};

} // namespace Tessaline
