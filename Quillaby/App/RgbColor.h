#pragma once

#include <QColor>

namespace Quillaby {

// A colour as the application passes it around: sRGB components, nominally 0...1, and an alpha.
// Plain value; converts to Qt's colour at the edge.
struct RgbColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    static constexpr RgbColor rgb(double red, double green, double blue, double alpha = 1) {
        return RgbColor{red, green, blue, alpha};
    }
    static RgbColor fromQColor(const QColor& color);
    QColor toQColor() const;

    // False when any component is NaN or infinite: such a colour is never stored or drawn.
    bool isFinite() const;

    bool operator==(const RgbColor&) const = default;
};

} // namespace Quillaby
