#pragma once

#include "Builder/BezierNode.h"

#include <QList>
#include <QPainterPath>
#include <QPointF>

#include <functional>

namespace Quillaby {

// The path through pen nodes: a straight segment where both facing handles sit on their points, else a
// cubic curve through the two handles. When closed, the segment from the last node back to the first
// follows the same rule. map transforms every point (image points to wherever the path is drawn).
QPainterPath bezierPath(const QList<BezierNode>& nodes, bool closed,
                        const std::function<QPointF(QPointF)>& map = {});

} // namespace Quillaby
