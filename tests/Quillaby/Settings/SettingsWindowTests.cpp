#include "SettingsWindowTestSupport.h"

#include "Services/AboutSettingsTab.h"
#include "Services/WebService.h"
#include "Settings/KeysSettingsTab.h"
#include "Settings/SettingsView.h"
#include "Settings/SettingsViewModel.h"
#include "Settings/SettingsWindowController.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

class SettingsWindow : public SettingsWindowTest {
protected:
    void SetUp() override {
        SettingsWindowTest::SetUp();
        // The About tab asks the web service when shown: nobody answers on this port.
        WebService::setSiteAddressForTesting(QUrl(QStringLiteral("http://127.0.0.1:9")));
    }
    void TearDown() override { WebService::setSiteAddressForTesting(QUrl()); }
};

} // namespace

TEST_F(SettingsWindow, OneFixedWindowWhoseTabSurvivesClosing) {
    SettingsWindowController& controller = SettingsWindowController::shared();
    EXPECT_EQ(&controller, &SettingsWindowController::shared());
    QWidget* window = controller.window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QString::fromUtf8("Quillaby — Settings"));
    EXPECT_EQ(window->size(), QSize(600, 680));
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);

    QTabWidget* tabs = controller.view()->tabs();
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i) {
        titles << tabs->tabText(i);
        EXPECT_FALSE(tabs->tabIcon(i).isNull()) << i;
    }
    EXPECT_EQ(titles, (QStringList{"About", "General", "Skins", "Effects", "Keys"}));
    // The About tab's accent reads the real skin list; no device window is open.
    const AboutSettingsTab::SkinSources& sources = AboutSettingsTab::skinSources();
    ASSERT_TRUE(sources.loadedSkins && sources.deviceWindowSkinName);
    EXPECT_EQ(sources.loadedSkins().size(), SkinLoader::shared().skins().size());
    EXPECT_EQ(sources.deviceWindowSkinName(), std::nullopt);

    controller.showWindow();
    EXPECT_EQ(tabs->currentIndex(), 0);
    tabs->setCurrentIndex(3);
    SettingsViewModel* model = &controller.view()->model();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    controller.showWindow();
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(&controller.view()->model(), model);
    EXPECT_EQ(tabs->currentIndex(), 3);
    EXPECT_EQ(QApplication::topLevelWidgets().count(window), 1);
    window->hide();
}

TEST_F(SettingsWindow, KeysTabListsTheShortcutsAsBoundHere) {
    const QList<KeysSettingsTab::Binding> expected{
        {"New Window", "Ctrl+Shift+N"},
        {"Close Window", "Ctrl+Alt+Shift+W"},
        {"Settings", "Ctrl+Shift+,"},
        {"Toggle Mini Mode", "Ctrl+Shift+M"},
        {"Show / Hide from anywhere", "Alt+Space"},
        {"New Tab", "Ctrl+Shift+T"},
        {"Close Tab", "Ctrl+Shift+W"},
        {"Switch Session", QString::fromUtf8("Ctrl+Shift+1 \u2013 Ctrl+Shift+9")},
        {"Next Session", "Ctrl+Tab"},
        {"Previous Session", "Ctrl+Shift+Tab"},
        {"Next Panel", "Ctrl+Shift+]"},
        {"Previous Panel", "Ctrl+Shift+["},
        {"Clear Terminal", "Ctrl+Shift+K"},
        {"Bigger Font", "Ctrl+Alt+Shift++"},
        {"Smaller Font", QString::fromUtf8("Ctrl+Alt+Shift+\u2212")},
        {"Copy / Paste / Select All", "Ctrl+Shift+C / Ctrl+Shift+V / Ctrl+Shift+A"},
        {"Cycle Skin", "Ctrl+Shift+L"},
        {"Reload Widgets", "Ctrl+Shift+R"},
        {"Bigger Device", "Ctrl+Shift++"},
        {"Smaller Device", QString::fromUtf8("Ctrl+Shift+\u2212")},
        {"Command Palette", "Ctrl+Shift+P"},
    };
    EXPECT_EQ(KeysSettingsTab::standardBindings(), expected);

    KeysSettingsTab tab(KeysSettingsTab::standardBindings());
    auto* list = tab.findChild<QListWidget*>("bindings");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->count(), 21);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::NoSelection);
    for (int row = 0; row < list->count(); ++row) {
        SCOPED_TRACE(row);
        QWidget* widget = list->itemWidget(list->item(row));
        EXPECT_FALSE(list->item(row)->flags() & (Qt::ItemIsSelectable | Qt::ItemIsEditable));
        EXPECT_EQ(widget->findChild<QLabel*>("action")->text(), expected[row].first);
        EXPECT_EQ(widget->findChild<QLabel*>("keys")->text(), expected[row].second);
    }
    QStringList texts;
    for (QLabel* label : tab.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        texts << label->text();
    EXPECT_EQ(texts, (QStringList{"Keyboard Shortcuts", "Remapping will land in a future release."}));
}

TEST_F(SettingsWindow, ModelMirrorsTheStoreAndFollowsItsNotifications) {
    // An empty stored shell shows as the login shell; the file keeps it empty.
    SettingsViewModel model;
    EXPECT_EQ(model.shell(), SettingsStore::detectLoginShell());
    EXPECT_EQ(settingsJson().value("defaultShell").toString(), "");
    EXPECT_EQ(model.fontName(), store().fontName());
    EXPECT_EQ(model.fontSize(), store().fontSize());
    EXPECT_EQ(model.defaultSkin(), "Handheld v1");
    EXPECT_TRUE(model.restoreWindows());
    EXPECT_EQ(model.skinsTick(), 0);

    // A device window's font keys store the size and announce it.
    store().setFontSize(15);
    EXPECT_EQ(model.fontSize(), 15);
    NotificationCenter::defaultCenter().post(QString(SkinLoader::skinsDidReload));
    EXPECT_EQ(model.skinsTick(), 1);

    store().setDefaultSkin("Walkie MK-1");
    store().setRestoreWindows(false);
    store().setDefaultShell("/bin/sh-custom");
    store().setFontName("Other Mono");
    model.setDefaultSkin("Walkie MK-1");
    model.setRestoreWindows(false);
    // A reset refreshes every mirror and ticks the skin list once.
    store().resetAll();
    EXPECT_EQ(model.fontName(), SettingsData().fontName);
    EXPECT_EQ(model.fontSize(), SettingsData().fontSize);
    EXPECT_EQ(model.shell(), SettingsStore::detectLoginShell());
    EXPECT_EQ(model.defaultSkin(), "Handheld v1");
    EXPECT_TRUE(model.restoreWindows());
    EXPECT_EQ(model.skinsTick(), 2);
}
