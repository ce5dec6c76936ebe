#pragma once

#include <QPointF>

namespace Quillaby {

// One node of a pen path, in image points. handleIn steers the curve that arrives at the node,
// handleOut the one that leaves it; a handle on the point means no curve on that side.
struct BezierNode {
    QPointF point;
    QPointF handleIn;
    QPointF handleOut;

    BezierNode() = default;
    explicit BezierNode(QPointF point)
        : point(point)
        , handleIn(point)
        , handleOut(point) {}
    BezierNode(QPointF point, QPointF handleIn, QPointF handleOut)
        : point(point)
        , handleIn(handleIn)
        , handleOut(handleOut) {}

    // Exact comparison: QPointF's own == is fuzzy.
    static bool samePoint(QPointF a, QPointF b) { return a.x() == b.x() && a.y() == b.y(); }
    bool isStraight() const { return samePoint(handleIn, point) && samePoint(handleOut, point); }

    bool operator==(const BezierNode&) const = default;
};

} // namespace Quillaby
