#include "Skins/SkinImageFile.h"

#include <QFileInfo>
#include <QImageReader>

namespace Quillaby {

QImage SkinImageFile::read(const QString& path) {
    if (!QFileInfo(path).isFile()) return QImage();
    QImageReader reader(path);
    return reader.read();
}

} // namespace Quillaby
