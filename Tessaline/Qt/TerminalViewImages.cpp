// Images: the terminal sizes a picture in cells and cuts it into strips one cell row high, one per line;
// the view decodes encoded files for it and wraps each strip's pixels in a picture it can draw.
#include "TerminalView.h"

#include "ViewImageStrip.h"

#include <QBuffer>
#include <QImageReader>

#include <cstring>

namespace Tessaline {

namespace {

// Sides of a decoded file past this are refused before any pixel is decoded, as the Kitty protocol does.
constexpr int maxDecodedSide = 10000;

} // namespace

void TerminalView::createImageFromBitmap(Terminal& source, std::vector<uint8_t>& bytes, int width,
                                         int height) {
    source.insertImageFromBitmap(std::move(bytes), width, height);
}

void TerminalView::createImage(Terminal& source, const std::vector<uint8_t>& data, ImageSizeRequest width,
                               ImageSizeRequest height, bool preserveAspectRatio) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    QImageReader reader(&device);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxDecodedSide || size.height() > maxDecodedSide) return;
    QImage picture = reader.read();
    if (picture.isNull()) return;
    picture.convertTo(QImage::Format_RGBA8888_Premultiplied);
    KittyRgbaBitmap bitmap;
    bitmap.width = picture.width();
    bitmap.height = picture.height();
    bitmap.bytes.resize(size_t(bitmap.width) * size_t(bitmap.height) * 4);
    const size_t row = size_t(bitmap.width) * 4;
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(bitmap.bytes.data() + row * size_t(y), picture.constScanLine(y), row);
    source.insertImage(bitmap, width, height, preserveAspectRatio);
}

std::shared_ptr<KittyPlacementImage> TerminalView::makeImageStrip(Terminal&, std::vector<uint8_t> pixels,
                                                                  int width, int height) {
    if (width < 1 || height < 1 || pixels.size() < size_t(width) * size_t(height) * 4) return nullptr;
    // Converted once into the painter's own format, so that drawing it is a plain blend.
    QImage image = QImage(pixels.data(), width, height, width * 4, QImage::Format_RGBA8888_Premultiplied)
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return nullptr;
    return std::make_shared<ViewImageStrip>(std::move(image), backingScale());
}

} // namespace Tessaline
