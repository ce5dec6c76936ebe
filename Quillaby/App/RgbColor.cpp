#include "App/RgbColor.h"

#include <algorithm>
#include <cmath>

namespace Quillaby {

RgbColor RgbColor::fromQColor(const QColor& color) {
    QColor rgb = color.toRgb();
    return RgbColor{rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF()};
}

QColor RgbColor::toQColor() const {
    auto unit = [](double value) { return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0; };
    return QColor::fromRgbF(float(unit(red)), float(unit(green)), float(unit(blue)), float(unit(alpha)));
}

bool RgbColor::isFinite() const {
    return std::isfinite(red) && std::isfinite(green) && std::isfinite(blue) && std::isfinite(alpha);
}

} // namespace Quillaby
