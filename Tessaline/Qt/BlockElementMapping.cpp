#include "BlockElementMapping.h"

#include "GlyphCanvas.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace Tessaline {

namespace {

constexpr uint32_t firstBlock = 0x2580;
constexpr uint32_t lastBlock = 0x259F;

using Table = std::array<std::vector<BlockElementRect>, lastBlock - firstBlock + 1>;

// Built on first use; a function-local static is initialised once, also with several threads.
const Table& table() {
    static const Table built = [] {
        Table t;
        auto set = [&](uint32_t codePoint, std::vector<BlockElementRect> rects) {
            t[codePoint - firstBlock] = std::move(rects);
        };
        auto r = [](int x0, int x1, int y0, int y1, BlockAlpha alpha = BlockAlpha::full) {
            return BlockElementRect{uint8_t(x0), uint8_t(x1), uint8_t(y0), uint8_t(y1), alpha};
        };
        set(0x2580, {r(0, 8, 0, 4)});
        // Lower n eighths.
        for (int n = 1; n <= 7; ++n)
            set(0x2580 + uint32_t(n), {r(0, 8, 8 - n, 8)});
        set(0x2588, {r(0, 8, 0, 8)});
        // Left 8 - n eighths.
        for (int n = 1; n <= 7; ++n)
            set(0x2588 + uint32_t(n), {r(0, 8 - n, 0, 8)});
        set(0x2590, {r(4, 8, 0, 8)});
        set(0x2591, {r(0, 8, 0, 8, BlockAlpha::light)});
        set(0x2592, {r(0, 8, 0, 8, BlockAlpha::medium)});
        set(0x2593, {r(0, 8, 0, 8, BlockAlpha::dark)});
        set(0x2594, {r(0, 8, 0, 1)});
        set(0x2595, {r(7, 8, 0, 8)});
        set(0x2596, {r(0, 4, 4, 8)});
        set(0x2597, {r(4, 8, 4, 8)});
        set(0x2598, {r(0, 4, 0, 4)});
        set(0x2599, {r(0, 4, 0, 4), r(0, 4, 4, 8), r(4, 8, 4, 8)});
        set(0x259A, {r(0, 4, 0, 4), r(4, 8, 4, 8)});
        set(0x259B, {r(0, 4, 0, 4), r(4, 8, 0, 4), r(0, 4, 4, 8)});
        set(0x259C, {r(0, 4, 0, 4), r(4, 8, 0, 4), r(4, 8, 4, 8)});
        set(0x259D, {r(4, 8, 0, 4)});
        set(0x259E, {r(4, 8, 0, 4), r(0, 4, 4, 8)});
        set(0x259F, {r(4, 8, 0, 4), r(0, 4, 4, 8), r(4, 8, 4, 8)});
        return t;
    }();
    return built;
}

} // namespace

double blockAlphaValue(BlockAlpha alpha) {
    switch (alpha) {
    case BlockAlpha::full:
        return 1.0;
    case BlockAlpha::dark:
        return 0.75;
    case BlockAlpha::medium:
        return 0.5;
    case BlockAlpha::light:
        return 0.25;
    }
    return 1.0;
}

std::optional<BlockAlpha> blockAlphaFromValue(double value) {
    for (BlockAlpha alpha : {BlockAlpha::full, BlockAlpha::dark, BlockAlpha::medium, BlockAlpha::light})
        if (blockAlphaValue(alpha) == value) return alpha;
    return std::nullopt;
}

std::optional<std::span<const BlockElementRect>> BlockElementMapping::rects(uint32_t codePoint) {
    if (codePoint < firstBlock || codePoint > lastBlock) return std::nullopt;
    const std::vector<BlockElementRect>& rects = table()[codePoint - firstBlock];
    if (rects.empty()) return std::nullopt;
    return std::span<const BlockElementRect>(rects);
}

void BlockElementMapping::draw(std::span<const BlockElementRect> rects, GlyphCanvas& canvas,
                               const QRectF& cell, double scale, bool antiAlias, const QColor& color) {
    if (!(scale > 0)) scale = 1;
    const double ew = cell.width() / 8;
    const double eh = cell.height() / 8;
    canvas.setAntialiasing(antiAlias);
    for (const BlockElementRect& rect : rects) {
        double left = cell.left() + ew * rect.x0;
        double right = cell.left() + ew * rect.x1;
        double top = cell.top() + eh * rect.y0;
        double bottom = cell.top() + eh * rect.y1;
        if (!antiAlias) {
            left = std::floor(left * scale) / scale;
            top = std::floor(top * scale) / scale;
            right = std::max(left, std::ceil(right * scale) / scale);
            bottom = std::max(top, std::ceil(bottom * scale) / scale);
        }
        if (!(right > left) || !(bottom > top)) continue;
        QColor fill = color;
        fill.setAlphaF(float(std::min(1.0, color.alphaF() * blockAlphaValue(rect.alpha))));
        canvas.setColor(fill);
        canvas.fillRect(QRectF(left, top, right - left, bottom - top));
    }
}

} // namespace Tessaline
