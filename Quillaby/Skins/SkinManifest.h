#pragma once

#include "App/RgbColor.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

namespace Quillaby {

// The one in-memory form of a skin, a plain value that every window keeps its own copy of.
//
// All geometry is in frame points: the frame is frameSize.width x frameSize.height with the origin at
// its top-left corner and y growing downward. Corner lists run top-left, top-right, bottom-right,
// bottom-left. Whoever builds one keeps the invariants: at most 4 buttons, 0 or 4 corner offsets and
// radii, 0 or 16 ANSI colours, lower-case key names.
struct SkinManifest {
    struct ButtonRect {
        QRectF rect;
        QString label;
        std::optional<QString> key;

        bool operator==(const ButtonRect&) const = default;
    };

    struct KeyRect {
        QRectF rect;
        // Lower case: a character as typed without modifiers, or a special key's name.
        QString key;
        // "circle" draws an ellipse; anything else a rounded rectangle.
        std::optional<QString> shape;

        bool operator==(const KeyRect&) const = default;
    };

    struct TerminalPalette {
        RgbColor foreground;
        RgbColor background;
        // None: the caret takes the foreground colour.
        std::optional<RgbColor> cursor;
        // None, or exactly 16 colours for ANSI 0 to 15.
        std::optional<QList<RgbColor>> ansi;

        bool operator==(const TerminalPalette&) const = default;
    };

    // The skin's folder name, or a fixed word for a built-in skin.
    QString id;
    // The display name; per-skin settings are keyed by it.
    QString name;
    QSizeF frameSize;
    QRectF viewportRect;
    QList<ButtonRect> buttons;
    QList<KeyRect> keys;
    TerminalPalette palette;
    // An absolute path (skins of the user's folder, preview skins), or "<folder>/<file>" relative to the
    // resource bundle's "Skins" folder (shipped and built-in skins); none: the generic device body.
    std::optional<QString> frameImageName;
    double viewportCornerRadius = 0;
    bool isBundled = false;
    QList<QPointF> viewportCornerOffsets;
    QList<double> viewportCornerRadii;
    double launchScale = 1.0;
    bool screenInFront = false;

    // The skins defined in code, each built once.
    static const SkinManifest& handheld();
    static const SkinManifest& walkie();
    // What the loader adds after the disk skins unless one has the same name: [handheld].
    static const QList<SkinManifest>& programmaticSkins();
    // What consumers use while the loader's list is empty: [handheld, walkie].
    static const QList<SkinManifest>& fallbackSkins();

    // The skin's folder in the user's skins folder when it is not bundled and that folder holds a
    // "skin.json"; worked out at each call.
    std::optional<QString> userFolderURL() const;

    bool operator==(const SkinManifest&) const = default;
};

} // namespace Quillaby
