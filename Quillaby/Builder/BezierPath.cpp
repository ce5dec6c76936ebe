#include "Builder/BezierPath.h"

namespace Quillaby {

QPainterPath bezierPath(const QList<BezierNode>& nodes, bool closed,
                        const std::function<QPointF(QPointF)>& map) {
    QPainterPath path;
    if (nodes.isEmpty()) return path;
    auto at = [&](QPointF p) { return map ? map(p) : p; };
    path.moveTo(at(nodes.first().point));
    const qsizetype segments = closed ? nodes.size() : nodes.size() - 1;
    for (qsizetype i = 1; i <= segments; ++i) {
        const BezierNode& prev = nodes[i - 1];
        const BezierNode& cur = nodes[i % nodes.size()];
        if (BezierNode::samePoint(prev.handleOut, prev.point) &&
            BezierNode::samePoint(cur.handleIn, cur.point))
            path.lineTo(at(cur.point));
        else
            path.cubicTo(at(prev.handleOut), at(cur.handleIn), at(cur.point));
    }
    if (closed) path.closeSubpath();
    return path;
}

} // namespace Quillaby
