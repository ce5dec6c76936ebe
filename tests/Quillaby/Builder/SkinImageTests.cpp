#include "Builder/SkinImage.h"

#include "BuilderTestSupport.h"

#include <QBuffer>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

QByteArray be32(quint32 value) {
    QByteArray bytes(4, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be16(quint16 value) {
    QByteArray bytes(2, 0);
    qToBigEndian(value, bytes.data());
    return bytes;
}

// Chunks only as far as the reader looks; CRCs are not checked there.
QByteArray pngChunk(const char* type, const QByteArray& body) {
    return be32(quint32(body.size())) + QByteArray(type, 4) + body + QByteArray(4, 0);
}

QByteArray pngHeader(const QByteArray& chunksBeforeData) {
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", QByteArray(13, 0)) + chunksBeforeData +
           pngChunk("IDAT", QByteArray(4, 0));
}

QByteArray phys(quint32 x, quint32 y, char unit) {
    return pngChunk("pHYs", be32(x) + be32(y) + QByteArray(1, unit));
}

QByteArray jpegHeader(const QByteArray& segments) {
    return QByteArray("\xFF\xD8", 2) + segments + QByteArray("\xFF\xDA\x00\x02", 4);
}

QByteArray jfif(char units, quint16 x, quint16 y) {
    QByteArray body =
        QByteArray("JFIF\0\x01\x02", 7) + QByteArray(1, units) + be16(x) + be16(y) + QByteArray(2, 0);
    return QByteArray("\xFF\xE0", 2) + be16(quint16(body.size() + 2)) + body;
}

QByteArray exifSegment() {
    QByteArray body("Exif\0\0 anything", 15);
    return QByteArray("\xFF\xE1", 2) + be16(quint16(body.size() + 2)) + body;
}

} // namespace

TEST(ImageResolution, ReadsWhatPngAndJpegHeadersState) {
    struct Case {
        const char* name;
        QByteArray bytes;
        std::optional<ImageResolution> expected;
    };
    const Case cases[] = {
        // Whole dots per metre cannot hold 72 or 144 dpi exactly; the whole number meant comes back.
        {"png 2835/m is 72 dpi", pngHeader(phys(2835, 2835, 1)), ImageResolution{72, 72}},
        {"png 5669/m is 144 dpi", pngHeader(phys(5669, 5669, 1)), ImageResolution{144, 144}},
        {"png per axis", pngHeader(phys(2835, 5669, 1)), ImageResolution{72, 144}},
        {"png odd density kept", pngHeader(phys(1000, 1000, 1)), ImageResolution{25.4, 25.4}},
        {"png after other chunks", pngHeader(pngChunk("tEXt", "a\0b") + phys(5669, 5669, 1)),
         ImageResolution{144, 144}},
        {"png aspect ratio only", pngHeader(phys(1, 2, 0)), std::nullopt},
        {"png without pHYs", pngHeader(QByteArray()), std::nullopt},
        {"png pHYs after the data is not looked at", pngHeader(QByteArray()) + phys(5669, 5669, 1),
         std::nullopt},
        {"png absurd density", pngHeader(phys(1, 1, 1)), std::nullopt},
        {"png truncated", QByteArray("\x89PNG\r\n\x1a\n\x00\x00", 10), std::nullopt},
        {"jpeg dpi", jpegHeader(jfif(1, 144, 300)), ImageResolution{144, 300}},
        {"jpeg dots per cm", jpegHeader(jfif(2, 28, 57)), ImageResolution{71.12, 144.78}},
        {"jpeg aspect only", jpegHeader(jfif(0, 1, 1)), std::nullopt},
        {"jpeg JFIF after EXIF", jpegHeader(exifSegment() + jfif(1, 300, 300)), ImageResolution{300, 300}},
        {"jpeg without JFIF", jpegHeader(exifSegment()), std::nullopt},
        {"jpeg zero density", jpegHeader(jfif(1, 0, 0)), std::nullopt},
        {"gif", QByteArray("GIF89a\x01\x00\x01\x00", 10), std::nullopt},
        {"empty", QByteArray(), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = c.bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        std::optional<ImageResolution> resolution = readImageResolution(buffer);
        ASSERT_EQ(resolution.has_value(), c.expected.has_value());
        if (!resolution) continue;
        EXPECT_NEAR(resolution->x, c.expected->x, 1e-9);
        EXPECT_NEAR(resolution->y, c.expected->y, 1e-9);
    }
}

TEST(SkinImage, PointSizeFollowsTheFileResolutionNotTheDecoder) {
    QTemporaryDir dir;
    struct Case {
        const char* name;
        const char* format;
        double dpi;
        QSizeF expected;
    };
    const Case cases[] = {
        {"png at 72 dpi", "png", 72, {640, 960}},
        {"png at 144 dpi", "png", 144, {320, 480}},
        // What the decoder's own default (about 96 dpi) would say is beside the point: the file says 96.
        {"png at 96 dpi", "png", 96, {480, 720}},
        {"jpeg at 144 dpi", "jpg", 144, {320, 480}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name) + "." + c.format);
        writeImage(path, QSize(640, 960), c.dpi, c.format);
        std::optional<SkinImage> image = SkinImage::load(path);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixelSize(), QSizeF(640, 960));
        EXPECT_NEAR(image->size.width(), c.expected.width(), 1e-9);
        EXPECT_NEAR(image->size.height(), c.expected.height(), 1e-9);
    }
}

TEST(SkinImage, AFileWithoutResolutionIsOnePointPerPixel) {
    QTemporaryDir dir;
    // A PNG written without a pHYs chunk: Qt always writes one, so cut it out.
    QImage picture = devicePicture(QSize(30, 20));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&buffer, "png"));
    const qsizetype at = png.indexOf("pHYs");
    ASSERT_GT(at, 4);
    png.remove(at - 4, 4 + 4 + 9 + 4);
    writeBytes(dir.filePath("plain.png"), png);

    std::optional<SkinImage> image = SkinImage::load(dir.filePath("plain.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size, QSizeF(30, 20));
}

TEST(SkinImage, UnreadableFilesGiveNothing) {
    QTemporaryDir dir;
    writeBytes(dir.filePath("notes.png"), "not an image at all");
    EXPECT_FALSE(SkinImage::load(dir.filePath("notes.png")));
    EXPECT_FALSE(SkinImage::load(dir.filePath("missing.png")));
    // A pipe in place of the frame blocked the open until something wrote to it.
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("pipe.png")).constData(), 0600), 0);
    EXPECT_FALSE(SkinImage::load(dir.filePath("pipe.png")));
}

TEST(SkinImage, WrittenPngRecordsThePointSize) {
    SkinImage image{devicePicture(QSize(1000, 1600)), QSizeF(500, 800)};
    QByteArray png = image.pngData();
    QBuffer buffer(&png);
    buffer.open(QIODevice::ReadOnly);
    EXPECT_EQ(readImageResolution(buffer), (ImageResolution{144, 144}));

    QTemporaryDir dir;
    writeBytes(dir.filePath("frame@2x.png"), png);
    std::optional<SkinImage> back = SkinImage::load(dir.filePath("frame@2x.png"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->size, QSizeF(500, 800));
    EXPECT_EQ(back->bitmap.convertToFormat(QImage::Format_ARGB32), image.bitmap);
}

TEST(SkinImage, AnUnchangedPngIsWrittenAsItsOwnFile) {
    QTemporaryDir dir;
    writeImage(dir.filePath("retina.png"), QSize(64, 48), 144);
    writeImage(dir.filePath("photo.jpg"), QSize(64, 48), 144, "jpg");
    const QByteArray file = readBytes(dir.filePath("retina.png"));
    std::optional<SkinImage> image = SkinImage::load(dir.filePath("retina.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pngData(), file);

    struct Case {
        const char* name;
        std::function<void(SkinImage&)> change;
    };
    const Case cases[] = {
        {"pixels changed in place", [](SkinImage& i) { i.bitmap.setPixel(0, 0, qRgba(1, 2, 3, 255)); }},
        {"new pixels", [](SkinImage& i) { i.bitmap = i.bitmap.copy(0, 0, 32, 48); }},
        {"new point size", [](SkinImage& i) { i.size = QSizeF(64, 48); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SkinImage changed = *image;
        c.change(changed);
        QByteArray png = changed.pngData();
        EXPECT_NE(png, file);
        std::optional<SkinImage> back = [&] {
            writeBytes(dir.filePath("back.png"), png);
            return SkinImage::load(dir.filePath("back.png"));
        }();
        ASSERT_TRUE(back);
        EXPECT_EQ(back->size, changed.size);
        EXPECT_EQ(back->bitmap.convertToFormat(QImage::Format_ARGB32),
                  changed.bitmap.convertToFormat(QImage::Format_ARGB32));
    }
    EXPECT_EQ(image->pngData(), file);

    // A JPEG is always encoded as PNG.
    std::optional<SkinImage> jpeg = SkinImage::load(dir.filePath("photo.jpg"));
    ASSERT_TRUE(jpeg);
    EXPECT_TRUE(jpeg->pngData().startsWith("\x89PNG"));
}
