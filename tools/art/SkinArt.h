#pragma once

// One bundled skin as the generator draws it: its geometry (the same numbers the skin's definition
// holds), its finished frame image and, for skins that live in a folder, the skin.json beside it.

#include "ArtKit.h"

#include <QColor>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QSizeF>
#include <QString>

namespace QuillabyArt {

struct ButtonArt {
    QString label;
    QRectF rect;
};

struct KeyArt {
    QString key;
    QRectF rect;
    bool circle = false;
};

struct SkinPalette {
    QColor foreground;
    QColor background;
    QColor cursor;      // invalid: none
    QList<QColor> ansi; // empty or 16
};

struct SkinArt {
    QString folder;    // under the bundle's Skins folder
    QString imageName; // in that folder
    QString name;
    QSizeF frame;
    QRectF viewport;
    Quad offsets{}; // all zero: the plain rectangle
    qreal cornerRadius = 0;
    Radii cornerRadii{}; // used when perCorner
    bool perCorner = false;
    QList<ButtonArt> buttons;
    QList<KeyArt> keys;
    SkinPalette palette;
    QJsonObject effects;
    qreal launchScale = 1;
    bool screenInFront = false;
    bool hasManifest = false; // built-in skins are defined in code: their folders hold only the image
    QImage image;

    Quad corners() const { return quadCorners(viewport, offsets); }
    Radii radii() const;
    // Exactly the outline the application cuts for the screen.
    QPainterPath screenPath() const { return roundedQuadPath(corners(), radii()); }
};

QJsonObject manifestJson(const SkinArt& skin);

// The painters, one per bundled device.
SkinArt drawHandheld(qreal scale);
SkinArt drawWalkie(qreal scale);
SkinArt drawDeskCrt(qreal scale);
SkinArt drawPocketGlass(qreal scale);

// The brand mark (square, `size` pixels) for light or dark backgrounds, and the application icon drawn
// for one pixel size, its details fitted to the pixel grid.
QImage drawMark(int size, bool onDark);
QImage drawIcon(int size);

} // namespace QuillabyArt
