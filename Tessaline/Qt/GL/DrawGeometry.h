#pragma once

#include "BufferLine.h"
#include "GpuRecords.h"

#include <QColor>

#include <optional>

namespace Tessaline {

// A rectangle in drawable pixels, y up: (x0, y0) the lower-left corner, (x1, y1) the upper-right.
struct PixelRect {
    double x0 = 0;
    double y0 = 0;
    double x1 = 0;
    double y1 = 0;
    double width() const { return x1 - x0; }
    double height() const { return y1 - y0; }
    bool operator==(const PixelRect&) const = default;
};

// Normalized texture coordinates of a quad's corners, v up like the drawable.
struct TexRect {
    double uMin = 0;
    double vMin = 0;
    double uMax = 1;
    double vMax = 1;
    bool operator==(const TexRect&) const = default;
};

// The part of the drawable a double-height row may paint into.
using ClipRect = PixelRect;

// Where one row lies in the drawable and how its line-size mode moves what it draws.
struct RowGeometry {
    using Mode = BufferLine::RenderLineMode;

    // Exact and whole-pixel cell sizes (whole: rounded, at least 1).
    double cellWidthPx = 0;
    double cellHeightPx = 0;
    double wholeCellWidthPx = 1;
    double wholeCellHeightPx = 1;
    // In points.
    double rowBottom = 0;
    double rowTop = 0;
    double bottomPx = 0;
    double topPx = 0;
    Mode mode = Mode::single;
    double pivotY = 0;
    std::optional<ClipRect> clip;

    // Row `row` of lines counted from `yDisp`, in a view `viewHeight` points high.
    static RowGeometry make(int row, int yDisp, double cellWidth, double cellHeight, double viewHeight,
                            double scale, double viewWidthPx, Mode mode);
    // The mode's transform, rounded to 32-bit floats, corners ordered.
    PixelRect transform(const PixelRect& rect) const { return transformRect(rect, mode, pivotY); }
    static PixelRect transformRect(const PixelRect& rect, Mode mode, double pivotY);
};

// Rounds to the nearest whole number, halves away from zero.
double roundedHalfAway(double value);

// The rectangle and its texture coordinates cut to the clip rectangle, the coordinates moved in
// proportion; nothing when no area is left. Without a clip the input comes back as it is.
std::optional<std::pair<PixelRect, TexRect>> clipRect(const PixelRect& rect, const TexRect& tex,
                                                      const std::optional<ClipRect>& clip);
std::optional<PixelRect> clipRect(const PixelRect& rect, const std::optional<ClipRect>& clip);

// A colour as four floats (r, g, b, a) in sRGB.
Float4 colorToSIMD(const QColor& color);

// Six vertices of two triangles: (x0, y0), (x1, y0), (x0, y1), (x1, y0), (x1, y1), (x0, y1).
void appendQuad(std::vector<ColorVertex>& out, const PixelRect& rect, Float4 color);
void appendQuad(std::vector<GlyphVertex>& out, const PixelRect& rect, const TexRect& tex, Float4 color);

} // namespace Tessaline
