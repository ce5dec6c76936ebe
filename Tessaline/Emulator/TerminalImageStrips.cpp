// Image strips: a picture sized in cells, cut into strips one cell row high, attached to the lines from
// the cursor's down. The delegate only makes the object of each strip from its pixels.
#include "RgbaImageStrip.h"
#include "RgbaScaler.h"
#include "Terminal.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace Tessaline {

namespace {

// Owns a strip on behalf of the lines that show it and gives its bytes back to the terminal's count when
// the last line lets go of it.
struct CountedStrip {
    std::shared_ptr<KittyPlacementImage> strip;
    std::shared_ptr<int64_t> liveBytes;
    int64_t bytes = 0;

    CountedStrip(std::shared_ptr<KittyPlacementImage> strip, std::shared_ptr<int64_t> liveBytes,
                 int64_t bytes)
        : strip(std::move(strip))
        , liveBytes(std::move(liveBytes))
        , bytes(bytes) {
        *this->liveBytes += bytes;
    }
    ~CountedStrip() { *liveBytes -= bytes; }
    CountedStrip(const CountedStrip&) = delete;
    CountedStrip& operator=(const CountedStrip&) = delete;
};

// What a strip is counted at besides its pixels: the objects around them.
constexpr int64_t stripOverhead = 256;

double requestedExtent(ImageSizeRequest request, double sourceSide, double cellSide, double frameSide) {
    switch (request.kind()) {
    case ImageSizeRequest::Kind::cells:
        return request.value() * cellSide;
    case ImageSizeRequest::Kind::pixels:
        return request.value();
    case ImageSizeRequest::Kind::percent:
        return request.value() * 0.01 * frameSide;
    case ImageSizeRequest::Kind::automatic:
        break;
    }
    return sourceSide;
}

int clampToInt(double value) {
    if (!(value > INT_MIN)) return INT_MIN;
    if (!(value < INT_MAX)) return INT_MAX;
    return int(value);
}

} // namespace

void Terminal::insertImageFromBitmap(std::vector<uint8_t> bytes, int width, int height) {
    if (width < 1 || height < 1 || bytes.size() != size_t(width) * size_t(height) * 4) return;
    KittyRgbaBitmap picture{std::move(bytes), width, height};
    if (kittyPlacementContext) {
        const KittyPlacementContext context = *kittyPlacementContext;
        insertImage(picture, context.widthRequest, context.heightRequest, context.preserveAspectRatio);
        return;
    }
    const CellPixelSize cell = kittyCellSize().value_or(defaultImageCellSize);
    const bool wider = double(_cols) * cell.width < width;
    insertImage(picture, wider ? ImageSizeRequest::percent(100) : ImageSizeRequest::automatic(),
                ImageSizeRequest::automatic(), true);
}

void Terminal::insertImage(const KittyRgbaBitmap& picture, ImageSizeRequest width, ImageSizeRequest height,
                           bool preserveAspectRatio) {
    if (picture.width < 1 || picture.height < 1 ||
        picture.bytes.size() != size_t(picture.width) * size_t(picture.height) * 4)
        return;
    const std::optional<KittyPlacementContext> context = kittyPlacementContext;
    const CellPixelSize cell = kittyCellSize().value_or(defaultImageCellSize);
    const double cellWidth = cell.width;
    const double cellHeight = cell.height;
    const double pictureWidth = picture.width;
    const double pictureHeight = picture.height;

    // The size on screen, in pixels.
    double targetWidth = requestedExtent(width, pictureWidth, cellWidth, _cols * cellWidth);
    double targetHeight = requestedExtent(height, pictureHeight, cellHeight, _rows * cellHeight);
    const bool widthAuto = width.kind() == ImageSizeRequest::Kind::automatic;
    const bool heightAuto = height.kind() == ImageSizeRequest::Kind::automatic;
    bool letterbox = false;
    if (preserveAspectRatio) {
        if (heightAuto && !widthAuto)
            targetHeight = targetWidth * pictureHeight / pictureWidth;
        else if (widthAuto && !heightAuto)
            targetWidth = targetHeight * pictureWidth / pictureHeight;
        else if (!widthAuto && !heightAuto)
            letterbox = true;
    }
    if (!std::isfinite(targetWidth) || !std::isfinite(targetHeight) || targetWidth <= 0 || targetHeight <= 0)
        targetWidth = targetHeight = 0;

    // A picture whose strips alone would pass the budget is shown smaller, proportions kept.
    const double stripHeight = cell.height;
    auto stripBytes = [&](double w, double h) {
        return (std::floor(w) * stripHeight * 4 + stripOverhead) * std::ceil(h / cellHeight);
    };
    for (int attempt = 0; attempt < 8 && stripBytes(targetWidth, targetHeight) > double(imageStripByteLimit);
         ++attempt) {
        const double factor =
            std::sqrt(double(imageStripByteLimit) / stripBytes(targetWidth, targetHeight)) * 0.99;
        targetWidth *= factor;
        targetHeight *= factor;
    }

    const int rows = clampToInt(std::ceil(targetHeight / cellHeight));
    const int cols = clampToInt(std::ceil(targetWidth / cellWidth));
    const int stripWidth = clampToInt(std::floor(targetWidth));

    Buffer& buffer = *_buffer;
    const int startCol = buffer.x();
    const int startLine = buffer.yBase() + buffer.y();
    std::optional<KittyPlacementKey> key;
    if (context && context->imageId && context->placementId) {
        key = KittyPlacementKey{*context->imageId, *context->placementId};
        KittyPlacementRecord record;
        record.imageId = key->imageId;
        record.placementId = key->placementId;
        record.parentImageId = context->parentImageId;
        record.parentPlacementId = context->parentPlacementId;
        record.parentOffsetH = context->parentOffsetH;
        record.parentOffsetV = context->parentOffsetV;
        record.pixelOffsetX = context->pixelOffsetX;
        record.pixelOffsetY = context->pixelOffsetY;
        record.col = startCol;
        record.row = startLine;
        record.cols = cols;
        record.rows = rows;
        record.zIndex = context->zIndex;
        record.isVirtual = false;
        record.isAlternateBuffer = isCurrentBufferAlternate();
        kittyGraphicsState.placementsByKey[*key] = record;
        noteKittyStripAnchor(buffer, *key, -1);
    }

    bool scrolled = false;
    if (rows >= 1 && stripWidth >= 1) {
        const int64_t bytesPerStrip = int64_t(stripWidth) * cell.height * 4;
        makeRoomForImageStrips((bytesPerStrip + stripOverhead) * rows);
        double x = 0;
        double y = 0;
        double drawWidth = targetWidth;
        double drawHeight = targetHeight;
        if (letterbox) {
            // The largest rectangle of the picture's proportions that fits, centred; the rest transparent.
            if (pictureWidth / pictureHeight >= targetWidth / targetHeight) {
                drawHeight = targetWidth * pictureHeight / pictureWidth;
                y = (targetHeight - drawHeight) / 2;
            } else {
                drawWidth = targetHeight * pictureWidth / pictureHeight;
                x = (targetWidth - drawWidth) / 2;
            }
        }
        const RgbaScaler scaler(picture, stripWidth, x, y, drawWidth, drawHeight);
        bool first = true;
        for (int row = 0; row < rows; ++row) {
            std::vector<uint8_t> pixels = scaler.renderRows(row * cell.height, cell.height);
            std::shared_ptr<KittyPlacementImage> strip =
                tdel != nullptr
                    ? tdel->makeImageStrip(*this, std::move(pixels), stripWidth, cell.height)
                    : std::make_shared<RgbaImageStrip>(std::move(pixels), stripWidth, cell.height);
            if (!strip) continue;
            strip->setCol(buffer.x());
            if (context) {
                strip->kittyIsKitty = true;
                strip->kittyImageId = context->imageId;
                strip->kittyImageNumber = context->imageNumber;
                strip->kittyPlacementId = context->placementId;
                strip->kittyZIndex = context->zIndex;
                strip->kittyCol = startCol;
                strip->kittyRow = startLine;
                strip->kittyCols = cols;
                strip->kittyRows = rows;
                strip->kittyPixelOffsetX = context->pixelOffsetX;
                strip->kittyPixelOffsetY = context->pixelOffsetY;
            }
            auto counted =
                std::make_shared<CountedStrip>(strip, _imageStripBytes, bytesPerStrip + stripOverhead);
            const TerminalImagePtr attached(counted, strip.get());
            const int line = buffer.yBase() + buffer.y();
            buffer.attachImage(attached, line);
            // The first strip is the placement's topmost: re-anchoring starts looking there.
            if (first && key) noteKittyStripAnchor(buffer, *key, line, attached);
            first = false;
            updateRange(buffer.y());

            const int column = buffer.x();
            const int yBase = buffer.yBase();
            const int linesTop = buffer.linesTop;
            cmdLineFeedBasic();
            if (buffer.yBase() != yBase || buffer.linesTop != linesTop) scrolled = true;
            buffer.setX(column);
        }
    }

    if (scrolled) {
        refreshStart = std::min(refreshStart, 0);
        refreshEnd = std::max(refreshEnd, _rows - 1);
        scrollInvariantRefreshStart = std::min(scrollInvariantRefreshStart, buffer.yDisp());
        scrollInvariantRefreshEnd = std::max(scrollInvariantRefreshEnd, buffer.yDisp() + _rows - 1);
    }
    if (context && context->cursorPolicy == 0 && !context->isRelative) {
        buffer.setX(clampToInt(double(startCol) + std::max(cols, 1)));
        buffer.setY(clampToInt(double(startLine) + std::max(rows, 1) - buffer.yBase()));
        restrictCursor(true);
    }
}

void Terminal::makeRoomForImageStrips(int64_t bytes) {
    if (*_imageStripBytes + bytes <= imageStripByteLimit) return;
    // Oldest lines first: the far scroll-back of the normal screen, then the alternate screen.
    for (Buffer* buffer : {_normalBuffer.get(), _altBuffer.get()}) {
        if (!buffer->hasAnyImages()) continue;
        const CircularBufferLineList& lines = buffer->lines();
        for (int i = 0; i < lines.count(); ++i) {
            const BufferLinePtr& line = lines.peek(i);
            if (!line || !line->images) continue;
            buffer->clearImagesFromLine(i);
            if (buffer == _buffer) updateRange(i - buffer->yDisp());
            if (*_imageStripBytes + bytes <= imageStripByteLimit) return;
        }
    }
}

} // namespace Tessaline
