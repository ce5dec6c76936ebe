#pragma once

#include <QSizeF>

class QFont;

namespace Tessaline {

// What a cell is measured from: a font's ascent, descent and leading and the advance of its "W", in
// logical pixels.
struct FontMeasures {
    double ascent = 0;
    double descent = 0;
    double leading = 0;
    double advance = 0;

    static FontMeasures of(const QFont& font);
    bool operator==(const FontMeasures&) const = default;
};

// The grid a view lays cells out on: its cell size in logical pixels, whole device pixels at the scale
// it was measured at, and the columns and rows that fit an area.
struct CellMetrics {
    // Tallest cell a font may ask for.
    static constexpr double maxCellHeight = 8192;

    // Width: the advance rounded up to a device pixel, at least 1. Height: ascent + descent + leading
    // rounded up to a whole logical pixel, then to a device pixel, at most 8192 and at least 1.
    static QSizeF cellSize(const FontMeasures& measures, double scale);

    struct Grid {
        int cols = 0;
        int rows = 0;
        bool operator==(const Grid&) const = default;
    };
    // The whole cells that fit (the integer parts of the quotients); 0 or less for an area too small,
    // which the terminal raises to its minimum.
    static Grid grid(double width, double height, QSizeF cell);
};

} // namespace Tessaline
