#pragma once

// Drawing helpers shared by the device painters: geometry of the screen opening, soft shadows and glows
// rasterised at the canvas resolution, hardware details (screws, LEDs, grilles, caps) and lettering set
// from the DejaVu files themselves, so the art does not depend on the machine's font configuration.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>

namespace QuillabyArt {

using Quad = std::array<QPointF, 4>; // top-left, top-right, bottom-right, bottom-left
using Radii = std::array<qreal, 4>;  // same corner order

// The rectangle's corners plus per-corner offsets.
Quad quadCorners(const QRectF& rect, const Quad& offsets = {});
// The outline the application cuts for the screen: tangent arcs whose radius never exceeds half of the
// shorter edge meeting at the corner.
QPainterPath roundedQuadPath(const Quad& corners, const Radii& radii);
// Each corner moved outward by `by` along both edges' normals (a parallel outline of the quad).
Quad grownQuad(const Quad& corners, qreal by);
Radii grownRadii(const Radii& radii, qreal by);
QPainterPath roundedRect(const QRectF& rect, qreal radius);
QPainterPath circle(QPointF centre, qreal radius);

// A transparent canvas of `points` at `scale` pixels per point, and a painter on it in points.
QImage newCanvas(QSizeF points, qreal scale);
void beginPoints(QPainter& painter, QImage& canvas, qreal scale);

// Effects in the painter's point space; the blur radius is in points.
void dropShadow(QPainter& painter, const QPainterPath& shape, QPointF offset, qreal blur, QColor colour);
void innerShadow(QPainter& painter, const QPainterPath& shape, QPointF offset, qreal blur, QColor colour);
// The shape filled, then erased (anti-aliased): for screen openings.
void punch(QPainter& painter, const QPainterPath& shape);

// Colour helpers.
QColor mix(QColor a, QColor b, qreal t);
QColor withAlpha(QColor colour, qreal alpha);
QLinearGradient verticalGradient(const QRectF& rect, QColor top, QColor bottom);

// A surface lit from the top left: a vertical gradient, a bright upper-left rim and a darker lower rim.
void litSurface(QPainter& painter, const QPainterPath& shape, QColor top, QColor bottom, qreal rim = 1.0);
// A recess in a surface: dark inside, shadowed under its upper edge, its lower lip catching light.
void recess(QPainter& painter, const QPainterPath& shape, QColor inside, qreal depth = 1.0);
// A raised cap (button or key) with a soft shadow under it; `dished` shades the top as a shallow bowl.
void raisedCap(QPainter& painter, const QPainterPath& shape, QColor base, bool dished = false);

void screw(QPainter& painter, QPointF centre, qreal radius, qreal slotDegrees, bool cross = true);
void led(QPainter& painter, QPointF centre, qreal radius, QColor colour, bool lit);
// Round holes on a staggered grid, every hole wholly inside `area`.
void holeGrille(QPainter& painter, const QPainterPath& area, qreal pitch, qreal holeRadius, QColor inside);
// Rounded slots side by side in `area`, horizontal (rows) or vertical (columns).
void slotGrille(QPainter& painter, const QRectF& area, int count, qreal slotThickness, bool horizontal,
                QColor inside);
// Fine horizontal streaks, as brushed metal, inside the shape.
void brushedStreaks(QPainter& painter, const QPainterPath& shape, quint32 seed, qreal strength);

// Lettering.
enum class Face {
    Sans,
    SansBold,
    Mono,
    MonoBold,
    Serif,
    SerifBold
};
// Registers the DejaVu files; false when one is missing.
bool loadFaces(QString* error);
// The text's outline with its baseline at y = 0 and its pen start at x = 0; `tracking` is extra space
// between letters in points.
QPainterPath textPath(Face face, qreal size, const QString& text, qreal tracking = 0);
// The path moved so that `anchor` is its left, centre or right point (horizontally) and its cap-height
// middle (vertically, Qt::AlignVCenter) or its baseline (otherwise).
QPainterPath placed(const QPainterPath& text, QPointF anchor, Qt::Alignment alignment, qreal capHeight);
qreal capHeight(Face face, qreal size);
// Centred lettering, one call: the text's cap-height middle at `centre`.
QPainterPath centredText(Face face, qreal size, const QString& text, QPointF centre, qreal tracking = 0);
// Silk-screen print: flat colour with a hair of shadow so it sits on the surface.
void printText(QPainter& painter, const QPainterPath& text, QColor colour);
// Moulded or engraved lettering: light catches the lower (raised) or upper (engraved) edge.
void embossText(QPainter& painter, const QPainterPath& text, QColor colour, bool engraved);

// Writes a PNG with no time or software chunks, its resolution `pixelsPerPoint` times 72 dpi; makes the
// folder.
bool writePng(const QImage& image, qreal pixelsPerPoint, const QString& path, QString* error);

} // namespace QuillabyArt
