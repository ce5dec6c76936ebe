#pragma once

#include <QSizeF>

#include <cmath>

namespace Quillaby {

// The builder's one conversion between image points (the model's geometry), skin.json frame points (half
// the image's pixels) and preview points (frame points times the launch scale). Rounding is to the
// nearest whole number, halves away from zero.
struct CoordinateConverter {
    // The image's point size; its pixel size when there is no image.
    QSizeF imageSize;
    QSizeF pixelSize;
    double launchScale = 1;

    // The frame size written to skin.json.
    QSizeF exportSize() const {
        return QSizeF(std::round(pixelSize.width() * 0.5), std::round(pixelSize.height() * 0.5));
    }
    // Image points to frame points, both axes.
    double exportScale() const {
        if (!(imageSize.width() > 0)) return 1;
        return exportSize().width() / imageSize.width();
    }
    // The size at which a device window shows the skin.
    QSizeF previewSize() const {
        QSizeF frame = exportSize();
        return QSizeF(std::round(frame.width() * launchScale), std::round(launchScale * frame.height()));
    }
    // Image points to preview points.
    double previewScale() const { return exportScale() * launchScale; }
};

} // namespace Quillaby
