// Kitty placements: the put command, the display of an image at the cursor or at a parent's position
// (crop, pixel offsets, the strips, the cursor policy), virtual placements and the removal of one.
#include "KittyGraphicsMessages.h"
#include "Saturating.h"
#include "Terminal.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace Tessaline {

namespace Messages = KittyGraphicsMessages;

namespace {

int clampToInt(int64_t value) {
    return int(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

} // namespace

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

std::optional<CellPixelSize> Terminal::kittyCellSize() {
    if (tdel == nullptr) return std::nullopt;
    std::optional<CellPixelSize> size = tdel->cellSizeInPixels(*this);
    // A side of 0 would divide by zero: such a size counts as unknown.
    if (size && (size->width < 1 || size->height < 1)) return std::nullopt;
    return size;
}

std::pair<int64_t, int64_t> Terminal::kittyPixelOffsets(const KittyGraphicsControl& control) {
    int64_t x = control.pixelOffsetX;
    int64_t y = control.pixelOffsetY;
    if (x <= 0 && y <= 0) return {0, 0};
    x = std::max<int64_t>(x, 0);
    y = std::max<int64_t>(y, 0);
    if (std::optional<CellPixelSize> cell = kittyCellSize()) {
        x = std::min<int64_t>(x, std::max(cell->width - 1, 0));
        y = std::min<int64_t>(y, std::max(cell->height - 1, 0));
    }
    return {x, y};
}

uint32_t Terminal::takeKittyPlacementId() {
    uint32_t& next = kittyGraphicsState.nextPlacementId;
    const uint32_t n = next;
    next = n == 0 ? 2 : n + 1;
    return n >= 2 ? n : 1;
}

bool Terminal::displayKittyImage(const KittyGraphicsPayload& payload, const KittyGraphicsControl& control,
                                 std::optional<uint32_t> imageId, std::optional<uint32_t> imageNumber) {
    // Each requested cell is a strip or a column of strips to cut: the request is bounded.
    if (control.columns > maxKittyPlacementCells || control.rows > maxKittyPlacementCells) {
        sendKittyError(control, Messages::placementOutOfRange);
        return false;
    }
    if (control.unicodePlaceholder == 1) return displayKittyVirtualPlacement(control, imageId);

    if (imageId && control.placementId &&
        kittyGraphicsState.placementsByKey.size() >= maxKittyPlacementRecords &&
        !kittyGraphicsState.placementsByKey.contains({*imageId, *control.placementId})) {
        sendKittyError(control, Messages::tooManyPlacements);
        return false;
    }

    KittyPlacementContext context;
    context.imageId = imageId ? imageId : control.imageId;
    context.imageNumber = imageNumber ? imageNumber : control.imageNumber;
    context.placementId = control.placementId;
    context.parentImageId = control.parentImageId;
    context.parentPlacementId = control.parentPlacementId;
    context.parentOffsetH = control.offsetH;
    context.parentOffsetV = control.offsetV;
    context.zIndex = control.zIndex;
    context.widthRequest =
        control.columns >= 1 ? ImageSizeRequest::cells(int(control.columns)) : ImageSizeRequest::automatic();
    context.heightRequest =
        control.rows >= 1 ? ImageSizeRequest::cells(int(control.rows)) : ImageSizeRequest::automatic();
    context.preserveAspectRatio = !(control.columns != 0 && control.rows != 0);
    context.cursorPolicy = control.cursorPolicy;
    const bool cropAsked =
        control.cropX != 0 || control.cropY != 0 || control.cropWidth != 0 || control.cropHeight != 0;

    KittyPlacementOrigin origin = resolveKittyPlacementOrigin(control);
    if (origin.errorMessage) {
        sendKittyError(control, *origin.errorMessage);
        return false;
    }
    context.isRelative = origin.isRelative;

    // The pixels to show when they are not the PNG as sent: raw data, or any cropped image. Raw data is
    // stored with straight alpha and premultiplied on its way out.
    std::optional<KittyRgbaBitmap> bitmap;
    bool straightAlpha = false;
    if (cropAsked) {
        if (payload.isPng()) {
            bitmap = decodePngToRgba(payload.bytes);
            if (!bitmap) {
                sendKittyError(control, Messages::cannotCropPng);
                return false;
            }
        } else {
            bitmap = KittyRgbaBitmap{payload.bytes, payload.width, payload.height};
            straightAlpha = true;
        }
        const int64_t w = bitmap->width;
        const int64_t h = bitmap->height;
        const int64_t x0 = std::clamp<int64_t>(control.cropX, 0, w);
        const int64_t y0 = std::clamp<int64_t>(control.cropY, 0, h);
        const int64_t cropWidth =
            control.cropWidth >= 1 && control.cropWidth <= w - x0 ? control.cropWidth : w - x0;
        const int64_t cropHeight =
            control.cropHeight >= 1 && control.cropHeight <= h - y0 ? control.cropHeight : h - y0;
        if (!(x0 == 0 && y0 == 0 && cropWidth == w && cropHeight == h)) {
            if (cropWidth < 1 || cropHeight < 1) {
                sendKittyError(control, Messages::badCrop);
                return false;
            }
            KittyRgbaBitmap cropped{std::vector<uint8_t>(size_t(cropWidth * cropHeight * 4)), int(cropWidth),
                                    int(cropHeight)};
            for (int64_t row = 0; row < cropHeight; ++row)
                std::copy_n(bitmap->bytes.begin() + ((y0 + row) * w + x0) * 4, cropWidth * 4,
                            cropped.bytes.begin() + row * cropWidth * 4);
            bitmap = std::move(cropped);
        }
    }

    const auto [offsetX, offsetY] = kittyPixelOffsets(control);
    context.pixelOffsetX = offsetX;
    context.pixelOffsetY = offsetY;
    kittyPlacementContext = context;

    Buffer& buffer = *_buffer;
    const int savedX = buffer.x();
    const int savedY = buffer.y();
    // Sending the same ids again replaces the placement; the removal stands even if the rest fails.
    if (imageId && control.placementId) removeKittyPlacement(*imageId, *control.placementId);

    if (origin.isRelative) {
        // Only rows of the screen: a row in the scroll-back would hang strips on unrelated lines.
        const int64_t screenRow = saturatingSub(*origin.row, buffer.yBase());
        if (screenRow < 0 || screenRow >= _rows) {
            kittyPlacementContext.reset();
            sendKittyError(control, Messages::placementOutOfRange);
            return false;
        }
        buffer.setY(int(screenRow));
        buffer.setX(int(std::clamp<int64_t>(*origin.col, 0, _cols - 1)));
    }
    const int startCol = buffer.x();
    const int startLine = buffer.yBase() + buffer.y();

    std::optional<KittyPixelSize> imageSize;
    if (bitmap)
        imageSize = KittyPixelSize{bitmap->width, bitmap->height};
    else if (payload.isPng())
        imageSize = kittyPngPixelSize(payload.bytes);
    else
        imageSize = KittyPixelSize{payload.width, payload.height};

    if (tdel != nullptr) {
        if (!bitmap && payload.isRgba()) {
            bitmap = KittyRgbaBitmap{payload.bytes, payload.width, payload.height};
            straightAlpha = true;
        } else if (!bitmap) {
            // A PNG that does not decode shows nothing; the command still succeeds.
            bitmap = decodePngToRgba(payload.bytes);
        }
        if (bitmap) {
            if (straightAlpha) premultiplyRgba(bitmap->bytes);
            insertImage(*bitmap, context.widthRequest, context.heightRequest, context.preserveAspectRatio);
        }
    }

    applyKittyCursorPolicy(context, imageSize, savedX, savedY, startCol, startLine);
    kittyPlacementContext.reset();
    return true;
}

void Terminal::applyKittyCursorPolicy(const KittyPlacementContext& context,
                                      std::optional<KittyPixelSize> imageSize, int savedX, int savedY,
                                      int startCol, int startLine) {
    Buffer& buffer = *_buffer;
    if (context.isRelative || context.cursorPolicy == 1) {
        buffer.setX(savedX);
        buffer.setY(savedY);
        return;
    }
    const int64_t c =
        context.widthRequest.kind() == ImageSizeRequest::Kind::cells ? context.widthRequest.value() : 0;
    const int64_t r =
        context.heightRequest.kind() == ImageSizeRequest::Kind::cells ? context.heightRequest.value() : 0;
    int64_t columns = 0;
    int64_t rows = 0;
    if (c >= 1 && r >= 1) {
        columns = c;
        rows = r;
    } else if (std::optional<CellPixelSize> cell = kittyCellSize();
               cell && imageSize && imageSize->width >= 1 && imageSize->height >= 1) {
        const double w = cell->width;
        const double h = cell->height;
        const double imageWidth = double(imageSize->width);
        const double imageHeight = double(imageSize->height);
        double widthPixels = c >= 1 ? double(c) * w : imageWidth;
        double heightPixels = r >= 1 ? double(r) * h : imageHeight;
        if (context.preserveAspectRatio) {
            if (r < 1 && c >= 1) heightPixels = widthPixels / (imageWidth / imageHeight);
            if (c < 1 && r >= 1) widthPixels = (imageWidth / imageHeight) * heightPixels;
        }
        columns = std::max<int64_t>(int64_t(std::ceil((widthPixels + double(context.pixelOffsetX)) / w)), 1);
        rows = std::max<int64_t>(int64_t(std::ceil((heightPixels + double(context.pixelOffsetY)) / h)), 1);
    } else {
        return;
    }

    if (kittyCellSize()) {
        // The insertion may have scrolled the screen: yBase is read now. Nothing scrolls here.
        buffer.setX(clampToInt(int64_t(startCol) + columns));
        buffer.setY(clampToInt(int64_t(startLine) + rows - buffer.yBase()));
    } else {
        buffer.setX(startCol);
        buffer.setY(startLine - buffer.yBase());
        for (int64_t k = 0; k < rows; ++k)
            cmdIndex();
        buffer.setX(clampToInt(int64_t(startCol) + columns));
    }
    restrictCursor(true);
}

bool Terminal::displayKittyVirtualPlacement(const KittyGraphicsControl& control,
                                            std::optional<uint32_t> imageId) {
    if (control.parentImageId || control.parentPlacementId) {
        sendKittyError(control, Messages::virtualPlacementParent);
        return false;
    }
    if (!imageId) return true;
    auto& records = kittyGraphicsState.placementsByKey;
    const uint32_t placementId = control.placementId ? *control.placementId : takeKittyPlacementId();
    const KittyPlacementKey key{*imageId, placementId};
    if (records.size() >= maxKittyPlacementRecords && !records.contains(key)) {
        sendKittyError(control, Messages::tooManyPlacements);
        return false;
    }
    const auto [offsetX, offsetY] = kittyPixelOffsets(control);
    removeKittyPlacement(*imageId, placementId);

    const Buffer& buffer = *_buffer;
    KittyPlacementRecord record;
    record.imageId = *imageId;
    record.placementId = placementId;
    record.pixelOffsetX = offsetX;
    record.pixelOffsetY = offsetY;
    record.col = buffer.x();
    record.row = int64_t(buffer.yBase()) + buffer.y();
    record.cols = std::max<int64_t>(control.columns, 0);
    record.rows = std::max<int64_t>(control.rows, 0);
    record.zIndex = control.zIndex;
    record.isVirtual = true;
    record.isAlternateBuffer = isCurrentBufferAlternate();
    records[key] = record;
    return true;
}

void Terminal::removeKittyPlacement(uint32_t imageId, uint32_t placementId) {
    auto matches = [imageId, placementId](const KittyPlacementImage& strip) {
        return strip.kittyImageId == imageId && strip.kittyPlacementId == placementId;
    };
    const int64_t all = INT64_MAX;
    KittyPlacementKeySet keys = removeKittyPlacements(*_normalBuffer, 0, all, matches);
    keys.merge(removeKittyPlacements(*_altBuffer, 0, all, matches));
    auto& records = kittyGraphicsState.placementsByKey;
    for (const KittyPlacementKey& key : keys)
        records.erase(key);
    records.erase({imageId, placementId});
}

} // namespace Tessaline
