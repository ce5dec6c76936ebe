#pragma once

#include <QPoint>
#include <QRawFont>

#include <cstdint>
#include <optional>
#include <vector>

namespace Tessaline {

// One glyph drawn white on transparent, ready for an atlas.
struct GlyphBitmap {
    int width = 0;
    int height = 0;
    // Offset of the bitmap's lower-left corner from the glyph origin, y up, whole pixels.
    QPoint bearing;
    // width x height x 4 bytes, B, G, R, A, premultiplied, first row = top of the image.
    std::vector<std::uint8_t> pixels;
    bool isColor = false;
};

// Draws single glyphs of a raw font. Antialiased in gray only: subpixel fringes would read as colour.
class GlyphRasterizer {
public:
    std::optional<GlyphBitmap> rasterize(const QRawFont& font, quint32 glyph) const;

    // The pixel box of fractional y-up bounds: floor of the minimum to ceil of the maximum.
    struct PixelBox {
        int x0 = 0;
        int y0 = 0;
        int width = 0;
        int height = 0;
    };
    static PixelBox pixelBox(double minX, double minY, double maxX, double maxY);
    static bool hasColor(const std::vector<std::uint8_t>& bgra);
};

} // namespace Tessaline
