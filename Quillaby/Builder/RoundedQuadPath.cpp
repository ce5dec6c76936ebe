#include "Builder/RoundedQuadPath.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace Quillaby {

namespace {

QPointF unit(QPointF v) {
    const double length = std::hypot(v.x(), v.y());
    return length > 0 ? v / length : QPointF();
}

// A straight line from the current point towards the corner, then an arc of that radius tangent to the
// lines current->corner and corner->next (a cubic Bezier, within 0.03% of the circle).
void addTangentArc(QPainterPath& path, QPointF corner, QPointF next, double radius) {
    const QPointF in = unit(path.currentPosition() - corner);
    const QPointF out = unit(next - corner);
    const double cosine = std::clamp(in.x() * out.x() + in.y() * out.y(), -1.0, 1.0);
    const double angle = std::acos(cosine);
    if (!(radius > 0) || in.isNull() || out.isNull() || angle < 1e-9 || std::abs(angle - M_PI) < 1e-9) {
        path.lineTo(corner);
        return;
    }
    const double distance = radius / std::tan(angle / 2);
    const QPointF start = corner + in * distance;
    const QPointF end = corner + out * distance;
    const double sweep = M_PI - angle;
    const double handle = 4.0 / 3.0 * std::tan(sweep / 4) * radius;
    path.lineTo(start);
    path.cubicTo(start - in * handle, end - out * handle, end);
}

double edge(QPointF a, QPointF b) {
    return std::hypot(a.x() - b.x(), a.y() - b.y());
}

} // namespace

QPainterPath roundedQuadPath(const QList<QPointF>& corners, const QList<double>& radii) {
    QPainterPath path;
    if (corners.size() < 3) return path;
    if (corners.size() != 4 || radii.size() != 4) {
        path.moveTo(corners.first());
        for (qsizetype i = 1; i < corners.size(); ++i)
            path.lineTo(corners[i]);
        path.closeSubpath();
        return path;
    }
    double effective[4];
    for (int k = 0; k < 4; ++k) {
        const QPointF p = corners[k];
        const double shorter = std::min(edge(p, corners[(k + 3) % 4]), edge(p, corners[(k + 1) % 4]));
        const double r = std::isnan(radii[k]) ? 0 : radii[k];
        effective[k] = std::max(0.0, std::min(r, 0.5 * shorter));
    }
    const QPointF toLast = unit(corners[3] - corners[0]);
    path.moveTo(corners[0] + toLast * effective[0]);
    for (int k = 0; k < 4; ++k)
        addTangentArc(path, corners[k], corners[(k + 1) % 4], effective[k]);
    path.closeSubpath();
    return path;
}

} // namespace Quillaby
