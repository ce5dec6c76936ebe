#pragma once

#include <QGraphicsEffect>
#include <QImage>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QSizeF>
#include <QTransform>

class QWidget;

namespace Quillaby {

// Draws a panel through a projective transform. Qt hands a widget's effect only the region being
// repainted (the panel's own dirty rectangles, or whatever a sibling above dirtied), so the effect keeps
// two images: the upright panel, refreshed only where the repaint reaches and compared row by row with
// what it held, and the warped screen, redrawn only over the image of the rows that changed. A repaint
// that changed nothing (a rolling overlay above, a key light) only copies the warped image. When the
// changed rows are drawn outside the region being repainted, that part is asked for once more.
class ScreenWarpEffect : public QGraphicsEffect {
    Q_OBJECT

public:
    // panel: the widget the effect is set on; canvas: a widget over the whole area the warped screen may
    // cover, in whose coordinates the panel sits at `panelOrigin`. The canvas is asked for the repaints
    // outside the region being repainted: no opaque widget may lie inside it or above it there, or Qt
    // takes that widget's area off the repaint.
    ScreenWarpEffect(QWidget* panel, QWidget* canvas);

    // transform: panel coordinates onto the quadrilateral relative to the panel's origin; outline:
    // the clip in the same coordinates as the transform's results. Drops both images.
    void setGeometry(const QPointF& panelOrigin, const QTransform& transform, const QPainterPath& outline);

    QRectF boundingRectFor(const QRectF& sourceRect) const override;

    // Renders the panel's rectangle `region` (panel coordinates) into the upright image and answers
    // the rows that changed, as a rectangle in panel coordinates. Public for the benchmark.
    QRect refresh(const QRect& region, qreal dpr);
    // Redraws the warped image over the image of an upright rectangle (panel coordinates), in parallel
    // bands when it is large; answers the redrawn rectangle in canvas coordinates.
    QRect warp(const QRect& uprightRect);
    const QImage& warpedImage() const { return _warped; }

protected:
    void draw(QPainter* painter) override;

private:
    bool ensureImages(qreal dpr);
    void warpBand(QImage& target, double top, const QRect& dest) const;

    QWidget* _panel;
    QWidget* _canvas;
    QPointF _panelOrigin;
    QTransform _transform;
    QPainterPath _outline;
    // The outline grown by a pixel all round, filled with the panel's edge colour under the panel.
    QPainterPath _grownOutline;
    QImage _upright;
    QImage _warped;
    qreal _dpr = 0;
};

} // namespace Quillaby
