#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <optional>

namespace Quillaby {

// Pure geometry of a viewport: an upright rectangle whose four corners may be moved by offsets and
// rounded by their own radii. Every list of four corners holds the images of the source rectangle's
// corners (0, 0), (W, 0), (W, H), (0, H); in y-down spaces that is top-left, top-right, bottom-right,
// bottom-left.
class ViewportShape {
public:
    // The rectangle's corners, each plus the offset at the same position when there are exactly 4.
    static QList<QPointF> corners(const QRectF& rect, const QList<QPointF>& offsets);
    // The smallest upright rectangle holding every point; the zero rectangle for none.
    static QRectF boundingBox(const QList<QPointF>& corners);
    // The projective transform that maps (0, 0, W, H) onto the four corners; the identity for
    // anything else than 4 corners, a size that is not positive, or a degenerate quadrilateral.
    static QTransform quadTransform(double sourceWidth, double sourceHeight, const QList<QPointF>& targetCorners);
    // The closed outline with rounded corners: empty below 3 corners, the polygon for 3 or more than 4.
    // With 4 corners a radius list of another length than 4 means sharp corners. Each radius is
    // clamped to half of the shorter edge at its corner; negative or not a number counts as 0.
    static QPainterPath roundedQuadPath(const QList<QPointF>& corners, const QList<double>& radii);
    // The point of (0, 0, W, H) that quadTransform maps onto the given point (not clamped to the
    // rectangle); none for anything else than 4 corners or a degenerate quadrilateral.
    static std::optional<QPointF> inverseQuadMap(const QPointF& point, double sourceWidth, double sourceHeight,
                                                 const QList<QPointF>& targetCorners);
    // The radius each corner is drawn with (the clamp above); zeros for a radius list that is not 4 long.
    static QList<double> effectiveRadii(const QList<QPointF>& corners, const QList<double>& radii);
};

// As ViewportShape::roundedQuadPath, except that 4 corners with a radius list that is not 4 long give the
// plain polygon through the corners. The skin builder draws its viewport outlines with it.
QPainterPath roundedQuadPath(const QList<QPointF>& corners, const QList<double>& radii);

} // namespace Quillaby
