#include "Settings/SettingsData.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>

#include <cmath>

namespace Quillaby {

namespace {

// Non-finite numbers have no JSON form; they are written as the field's default.
double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

std::optional<double> number(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    double d = value.toDouble();
    if (!std::isfinite(d)) return std::nullopt;
    return d;
}
std::optional<bool> boolean(const QJsonValue& value) {
    if (!value.isBool()) return std::nullopt;
    return value.toBool();
}
std::optional<QString> text(const QJsonValue& value) {
    if (!value.isString()) return std::nullopt;
    return value.toString();
}

template<typename T>
void take(T& field, const std::optional<T>& value) {
    if (value) field = *value;
}

QJsonObject effectsToJson(const SkinEffectsSettings& e) {
    const SkinEffectsSettings defaults;
    return QJsonObject{
        {QStringLiteral("scanlines"), e.scanlines},
        {QStringLiteral("scanlineIntensity"), finiteOr(e.scanlineIntensity, defaults.scanlineIntensity)},
        {QStringLiteral("scanlineStyle"), e.scanlineStyle},
        {QStringLiteral("glow"), e.glow},
        {QStringLiteral("glowIntensity"), finiteOr(e.glowIntensity, defaults.glowIntensity)},
        {QStringLiteral("curvature"), e.curvature},
        {QStringLiteral("curvatureAmount"), finiteOr(e.curvatureAmount, defaults.curvatureAmount)},
        {QStringLiteral("colorGrade"), e.colorGrade},
    };
}

// Strict: all eight keys with the right types, or nothing.
std::optional<SkinEffectsSettings> effectsFromJson(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    QJsonObject o = value.toObject();
    auto scanlines = boolean(o.value(QStringLiteral("scanlines")));
    auto scanlineIntensity = number(o.value(QStringLiteral("scanlineIntensity")));
    auto scanlineStyle = text(o.value(QStringLiteral("scanlineStyle")));
    auto glow = boolean(o.value(QStringLiteral("glow")));
    auto glowIntensity = number(o.value(QStringLiteral("glowIntensity")));
    auto curvature = boolean(o.value(QStringLiteral("curvature")));
    auto curvatureAmount = number(o.value(QStringLiteral("curvatureAmount")));
    auto colorGrade = text(o.value(QStringLiteral("colorGrade")));
    if (!scanlines || !scanlineIntensity || !scanlineStyle || !glow || !glowIntensity || !curvature ||
        !curvatureAmount || !colorGrade) {
        return std::nullopt;
    }
    return SkinEffectsSettings{*scanlines,     *scanlineIntensity, *scanlineStyle,   *glow,
                               *glowIntensity, *curvature,         *curvatureAmount, *colorGrade};
}

QJsonObject windowToJson(const WindowState& w) {
    return QJsonObject{
        {QStringLiteral("id"), w.id},
        {QStringLiteral("skinName"), w.skinName},
        {QStringLiteral("x"), finiteOr(w.x, 0)},
        {QStringLiteral("y"), finiteOr(w.y, 0)},
        {QStringLiteral("width"), finiteOr(w.width, 0)},
        {QStringLiteral("height"), finiteOr(w.height, 0)},
    };
}

// Lenient per key, like the record around it.
WindowState windowFromJson(const QJsonObject& o) {
    WindowState w;
    take(w.id, text(o.value(QStringLiteral("id"))));
    take(w.skinName, text(o.value(QStringLiteral("skinName"))));
    take(w.x, number(o.value(QStringLiteral("x"))));
    take(w.y, number(o.value(QStringLiteral("y"))));
    take(w.width, number(o.value(QStringLiteral("width"))));
    take(w.height, number(o.value(QStringLiteral("height"))));
    return w;
}

std::optional<QList<WindowState>> windowsFromJson(const QJsonValue& value) {
    if (!value.isArray()) return std::nullopt;
    QList<WindowState> windows;
    for (const QJsonValue& element : value.toArray()) {
        if (!element.isObject()) return std::nullopt;
        windows.append(windowFromJson(element.toObject()));
    }
    return windows;
}

std::optional<QMap<QString, SkinEffectsSettings>> effectsMapFromJson(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    QMap<QString, SkinEffectsSettings> map;
    QJsonObject o = value.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        std::optional<SkinEffectsSettings> effects = effectsFromJson(it.value());
        if (!effects) return std::nullopt;
        map.insert(it.key(), *effects);
    }
    return map;
}

std::optional<QMap<QString, QString>> textMapFromJson(const QJsonValue& value) {
    if (!value.isObject()) return std::nullopt;
    QMap<QString, QString> map;
    QJsonObject o = value.toObject();
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!it.value().isString()) return std::nullopt;
        map.insert(it.key(), it.value().toString());
    }
    return map;
}

QJsonObject textMapToJson(const QMap<QString, QString>& map) {
    QJsonObject o;
    for (auto it = map.begin(); it != map.end(); ++it)
        o.insert(it.key(), it.value());
    return o;
}

} // namespace

QJsonObject SettingsData::toJson() const {
    const SettingsData defaults;
    QJsonArray windows;
    for (const WindowState& w : lastWindows)
        windows.append(windowToJson(w));
    QJsonObject effects;
    for (auto it = skinEffects.begin(); it != skinEffects.end(); ++it)
        effects.insert(it.key(), effectsToJson(it.value()));
    return QJsonObject{
        {QStringLiteral("fontName"), fontName},
        {QStringLiteral("fontSize"), finiteOr(fontSize, defaults.fontSize)},
        {QStringLiteral("defaultShell"), defaultShell},
        {QStringLiteral("defaultSkin"), defaultSkin},
        {QStringLiteral("restoreWindows"), restoreWindows},
        {QStringLiteral("hasLaunchedBefore"), hasLaunchedBefore},
        {QStringLiteral("lastWindows"), windows},
        {QStringLiteral("skinEffects"), effects},
        {QStringLiteral("cursorOverrides"), textMapToJson(cursorOverrides)},
        {QStringLiteral("paletteOverrides"), textMapToJson(paletteOverrides)},
    };
}

QByteArray SettingsData::encode() const {
    // QJsonObject keeps its keys sorted, so every level comes out in key order.
    return QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
}

SettingsData SettingsData::fromJson(const QJsonObject& o) {
    SettingsData data;
    take(data.fontName, text(o.value(QStringLiteral("fontName"))));
    take(data.fontSize, number(o.value(QStringLiteral("fontSize"))));
    take(data.defaultShell, text(o.value(QStringLiteral("defaultShell"))));
    take(data.defaultSkin, text(o.value(QStringLiteral("defaultSkin"))));
    take(data.restoreWindows, boolean(o.value(QStringLiteral("restoreWindows"))));
    take(data.hasLaunchedBefore, boolean(o.value(QStringLiteral("hasLaunchedBefore"))));
    take(data.lastWindows, windowsFromJson(o.value(QStringLiteral("lastWindows"))));
    take(data.skinEffects, effectsMapFromJson(o.value(QStringLiteral("skinEffects"))));
    take(data.cursorOverrides, textMapFromJson(o.value(QStringLiteral("cursorOverrides"))));
    take(data.paletteOverrides, textMapFromJson(o.value(QStringLiteral("paletteOverrides"))));
    return data;
}

std::optional<SettingsData> SettingsData::decode(const QByteArray& bytes) {
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return fromJson(document.object());
}

} // namespace Quillaby
