#include "DrawGeometry.h"

#include <algorithm>
#include <cmath>

namespace Tessaline {

double roundedHalfAway(double value) {
    return std::round(value);
}

RowGeometry RowGeometry::make(int row, int yDisp, double cellWidth, double cellHeight, double viewHeight,
                              double scale, double viewWidthPx, Mode mode) {
    RowGeometry g;
    g.cellWidthPx = cellWidth * scale;
    g.cellHeightPx = cellHeight * scale;
    g.wholeCellWidthPx = std::max(1.0, roundedHalfAway(g.cellWidthPx));
    g.wholeCellHeightPx = std::max(1.0, roundedHalfAway(g.cellHeightPx));
    g.rowBottom = viewHeight - cellHeight * double(row - yDisp + 1);
    g.rowTop = g.rowBottom + cellHeight;
    g.bottomPx = scale * g.rowBottom;
    g.topPx = g.bottomPx + g.cellHeightPx;
    g.mode = mode;
    switch (mode) {
    case Mode::single:
    case Mode::doubleWidth:
        break;
    case Mode::doubledTop:
        g.pivotY = g.topPx;
        g.clip = ClipRect{0, g.bottomPx, viewWidthPx, g.topPx};
        break;
    case Mode::doubledDown:
        g.pivotY = g.bottomPx;
        g.clip = ClipRect{0, g.bottomPx, viewWidthPx, g.topPx};
        break;
    }
    return g;
}

PixelRect RowGeometry::transformRect(const PixelRect& rect, Mode mode, double pivotY) {
    double x0 = rect.x0, x1 = rect.x1, y0 = rect.y0, y1 = rect.y1;
    if (mode != Mode::single) {
        x0 *= 2;
        x1 *= 2;
    }
    if (mode == Mode::doubledTop || mode == Mode::doubledDown) {
        y0 = pivotY + 2 * (y0 - pivotY);
        y1 = pivotY + 2 * (y1 - pivotY);
    }
    // The records hold 32-bit floats: what is compared and clipped is what is drawn.
    const auto f = [](double v) { return double(float(v)); };
    return {f(std::min(x0, x1)), f(std::min(y0, y1)), f(std::max(x0, x1)), f(std::max(y0, y1))};
}

std::optional<std::pair<PixelRect, TexRect>> clipRect(const PixelRect& rect, const TexRect& tex,
                                                      const std::optional<ClipRect>& clip) {
    if (!clip) return std::pair{rect, tex};
    const double w = rect.width();
    const double h = rect.height();
    if (!(w > 0) || !(h > 0)) return std::nullopt;
    const PixelRect cut{std::max(rect.x0, clip->x0), std::max(rect.y0, clip->y0), std::min(rect.x1, clip->x1),
                        std::min(rect.y1, clip->y1)};
    if (!(cut.width() > 0) || !(cut.height() > 0)) return std::nullopt;
    const double du = tex.uMax - tex.uMin;
    const double dv = tex.vMax - tex.vMin;
    const TexRect moved{tex.uMin + du * (cut.x0 - rect.x0) / w, tex.vMin + dv * (cut.y0 - rect.y0) / h,
                        tex.uMin + du * (cut.x1 - rect.x0) / w, tex.vMin + dv * (cut.y1 - rect.y0) / h};
    return std::pair{cut, moved};
}

std::optional<PixelRect> clipRect(const PixelRect& rect, const std::optional<ClipRect>& clip) {
    if (!clip) return rect;
    const PixelRect cut{std::max(rect.x0, clip->x0), std::max(rect.y0, clip->y0), std::min(rect.x1, clip->x1),
                        std::min(rect.y1, clip->y1)};
    if (!(cut.width() > 0) || !(cut.height() > 0)) return std::nullopt;
    return cut;
}

Float4 colorToSIMD(const QColor& color) {
    const QColor rgb = color.spec() == QColor::Rgb || !color.isValid() ? color : color.toRgb();
    float r = 0, g = 0, b = 0, a = 1;
    rgb.getRgbF(&r, &g, &b, &a);
    return {r, g, b, a};
}

void appendQuad(std::vector<ColorVertex>& out, const PixelRect& r, Float4 color) {
    const float x0 = float(r.x0), y0 = float(r.y0), x1 = float(r.x1), y1 = float(r.y1);
    for (const Float2 p : {Float2{x0, y0}, Float2{x1, y0}, Float2{x0, y1}, Float2{x1, y0}, Float2{x1, y1},
                           Float2{x0, y1}})
        out.push_back(ColorVertex{p, {0, 0}, color});
}

void appendQuad(std::vector<GlyphVertex>& out, const PixelRect& r, const TexRect& t, Float4 color) {
    const float x0 = float(r.x0), y0 = float(r.y0), x1 = float(r.x1), y1 = float(r.y1);
    const float u0 = float(t.uMin), v0 = float(t.vMin), u1 = float(t.uMax), v1 = float(t.vMax);
    out.push_back({{x0, y0}, {u0, v0}, color});
    out.push_back({{x1, y0}, {u1, v0}, color});
    out.push_back({{x0, y1}, {u0, v1}, color});
    out.push_back({{x1, y0}, {u1, v0}, color});
    out.push_back({{x1, y1}, {u1, v1}, color});
    out.push_back({{x0, y1}, {u0, v1}, color});
}

} // namespace Tessaline
