#include "Builder/SkinImage.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QtEndian>

#include <cmath>

namespace Quillaby {

namespace {

constexpr double metresPerInch = 0.0254;
constexpr int pngQuality = 50;
const QByteArray pngSignature("\x89PNG\r\n\x1a\n", 8);
// Beyond what the decoder would accept as pixels anyway.
constexpr qint64 maximumFileBytes = 512LL * 1024 * 1024;
constexpr double centimetresPerInch = 2.54;
constexpr double minimumDpi = 1;
constexpr double maximumDpi = 10000;
// Headers are read chunk by chunk; a file with more before its image data is not worth believing.
constexpr int maximumHeaderChunks = 1000;

bool readExactly(QIODevice& device, char* into, qint64 count) {
    return device.read(into, count) == count;
}

bool skip(QIODevice& device, qint64 count) {
    if (!device.isSequential()) return device.seek(device.pos() + count);
    return device.skip(count) == count;
}

// pHYs holds whole dots per metre, so a whole number of dpi comes back a little off (72 dpi is stored as
// 2835 per metre); take the whole number the writer meant. Only one whole dpi fits each value.
double pngDotsPerInch(quint32 dots) {
    double dpi = dots * metresPerInch;
    double whole = std::round(dpi);
    if (whole > 0 && std::llround(whole / metresPerInch) == qint64(dots)) return whole;
    return dpi;
}

std::optional<ImageResolution> checked(double x, double y) {
    auto sane = [](double dpi) { return std::isfinite(dpi) && dpi >= minimumDpi && dpi <= maximumDpi; };
    if (!sane(x) || !sane(y)) return std::nullopt;
    return ImageResolution{x, y};
}

std::optional<ImageResolution> pngResolution(QIODevice& device) {
    for (int chunk = 0; chunk < maximumHeaderChunks; ++chunk) {
        uchar header[8];
        if (!readExactly(device, reinterpret_cast<char*>(header), 8)) return std::nullopt;
        const quint32 length = qFromBigEndian<quint32>(header);
        const QByteArray type(reinterpret_cast<const char*>(header + 4), 4);
        if (type == "IDAT" || type == "IEND") return std::nullopt;
        if (type == "pHYs" && length == 9) {
            uchar body[9];
            if (!readExactly(device, reinterpret_cast<char*>(body), 9)) return std::nullopt;
            // Unit 1 is the metre; unit 0 states only the pixels' aspect ratio.
            if (body[8] != 1) return std::nullopt;
            return checked(pngDotsPerInch(qFromBigEndian<quint32>(body)),
                           pngDotsPerInch(qFromBigEndian<quint32>(body + 4)));
        }
        if (!skip(device, qint64(length) + 4)) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<ImageResolution> jpegResolution(QIODevice& device) {
    for (int segment = 0; segment < maximumHeaderChunks; ++segment) {
        uchar marker[4];
        if (!readExactly(device, reinterpret_cast<char*>(marker), 4) || marker[0] != 0xFF)
            return std::nullopt;
        // Start of scan: the image data follows, no header after it.
        if (marker[1] == 0xDA || marker[1] == 0xD9) return std::nullopt;
        const quint16 length = qFromBigEndian<quint16>(marker + 2);
        if (length < 2) return std::nullopt;
        if (marker[1] == 0xE0 && length >= 16) {
            uchar body[14];
            if (!readExactly(device, reinterpret_cast<char*>(body), 14)) return std::nullopt;
            if (QByteArray(reinterpret_cast<const char*>(body), 5) != QByteArray("JFIF", 5)) {
                if (!skip(device, length - 2 - 14)) return std::nullopt;
                continue;
            }
            const uchar units = body[7];
            const quint16 x = qFromBigEndian<quint16>(body + 8);
            const quint16 y = qFromBigEndian<quint16>(body + 10);
            // Units 1: dots per inch, 2: dots per centimetre, 0: an aspect ratio only.
            if (units == 1) return checked(x, y);
            if (units == 2) return checked(x * centimetresPerInch, y * centimetresPerInch);
            return std::nullopt;
        }
        if (!skip(device, length - 2)) return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<ImageResolution> readImageResolution(QIODevice& device) {
    char signature[8];
    if (device.peek(signature, 8) != 8) return std::nullopt;
    if (QByteArray(signature, 8) == pngSignature) {
        skip(device, 8);
        return pngResolution(device);
    }
    if (uchar(signature[0]) == 0xFF && uchar(signature[1]) == 0xD8) {
        skip(device, 2);
        return jpegResolution(device);
    }
    return std::nullopt;
}

std::optional<SkinImage> SkinImage::load(const QString& path) {
    // A pipe or device in a skin folder would block the open or never end.
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumFileBytes) return std::nullopt;
    QByteArray bytes = file.readAll();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage bitmap = reader.read();
    if (bitmap.isNull()) return std::nullopt;

    SkinImage image;
    image.bitmap = bitmap;
    image.size = QSizeF(bitmap.size());
    buffer.seek(0);
    const std::optional<ImageResolution> dpi = readImageResolution(buffer);
    const QImageIOHandler::Transformations turned = reader.transformation();
    if (dpi) {
        // A quarter turn from the EXIF orientation swaps the axes the densities belong to.
        const bool swapped = turned.testFlag(QImageIOHandler::TransformationRotate90);
        const double dpiX = swapped ? dpi->y : dpi->x;
        const double dpiY = swapped ? dpi->x : dpi->y;
        image.size = QSizeF(bitmap.width() * 72.0 / dpiX, bitmap.height() * 72.0 / dpiY);
    }
    // A PNG that states its resolution and needs no turning is already the file to write.
    if (bytes.startsWith(pngSignature) && dpi && turned == QImageIOHandler::TransformationNone) {
        image._encodedPng = bytes;
        image._encodedKey = bitmap.cacheKey();
        image._encodedSize = image.size;
    }
    return image;
}

QByteArray SkinImage::pngData() const {
    if (bitmap.isNull()) return QByteArray();
    if (!_encodedPng.isEmpty() && bitmap.cacheKey() == _encodedKey && size == _encodedSize)
        return _encodedPng;
    QImage out = bitmap;
    if (size.width() > 0 && size.height() > 0) {
        out.setDotsPerMeterX(int(std::lround(bitmap.width() / size.width() * 72.0 / metresPerInch)));
        out.setDotsPerMeterY(int(std::lround(bitmap.height() / size.height() * 72.0 / metresPerInch)));
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    // A middle compression level: files within a few percent of the default's, written two to four times
    // faster (the default spends many seconds on a large photo).
    writer.setQuality(pngQuality);
    if (!writer.write(out)) return QByteArray();
    return data;
}

} // namespace Quillaby
