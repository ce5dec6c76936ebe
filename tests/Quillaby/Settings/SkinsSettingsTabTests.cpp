#include "SettingsWindowTestSupport.h"

#include "App/AppDelegate.h"
#include "Windows/DeviceWindowController.h"
#include "Settings/SettingsViewModel.h"
#include "Settings/SkinsSettingsTab.h"

#include <QLabel>
#include <QPushButton>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

struct Row {
    QString name;
    QString badge;
    QString size;
    bool isDefault = false;

    bool operator==(const Row&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Row& row) {
        return out << row.name.toStdString() << " [" << row.badge.toStdString() << "] "
                   << row.size.toStdString() << (row.isDefault ? " DEFAULT" : "");
    }
};

QList<Row> rows(const SkinsSettingsTab& tab) {
    QList<Row> result;
    for (QWidget* row : tab.findChildren<QWidget*>("skinRow")) {
        result << Row{row->findChild<QLabel*>("name")->text(), row->findChild<QLabel*>("badge")->text(),
                      row->findChild<QLabel*>("frameSize")->text(),
                      row->findChild<QLabel*>("default") != nullptr};
        EXPECT_NE(row->findChild<QPushButton*>("useNow"), nullptr);
        EXPECT_EQ(row->findChild<QPushButton*>("makeDefault") == nullptr, result.last().isDefault);
    }
    return result;
}

Row rowOf(const SkinsSettingsTab& tab, const QString& name) {
    for (const Row& row : rows(tab))
        if (row.name == name) return row;
    return Row{};
}

QWidget* rowNamed(const SkinsSettingsTab& tab, const QString& name) {
    for (QWidget* row : tab.findChildren<QWidget*>("skinRow"))
        if (row->property("skinName").toString() == name) return row;
    return nullptr;
}

} // namespace

TEST(SkinsSettingsTab, BadgesAndFrameSizes) {
    SkinManifest skin = SkinManifest::handheld();
    struct Case {
        const char* name;
        std::optional<QString> frameImage;
        QString badge;
        std::optional<QColor> color;
    };
    const Case cases[] = {
        {"no frame art", std::nullopt, "FALLBACK", QColor(255, 149, 0)},
        {"user skin", "/home/u/skins/x/frame@2x.png", "ON DISK", QColor(0, 122, 255)},
        {"shipped skin", "desk-crt/frame@2x.png", "BUILT-IN", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        skin.frameImageName = c.frameImage;
        EXPECT_EQ(SkinsSettingsTab::originBadge(skin), (SkinsSettingsTab::Badge{c.badge, c.color}));
    }
    EXPECT_EQ(SkinsSettingsTab::frameSizeText(QSizeF(398.6, 555.9)), QString::fromUtf8("398 \u00D7 555"));
    EXPECT_EQ(SkinsSettingsTab::frameSizeText(QSizeF(680, 800)), QString::fromUtf8("680 \u00D7 800"));
}

TEST_F(SettingsWindowTest, SkinsTabListsTheLoadedSkinsAndMovesTheDefault) {
    QJsonObject user = minimalSkin("My Skin");
    user["frame"] = QJsonObject{{"image", "frame@2x.png"}, {"width", 398.6}, {"height", 555.4}};
    writeUserSkin("mine", user);
    SettingsViewModel model;
    SkinsSettingsTab tab(model);
    const QString x = QString::fromUtf8(" \u00D7 ");
    // In the loader's order, which lists shipped folders as the file system does.
    QStringList loaded;
    for (const SkinManifest& skin : SkinLoader::shared().skins())
        loaded << skin.name;
    QStringList shown;
    for (const Row& row : rows(tab))
        shown << row.name;
    EXPECT_EQ(shown, loaded);
    const Row expected[] = {
        {"Desk CRT 80", "BUILT-IN", "680" + x + "800", false},
        {"Pocket Glass P2", "BUILT-IN", "400" + x + "760", false},
        {"My Skin", "ON DISK", "398" + x + "555", false},
        {"Handheld v1", "BUILT-IN", "398" + x + "555", true},
    };
    for (const Row& row : expected) {
        SCOPED_TRACE(row.name.toStdString());
        EXPECT_EQ(rowOf(tab, row.name), row);
    }

    NotificationRecorder heard(settingsNotifications());
    rowNamed(tab, "My Skin")->findChild<QPushButton*>("makeDefault")->click();
    EXPECT_EQ(settingsJson().value("defaultSkin").toString(), "My Skin");
    EXPECT_EQ(model.defaultSkin(), "My Skin");
    EXPECT_TRUE(rowOf(tab, "My Skin").isDefault);
    EXPECT_FALSE(rowOf(tab, "Handheld v1").isDefault);
    EXPECT_EQ(heard.take(), QStringList());

    // Use Now without an application delegate does nothing; with one and no device window open it
    // opens a new device window with the skin.
    _log.clear();
    rowNamed(tab, "Desk CRT 80")->findChild<QPushButton*>("useNow")->click();
    EXPECT_EQ(_log.lines(), QStringList());
    {
        AppDelegate delegate;
        rowNamed(tab, "Desk CRT 80")->findChild<QPushButton*>("useNow")->click();
        ASSERT_EQ(delegate.windowControllers.size(), 1);
        EXPECT_EQ(AppDelegate::skinNameOf(*delegate.windowControllers.first()), "Desk CRT 80");
    }
    EXPECT_EQ(store().defaultSkin(), "My Skin");
}

TEST_F(SettingsWindowTest, ReloadRebuildsOnlyThisListAndOpenCreatesTheFolder) {
    SettingsViewModel model;
    SkinsSettingsTab tab(model);
    EXPECT_EQ(rows(tab).size(), 3);
    writeUserSkin("late", minimalSkin("Late Skin"), false);
    EXPECT_EQ(rows(tab).size(), 3);

    NotificationRecorder heard(settingsNotifications());
    tab.findChild<QPushButton*>("reload")->click();
    EXPECT_EQ(heard.take(), QStringList());
    EXPECT_EQ(model.skinsTick(), 1);
    EXPECT_EQ(rows(tab).size(), 4);
    EXPECT_EQ(rowOf(tab, "Late Skin").badge, "ON DISK");

    // A reload announced elsewhere rebuilds it too.
    QDir(skinsDir() + "/late").removeRecursively();
    SkinLoader::shared().loadAll();
    NotificationCenter::defaultCenter().post(QString(SkinLoader::skinsDidReload));
    EXPECT_EQ(rows(tab).size(), 3);

    QDir(skinsDir()).removeRecursively();
    tab.findChild<QPushButton*>("openSkinsFolder")->click();
    EXPECT_TRUE(QFileInfo(skinsDir()).isDir());
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(skinsDir())});
}
