#include "App/Log.h"
#include "Skins/SkinManifestFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>

using namespace Quillaby;

namespace {

QJsonObject minimalSkin() {
    return QJsonObject{
        {"name", "Retro"},
        {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 400}, {"height", 600}}},
        {"viewport", QJsonObject{{"x", 40}, {"y", 50}, {"width", 320}, {"height", 200}}},
        {"palette", QJsonObject{{"foreground", "#33FF66"}, {"background", "#000000"}}},
        {"buttons", QJsonArray{}},
    };
}

QJsonObject button(const char* label) {
    return QJsonObject{{"label", label}, {"x", 1}, {"y", 2}, {"width", 3}, {"height", 4}};
}

// Sets a member at a path of keys ("viewport", "corners"), creating nothing on the way.
void setAt(QJsonObject& object, QStringList path, const QJsonValue& value) {
    const QString key = path.takeFirst();
    if (path.isEmpty()) {
        if (value.isUndefined())
            object.remove(key);
        else
            object.insert(key, value);
        return;
    }
    QJsonObject inner = object.value(key).toObject();
    setAt(inner, path, value);
    object.insert(key, inner);
}

std::optional<SkinManifestFile> decode(const QJsonObject& object, QString* error = nullptr) {
    return SkinManifestFile::decode(QJsonDocument(object).toJson(), error);
}

} // namespace

TEST(SkinManifestFile, StrictDecodingRejectsTheWholeFileForOneBadValue) {
    struct Case {
        const char* name;
        QStringList path;
        QJsonValue value;
        const char* error;
    };
    const Case cases[] = {
        {"no buttons", {"buttons"}, QJsonValue::Undefined, "\"buttons\": missing"},
        {"null name", {"name"}, QJsonValue::Null, "\"name\": null where a value is required"},
        {"a number in quotes",
         {"frame", "width"},
         "12",
         "\"frame\".\"width\": expected a number, found a string"},
        {"unused effects still typed",
         {"effects"},
         QJsonObject{{"glow", "yes"}},
         "\"effects\".\"glow\": expected a boolean, found a string"},
        {"unused author still typed", {"author"}, 7, "\"author\": expected a string, found a number"},
        {"one bad button",
         {"buttons"},
         QJsonArray{button("A"), QJsonObject{{"x", 1}}},
         "\"buttons\"[1].\"label\": missing"},
        {"a bad corner",
         {"viewport", "corners"},
         QJsonArray{QJsonObject{{"x", 1}, {"y", "2"}}},
         "\"viewport\".\"corners\"[0].\"y\": expected a number, found a string"},
        {"ansi of numbers",
         {"palette", "ansi"},
         QJsonArray{1, 2},
         "\"palette\".\"ansi\"[0]: expected a string, found a number"},
        {"a key name that is a number",
         {"keys"},
         QJsonArray{QJsonObject{{"key", 5}, {"x", 0}, {"y", 0}, {"width", 1}, {"height", 1}}},
         "\"keys\"[0].\"key\": expected a string, found a number"},
        {"0 is no flag", {"screenInFront"}, 0, "\"screenInFront\": expected a boolean, found a number"},
        {"launch scale text", {"launchScale"}, "1", "\"launchScale\": expected a number, found a string"},
        {"frame not an object", {"frame"}, QJsonArray{}, "\"frame\": expected an object, found an array"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = minimalSkin();
        setAt(object, c.path, c.value);
        QString error;
        EXPECT_FALSE(decode(object, &error).has_value());
        EXPECT_EQ(error, QString::fromUtf8(c.error));
    }

    QString error;
    QJsonObject renamed = minimalSkin();
    renamed.insert("Name", renamed.take("name"));
    EXPECT_FALSE(decode(renamed, &error));
    EXPECT_EQ(error, QStringLiteral("\"name\": missing")); // keys match exactly
    EXPECT_FALSE(SkinManifestFile::decode("[1]", &error));
    EXPECT_EQ(error, QStringLiteral("the top level is not a JSON object"));
    EXPECT_FALSE(SkinManifestFile::decode("{\"name\": ", &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("not valid JSON"))) << error.toStdString();
}

TEST(SkinManifestFile, WhatTheLoaderIgnoresOrTakesAsAbsentDoesNotReject) {
    struct Case {
        const char* name;
        QStringList path;
        QJsonValue value;
    };
    const Case cases[] = {
        {"a drawer of any shape", {"drawer"}, 5},
        {"an unknown key", {"whatever"}, QJsonArray{1, "x"}},
        {"null author", {"author"}, QJsonValue::Null},
        {"null keys", {"keys"}, QJsonValue::Null},
        {"scanline style is not read", {"effects"}, QJsonObject{{"scanlineStyle", 3}}},
        {"curve handles are not read",
         {"viewport", "corners"},
         QJsonArray{QJsonObject{{"x", 1}, {"y", 2}, {"hi", "no"}}}},
        {"a fraction", {"launchScale"}, 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = minimalSkin();
        setAt(object, c.path, c.value);
        QString error;
        EXPECT_TRUE(decode(object, &error).has_value()) << error.toStdString();
    }
}

TEST(SkinManifestFile, ConvertsToTheInMemorySkin) {
    QJsonObject object = minimalSkin();
    QJsonArray buttons;
    for (const char* label : {"1", "2", "3", "4", "5", "6"})
        buttons.append(button(label));
    buttons[0] =
        QJsonObject{{"label", "A"}, {"x", 1}, {"y", 2}, {"width", 3}, {"height", 4}, {"key", "Return"}};
    object.insert("buttons", buttons);
    object.insert(
        "keys", QJsonArray{QJsonObject{
                    {"key", "Shift"}, {"x", 5}, {"y", 6}, {"width", 7}, {"height", 8}, {"shape", "circle"}}});
    setAt(object, {"viewport", "corners"},
          QJsonArray{QJsonObject{{"x", 7}, {"y", 4}}, QJsonObject{{"x", -7}, {"y", 4}},
                     QJsonObject{{"x", 0}, {"y", 0}}, QJsonObject{{"x", 0}, {"y", 0}}});
    setAt(object, {"viewport", "cornerRadii"}, QJsonArray{1, 2, 3, 4});
    setAt(object, {"palette", "cursor"}, "FFFFFF");
    object.insert("launchScale", 0.75);
    object.insert("screenInFront", true);

    const SkinManifest skin = decode(object)->toSkinManifest(QStringLiteral("/data/skins/retro/"), false);
    EXPECT_EQ(skin.id, QStringLiteral("retro"));
    EXPECT_EQ(skin.name, QStringLiteral("Retro"));
    EXPECT_EQ(skin.frameImageName, QStringLiteral("/data/skins/retro/frame@2x.png"));
    EXPECT_EQ(skin.frameSize, QSizeF(400, 600));
    EXPECT_EQ(skin.viewportRect, QRectF(40, 50, 320, 200));
    EXPECT_EQ(skin.viewportCornerRadius, 4.0);
    EXPECT_EQ(skin.viewportCornerOffsets, (QList<QPointF>{{7, 4}, {-7, 4}, {0, 0}, {0, 0}}));
    EXPECT_EQ(skin.viewportCornerRadii, (QList<double>{1, 2, 3, 4}));
    ASSERT_EQ(skin.buttons.size(), 4);
    EXPECT_EQ(skin.buttons[0].rect, QRectF(1, 2, 3, 4));
    EXPECT_EQ(skin.buttons[0].key, QStringLiteral("Return")); // as written
    EXPECT_EQ(skin.buttons[3].label, QStringLiteral("4"));
    ASSERT_EQ(skin.keys.size(), 1);
    EXPECT_EQ(skin.keys[0].key, QStringLiteral("shift"));
    EXPECT_EQ(skin.keys[0].shape, QStringLiteral("circle"));
    EXPECT_EQ(skin.keys[0].rect, QRectF(5, 6, 7, 8));
    EXPECT_EQ(skin.palette.foreground, RgbColor::rgb(0x33 / 255.0, 1, 0x66 / 255.0));
    EXPECT_EQ(skin.palette.cursor, RgbColor::rgb(1, 1, 1));
    EXPECT_FALSE(skin.palette.ansi.has_value());
    EXPECT_FALSE(skin.isBundled);
    EXPECT_EQ(skin.launchScale, 0.75);
    EXPECT_TRUE(skin.screenInFront);

    const SkinManifest plain = decode(minimalSkin())->toSkinManifest(QStringLiteral("/b/Skins/retro"), true);
    EXPECT_EQ(plain.frameImageName, QStringLiteral("retro/frame@2x.png"));
    EXPECT_TRUE(plain.isBundled);
    EXPECT_EQ(plain.launchScale, 1.0);
    EXPECT_FALSE(plain.screenInFront);
    EXPECT_FALSE(plain.palette.cursor.has_value());
    EXPECT_TRUE(plain.buttons.isEmpty());
    EXPECT_TRUE(plain.keys.isEmpty());
}

TEST(SkinManifestFile, ListsOfTheWrongLengthAreDroppedAndBadColoursShowMagenta) {
    struct Case {
        const char* name;
        int corners;
        int radii;
        int ansi;
        bool keepsCorners, keepsRadii, keepsAnsi;
    };
    const Case cases[] = {
        {"all four and sixteen", 4, 4, 16, true, true, true},
        {"three corners, five radii, fifteen colours", 3, 5, 15, false, false, false},
        {"empty lists", 0, 0, 0, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = minimalSkin();
        QJsonArray corners, radii, ansi;
        for (int i = 0; i < c.corners; ++i)
            corners.append(QJsonObject{{"x", i}, {"y", i}});
        for (int i = 0; i < c.radii; ++i)
            radii.append(i);
        for (int i = 0; i < c.ansi; ++i)
            ansi.append(i == 3 ? QStringLiteral("nope") : QStringLiteral("#102030"));
        setAt(object, {"viewport", "corners"}, corners);
        setAt(object, {"viewport", "cornerRadii"}, radii);
        setAt(object, {"palette", "ansi"}, ansi);
        LogCapture log;
        const SkinManifest skin = decode(object)->toSkinManifest(QStringLiteral("/s/x"), false);
        EXPECT_EQ(skin.viewportCornerOffsets.size(), c.keepsCorners ? 4 : 0);
        EXPECT_EQ(skin.viewportCornerRadii.size(), c.keepsRadii ? 4 : 0);
        EXPECT_EQ(skin.palette.ansi.has_value(), c.keepsAnsi);
        if (c.keepsAnsi) {
            EXPECT_EQ(skin.palette.ansi->at(3), RgbColor::rgb(1, 0, 1));
            EXPECT_EQ(skin.palette.ansi->at(4), RgbColor::rgb(0x10 / 255.0, 0x20 / 255.0, 0x30 / 255.0));
            EXPECT_EQ(log.lines().size(), 1);
        }
    }
}

TEST(SkinManifestFile, AFrameImageInASubfolderKeepsItsRelativeName) {
    QJsonObject object = minimalSkin();
    setAt(object, {"frame", "image"}, "art/body.png");
    const SkinManifestFile file = *decode(object);
    EXPECT_EQ(file.toSkinManifest(QStringLiteral("/home/u/skins/retro"), false).frameImageName,
              QStringLiteral("/home/u/skins/retro/art/body.png"));
    EXPECT_EQ(file.toSkinManifest(QStringLiteral("/opt/q/Skins/retro"), true).frameImageName,
              QStringLiteral("retro/art/body.png"));
}

// Fault: a frame or viewport without area is divided by when a window lays the skin out.
TEST(SkinManifestFile, ASkinWithoutFrameOrViewportAreaIsRefused) {
    struct Case {
        const char* name;
        QStringList path;
        double value;
        const char* problem;
    };
    const Case cases[] = {
        {"zero frame width", {"frame", "width"}, 0, "the frame size 0 x 600 is not positive"},
        {"negative viewport height",
         {"viewport", "height"},
         -5,
         "the viewport size 320 x -5 is not positive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject object = minimalSkin();
        setAt(object, c.path, c.value);
        EXPECT_EQ(decode(object)->geometryProblem(), QString::fromLatin1(c.problem));
    }
    SkinManifestFile file = *decode(minimalSkin());
    EXPECT_FALSE(file.geometryProblem().has_value());
    file.frame.height = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(file.geometryProblem().has_value());
}
