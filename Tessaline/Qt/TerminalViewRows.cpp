// The view's row builder entry points: the records of a row, the looks of attributes, the selected columns
// of a row and the pictures of Kitty placeholder cells.
#include "TerminalView.h"

#include "RowBuilder.h"

namespace Tessaline {

const ViewLineInfo& TerminalView::buildAttributedString(int row, const BufferLine& line, int cols) {
    return _rowBuilder->build(row, line, cols);
}

const TextAttributes& TerminalView::getAttributes(const Attribute& attribute, bool withUrl) {
    return _rowBuilder->attributes(attribute, withUrl);
}

TextAttributes TerminalView::getAttributedValue(const Attribute& attribute, const QColor& usingFg,
                                                const QColor& andBg) {
    return _rowBuilder->attributedValue(attribute, usingFg, andBg);
}

std::optional<ColumnRange> TerminalView::selectedColumnsRange(int row, int cols) const {
    return _rowBuilder->selectedColumnsRange(row, cols);
}

const QImage* TerminalView::kittyPlaceholderImage(uint32_t imageId, KittyImageCache& cache) {
    if (auto hit = cache.find(imageId); hit != cache.end()) return hit->second ? &*hit->second : nullptr;
    const auto& images = _terminal->kittyGraphicsState.imagesById;
    const auto stored = images.find(imageId);
    if (stored == images.end() || !stored->second.payload) return nullptr;
    const KittyGraphicsPayload& payload = *stored->second.payload;
    std::optional<QImage> picture;
    if (payload.isPng()) {
        QImage decoded;
        if (decoded.loadFromData(payload.bytes.data(), int(payload.bytes.size()), "PNG"))
            picture = std::move(decoded);
    } else if (payload.width > 0 && payload.height > 0 &&
               payload.bytes.size() >= size_t(payload.width) * size_t(payload.height) * 4) {
        // Straight alpha, rows top first; copied, as the store may drop its bytes while the cache lives.
        picture = QImage(payload.bytes.data(), payload.width, payload.height, payload.width * 4,
                         QImage::Format_RGBA8888)
                      .copy();
    }
    const auto [slot, inserted] = cache.emplace(imageId, std::move(picture));
    return slot->second ? &*slot->second : nullptr;
}

} // namespace Tessaline
