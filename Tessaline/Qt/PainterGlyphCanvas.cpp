#include "PainterGlyphCanvas.h"

#include <QPainter>
#include <QPainterPath>

namespace Tessaline {

void PainterGlyphCanvas::setColor(const QColor& color) {
    _color = color;
}

void PainterGlyphCanvas::fillRect(const QRectF& rect) {
    _painter.fillRect(rect, _color);
}

void PainterGlyphCanvas::save() {
    _painter.save();
}

void PainterGlyphCanvas::restore() {
    _painter.restore();
}

void PainterGlyphCanvas::translate(double dx, double dy) {
    _painter.translate(dx, dy);
}

void PainterGlyphCanvas::scale(double sx, double sy) {
    _painter.scale(sx, sy);
}

void PainterGlyphCanvas::clipRect(const QRectF& rect) {
    _painter.setClipRect(rect, Qt::IntersectClip);
}

void PainterGlyphCanvas::fillCircles(std::span<const Circle> circles, bool evenOdd) {
    QPainterPath path;
    path.setFillRule(evenOdd ? Qt::OddEvenFill : Qt::WindingFill);
    for (const Circle& circle : circles)
        path.addEllipse(circle.centre, circle.radius, circle.radius);
    _painter.fillPath(path, _color);
}

void PainterGlyphCanvas::strokeLine(QPointF from, QPointF to, double width) {
    QPen pen(_color, width, Qt::SolidLine, Qt::FlatCap);
    _painter.setPen(pen);
    _painter.drawLine(from, to);
}

void PainterGlyphCanvas::setAntialiasing(bool on) {
    _painter.setRenderHint(QPainter::Antialiasing, on);
}

} // namespace Tessaline
