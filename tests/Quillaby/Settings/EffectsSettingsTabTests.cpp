#include "SettingsWindowTestSupport.h"

#include "Settings/CuratedPalettes.h"
#include "Settings/EffectsSettingsTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

class EffectsTabTest : public SettingsWindowTest {
protected:
    // A user skin named "Mine" with members this tab does not know, made the active skin.
    QString installMine() {
        QJsonObject skin = minimalSkin("Mine");
        skin["author"] = "someone";
        skin["drawer"] = QJsonObject{{"edge", "bottom"}, {"height", 120}};
        skin["launchScale"] = 1.5;
        skin["effects"] = QJsonObject{{"glow", true}, {"glowIntensity", 0.9}, {"colorGrade", "amber"}};
        skin["palette"] =
            QJsonObject{{"foreground", "#808080"}, {"background", "#010203"}, {"extra", "kept?"}};
        const QString file = writeUserSkin("mine", skin);
        store().setDefaultSkin("Mine");
        return file;
    }
};

SkinEffectsSettings glowOnly() {
    SkinEffectsSettings effects;
    effects.glow = true;
    effects.glowIntensity = 0.55;
    return effects;
}

} // namespace

TEST(EffectsSettingsTab, NsHexRoundsHalfAwayFromZeroAndIgnoresAlpha) {
    struct Case {
        const char* name;
        RgbColor color;
        const char* expected;
    };
    const Case cases[] = {
        {"red", RgbColor::rgb(1, 0, 0), "#FF0000"},
        {"half rounds up", RgbColor::rgb(0.5, 0.5, 0.5), "#808080"},
        {"just under half", RgbColor::rgb(0.498, 0.498, 0.498), "#7F7F7F"},
        {"alpha ignored", RgbColor::rgb(0.5, 0.25, 0.75, 0.3), "#8040BF"},
        {"held at the ends", RgbColor::rgb(-0.2, 1.4, 0), "#00FF00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EffectsSettingsTab::nsHex(c.color), c.expected);
    }
}

TEST(EffectsSettingsTab, EffectsObjectHasOneGroupPerSwitchOn) {
    SkinEffectsSettings scanlines;
    scanlines.scanlines = true;
    SkinEffectsSettings rolling = scanlines;
    rolling.scanlineStyle = "rolling";
    SkinEffectsSettings graded;
    graded.colorGrade = "amber";
    SkinEffectsSettings curved;
    curved.curvature = true;
    curved.curvatureAmount = 0.123456789;
    struct Case {
        const char* name;
        SkinEffectsSettings effects;
        std::optional<QJsonObject> expected;
    };
    const Case cases[] = {
        {"all off", SkinEffectsSettings(), std::nullopt},
        {"a colour grade alone is not written", graded, std::nullopt},
        {"glow", glowOnly(), QJsonObject{{"glow", true}, {"glowIntensity", 0.55}}},
        {"standard scanlines name no style", scanlines,
         QJsonObject{{"scanlines", true}, {"scanlineIntensity", 0.3}}},
        {"rolling scanlines", rolling,
         QJsonObject{{"scanlines", true}, {"scanlineIntensity", 0.3}, {"scanlineStyle", "rolling"}}},
        {"amounts unrounded", curved, QJsonObject{{"curvature", true}, {"curvatureAmount", 0.123456789}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(EffectsSettingsTab::effectsObject(c.effects), c.expected);
    }
}

TEST_F(EffectsTabTest, ControlsStoreAndAnnounceEachChangeForTheSkin) {
    EffectsSettingsTab tab;
    tab.show();
    EXPECT_EQ(tab.selectedSkin(), "Handheld v1");
    EXPECT_EQ(tab.saveStatus(), "");
    NotificationRecorder heard(settingsNotifications());
    const QString posted = "ZolvEffectsDidChange Handheld v1";

    auto* scanlines = tab.findChild<QCheckBox*>("scanlines");
    EXPECT_FALSE(tab.findChild<QWidget*>("scanlineDetails")->isVisibleTo(&tab));
    scanlines->click();
    EXPECT_TRUE(tab.findChild<QWidget*>("scanlineDetails")->isVisibleTo(&tab));
    auto* style = tab.findChild<QComboBox*>("scanlineStyle");
    style->setCurrentIndex(2);
    emit style->activated(2);
    tab.findChild<QSlider*>("curvatureAmount")->setValue(500);
    EXPECT_EQ(heard.take(), (QStringList{posted, posted, posted}));
    SkinEffectsSettings expected;
    expected.scanlines = true;
    expected.scanlineStyle = "shadowmask";
    expected.curvatureAmount = 0.25;
    EXPECT_EQ(store().effects("Handheld v1"), expected);
    EXPECT_EQ(settingsJson()["skinEffects"].toObject()["Handheld v1"].toObject()["scanlineStyle"].toString(),
              "shadowmask");

    tab.findChild<QPushButton*>("reset")->click();
    EXPECT_EQ(heard.take(), QStringList{posted});
    // Overwritten with the defaults, not removed.
    EXPECT_TRUE(store().skinEffects().contains("Handheld v1"));
    EXPECT_EQ(store().effects("Handheld v1"), SkinEffectsSettings());
    tab.findChild<QPushButton*>("reset")->click();
    EXPECT_EQ(heard.take(), QStringList()) << "already the defaults";
}

TEST_F(EffectsTabTest, ShowingWritesOnlyWhatDiffersFromWhatWasShown) {
    NotificationRecorder heard(settingsNotifications());
    EffectsSettingsTab tab;
    tab.show();
    EXPECT_EQ(heard.take(), QStringList());
    EXPECT_FALSE(store().skinEffects().contains("Handheld v1"));
    tab.hide();

    // Another skin with stored effects: shown, stored under it and announced once.
    store().setSkinEffects({{"Desk CRT 80", glowOnly()}});
    store().setDefaultSkin("Desk CRT 80");
    tab.show();
    EXPECT_EQ(tab.selectedSkin(), "Desk CRT 80");
    EXPECT_EQ(tab.findChild<QLabel*>("skinName")->text(), "Desk CRT 80");
    EXPECT_EQ(tab.effects(), glowOnly());
    EXPECT_TRUE(tab.findChild<QCheckBox*>("glow")->isChecked());
    EXPECT_EQ(tab.findChild<QSlider*>("glowIntensity")->value(), 550);
    EXPECT_EQ(heard.take(), QStringList{"ZolvEffectsDidChange Desk CRT 80"});
}

TEST_F(EffectsTabTest, SaveToSkinRefusesSkinsThatAreNotTheUsers) {
    // A shipped skin and the built-in one have no folder in the user's skins folder.
    for (const char* name : {"Desk CRT 80", "Handheld v1"}) {
        SCOPED_TRACE(name);
        store().setDefaultSkin(name);
        EffectsSettingsTab tab;
        tab.show();
        NotificationRecorder heard(settingsNotifications());
        tab.findChild<QPushButton*>("saveToSkin")->click();
        EXPECT_EQ(tab.saveStatus(), QString::fromUtf8("\u2014 can't save a built-in skin"));
        EXPECT_EQ(tab.findChild<QLabel*>("saveStatus")->text(), tab.saveStatus());
        EXPECT_EQ(heard.take(), QStringList());
    }
    EXPECT_TRUE(QDir(skinsDir()).isEmpty());
}

TEST_F(EffectsTabTest, SaveToSkinRewritesPaletteAndEffectsAndKeepsTheRest) {
    const QString file = installMine();
    const QJsonObject before = readObject(file);
    EffectsSettingsTab tab;
    tab.show();
    ASSERT_EQ(tab.selectedSkin(), "Mine");
    // Without overrides: the loaded skin's colours, and only the members a palette has.
    EXPECT_EQ(EffectsSettingsTab::paletteObject("Mine"),
              (QJsonObject{{"foreground", "#808080"}, {"background", "#010203"}}));
    tab.setEffects(glowOnly());
    const CuratedPalette& curated = CuratedPalettes::all().at(4);
    store().setPaletteOverrides({{"Mine", curated.id}});
    store().setCursorOverrides({{"Mine", "abcdef"}});

    NotificationRecorder heard(settingsNotifications());
    tab.saveToSkin();
    EXPECT_EQ(tab.saveStatus(), QString::fromUtf8("\u2014 saved \u2713"));
    EXPECT_EQ(heard.take(), QStringList{"ZolvSkinsDidReload"});
    EXPECT_EQ(SkinLoader::shared().lastManualBroadcast(), QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));

    const QByteArray bytes = readFile(file);
    EXPECT_EQ(bytes, QJsonDocument::fromJson(bytes).toJson(QJsonDocument::Indented)) << "sorted and indented";
    QJsonObject expected = before;
    expected["effects"] = QJsonObject{{"glow", true}, {"glowIntensity", 0.55}};
    expected["palette"] = QJsonObject{{"foreground", curated.foreground},
                                      {"background", curated.background},
                                      {"cursor", "#ABCDEF"},
                                      {"ansi", QJsonArray::fromStringList(curated.ansi)}};
    EXPECT_EQ(readObject(file), expected);
    // The settings keep what was baked in.
    EXPECT_EQ(store().effects("Mine"), glowOnly());
    EXPECT_EQ(store().paletteOverrides().value("Mine"), curated.id);

    // All effects off removes "effects"; without overrides the palette comes from the reloaded skin,
    // which now carries the colours baked in above.
    tab.reset();
    store().setPaletteOverrides({});
    store().setCursorOverrides({});
    tab.saveToSkin();
    expected.remove("effects");
    QStringList ansi;
    for (const QString& color : curated.ansi)
        ansi << color.toUpper();
    expected["palette"] = QJsonObject{{"foreground", curated.foreground.toUpper()},
                                      {"background", curated.background.toUpper()},
                                      {"cursor", "#ABCDEF"},
                                      {"ansi", QJsonArray::fromStringList(ansi)}};
    EXPECT_EQ(readObject(file), expected);
    // The skin loads again after the rewrite.
    const QList<SkinManifest> loaded = SkinLoader::shared().skins();
    EXPECT_TRUE(std::any_of(loaded.begin(), loaded.end(),
                            [](const SkinManifest& skin) { return skin.name == "Mine"; }));
}

TEST_F(EffectsTabTest, ACursorOverrideAloneIsMergedIntoTheFilesPalette) {
    // Fault: a palette holding only "cursor" replaced the file's palette, dropping the foreground and
    // background every skin needs. That happens when no loaded skin has the name.
    const QString file = writeUserSkin("ghost", minimalSkin("Ghost"));
    store().setDefaultSkin("Ghost");
    EffectsSettingsTab tab;
    tab.show();
    ASSERT_EQ(tab.selectedSkin(), "Ghost");
    // The skin leaves the list (as after a reload that failed to read it) while its folder stays.
    QFile::rename(file, file + ".off");
    SkinLoader::shared().loadAll();
    QFile::rename(file + ".off", file);
    store().setCursorOverrides({{"Ghost", "#123456"}});
    ASSERT_EQ(EffectsSettingsTab::paletteObject("Ghost"), (QJsonObject{{"cursor", "#123456"}}));

    tab.saveToSkin();
    EXPECT_EQ(readObject(file)["palette"].toObject(),
              (QJsonObject{{"foreground", "#33FF66"}, {"background", "#000000"}, {"cursor", "#123456"}}));

    // A stored cursor that is no colour is written as the magenta sentinel.
    store().setCursorOverrides({{"Ghost", "not a colour"}});
    EXPECT_EQ(EffectsSettingsTab::paletteObject("Ghost").value("cursor").toString(), "#FF00FF");
}

TEST_F(EffectsTabTest, SaveToSkinFailures) {
    const QString file = installMine();
    EffectsSettingsTab tab;
    tab.show();
    NotificationRecorder heard(settingsNotifications());

    // The file cannot be replaced: a folder sits where its temporary file would go.
    QDir().mkpath(file + ".saving/blocker");
    const QByteArray before = readFile(file);
    tab.saveToSkin();
    EXPECT_EQ(tab.saveStatus(), QString::fromUtf8("\u2014 write failed"));
    EXPECT_EQ(readFile(file), before);
    EXPECT_EQ(heard.take(), QStringList());
}

TEST_F(EffectsTabTest, UserSkinFileIsTheFirstListedWithThatName) {
    EXPECT_EQ(EffectsSettingsTab::userSkinJSONURL("Mine"), std::nullopt);
    const QString first = writeUserSkin("a", minimalSkin("Twin"), false);
    const QString second = writeUserSkin("b", minimalSkin("Twin"), false);
    writeUserSkinBytes("broken", "{not json", false);
    writeUserSkinBytes("array", "[1, 2]", false);
    writeUserSkin("unnamed", QJsonObject{{"name", 3}}, false);
    QFile stray(skinsDir() + "/stray-file");
    ASSERT_TRUE(stray.open(QIODevice::WriteOnly));
    stray.close();

    const QStringList order =
        QDir(skinsDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted);
    const QString expected = order.indexOf("a") < order.indexOf("b") ? first : second;
    EXPECT_EQ(EffectsSettingsTab::userSkinJSONURL("Twin"), expected);
    EXPECT_EQ(EffectsSettingsTab::userSkinJSONURL("twin"), std::nullopt);
    EXPECT_EQ(EffectsSettingsTab::userSkinJSONURL("3"), std::nullopt);
}
