#pragma once

#include <QImage>
#include <QString>

namespace Quillaby {

// Reads the frame art a skin names. The name comes from a skin.json anyone may have written, so it may
// lead to a pipe or a device, whose open would block or whose read would never end: only a regular file
// (after following links) is opened.
class SkinImageFile {
public:
    // The decoded image; a null image when the path is no regular file or does not decode.
    static QImage read(const QString& path);
    // The same, premultiplied, as frame art is drawn.
    static QImage readPremultiplied(const QString& path);
};

} // namespace Quillaby
