#include "WindowReports.h"

#include <QSize>

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>

namespace Tessaline {

namespace {

int toPixels(double value, bool round) {
    const double whole = round ? std::round(value) : std::trunc(value);
    if (!std::isfinite(whole)) return 0;
    return int(std::clamp(whole, double(INT_MIN), double(INT_MAX)));
}

uint16_t field(int value) {
    return uint16_t(std::clamp(value, 0, 0xFFFF));
}

std::vector<uint8_t> sizeReport(char kind, QSize size, const CC& cc) {
    const std::string text = std::string(cc.csi()) + kind + ';' + std::to_string(size.height()) + ';' +
                             std::to_string(size.width()) + 't';
    return {text.begin(), text.end()};
}

} // namespace

QSize WindowReports::textAreaPixels(QSizeF cell, double scale, int cols, int rows) {
    return {toPixels(cell.width() * scale * cols, true), toPixels(cell.height() * scale * rows, true)};
}

QSize WindowReports::cellPixels(QSizeF cell, double scale) {
    return {toPixels(cell.width() * scale, false), toPixels(cell.height() * scale, false)};
}

std::vector<uint8_t> WindowReports::textAreaReport(QSizeF cell, double scale, int cols, int rows,
                                                   const CC& cc) {
    return sizeReport('4', textAreaPixels(cell, scale, cols, rows), cc);
}

std::vector<uint8_t> WindowReports::cellSizeReport(QSizeF cell, double scale, const CC& cc) {
    return sizeReport('6', cellPixels(cell, scale), cc);
}

winsize WindowReports::ptyWindowSize(QSizeF cell, double scale, int cols, int rows) {
    const QSize pixels = textAreaPixels(cell, scale, cols, rows);
    return {field(rows), field(cols), field(pixels.width()), field(pixels.height())};
}

} // namespace Tessaline
