#pragma once

#include <QColor>
#include <QPointF>
#include <QSizeF>

#include <cstdint>
#include <optional>

namespace Tessaline {

class GlyphCanvas;

// The box-drawing characters U+2500 to U+257F as geometry of their own, snapped to device pixels, so that
// lines fill their cells exactly and join the neighbouring cells without gaps or overlaps whatever the
// font. Straight lines and dashes are whole-pixel rectangles; only arcs and diagonals are antialiased
// paths.
class BoxDrawingRenderer {
public:
    // Arm weights of a line character: 0 none, 1 light, 2 heavy, 3 double.
    struct Lines {
        uint8_t up = 0;
        uint8_t right = 0;
        uint8_t down = 0;
        uint8_t left = 0;
        bool operator==(const Lines&) const = default;
        // The packed form of the table: up, right, down and left weights from the least significant byte.
        static Lines unpack(uint32_t packed);
    };

    // The arcs by the two arms they join.
    enum class Corner : uint8_t {
        upLeft,    // U+256F
        upRight,   // U+2570
        downLeft,  // U+256E
        downRight, // U+256D
    };

    // One cell in device pixels: pixel (x, y) counts from the cell's top-left corner, y downwards, and lies
    // at (originX + x / scale, originY + y / scale) on the canvas.
    struct Canvas {
        GlyphCanvas& context;
        double originX = 0;
        double originY = 0;
        int widthPx = 1;
        int heightPx = 1;
        double scale = 1;
        double cellWidth = 1;
        double cellHeight = 1;
        int minThicknessPx = 1;
    };

    // Draws the character in the cell whose top-left corner (in the canvas's logical pixels) and size
    // are given, `scale` device pixels to a logical one, with light lines `baseThicknessPx` device pixels
    // wide (raised to the rounded scale). Leaves the canvas's colour set to `color`; code points outside
    // U+2500 to U+257F draw nothing.
    static void draw(uint32_t codePoint, GlyphCanvas& context, QPointF cellOrigin, QSizeF cellSize,
                     double scale, const QColor& color, int baseThicknessPx);

    // The arm weights of one of the line characters; nothing for dashes, arcs, diagonals and the rest.
    static std::optional<Lines> lines(uint32_t codePoint);

    // The drawing steps, in device pixels of the canvas's cell.
    static void box(const Canvas& canvas, int x0, int y0, int x1, int y1);
    static void hline(const Canvas& canvas, int x1, int x2, int y, int thicknessPx);
    static void vline(const Canvas& canvas, int y1, int y2, int x, int thicknessPx);
    static void linesChar(Lines lines, const Canvas& canvas, int baseThicknessPx);
    static void dashHorizontal(int count, int thicknessPx, int desiredGapPx, const Canvas& canvas,
                               int baseThicknessPx);
    static void dashVertical(int count, int thicknessPx, int desiredGapPx, const Canvas& canvas,
                             int baseThicknessPx);
    static void arc(Corner corner, int thicknessPx, const Canvas& canvas);
    static void lightDiagonalUpperRightToLowerLeft(int thicknessPx, const Canvas& canvas);
    static void lightDiagonalUpperLeftToLowerRight(int thicknessPx, const Canvas& canvas);
};

} // namespace Tessaline
