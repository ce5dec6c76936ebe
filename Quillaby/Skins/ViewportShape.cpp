#include "Skins/ViewportShape.h"

#include <QLineF>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Quillaby {

namespace {

constexpr double epsilon = 1e-6;

// The coefficients of the unit-square-to-quadrilateral map: (u, v) lands at
// ((a·u + b·v + c) / (g·u + h·v + 1), (d·u + e·v + f) / (g·u + h·v + 1)).
struct QuadCoefficients {
    double a, b, c, d, e, f, g, h;
};

std::optional<QuadCoefficients> coefficients(const QList<QPointF>& p) {
    if (p.size() != 4) return std::nullopt;
    const double x0 = p[0].x(), x1 = p[1].x(), x2 = p[2].x(), x3 = p[3].x();
    const double y0 = p[0].y(), y1 = p[1].y(), y2 = p[2].y(), y3 = p[3].y();
    const double sx = x0 - x1 + x2 - x3;
    const double sy = y0 - y1 + y2 - y3;
    double g = 0;
    double h = 0;
    if (!(std::abs(sx) < epsilon && std::abs(sy) < epsilon)) {
        const double dx1 = x1 - x2, dx2 = x3 - x2, dy1 = y1 - y2, dy2 = y3 - y2;
        const double den = dx1 * dy2 - dx2 * dy1;
        if (!(std::abs(den) > epsilon)) return std::nullopt;
        g = (sx * dy2 - dx2 * sy) / den;
        h = (dx1 * sy - sx * dy1) / den;
    }
    return QuadCoefficients{x1 - x0 + g * x1, x3 - x0 + h * x3, x0, y1 - y0 + g * y1, y3 - y0 + h * y3, y0, g, h};
}

double length(const QPointF& from, const QPointF& to) {
    return QLineF(from, to).length();
}

// A line to the corner's tangent point and an arc of the given radius that turns toward `next`, as a
// tangent arc between two lines is drawn: a zero radius, a corner on the current point or on `next`, or
// three points on one line give a straight line to the corner.
void addTangentArc(QPainterPath& path, const QPointF& corner, const QPointF& next, double radius) {
    const QPointF from = path.currentPosition();
    const QPointF toFrom = from - corner;
    const QPointF toNext = next - corner;
    const double lenFrom = std::hypot(toFrom.x(), toFrom.y());
    const double lenNext = std::hypot(toNext.x(), toNext.y());
    if (!(radius > 0) || lenFrom < epsilon || lenNext < epsilon) {
        path.lineTo(corner);
        return;
    }
    const QPointF u1 = toFrom / lenFrom;
    const QPointF u2 = toNext / lenNext;
    const double cross = u1.x() * u2.y() - u1.y() * u2.x();
    const double dot = std::clamp(u1.x() * u2.x() + u1.y() * u2.y(), -1.0, 1.0);
    if (std::abs(cross) < epsilon) {
        path.lineTo(corner);
        return;
    }
    const double theta = std::acos(dot);
    const double tangentDistance = radius / std::tan(theta / 2);
    const QPointF start = corner + u1 * tangentDistance;
    const QPointF end = corner + u2 * tangentDistance;
    QPointF bisector = u1 + u2;
    bisector /= std::hypot(bisector.x(), bisector.y());
    const QPointF centre = corner + bisector * (radius / std::sin(theta / 2));
    path.lineTo(start);
    // Qt's angles run counter-clockwise as seen on a y-down surface.
    const auto angleOf = [&](const QPointF& point) {
        return std::atan2(-(point.y() - centre.y()), point.x() - centre.x()) * 180.0 / std::numbers::pi;
    };
    const double startAngle = angleOf(start);
    double sweep = angleOf(end) - startAngle;
    while (sweep > 180) sweep -= 360;
    while (sweep < -180) sweep += 360;
    path.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), startAngle, sweep);
}

QPainterPath polygonPath(const QList<QPointF>& corners) {
    QPainterPath path;
    path.moveTo(corners.front());
    for (qsizetype i = 1; i < corners.size(); ++i) path.lineTo(corners[i]);
    path.closeSubpath();
    return path;
}

} // namespace

QList<QPointF> ViewportShape::corners(const QRectF& rect, const QList<QPointF>& offsets) {
    const QRectF r = rect.normalized();
    QList<QPointF> result{r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft()};
    if (offsets.size() == 4) {
        for (int i = 0; i < 4; ++i) result[i] += offsets[i];
    }
    return result;
}

QRectF ViewportShape::boundingBox(const QList<QPointF>& corners) {
    if (corners.isEmpty()) return {};
    double minX = corners.front().x(), maxX = minX, minY = corners.front().y(), maxY = minY;
    for (const QPointF& p : corners) {
        minX = std::min(minX, p.x());
        maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y());
        maxY = std::max(maxY, p.y());
    }
    return QRectF(minX, minY, maxX - minX, maxY - minY);
}

QTransform ViewportShape::quadTransform(double sourceWidth, double sourceHeight, const QList<QPointF>& targetCorners) {
    if (targetCorners.size() != 4 || !(sourceWidth > 0) || !(sourceHeight > 0)) return {};
    const auto k = coefficients(targetCorners);
    if (!k) return {};
    const double w = sourceWidth, h = sourceHeight;
    return QTransform(k->a / w, k->d / w, k->g / w, k->b / h, k->e / h, k->h / h, k->c, k->f, 1);
}

std::optional<QPointF> ViewportShape::inverseQuadMap(const QPointF& point, double sourceWidth, double sourceHeight,
                                                     const QList<QPointF>& targetCorners) {
    const auto k = coefficients(targetCorners);
    if (!k) return std::nullopt;
    const auto [a, b, c, d, e, f, g, h] = *k;
    const double px = point.x(), py = point.y();
    const double det = a * (e - h * f) + b * (g * f - d) + c * (h * d - g * e);
    if (!(std::abs(det) > epsilon)) return std::nullopt;
    const double w = (a * e - b * d + px * (h * d - g * e) + py * (g * b - a * h)) / det;
    if (!(std::abs(w) > epsilon)) return std::nullopt;
    const double u = (f * b - c * e + px * (e - h * f) + py * (c * h - b)) / det;
    const double v = (c * d - f * a + px * (g * f - d) + py * (a - c * g)) / det;
    return QPointF(sourceWidth * u / w, sourceHeight * v / w);
}

QList<double> ViewportShape::effectiveRadii(const QList<QPointF>& corners, const QList<double>& radii) {
    QList<double> result(corners.size(), 0.0);
    if (corners.size() != 4 || radii.size() != 4) return result;
    for (int k = 0; k < 4; ++k) {
        const QPointF& p = corners[k];
        const double shorter = std::min(length(p, corners[(k + 3) % 4]), length(p, corners[(k + 1) % 4]));
        const double r = std::min(radii[k], 0.5 * shorter);
        result[k] = std::isnan(r) ? 0.0 : std::max(0.0, r);
    }
    return result;
}

QPainterPath ViewportShape::roundedQuadPath(const QList<QPointF>& corners, const QList<double>& radii) {
    if (corners.size() < 3) return {};
    if (corners.size() != 4) return polygonPath(corners);
    const QList<double> r = effectiveRadii(corners, radii);
    const QPointF& p0 = corners[0];
    const QPointF& p3 = corners[3];
    QPainterPath path;
    const double edge = length(p0, p3);
    path.moveTo(edge < epsilon ? p0 : p0 + (p3 - p0) * (r[0] / edge));
    for (int k = 0; k < 4; ++k) addTangentArc(path, corners[k], corners[(k + 1) % 4], r[k]);
    path.closeSubpath();
    return path;
}

QPainterPath roundedQuadPath(const QList<QPointF>& corners, const QList<double>& radii) {
    if (corners.size() == 4 && radii.size() != 4) return polygonPath(corners);
    return ViewportShape::roundedQuadPath(corners, radii);
}

} // namespace Quillaby
