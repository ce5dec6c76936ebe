#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointF>

namespace Quillaby {

// The outline of a screen: fewer than 3 corners give an empty path, 3 or more than 4 the closed polygon.
// Four corners (top-left, top-right, bottom-right, bottom-left) are rounded with four radii, each held to
// half the shorter of the two edges meeting there (negative or NaN: a sharp corner); a radius list that
// does not hold exactly four values gives the sharp polygon. y grows downwards.
QPainterPath roundedQuadPath(const QList<QPointF>& corners, const QList<double>& radii);

} // namespace Quillaby
