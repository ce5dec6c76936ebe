#pragma once

#include <QColor>
#include <QPointF>
#include <QRectF>

#include <span>

namespace Tessaline {

// What the block and box glyphs need of a drawing surface, in its own logical coordinates (y down).
// The view draws through a painter; the GPU renderer draws into an image of its atlas; tests record.
class GlyphCanvas {
public:
    struct Circle {
        QPointF centre;
        double radius = 0;
        bool operator==(const Circle&) const = default;
    };

    virtual ~GlyphCanvas() = default;
    // The colour of the fills and strokes that follow.
    virtual void setColor(const QColor& color) = 0;
    virtual void fillRect(const QRectF& rect) = 0;
    virtual void save() = 0;
    virtual void restore() = 0;
    virtual void translate(double dx, double dy) = 0;
    virtual void scale(double sx, double sy) = 0;
    // Narrows the clip to the rectangle.
    virtual void clipRect(const QRectF& rect) = 0;
    // One path of the circles, filled with the even-odd rule or else the non-zero one.
    virtual void fillCircles(std::span<const Circle> circles, bool evenOdd) = 0;
    // A straight stroke with butt caps.
    virtual void strokeLine(QPointF from, QPointF to, double width) = 0;
    virtual void setAntialiasing(bool on) = 0;
};

} // namespace Tessaline
