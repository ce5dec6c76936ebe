#include "GlyphRasterizer.h"

#include <QGlyphRun>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace Tessaline {

GlyphRasterizer::PixelBox GlyphRasterizer::pixelBox(double minX, double minY, double maxX, double maxY) {
    PixelBox box;
    box.x0 = int(std::floor(minX));
    box.width = int(std::ceil(maxX)) - box.x0;
    box.y0 = int(std::floor(minY));
    box.height = int(std::ceil(maxY)) - box.y0;
    return box;
}

bool GlyphRasterizer::hasColor(const std::vector<std::uint8_t>& bgra) {
    for (std::size_t i = 0; i + 3 < bgra.size(); i += 4) {
        if (bgra[i] != bgra[i + 1] || bgra[i] != bgra[i + 2]) return true;
    }
    return false;
}

std::optional<GlyphBitmap> GlyphRasterizer::rasterize(const QRawFont& font, quint32 glyph) const {
    if (!font.isValid()) return std::nullopt;
    // Qt's bounds are y-down; the atlas and the renderer think y-up.
    const QRectF bounds = font.boundingRect(glyph);
    if (!(bounds.width() > 0) || !(bounds.height() > 0)) return std::nullopt;
    const PixelBox box = pixelBox(bounds.left(), -bounds.bottom(), bounds.right(), -bounds.top());
    if (box.width < 1 || box.height < 1) return std::nullopt;

    // Premultiplied ARGB32 is B, G, R, A in memory on the little-endian machines we build for.
    QImage image(box.width, box.height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return std::nullopt;
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setPen(Qt::white);
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes({glyph});
        // Origin at (-x0, -y0) y-up, which is row height + y0 from the top.
        run.setPositions({QPointF(-box.x0, box.height + box.y0)});
        painter.drawGlyphRun(QPointF(0, 0), run);
    }

    GlyphBitmap bitmap;
    bitmap.width = box.width;
    bitmap.height = box.height;
    bitmap.bearing = QPoint(box.x0, box.y0);
    bitmap.pixels.resize(std::size_t(box.width) * std::size_t(box.height) * 4);
    const std::size_t rowBytes = std::size_t(box.width) * 4;
    for (int y = 0; y < box.height; ++y)
        std::memcpy(bitmap.pixels.data() + std::size_t(y) * rowBytes, image.constScanLine(y), rowBytes);
    bitmap.isColor = hasColor(bitmap.pixels);
    return bitmap;
}

} // namespace Tessaline
