#pragma once

#include "KittyPlacementImage.h"

#include <cstdint>
#include <vector>

namespace Tessaline {

// The plain image strip: premultiplied RGBA pixels, rows top first, held as they were cut. The terminal's
// delegate makes one of these unless it supplies strips of its own (a view wraps the pixels in its own
// image type); headless terminals and tests keep these.
class RgbaImageStrip final : public KittyPlacementImage {
public:
    RgbaImageStrip(std::vector<uint8_t> pixels, int width, int height)
        : _pixels(std::move(pixels))
        , _width(width)
        , _height(height) {}

    int pixelWidth() const override { return _width; }
    int pixelHeight() const override { return _height; }
    int col() const override { return _col; }
    void setCol(int col) override { _col = col; }

    // width x height x 4 bytes.
    const std::vector<uint8_t>& pixels() const { return _pixels; }

private:
    std::vector<uint8_t> _pixels;
    int _width = 0;
    int _height = 0;
    int _col = 0;
};

} // namespace Tessaline
