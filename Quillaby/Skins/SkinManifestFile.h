#pragma once

#include "Skins/SkinManifest.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace Quillaby {

// The skin loader's record of a skin folder's skin.json, decoding only. Field names are the JSON keys.
// Decoding is strict (see StrictJsonReader): one wrong type anywhere, also in members the loader drops
// ("author", "version", "category", "effects"), rejects the whole file; "drawer" and keys the record
// does not name are not looked at.
struct SkinManifestFile {
    struct Frame {
        QString image;
        double width = 0;
        double height = 0;
    };
    struct Point {
        double x = 0;
        double y = 0;
    };
    struct Rect {
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        std::optional<double> cornerRadius;
        std::optional<QList<Point>> corners;
        std::optional<QList<double>> cornerRadii;
    };
    struct Palette {
        QString foreground;
        QString background;
        std::optional<QString> cursor;
        std::optional<QList<QString>> ansi;
    };
    struct Button {
        QString label;
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        std::optional<QString> key;
    };
    struct Key {
        QString key;
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        std::optional<QString> shape;
    };
    struct Effects {
        std::optional<bool> scanlines;
        std::optional<double> scanlineIntensity;
        std::optional<bool> glow;
        std::optional<double> glowIntensity;
        std::optional<bool> curvature;
        std::optional<double> curvatureAmount;
        std::optional<QString> colorGrade;
    };

    QString name;
    std::optional<QString> author;
    std::optional<QString> version;
    std::optional<QString> category;
    Frame frame;
    Rect viewport;
    Palette palette;
    QList<Button> buttons;
    std::optional<QList<Key>> keys;
    std::optional<Effects> effects;
    std::optional<double> launchScale;
    std::optional<bool> screenInFront;

    // Nothing, with a description of the first problem, when the bytes do not decode.
    static std::optional<SkinManifestFile> decode(const QByteArray& json, QString* error = nullptr);

    // Reads and decodes a skin.json file and checks that the skin can be drawn: a frame or viewport whose
    // width or height is not a positive finite number would be divided by later, so it is refused here,
    // and so is a frame image outside the file's folder. Nothing, with a description, when any of this
    // fails.
    static std::optional<SkinManifestFile> load(const QString& path, QString* error = nullptr);

    // Why the skin cannot be drawn, or nothing when it can.
    std::optional<QString> geometryProblem() const;
    // Why the frame image may not be read from the given skin folder, or nothing when it may: an absolute
    // name, one that climbs out with "..", or one whose links lead out. A skin.json may come from anyone,
    // and the image it names is read and shown; a missing image is no problem (the body is drawn).
    std::optional<QString> imageProblem(const QString& skinFolder) const;

    // The in-memory skin of this file in the given folder: its id is the folder's name; its frame image
    // is "<folder name>/<image>" under the bundle's "Skins" folder for a bundled skin, else the folder's
    // absolute path joined with the image. Never fails: bad colours become magenta, lists of the wrong
    // length are dropped, buttons past the fourth are cut, key names are lower-cased.
    SkinManifest toSkinManifest(const QString& skinDirectory, bool isBundled) const;
};

} // namespace Quillaby
