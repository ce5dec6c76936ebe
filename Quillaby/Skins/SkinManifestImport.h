#pragma once

#include "Skins/SkinManifestExport.h"

namespace Quillaby {

// The record through which the builder opens an installed skin: the export's shape with an optional
// version and a palette whose members are all optional. Same encoding and decoding rules; written beside
// the export record in SkinManifestExport.cpp, whose nested types it shares.
struct SkinManifestImport {
    struct ImportPalette {
        std::optional<QString> foreground;
        std::optional<QString> background;
        std::optional<QString> cursor;
        std::optional<QList<QString>> ansi;

        QJsonObject toJson() const;
        static ImportPalette read(StrictJsonReader& reader, const QJsonObject& object);
    };

    QString name;
    std::optional<QString> author;
    std::optional<QString> version;
    SkinManifestExport::Frame frame;
    SkinManifestExport::Viewport viewport;
    ImportPalette palette;
    QList<SkinManifestExport::Button> buttons;
    std::optional<QList<SkinManifestExport::Key>> keys;
    std::optional<SkinManifestExport::Effects> effects;
    std::optional<SkinManifestExport::Drawer> drawer;
    std::optional<double> launchScale;
    std::optional<bool> screenInFront;

    std::optional<QJsonObject> encode(QString* error = nullptr) const;
    static std::optional<SkinManifestImport> decode(const QJsonObject& object, QString* error = nullptr);
    static std::optional<SkinManifestImport> decode(const QByteArray& json, QString* error = nullptr);
};

} // namespace Quillaby
