#include "ColorConversion.h"

#include <QRgba64>

namespace Tessaline {

QColor qColor(const Color& color) {
    return QColor::fromRgba64(color.red, color.green, color.blue, 0xFFFF);
}

Color terminalColor(const QColor& color) {
    const QRgba64 rgb = color.toRgb().rgba64();
    return Color(rgb.red(), rgb.green(), rgb.blue());
}

QColor inverseColor(const QColor& color) {
    const QRgba64 rgb = color.toRgb().rgba64();
    return QColor::fromRgba64(0xFFFF - rgb.red(), 0xFFFF - rgb.green(), 0xFFFF - rgb.blue(), rgb.alpha());
}

QColor dimmedColor(const QColor& color, const QColor& towards) {
    const QRgba64 a = color.toRgb().rgba64();
    const QRgba64 b = towards.toRgb().rgba64();
    auto mid = [](quint16 x, quint16 y) { return quint16((unsigned(x) + unsigned(y)) / 2); };
    return QColor::fromRgba64(mid(a.red(), b.red()), mid(a.green(), b.green()), mid(a.blue(), b.blue()),
                              a.alpha());
}

} // namespace Tessaline
