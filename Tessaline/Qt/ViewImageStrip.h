#pragma once

#include "KittyPlacementImage.h"

#include <QImage>

namespace Tessaline {

// One strip of an image in the view: a picture as wide as the whole image and one cell row high, made once
// when the image arrives and drawn as it is from then on. The terminal cuts it in device pixels at the
// view's scale of that moment; it is drawn at its pixel size divided by that scale.
class ViewImageStrip final : public KittyPlacementImage {
public:
    ViewImageStrip(QImage image, double scale)
        : _image(std::move(image))
        , _scale(scale > 0 ? scale : 1) {}

    const QImage& image() const { return _image; }
    double scale() const { return _scale; }

    int pixelWidth() const override { return _image.width(); }
    int pixelHeight() const override { return _image.height(); }
    int col() const override { return _col; }
    void setCol(int col) override { _col = col; }

private:
    QImage _image;
    double _scale = 1;
    int _col = 0;
};

} // namespace Tessaline
