#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace Quillaby {

class StrictJsonReader;

// The skin builder's record of a whole skin as it writes skin.json. Plain values: nothing is validated,
// defaulted or converted here; the builder chooses every value. Field names are the JSON keys.
//
// Encoding writes every required field whatever its value ("" and [] included) and each optional field
// only when it holds a value, never null; nothing is compared with a default. Decoding follows the
// strict rules of StrictJsonReader and is all or nothing.
struct SkinManifestExport {
    // A viewport corner offset (x, y only) or a node of a drawer mask with its curve handles, each handle
    // two numbers in frame points.
    struct Point {
        double x = 0;
        double y = 0;
        std::optional<QList<double>> hi;
        std::optional<QList<double>> ho;

        QJsonObject toJson() const;
        static Point read(StrictJsonReader& reader, const QJsonObject& object);
    };
    struct Frame {
        QString image;
        double width = 0;
        double height = 0;

        QJsonObject toJson() const;
        static Frame read(StrictJsonReader& reader, const QJsonObject& object);
    };
    struct Viewport {
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        double cornerRadius = 0;
        std::optional<QList<Point>> corners;
        std::optional<QList<double>> cornerRadii;

        QJsonObject toJson() const;
        static Viewport read(StrictJsonReader& reader, const QJsonObject& object);
    };
    struct Palette {
        QString foreground;
        QString background;
        std::optional<QString> cursor;
        std::optional<QList<QString>> ansi;

        QJsonObject toJson() const;
        static Palette read(StrictJsonReader& reader, const QJsonObject& object);
    };
    struct Button {
        QString label;
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        std::optional<QString> shape;
        std::optional<QString> defaultPanel;
        std::optional<QString> key;

        QJsonObject toJson() const;
        static Button read(StrictJsonReader& reader, const QJsonObject& object);
    };
    struct Key {
        QString key;
        double x = 0;
        double y = 0;
        double width = 0;
        double height = 0;
        std::optional<QString> shape;

        QJsonObject toJson() const;
        static Key read(StrictJsonReader& reader, const QJsonObject& object);
    };
    struct Effects {
        std::optional<bool> scanlines;
        std::optional<double> scanlineIntensity;
        std::optional<QString> scanlineStyle;
        std::optional<bool> glow;
        std::optional<double> glowIntensity;
        std::optional<bool> curvature;
        std::optional<double> curvatureAmount;

        QJsonObject toJson() const;
        static Effects read(StrictJsonReader& reader, const QJsonObject& object);
    };
    struct Drawer {
        QString edge;
        std::optional<QList<Point>> mask;
        std::optional<Viewport> viewport;
        std::optional<Viewport> chevron;
        std::optional<QString> defaultWidget;

        QJsonObject toJson() const;
        static Drawer read(StrictJsonReader& reader, const QJsonObject& object);
    };

    QString name;
    std::optional<QString> author;
    QString version;
    Frame frame;
    Viewport viewport;
    Palette palette;
    QList<Button> buttons;
    std::optional<QList<Key>> keys;
    std::optional<Effects> effects;
    std::optional<Drawer> drawer;
    std::optional<double> launchScale;
    std::optional<bool> screenInFront;

    // The JSON object; nothing, with the place named in the error, when a number is infinite or not a
    // number. Serialise it with QJsonDocument::toJson() for the pretty-printed, key-sorted file.
    std::optional<QJsonObject> encode(QString* error = nullptr) const;
    static std::optional<SkinManifestExport> decode(const QJsonObject& object, QString* error = nullptr);
    static std::optional<SkinManifestExport> decode(const QByteArray& json, QString* error = nullptr);
};

} // namespace Quillaby
