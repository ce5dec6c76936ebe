#include "Skins/SkinImageFile.h"

#include <QFileInfo>
#include <QImageReader>

#include <sys/mman.h>

namespace Quillaby {

namespace {

// By its suffix: asking every image plugin whether it reads the format loaded them all, and the JPEG
// library with them, while the first window waited for its frame art.
void readBySuffix(QImageReader& reader, const QString& path) {
    reader.setFormat(QFileInfo(path).suffix().toLower().toLatin1());
    reader.setAutoDetectImageFormat(false);
}

// An ARGB32 image on memory of its own, in huge pages where the kernel offers them: frame art is
// megabytes, and faulting in its fresh pages one by one took as long as decoding it.
QImage imageOnHugePages(QSize size, qsizetype limitBytes) {
    constexpr size_t hugePage = size_t(2) << 20;
    const size_t bytes = size_t(size.width()) * 4 * size_t(size.height());
    if (size.isEmpty() || bytes > size_t(limitBytes)) return QImage();
    const size_t length = (bytes + hugePage - 1) / hugePage * hugePage;
    void* memory = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return QImage();
    madvise(memory, length, MADV_HUGEPAGE);
    struct Mapping {
        void* at;
        size_t length;
    };
    return QImage(
        static_cast<uchar*>(memory), size.width(), size.height(), size.width() * 4, QImage::Format_ARGB32,
        [](void* info) {
            auto* mapping = static_cast<Mapping*>(info);
            munmap(mapping->at, mapping->length);
            delete mapping;
        },
        new Mapping{memory, length});
}

} // namespace

QImage SkinImageFile::read(const QString& path) {
    if (!QFileInfo(path).isFile()) return QImage();
    QImageReader bySuffix(path);
    readBySuffix(bySuffix, path);
    QImage image = bySuffix.read();
    if (!image.isNull()) return image;
    QImageReader reader(path);
    return reader.read();
}

QImage SkinImageFile::readPremultiplied(const QString& path) {
    if (!QFileInfo(path).isFile()) return QImage();
    QImageReader reader(path);
    readBySuffix(reader, path);
    if (reader.imageFormat() == QImage::Format_ARGB32) {
        QImage image = imageOnHugePages(reader.size(), qsizetype(QImageReader::allocationLimit()) << 20);
        const uchar* memory = image.constBits();
        // The reader decodes into an image of the size and format it would make.
        if (!image.isNull() && reader.read(&image) && image.constBits() == memory) {
            // In place, as Qt's conversion would have made a copy of memory it does not own.
            auto* pixels = reinterpret_cast<QRgb*>(image.bits());
            for (qsizetype i = 0, count = qsizetype(image.width()) * image.height(); i < count; ++i)
                pixels[i] = qPremultiply(pixels[i]);
            image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
            return image;
        }
    }
    QImage image = read(path);
    image.convertTo(QImage::Format_ARGB32_Premultiplied);
    return image;
}

} // namespace Quillaby
