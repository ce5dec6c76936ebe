#include "CellMetrics.h"

#include <QFont>
#include <QFontMetricsF>

#include <algorithm>
#include <climits>
#include <cmath>

namespace Tessaline {

namespace {

// The integer part, held to the range of int (an empty or absurd size gives 0).
int wholeCells(double extent, double cell) {
    const double quotient = extent / cell;
    if (!std::isfinite(quotient)) return 0;
    return int(std::clamp(std::trunc(quotient), double(INT_MIN), double(INT_MAX)));
}

} // namespace

FontMeasures FontMeasures::of(const QFont& font) {
    const QFontMetricsF metrics(font);
    return {metrics.ascent(), metrics.descent(), metrics.leading(),
            metrics.horizontalAdvance(QLatin1Char('W'))};
}

QSizeF CellMetrics::cellSize(const FontMeasures& measures, double scale) {
    if (!(scale > 0)) scale = 1;
    double width = std::ceil(measures.advance * scale) / scale;
    if (!(width >= 1)) width = 1;
    double height =
        std::ceil(std::ceil(measures.ascent + measures.descent + measures.leading) * scale) / scale;
    height = std::min(height, maxCellHeight);
    if (!(height > 1)) height = 1;
    return {width, height};
}

CellMetrics::Grid CellMetrics::grid(double width, double height, QSizeF cell) {
    return {wholeCells(width, cell.width()), wholeCells(height, cell.height())};
}

} // namespace Tessaline
