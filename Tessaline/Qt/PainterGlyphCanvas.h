#pragma once

#include "GlyphCanvas.h"

class QPainter;

namespace Tessaline {

// The canvas of a painter. It keeps the colour it was given and leaves the painter's brush and pen as
// its fills and strokes need them.
class PainterGlyphCanvas final : public GlyphCanvas {
public:
    explicit PainterGlyphCanvas(QPainter& painter)
        : _painter(painter) {}

    void setColor(const QColor& color) override;
    void fillRect(const QRectF& rect) override;
    void save() override;
    void restore() override;
    void translate(double dx, double dy) override;
    void scale(double sx, double sy) override;
    void clipRect(const QRectF& rect) override;
    void fillCircles(std::span<const Circle> circles, bool evenOdd) override;
    void strokeLine(QPointF from, QPointF to, double width) override;
    void setAntialiasing(bool on) override;

private:
    QPainter& _painter;
    QColor _color;
};

} // namespace Tessaline
