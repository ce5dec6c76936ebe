#pragma once

#include "KittyGraphicsPayload.h"

#include <cstdint>
#include <vector>

namespace Tessaline {

// Draws a premultiplied RGBA picture into the rectangle (x, y, width, height) of a transparent canvas
// `canvasWidth` pixels wide, and hands the canvas out a band of rows at a time, so that an image cut into
// strips is never held twice. The rectangle may have fractional edges; a pixel it covers in part gets
// that share of the picture. Shrinking averages the source pixels each canvas pixel covers, enlarging
// interpolates between neighbours.
class RgbaScaler {
public:
    RgbaScaler(const KittyRgbaBitmap& source, int canvasWidth, double x, double y, double width,
               double height);

    // Canvas rows firstRow .. firstRow + rowCount - 1: canvasWidth x rowCount x 4 bytes.
    std::vector<uint8_t> renderRows(int firstRow, int rowCount) const;

private:
    // The source pixels one canvas pixel takes along one axis: taps[first .. first + count).
    struct Span {
        int first = 0;
        int count = 0;
    };
    struct Tap {
        int index = 0;
        float weight = 0;
    };
    struct Axis {
        std::vector<Span> spans;
        std::vector<Tap> taps;
    };

    // Taps for canvas pixels from..from + count - 1 along an axis where the picture's sourceLength pixels
    // cover [origin, origin + extent).
    static void buildAxis(Axis& axis, int from, int count, int sourceLength, double origin, double extent);

    const KittyRgbaBitmap& _source;
    int _canvasWidth = 0;
    double _y = 0;
    double _height = 0;
    // The picture lands on whole pixels unscaled: rows are copied.
    bool _copies = false;
    int _copyX = 0;
    int _copyY = 0;
    Axis _columns;
};

} // namespace Tessaline
