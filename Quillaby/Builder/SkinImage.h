#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>

#include <optional>
#include <utility>

class QIODevice;

namespace Quillaby {

// Dots per inch that an image file states, per axis.
struct ImageResolution {
    double x = 72;
    double y = 72;

    bool operator==(const ImageResolution&) const = default;
};

// The resolution a PNG (its "pHYs" chunk in metres) or a JPEG (its JFIF density) states; nothing for
// other formats, files that state none or only an aspect ratio, and values outside 1 to 10000 dpi.
// Reads from the device's current position and never past the image data.
std::optional<ImageResolution> readImageResolution(QIODevice& device);

// The frame image the builder edits: its pixels and its size in points. The point size is what the
// file's resolution makes of the pixels (pixels x 72 / dpi), the pixel size itself when the file states
// none. Image tools never change one in place; they make a new one.
struct SkinImage {
    QImage bitmap;
    QSizeF size;

    SkinImage() = default;
    SkinImage(QImage bitmap, QSizeF size)
        : bitmap(std::move(bitmap))
        , size(size) {}

    QSizeF pixelSize() const { return QSizeF(bitmap.size()); }

    // Nothing when the file cannot be decoded. EXIF orientation is applied.
    static std::optional<SkinImage> load(const QString& path);

    // The pixels as PNG whose "pHYs" records the point size (72 dpi when points equal pixels); empty when
    // there are no pixels or the encoder fails. An image loaded from a PNG that states its resolution
    // gives the file's own bytes for as long as its pixels and size are the ones loaded: no encoding
    // time, no change.
    QByteArray pngData() const;

private:
    QByteArray _encodedPng;
    // The pixels and size the bytes hold; QImage's cache key changes with every change of the pixels.
    qint64 _encodedKey = 0;
    QSizeF _encodedSize;
};

} // namespace Quillaby
