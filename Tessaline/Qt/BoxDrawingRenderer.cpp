#include "BoxDrawingRenderer.h"

#include "GlyphCanvas.h"

#include <QRectF>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace Tessaline {

namespace {

// Halves away from zero.
int rounded(double value) {
    return int(std::lround(value));
}

int positive(int value) {
    return std::max(value, 0);
}

// Arm weights of a box-drawing character; light is the default case.
constexpr uint8_t none = 0, heavy = 2, doubled = 3;

struct Band {
    int near = 0;
    int far = 0;
};

struct ArmEnds {
    int firstEnd = 0;
    int secondStart = 0;
};

// Where the two arms along one axis stop, given the arms across it (light, heavy and double bands on
// that axis): the first arm ends at firstEnd, the second starts at secondStart. The same rule serves
// both axes, mirrored.
ArmEnds armEnds(uint8_t across1, uint8_t across2, uint8_t along1, uint8_t along2, Band light, Band heavyBand,
                Band doubleBand) {
    if (across1 == heavy || across2 == heavy) return {heavyBand.far, heavyBand.near};
    if (across1 == across2 && along1 != along2) {
        // A stem meeting a cross bar stops at the bar's near side.
        if (across1 == none) return {light.far, light.near};
        return {light.near, light.far};
    }
    if (across1 == doubled || across2 == doubled) return {doubleBand.far, doubleBand.near};
    return {light.far, light.near};
}

// Arm weights of the line characters, read off their Unicode names (LIGHT and SINGLE 1, HEAVY 2,
// DOUBLE 3): up, right, down and left from the least significant byte.
constexpr std::pair<uint32_t, uint32_t> lineTable[] = {
    {0x2500, 0x01000100}, // light horizontal
    {0x2501, 0x02000200}, // heavy horizontal
    {0x2502, 0x00010001}, // light vertical
    {0x2503, 0x00020002}, // heavy vertical
    {0x250C, 0x00010100}, // light down and right
    {0x250D, 0x00010200}, // down light and right heavy
    {0x250E, 0x00020100}, // down heavy and right light
    {0x250F, 0x00020200}, // heavy down and right
    {0x2510, 0x01010000}, // light down and left
    {0x2511, 0x02010000}, // down light and left heavy
    {0x2512, 0x01020000}, // down heavy and left light
    {0x2513, 0x02020000}, // heavy down and left
    {0x2514, 0x00000101}, // light up and right
    {0x2515, 0x00000201}, // up light and right heavy
    {0x2516, 0x00000102}, // up heavy and right light
    {0x2517, 0x00000202}, // heavy up and right
    {0x2518, 0x01000001}, // light up and left
    {0x2519, 0x02000001}, // up light and left heavy
    {0x251A, 0x01000002}, // up heavy and left light
    {0x251B, 0x02000002}, // heavy up and left
    {0x251C, 0x00010101}, // light vertical and right
    {0x251D, 0x00010201}, // vertical light and right heavy
    {0x251E, 0x00010102}, // up heavy and right down light
    {0x251F, 0x00020101}, // down heavy and right up light
    {0x2520, 0x00020102}, // vertical heavy and right light
    {0x2521, 0x00010202}, // down light and right up heavy
    {0x2522, 0x00020201}, // up light and right down heavy
    {0x2523, 0x00020202}, // heavy vertical and right
    {0x2524, 0x01010001}, // light vertical and left
    {0x2525, 0x02010001}, // vertical light and left heavy
    {0x2526, 0x01010002}, // up heavy and left down light
    {0x2527, 0x01020001}, // down heavy and left up light
    {0x2528, 0x01020002}, // vertical heavy and left light
    {0x2529, 0x02010002}, // down light and left up heavy
    {0x252A, 0x02020001}, // up light and left down heavy
    {0x252B, 0x02020002}, // heavy vertical and left
    {0x252C, 0x01010100}, // light down and horizontal
    {0x252D, 0x02010100}, // left heavy and right down light
    {0x252E, 0x01010200}, // right heavy and left down light
    {0x252F, 0x02010200}, // down light and horizontal heavy
    {0x2530, 0x01020100}, // down heavy and horizontal light
    {0x2531, 0x02020100}, // right light and left down heavy
    {0x2532, 0x01020200}, // left light and right down heavy
    {0x2533, 0x02020200}, // heavy down and horizontal
    {0x2534, 0x01000101}, // light up and horizontal
    {0x2535, 0x02000101}, // left heavy and right up light
    {0x2536, 0x01000201}, // right heavy and left up light
    {0x2537, 0x02000201}, // up light and horizontal heavy
    {0x2538, 0x01000102}, // up heavy and horizontal light
    {0x2539, 0x02000102}, // right light and left up heavy
    {0x253A, 0x01000202}, // left light and right up heavy
    {0x253B, 0x02000202}, // heavy up and horizontal
    {0x253C, 0x01010101}, // light vertical and horizontal
    {0x253D, 0x02010101}, // left heavy and right vertical light
    {0x253E, 0x01010201}, // right heavy and left vertical light
    {0x253F, 0x02010201}, // vertical light and horizontal heavy
    {0x2540, 0x01010102}, // up heavy and down horizontal light
    {0x2541, 0x01020101}, // down heavy and up horizontal light
    {0x2542, 0x01020102}, // vertical heavy and horizontal light
    {0x2543, 0x02010102}, // left up heavy and right down light
    {0x2544, 0x01010202}, // right up heavy and left down light
    {0x2545, 0x02020101}, // left down heavy and right up light
    {0x2546, 0x01020201}, // right down heavy and left up light
    {0x2547, 0x02010202}, // down light and up horizontal heavy
    {0x2548, 0x02020201}, // up light and down horizontal heavy
    {0x2549, 0x02020102}, // right light and left vertical heavy
    {0x254A, 0x01020202}, // left light and right vertical heavy
    {0x254B, 0x02020202}, // heavy vertical and horizontal
    {0x2550, 0x03000300}, // double horizontal
    {0x2551, 0x00030003}, // double vertical
    {0x2552, 0x00010300}, // down single and right double
    {0x2553, 0x00030100}, // down double and right single
    {0x2554, 0x00030300}, // double down and right
    {0x2555, 0x03010000}, // down single and left double
    {0x2556, 0x01030000}, // down double and left single
    {0x2557, 0x03030000}, // double down and left
    {0x2558, 0x00000301}, // up single and right double
    {0x2559, 0x00000103}, // up double and right single
    {0x255A, 0x00000303}, // double up and right
    {0x255B, 0x03000001}, // up single and left double
    {0x255C, 0x01000003}, // up double and left single
    {0x255D, 0x03000003}, // double up and left
    {0x255E, 0x00010301}, // vertical single and right double
    {0x255F, 0x00030103}, // vertical double and right single
    {0x2560, 0x00030303}, // double vertical and right
    {0x2561, 0x03010001}, // vertical single and left double
    {0x2562, 0x01030003}, // vertical double and left single
    {0x2563, 0x03030003}, // double vertical and left
    {0x2564, 0x03010300}, // down single and horizontal double
    {0x2565, 0x01030100}, // down double and horizontal single
    {0x2566, 0x03030300}, // double down and horizontal
    {0x2567, 0x03000301}, // up single and horizontal double
    {0x2568, 0x01000103}, // up double and horizontal single
    {0x2569, 0x03000303}, // double up and horizontal
    {0x256A, 0x03010301}, // vertical single and horizontal double
    {0x256B, 0x01030103}, // vertical double and horizontal single
    {0x256C, 0x03030303}, // double vertical and horizontal
    {0x2574, 0x01000000}, // light left
    {0x2575, 0x00000001}, // light up
    {0x2576, 0x00000100}, // light right
    {0x2577, 0x00010000}, // light down
    {0x2578, 0x02000000}, // heavy left
    {0x2579, 0x00000002}, // heavy up
    {0x257A, 0x00000200}, // heavy right
    {0x257B, 0x00020000}, // heavy down
    {0x257C, 0x01000200}, // light left and heavy right
    {0x257D, 0x00020001}, // light up and heavy down
    {0x257E, 0x02000100}, // heavy left and light right
    {0x257F, 0x00010002}, // heavy up and light down
};

constexpr std::array<uint32_t, 128> packedLines = [] {
    std::array<uint32_t, 128> packed{};
    for (const auto& [codePoint, lines] : lineTable)
        packed[codePoint - 0x2500] = lines;
    return packed;
}();

static_assert(packedLines[0x00] == 0x01000100 && packedLines[0x02] == 0x00010001);
static_assert(packedLines[0x0D] == 0x00010200 && packedLines[0x66] == 0x03030300);

// Horizontal dashes with the gap decided: the dashes share what the gaps leave, the first ones a pixel
// longer when it does not divide evenly, starting half a gap in.
void horizontalDashes(const BoxDrawingRenderer::Canvas& canvas, int count, int gap, int thickness) {
    const int total = canvas.widthPx - count * gap;
    const int length = total / count;
    const int remainder = total % count;
    const int y = positive(canvas.heightPx - thickness) / 2;
    int x = gap / 2;
    for (int i = 0; i < count; ++i) {
        const int dash = length + (i < remainder ? 1 : 0);
        BoxDrawingRenderer::box(canvas, x, y, x + dash, y + thickness);
        x += dash + gap;
    }
}

void solidHorizontal(const BoxDrawingRenderer::Canvas& canvas, int baseThicknessPx) {
    const int thickness = std::max(baseThicknessPx, 1);
    const int y = positive(canvas.heightPx - thickness) / 2;
    BoxDrawingRenderer::box(canvas, 0, y, canvas.widthPx, y + thickness);
}

void solidVertical(const BoxDrawingRenderer::Canvas& canvas, int baseThicknessPx) {
    const int thickness = std::max(baseThicknessPx, 1);
    const int x = positive(canvas.widthPx - thickness) / 2;
    BoxDrawingRenderer::box(canvas, x, 0, x + thickness, canvas.heightPx);
}

// The inline dashed cases: `count` dashes, the gap chosen by the caller, a solid line when the rounded
// cell width is below `solidBelow`.
void inlineHorizontalDashes(const BoxDrawingRenderer::Canvas& canvas, int roundedWidth, int count, int gap,
                            int thickness, int solidBelow, int baseThicknessPx) {
    if (roundedWidth < solidBelow) {
        solidHorizontal(canvas, baseThicknessPx);
        return;
    }
    horizontalDashes(canvas, count, gap, thickness);
}

} // namespace

BoxDrawingRenderer::Lines BoxDrawingRenderer::Lines::unpack(uint32_t packed) {
    return {uint8_t(packed & 0xFF), uint8_t((packed >> 8) & 0xFF), uint8_t((packed >> 16) & 0xFF),
            uint8_t((packed >> 24) & 0xFF)};
}

std::optional<BoxDrawingRenderer::Lines> BoxDrawingRenderer::lines(uint32_t codePoint) {
    if (codePoint < 0x2500 || codePoint > 0x257F) return std::nullopt;
    const uint32_t packed = packedLines[codePoint - 0x2500];
    if (packed == 0) return std::nullopt;
    return Lines::unpack(packed);
}

void BoxDrawingRenderer::box(const Canvas& canvas, int x0, int y0, int x1, int y1) {
    x0 = std::clamp(x0, 0, canvas.widthPx);
    x1 = std::clamp(x1, 0, canvas.widthPx);
    y0 = std::clamp(y0, 0, canvas.heightPx);
    y1 = std::clamp(y1, 0, canvas.heightPx);
    if (x0 >= x1 || y0 >= y1) return;
    const double s = canvas.scale;
    canvas.context.fillRect(
        QRectF(canvas.originX + x0 / s, canvas.originY + y0 / s, (x1 - x0) / s, (y1 - y0) / s));
}

void BoxDrawingRenderer::hline(const Canvas& canvas, int x1, int x2, int y, int thicknessPx) {
    box(canvas, x1, y, x2, y + thicknessPx);
}

void BoxDrawingRenderer::vline(const Canvas& canvas, int y1, int y2, int x, int thicknessPx) {
    box(canvas, x, y1, x + thicknessPx, y2);
}

void BoxDrawingRenderer::linesChar(Lines lines, const Canvas& canvas, int baseThicknessPx) {
    const int W = canvas.widthPx;
    const int H = canvas.heightPx;
    const int t = std::max({baseThicknessPx, canvas.minThicknessPx, 1});
    // The bands sit at the same place in every cell, so lines run on into the neighbours.
    const int ly0 = positive(H - t) / 2, ly1 = std::min(ly0 + t, H);
    const int lx0 = positive(W - t) / 2, lx1 = std::min(lx0 + t, W);
    const int hy0 = positive(H - 2 * t) / 2, hy1 = std::min(hy0 + 2 * t, H);
    const int hx0 = positive(W - 2 * t) / 2, hx1 = std::min(hx0 + 2 * t, W);
    const int dy0 = positive(ly0 - t), dy1 = std::min(ly1 + t, H);
    const int dx0 = positive(lx0 - t), dx1 = std::min(lx1 + t, W);
    // Where the vertical arms stop: S ends the up arm, R starts the down arm.
    const auto [S, R] = armEnds(lines.left, lines.right, lines.up, lines.down, {ly0, ly1}, {hy0, hy1}, {dy0, dy1});
    // Where the horizontal arms stop: Y ends the left arm, X starts the right arm.
    const auto [Y, X] = armEnds(lines.up, lines.down, lines.left, lines.right, {lx0, lx1}, {hx0, hx1}, {dx0, dx1});

    const bool upDouble = lines.up == doubled;
    const bool downDouble = lines.down == doubled;
    const bool leftDouble = lines.left == doubled;
    const bool rightDouble = lines.right == doubled;
    switch (lines.up) {
    case none:
        break;
    case heavy:
        box(canvas, hx0, 0, hx1, S);
        break;
    case doubled:
        box(canvas, dx0, 0, lx0, leftDouble ? ly0 : S);
        box(canvas, lx1, 0, dx1, rightDouble ? ly0 : S);
        break;
    default:
        box(canvas, lx0, 0, lx1, S);
    }
    switch (lines.right) {
    case none:
        break;
    case heavy:
        box(canvas, X, hy0, W, hy1);
        break;
    case doubled:
        box(canvas, upDouble ? lx1 : X, dy0, W, ly0);
        box(canvas, downDouble ? lx1 : X, ly1, W, dy1);
        break;
    default:
        box(canvas, X, ly0, W, ly1);
    }
    switch (lines.down) {
    case none:
        break;
    case heavy:
        box(canvas, hx0, R, hx1, H);
        break;
    case doubled:
        box(canvas, dx0, leftDouble ? ly1 : R, lx0, H);
        box(canvas, lx1, rightDouble ? ly1 : R, dx1, H);
        break;
    default:
        box(canvas, lx0, R, lx1, H);
    }
    switch (lines.left) {
    case none:
        break;
    case heavy:
        box(canvas, 0, hy0, Y, hy1);
        break;
    case doubled:
        box(canvas, 0, dy0, upDouble ? lx0 : Y, ly0);
        box(canvas, 0, ly1, downDouble ? lx0 : Y, dy1);
        break;
    default:
        box(canvas, 0, ly0, Y, ly1);
    }
}

void BoxDrawingRenderer::dashHorizontal(int count, int thicknessPx, int desiredGapPx, const Canvas& canvas,
                                        int baseThicknessPx) {
    if (count < 2 || count > 4) return;
    if (canvas.widthPx < 2 * count) {
        solidHorizontal(canvas, baseThicknessPx);
        return;
    }
    horizontalDashes(canvas, count, std::min(canvas.widthPx / (2 * count), desiredGapPx), thicknessPx);
}

void BoxDrawingRenderer::dashVertical(int count, int thicknessPx, int desiredGapPx, const Canvas& canvas,
                                      int baseThicknessPx) {
    if (count < 2 || count > 4) return;
    if (canvas.heightPx < 2 * count) {
        solidVertical(canvas, baseThicknessPx);
        return;
    }
    const int gap = std::min(canvas.heightPx / (2 * count), desiredGapPx);
    const int total = canvas.heightPx - count * gap;
    const int length = total / count;
    const int remainder = total % count;
    const int x = positive(canvas.widthPx - thicknessPx) / 2;
    // From the top edge: the last gap lies at the bottom of the cell.
    int y = 0;
    for (int i = 0; i < count; ++i) {
        const int dash = length + (i < remainder ? 1 : 0);
        box(canvas, x, y, x + thicknessPx, y + dash);
        y += dash + gap;
    }
}

void BoxDrawingRenderer::arc(Corner corner, int thicknessPx, const Canvas& canvas) {
    const int W = canvas.widthPx;
    const int H = canvas.heightPx;
    const int t = thicknessPx;
    const double half = t / 2.0;
    const int ly0 = positive(H - t) / 2;
    const int lx0 = positive(W - t) / 2;
    const double cy = ly0 + half;
    const double cx = lx0 + half;
    const double shorter = std::min(W, H);
    const double R = std::min(0.3 * shorter, std::max(0.5 * shorter - half, 0.0));
    const bool up = corner == Corner::upLeft || corner == Corner::upRight;
    const bool left = corner == Corner::upLeft || corner == Corner::downLeft;

    if (up)
        box(canvas, lx0, 0, lx0 + t, int(std::ceil(cy - R)));
    else
        box(canvas, lx0, int(std::floor(cy + R)), lx0 + t, H);
    if (left)
        box(canvas, 0, ly0, int(std::ceil(cx - R)), ly0 + t);
    else
        box(canvas, int(std::floor(cx + R)), ly0, W, ly0 + t);

    const QPointF centre(left ? cx - R : cx + R, up ? cy - R : cy + R);
    const double outer = R + half;
    const double inner = std::max(R - half, 0.0);
    if (!(outer > 0)) return;
    GlyphCanvas& context = canvas.context;
    context.save();
    context.translate(canvas.originX, canvas.originY);
    context.scale(1 / canvas.scale, 1 / canvas.scale);
    context.setAntialiasing(true);
    const double clipX0 = left ? centre.x() : 0;
    const double clipX1 = left ? W : centre.x();
    const double clipY0 = up ? centre.y() : 0;
    const double clipY1 = up ? H : centre.y();
    context.clipRect(QRectF(clipX0, clipY0, clipX1 - clipX0, clipY1 - clipY0));
    if (inner > 0) {
        const GlyphCanvas::Circle ring[] = {{centre, outer}, {centre, inner}};
        context.fillCircles(ring, true);
    } else {
        const GlyphCanvas::Circle disc[] = {{centre, outer}};
        context.fillCircles(disc, false);
    }
    context.restore();
}

namespace {

void diagonal(const BoxDrawingRenderer::Canvas& canvas, int thicknessPx, bool fromUpperRight) {
    const double W = canvas.widthPx;
    const double H = canvas.heightPx;
    const double fx = std::min(W / H, 1.0);
    const double fy = std::min(H / W, 1.0);
    int a = std::max(thicknessPx, canvas.minThicknessPx);
    if (a > 1) ++a;
    // Each end half a pixel past the corner, so that diagonals of neighbouring cells meet.
    const QPointF from = fromUpperRight ? QPointF(W + fx / 2, -fy / 2) : QPointF(-fx / 2, -fy / 2);
    const QPointF to = fromUpperRight ? QPointF(-fx / 2, H + fy / 2) : QPointF(W + fx / 2, H + fy / 2);
    const double s = canvas.scale;
    auto point = [&](QPointF p) { return QPointF(canvas.originX + p.x() / s, canvas.originY + p.y() / s); };
    canvas.context.setAntialiasing(true);
    canvas.context.strokeLine(point(from), point(to), a / s);
    canvas.context.setAntialiasing(false);
}

} // namespace

void BoxDrawingRenderer::lightDiagonalUpperRightToLowerLeft(int thicknessPx, const Canvas& canvas) {
    diagonal(canvas, thicknessPx, true);
}

void BoxDrawingRenderer::lightDiagonalUpperLeftToLowerRight(int thicknessPx, const Canvas& canvas) {
    diagonal(canvas, thicknessPx, false);
}

void BoxDrawingRenderer::draw(uint32_t codePoint, GlyphCanvas& context, QPointF cellOrigin, QSizeF cellSize,
                              double scale, const QColor& color, int baseThicknessPx) {
    if (codePoint < 0x2500 || codePoint > 0x257F) return;
    if (!(scale > 0)) scale = 1;
    const int roundedWidth = rounded(cellSize.width() * scale);
    const Canvas canvas{context,
                        cellOrigin.x(),
                        cellOrigin.y(),
                        std::max(roundedWidth, 1),
                        std::max(rounded(cellSize.height() * scale), 1),
                        scale,
                        cellSize.width(),
                        cellSize.height(),
                        std::max(rounded(scale), 1)};
    const int t = std::max(baseThicknessPx, canvas.minThicknessPx);
    const int W = canvas.widthPx;
    context.setColor(color);

    if (const std::optional<Lines> weights = lines(codePoint)) {
        linesChar(*weights, canvas, baseThicknessPx);
        return;
    }
    switch (codePoint) {
    case 0x2504:
    case 0x2505:
        inlineHorizontalDashes(canvas, roundedWidth, 3, std::min(W / 6, std::max(t, 4)),
                               codePoint == 0x2504 ? t : 2 * t, 6, baseThicknessPx);
        return;
    case 0x2508:
    case 0x2509:
        inlineHorizontalDashes(canvas, roundedWidth, 4, std::min(W / 8, std::max(t, 4)),
                               codePoint == 0x2508 ? t : 2 * t, 8, baseThicknessPx);
        return;
    case 0x254C:
        inlineHorizontalDashes(canvas, roundedWidth, 2, std::min(W / 4, t), t, 4, baseThicknessPx);
        return;
    case 0x254D:
        dashHorizontal(2, 2 * t, 2 * t, canvas, baseThicknessPx);
        return;
    case 0x2506:
    case 0x2507:
        dashVertical(3, codePoint == 0x2506 ? t : 2 * t, std::max(t, 4), canvas, baseThicknessPx);
        return;
    case 0x250A:
    case 0x250B:
        dashVertical(4, codePoint == 0x250A ? t : 2 * t, std::max(t, 4), canvas, baseThicknessPx);
        return;
    case 0x254E:
        dashVertical(2, t, 2 * t, canvas, baseThicknessPx);
        return;
    case 0x254F:
        dashVertical(2, 2 * t, 2 * t, canvas, baseThicknessPx);
        return;
    case 0x256D:
        arc(Corner::downRight, t, canvas);
        return;
    case 0x256E:
        arc(Corner::downLeft, t, canvas);
        return;
    case 0x256F:
        arc(Corner::upLeft, t, canvas);
        return;
    case 0x2570:
        arc(Corner::upRight, t, canvas);
        return;
    case 0x2571:
        lightDiagonalUpperRightToLowerLeft(t, canvas);
        return;
    case 0x2572:
        lightDiagonalUpperLeftToLowerRight(t, canvas);
        return;
    case 0x2573:
        lightDiagonalUpperRightToLowerLeft(t, canvas);
        lightDiagonalUpperLeftToLowerRight(t, canvas);
        return;
    default:
        return;
    }
}

} // namespace Tessaline
