#include "BuilderFixture.h"

#include <QJsonArray>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

// A skin.json as another tool might write it: everything the builder reads, lower-case colours.
QJsonObject baseSkin() {
    return QJsonObject{
        {"name", "Retro Pad"},
        {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 500}, {"height", 800}}},
        {"viewport",
         QJsonObject{{"x", 50}, {"y", 100}, {"width", 150}, {"height", 200}, {"cornerRadius", 6}}},
        {"palette", QJsonObject{{"foreground", "#33ff66"}, {"background", "#101010"}}},
        {"buttons", QJsonArray{}},
    };
}

QJsonObject rect(double x, double y, double w, double h) {
    return QJsonObject{{"x", x}, {"y", y}, {"width", w}, {"height", h}};
}

QJsonObject with(QJsonObject object, const QString& key, const QJsonValue& value) {
    object.insert(key, value);
    return object;
}

QJsonObject withViewport(const QString& key, const QJsonValue& value) {
    QJsonObject skin = baseSkin();
    skin.insert("viewport", with(skin.value("viewport").toObject(), key, value));
    return skin;
}

void expectRect(const std::optional<QRectF>& actual, QRectF expected, double tolerance = 1e-9) {
    ASSERT_TRUE(actual);
    EXPECT_NEAR(actual->x(), expected.x(), tolerance);
    EXPECT_NEAR(actual->y(), expected.y(), tolerance);
    EXPECT_NEAR(actual->width(), expected.width(), tolerance);
    EXPECT_NEAR(actual->height(), expected.height(), tolerance);
}

} // namespace

class SkinLoad : public BuilderFixture {
protected:
    // A skin folder with a 1000 x 1600 pixel frame at one point per pixel: export scale 0.5.
    QString skinFolder(const QJsonObject& skin, const QString& name = "retro-pad") {
        const QString folder = dir.filePath("skins-elsewhere/" + name);
        writeBytes(folder + "/skin.json", QJsonDocument(skin).toJson());
        writeImage(folder + "/frame@2x.png", QSize(1000, 1600));
        return folder;
    }
};

TEST_F(SkinLoad, AnInstalledSkinComesBack) {
    prepareCoolSkin();
    model.setViewportCornerOffsets({QPointF(0, 0), QPointF(4, -2), QPointF(0, 0), QPointF(0, 0)});
    model.setViewportCornerRadii({6, 12, 6, 6});
    model.setGlow(true);
    model.setLaunchScale(1.5);
    model.installSkin();

    SkinBuilderModel other;
    QSignalSpy changed(&other, &SkinBuilderModel::changed);
    other.loadSkin(QDir(skinsDir()).filePath("my-cool-skin"));

    EXPECT_EQ(other.statusMessage(), "Opened my-cool-skin — 0 buttons");
    EXPECT_FALSE(other.statusIsError());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(other.skinName(), "My Cool Skin");
    // (101, 200, 300, 401) was written as (51, 100, 150, 201) frame points.
    expectRect(other.viewport(), QRectF(102, 200, 300, 402));
    EXPECT_EQ(other.viewportCornerOffsets(),
              QList<QPointF>({QPointF(0, 0), QPointF(4, -2), QPointF(0, 0), QPointF(0, 0)}));
    EXPECT_EQ(other.viewportCornerRadii(), QList<double>({6, 12, 6, 6}));
    EXPECT_TRUE(other.glow());
    EXPECT_EQ(other.launchScale(), 1.5);
    EXPECT_EQ(other.fgColor(), RgbColor::rgb(0, 1, 0));
    EXPECT_EQ(other.imageURL(), QDir(skinsDir()).filePath("my-cool-skin/frame@2x.png"));
    EXPECT_EQ(other.currentTool(), DrawTool::viewport);
}

TEST_F(SkinLoad, FailuresLeaveTheWorkAsItWas) {
    prepareCoolSkin();
    model.setGlow(true);
    const qint64 generation = model.imageGeneration();

    struct Case {
        const char* name;
        std::function<QString()> folder;
        const char* status;
    };
    const Case cases[] = {
        {"no skin.json", [&] { return dir.filePath("empty"); }, "No skin.json in that folder."},
        {"no frame image",
         [&] {
             QString folder = skinFolder(baseSkin(), "no-png");
             QFile::remove(folder + "/frame@2x.png");
             return folder;
         },
         "Couldn't load frame@2x.png."},
        {"frame image is not an image",
         [&] {
             QString folder = skinFolder(baseSkin(), "bad-png");
             writeBytes(folder + "/frame@2x.png", "text");
             return folder;
         },
         "Couldn't load frame@2x.png."},
        {"not JSON",
         [&] {
             QString folder = skinFolder(baseSkin(), "not-json");
             writeBytes(folder + "/skin.json", "{ nope");
             return folder;
         },
         "skin.json is malformed."},
        {"without buttons",
         [&] {
             QJsonObject skin = baseSkin();
             skin.remove("buttons");
             return skinFolder(skin, "no-buttons");
         },
         "skin.json is malformed."},
        {"viewport without cornerRadius",
         [&] {
             QJsonObject skin = baseSkin();
             skin.insert("viewport", rect(1, 2, 3, 4));
             return skinFolder(skin, "no-radius");
         },
         "skin.json is malformed."},
        {"launchScale as text",
         [&] { return skinFolder(with(baseSkin(), "launchScale", "1"), "text-scale"); },
         "skin.json is malformed."},
        {"a drawer without edge",
         [&] {
             return skinFolder(with(baseSkin(), "drawer", QJsonObject{{"defaultWidget", "x"}}), "no-edge");
         },
         "skin.json is malformed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy closePreview(&model, &SkinBuilderModel::previewCloseRequested);
        model.loadSkin(c.folder());
        EXPECT_EQ(model.statusMessage(), c.status);
        EXPECT_TRUE(model.statusIsError());
        EXPECT_EQ(closePreview.count(), 0);
        EXPECT_EQ(model.skinName(), "My Cool Skin");
        EXPECT_EQ(model.viewport(), QRectF(101, 200, 300, 401));
        EXPECT_EQ(model.imageGeneration(), generation);
        EXPECT_TRUE(model.glow());
    }
}

TEST_F(SkinLoad, EveryKeyBecomesItsField) {
    struct Case {
        const char* name;
        QJsonObject skin;
        std::function<void(const SkinBuilderModel&)> check;
    };
    QJsonArray twoButtons{
        with(rect(10, 20, 30, 40), "label", "A"),
        with(with(with(rect(0, 0, 8, 8), "label", "B"), "defaultPanel", "music"), "key", "ENTER")};
    QJsonArray threeKeys{with(rect(1, 1, 2, 2), "key", "a"),
                         with(with(rect(3, 3, 4, 4), "key", "b"), "shape", "circle"),
                         with(rect(5, 5, 6, 6), "key", "c")};
    QJsonArray fiveButtons;
    for (int i = 0; i < 5; ++i)
        fiveButtons.append(with(rect(i, i, 1, 1), "label", QString::number(i)));
    QJsonObject threeRadii = withViewport("cornerRadii", QJsonArray{1, 2, 3});
    threeRadii.insert("viewport", with(threeRadii.value("viewport").toObject(), "cornerRadius", 8));
    QJsonArray ansi;
    for (int i = 0; i < 16; ++i)
        ansi.append(i == 3 ? "nonsense" : "#FFFFFF");

    const Case cases[] = {
        {"plain skin, frame points halved", baseSkin(),
         [](const SkinBuilderModel& m) {
             expectRect(m.viewport(), QRectF(100, 200, 300, 400));
             EXPECT_EQ(m.viewportCornerOffsets(), QList<QPointF>(4, QPointF(0, 0)));
             EXPECT_EQ(m.author(), "");
             EXPECT_EQ(m.launchScale(), 1.0);
             EXPECT_FALSE(m.screenInFront());
             EXPECT_EQ(m.fgColor(), RgbColor::rgb(0x33 / 255.0, 1, 0x66 / 255.0));
             EXPECT_FALSE(m.drawerEnabled());
             EXPECT_FALSE(m.glow());
             EXPECT_EQ(m.statusMessage(), "Opened retro-pad — 0 buttons");
         }},
        {"buttons then keys up to four",
         with(with(baseSkin(), "buttons", twoButtons), "keys", threeKeys),
         [](const SkinBuilderModel& m) {
             ASSERT_EQ(m.buttons().size(), 4);
             EXPECT_EQ(m.buttons()[0].rect, QRectF(20, 40, 60, 80));
             EXPECT_EQ(m.buttons()[0].defaultPanel, PanelType::placeholder);
             EXPECT_EQ(m.buttons()[1].defaultPanel, PanelType::music);
             EXPECT_EQ(m.buttons()[1].key, "ENTER");
             EXPECT_EQ(m.buttons()[2].key, "a");
             EXPECT_EQ(m.buttons()[2].label, "");
             EXPECT_EQ(m.buttons()[3].key, "b");
             EXPECT_EQ(m.buttons()[3].shape, ButtonShape::circle);
             EXPECT_EQ(m.buttons()[3].defaultPanel, PanelType::placeholder);
             EXPECT_NE(m.buttons()[2].id, m.buttons()[3].id);
             EXPECT_EQ(m.statusMessage(), "Opened retro-pad — 4 buttons");
         }},
        {"five buttons take no key", with(with(baseSkin(), "buttons", fiveButtons), "keys", threeKeys),
         [](const SkinBuilderModel& m) { EXPECT_EQ(m.buttons().size(), 5); }},
        // cornerRadius is in frame points like every other length, so it is halved too.
        {"three radii fall back to cornerRadius", threeRadii,
         [](const SkinBuilderModel& m) { EXPECT_EQ(m.viewportCornerRadii(), QList<double>({16, 16, 16, 16})); }},
        {"four radii", withViewport("cornerRadii", QJsonArray{1, 2, 3, 4.5}),
         [](const SkinBuilderModel& m) { EXPECT_EQ(m.viewportCornerRadii(), QList<double>({2, 4, 6, 9})); }},
        {"five corners are ignored",
         withViewport("corners", QJsonArray{rect(1, 1, 0, 0), rect(1, 1, 0, 0), rect(1, 1, 0, 0),
                                            rect(1, 1, 0, 0), rect(1, 1, 0, 0)}),
         [](const SkinBuilderModel& m) {
             EXPECT_EQ(m.viewportCornerOffsets(), QList<QPointF>(4, QPointF(0, 0)));
         }},
        {"four corners",
         withViewport("corners", QJsonArray{QJsonObject{{"x", 0}, {"y", 0}}, QJsonObject{{"x", 1.5}, {"y", -2}},
                                            QJsonObject{{"x", 0}, {"y", 0}}, QJsonObject{{"x", 0}, {"y", 3}}}),
         [](const SkinBuilderModel& m) {
             EXPECT_EQ(m.viewportCornerOffsets(),
                       QList<QPointF>({QPointF(0, 0), QPointF(3, -4), QPointF(0, 0), QPointF(0, 6)}));
         }},
        {"an empty palette keeps the reset colours", with(baseSkin(), "palette", QJsonObject{}),
         [](const SkinBuilderModel& m) {
             EXPECT_EQ(m.fgColor(), SkinBuilderModel::defaultForeground);
             EXPECT_EQ(m.bgColor(), SkinBuilderModel::defaultBackground);
             EXPECT_FALSE(m.cursorColor());
             EXPECT_FALSE(m.ansiColors());
         }},
        {"an unreadable ANSI entry is black",
         with(baseSkin(), "palette", QJsonObject{{"foreground", "zz"}, {"cursor", "#FF0000"}, {"ansi", ansi}}),
         [](const SkinBuilderModel& m) {
             EXPECT_EQ(m.fgColor(), SkinBuilderModel::defaultForeground);
             EXPECT_EQ(m.cursorColor(), RgbColor::rgb(1, 0, 0));
             ASSERT_TRUE(m.ansiColors());
             ASSERT_EQ(m.ansiColors()->size(), 16);
             EXPECT_EQ((*m.ansiColors())[3], RgbColor::rgb(0, 0, 0));
             EXPECT_EQ((*m.ansiColors())[4], RgbColor::rgb(1, 1, 1));
         }},
        {"glow alone takes the other effects' defaults",
         with(baseSkin(), "effects", QJsonObject{{"glow", true}}),
         [](const SkinBuilderModel& m) {
             EXPECT_TRUE(m.glow());
             EXPECT_EQ(m.glowIntensity(), 0.4);
             EXPECT_FALSE(m.scanlines());
             EXPECT_FALSE(m.curvature());
             EXPECT_EQ(m.scanlineIntensity(), 0.3);
             EXPECT_EQ(m.curvatureAmount(), 0.2);
             EXPECT_EQ(m.scanlineStyle(), "standard");
         }},
        {"drawer edge in any case, chevron for the viewport, handles of two numbers",
         with(baseSkin(), "drawer",
              QJsonObject{{"edge", "Left"},
                          {"chevron", with(rect(10, 20, 30, 40), "cornerRadius", 3)},
                          {"mask", QJsonArray{QJsonObject{{"x", 1}, {"y", 2}},
                                              QJsonObject{{"x", 3}, {"y", 4}, {"hi", QJsonArray{2, 4}},
                                                          {"ho", QJsonArray{5}}}}}}),
         [](const SkinBuilderModel& m) {
             EXPECT_TRUE(m.drawerEnabled());
             EXPECT_EQ(m.drawerEdge(), DrawerEdge::left);
             EXPECT_EQ(m.drawerDefaultWidget(), "");
             expectRect(m.drawerViewport(), QRectF(20, 40, 60, 80));
             EXPECT_EQ(m.drawerMask(), QList<BezierNode>({BezierNode(QPointF(2, 4)),
                                                          BezierNode(QPointF(6, 8), QPointF(4, 8), QPointF(6, 8))}));
         }},
        {"a drawer edge that names no edge", with(baseSkin(), "drawer", QJsonObject{{"edge", "sideways"}}),
         [](const SkinBuilderModel& m) { EXPECT_FALSE(m.drawerEnabled()); }},
        {"launch settings and author",
         with(with(with(baseSkin(), "launchScale", 1.5), "screenInFront", true), "author", "Ann"),
         [](const SkinBuilderModel& m) {
             EXPECT_EQ(m.launchScale(), 1.5);
             EXPECT_TRUE(m.screenInFront());
             EXPECT_EQ(m.author(), "Ann");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.setDrawerEnabled(false);
        model.loadSkin(skinFolder(c.skin));
        ASSERT_FALSE(model.statusIsError()) << model.statusMessage()->toStdString();
        c.check(model);
    }
}

TEST_F(SkinLoad, EditingASkinKeepsWhatTheBuilderDoesNotTouch) {
    QJsonObject skin = baseSkin();
    skin.insert("version", "2");
    skin.insert("category", "Handhelds");
    skin.insert("madeBy", QJsonObject{{"tool", "hand"}, {"at", QJsonArray{1, 2}}});
    skin.insert("viewport", QJsonObject{{"x", 50.25},
                                        {"y", 100},
                                        {"width", 150},
                                        {"height", 200},
                                        {"cornerRadius", 10},
                                        {"glare", true}});
    skin.insert("palette", QJsonObject{{"foreground", "#33ff66"},
                                       {"background", "#101010"},
                                       {"ansi", QJsonArray{"#000000", "#111111"}}});
    skin.insert("buttons", QJsonArray{with(with(rect(10, 20, 30, 40), "label", "Power"), "sound", "click")});
    QJsonArray keys;
    for (const char* key : {"Q", "w", "e", "r", "t"})
        keys.append(with(rect(keys.size() * 10, 700, 9.5, 9), "key", key));
    skin.insert("keys", keys);
    skin.insert("effects", QJsonObject{{"scanlines", false}, {"colorGrade", "amber"}});
    skin.insert("drawer",
                QJsonObject{{"edge", "Bottom"}, {"chevron", with(rect(1, 2, 3, 4), "cornerRadius", 2)}});
    const QString folder = skinFolder(skin);

    model.loadSkin(folder);
    ASSERT_EQ(model.buttons().size(), 4);
    model.installSkin();
    EXPECT_EQ(model.statusMessage(), "Installed to retro-pad/ — applied live.");
    const QString installed = QDir(skinsDir()).filePath("retro-pad/skin.json");
    EXPECT_EQ(readJson(installed), skin);

    // Edits change their own members only (the moved key keeps its unrounded width); the keys shown as
    // buttons go back to "keys", a removed one is dropped.
    model.loadSkin(QDir(skinsDir()).filePath("retro-pad"));
    QList<ButtonDef> buttons = model.buttons();
    buttons[2].rect.translate(20, 0);
    buttons.removeAt(3);
    model.setButtons(buttons);
    model.setGlow(true);
    model.setViewport(QRectF(0, 0, 200, 300));
    model.setViewportCornerRadii({4, 4, 4, 4});
    model.installSkin();
    const QJsonObject edited = readJson(installed);
    EXPECT_EQ(edited.value("category"), "Handhelds");
    EXPECT_EQ(edited.value("madeBy"), skin.value("madeBy"));
    EXPECT_EQ(edited.value("version"), "2");
    EXPECT_EQ(edited.value("viewport"), (QJsonObject{{"x", 0},
                                                     {"y", 0},
                                                     {"width", 100},
                                                     {"height", 150},
                                                     {"cornerRadius", 6},
                                                     {"cornerRadii", QJsonArray{2, 2, 2, 2}},
                                                     {"glare", true}}));
    EXPECT_EQ(
        edited.value("effects"),
        (QJsonObject{{"scanlines", false}, {"colorGrade", "amber"}, {"glow", true}, {"glowIntensity", 0.4}}));
    EXPECT_EQ(edited.value("buttons"), skin.value("buttons"));
    EXPECT_EQ(edited.value("keys"),
              (QJsonArray{keys[0], with(rect(20, 700, 9.5, 9), "key", "w"), keys[3], keys[4]}));
    EXPECT_EQ(edited.value("drawer"), skin.value("drawer"));
    EXPECT_EQ(edited.value("palette"), skin.value("palette"));
}

TEST_F(SkinLoad, ABuilderSkinSurvivesOpeningAndInstallingAgain) {
    prepareCoolSkin();
    model.setAuthor("Ann");
    model.setViewportCornerOffsets({QPointF(0, 0), QPointF(0, 3), QPointF(0, 0), QPointF(0, 0)});
    model.setButtons({ButtonDef{QUuid::createUuid(), QRectF(10, 10, 40, 40), "Go", ButtonShape::circle,
                                PanelType::music, "enter"}});
    model.setDrawerEnabled(true);
    model.setDrawerViewport(QRectF(100, 1000, 200, 100));
    model.setScanlines(true);
    model.installSkin();
    const QString file = QDir(skinsDir()).filePath("my-cool-skin/skin.json");
    const QJsonObject first = readJson(file);

    alertAnswer = 0;
    model.loadSkin(QDir(skinsDir()).filePath("my-cool-skin"));
    EXPECT_EQ(model.buttons().first().defaultPanel, PanelType::terminal);
    model.installSkin();
    EXPECT_EQ(readJson(file), first);
}
