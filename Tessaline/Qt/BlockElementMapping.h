#pragma once

#include <QColor>
#include <QRectF>

#include <cstdint>
#include <optional>
#include <span>

namespace Tessaline {

class GlyphCanvas;

// How much of a block element's colour a rectangle takes: the shades are the full block at 1/4, 1/2
// and 3/4 of the colour's own opacity.
enum class BlockAlpha : uint8_t {
    full,
    dark,
    medium,
    light,
};

// 1.0, 0.75, 0.5 or 0.25.
double blockAlphaValue(BlockAlpha alpha);
// The coverage of exactly one of those four values; nothing for any other.
std::optional<BlockAlpha> blockAlphaFromValue(double value);

// One rectangle of a block element in eighths of its cell: x from the left edge, y from the top edge,
// 0 to 8, x0 < x1 and y0 < y1. For a character that spans two columns the eighths are of both.
struct BlockElementRect {
    uint8_t x0 = 0;
    uint8_t x1 = 0;
    uint8_t y0 = 0;
    uint8_t y1 = 0;
    BlockAlpha alpha = BlockAlpha::full;

    bool operator==(const BlockElementRect&) const = default;
};
static_assert(sizeof(BlockElementRect) == 5);

// The block elements U+2580 to U+259F as rectangles; every renderer turns them into pixels itself.
struct BlockElementMapping {
    // The rectangles of a block element; nothing for any other code point. The table is built once and
    // lives as long as the program.
    static std::optional<std::span<const BlockElementRect>> rects(uint32_t codePoint);

    // Fills the rectangles in the cell whose top-left corner and size (in logical pixels) are given: in
    // the colour at its own opacity times the rectangle's coverage. Without antialiasing every rectangle
    // grows outward to whole device pixels at `scale`.
    static void draw(std::span<const BlockElementRect> rects, GlyphCanvas& canvas, const QRectF& cell,
                     double scale, bool antiAlias, const QColor& color);
};

} // namespace Tessaline
