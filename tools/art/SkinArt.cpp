#include "SkinArt.h"

#include <QJsonArray>

namespace QuillabyArt {

namespace {

QString hex(QColor colour) {
    return colour.name(QColor::HexRgb).toUpper();
}

QJsonObject point(QPointF p) {
    return QJsonObject{{"x", p.x()}, {"y", p.y()}};
}

QJsonObject rect(const QRectF& r) {
    return QJsonObject{{"x", r.x()}, {"y", r.y()}, {"width", r.width()}, {"height", r.height()}};
}

} // namespace

Radii SkinArt::radii() const {
    return perCorner ? cornerRadii : Radii{cornerRadius, cornerRadius, cornerRadius, cornerRadius};
}

QJsonObject manifestJson(const SkinArt& skin) {
    QJsonObject viewport = rect(skin.viewport);
    viewport["cornerRadius"] = skin.cornerRadius;
    if (skin.perCorner) {
        QJsonArray radii;
        for (qreal r : skin.cornerRadii)
            radii.append(r);
        viewport["cornerRadii"] = radii;
    }
    if (skin.offsets != Quad{}) {
        QJsonArray corners;
        for (QPointF offset : skin.offsets)
            corners.append(point(offset));
        viewport["corners"] = corners;
    }

    QJsonObject palette{{"foreground", hex(skin.palette.foreground)},
                        {"background", hex(skin.palette.background)}};
    if (skin.palette.cursor.isValid()) palette["cursor"] = hex(skin.palette.cursor);
    if (!skin.palette.ansi.isEmpty()) {
        QJsonArray ansi;
        for (QColor colour : skin.palette.ansi)
            ansi.append(hex(colour));
        palette["ansi"] = ansi;
    }

    QJsonArray buttons;
    for (const ButtonArt& button : skin.buttons) {
        QJsonObject entry = rect(button.rect);
        entry["label"] = button.label;
        buttons.append(entry);
    }
    QJsonArray keys;
    for (const KeyArt& key : skin.keys) {
        QJsonObject entry = rect(key.rect);
        entry["key"] = key.key;
        if (key.circle) entry["shape"] = QStringLiteral("circle");
        keys.append(entry);
    }

    QJsonObject manifest{
        {"name", skin.name},
        {"author", QStringLiteral("Quillaby")},
        {"version", QStringLiteral("1.0")},
        {"frame", QJsonObject{{"image", skin.imageName},
                              {"width", skin.frame.width()},
                              {"height", skin.frame.height()}}},
        {"viewport", viewport},
        {"palette", palette},
        {"buttons", buttons},
        {"launchScale", skin.launchScale},
        {"screenInFront", skin.screenInFront},
    };
    if (!keys.isEmpty()) manifest["keys"] = keys;
    if (!skin.effects.isEmpty()) manifest["effects"] = skin.effects;
    return manifest;
}

} // namespace QuillabyArt
