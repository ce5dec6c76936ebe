#pragma once

#include "Settings/SkinEffectsSettings.h"
#include "Settings/WindowState.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace Quillaby {

// Every user setting, and the whole content of settings.json: one JSON object with exactly these keys,
// all of them always written, sorted at every level.
struct SettingsData {
    QString fontName = QStringLiteral("JetBrainsMono NF");
    double fontSize = 9.0;
    // Empty: the detected login shell.
    QString defaultShell;
    QString defaultSkin = QStringLiteral("Handheld v1");
    bool restoreWindows = true;
    bool hasLaunchedBefore = false;
    QList<WindowState> lastWindows;
    // Per skin display name.
    QMap<QString, SkinEffectsSettings> skinEffects;
    // Per skin display name: "#RRGGBB".
    QMap<QString, QString> cursorOverrides;
    // Per skin display name: a curated palette id.
    QMap<QString, QString> paletteOverrides;

    bool operator==(const SettingsData&) const = default;

    // Pretty-printed JSON with sorted keys.
    QByteArray encode() const;
    QJsonObject toJson() const;

    // Lenient, key by key: a missing, null or wrongly typed value gives that field its default. A list
    // or map is taken whole or not at all: any bad element empties it, and a skinEffects entry must
    // hold all eight keys. Unknown keys are dropped. Nothing only when the bytes are not a JSON object.
    static std::optional<SettingsData> decode(const QByteArray& bytes);
    static SettingsData fromJson(const QJsonObject& object);
};

} // namespace Quillaby
