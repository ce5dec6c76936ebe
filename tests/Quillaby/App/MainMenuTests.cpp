#include "AppTestSupport.h"

#include "App/KeyEquivalents.h"
#include "App/MainMenu.h"
#include "Builder/SkinBuilderWindowController.h"
#include "Settings/KeysSettingsTab.h"
#include "Settings/SettingsWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "LocalProcessTerminalView.h"
#include "TerminalViewDelegate.h"

#include <QAction>
#include <QDialog>
#include <QFileInfo>
#include <QMenu>
#include <QSet>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

// A menu as "title | keys" lines, separators as "-".
QStringList describe(const QMenu* menu) {
    QStringList lines;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator()) {
            if (action->isVisible()) lines << QStringLiteral("-");
            continue;
        }
        lines << action->text() + QStringLiteral(" | ") + action->shortcut().toString(QKeySequence::PortableText);
    }
    return lines;
}

SkinManifest skinNamed(const QString& id, const QString& name) {
    SkinManifest skin = SkinManifest::handheld();
    skin.id = id;
    skin.name = name;
    return skin;
}

} // namespace

using MainMenuTest = AppTest;

TEST_F(MainMenuTest, TheMenuTreeHasThePartsTitlesAndTheBoundKeys) {
    const QList<QMenu*> menus = delegate->mainMenu->menus();
    QStringList titles;
    for (const QMenu* menu : menus) titles << menu->title();
    EXPECT_EQ(titles, (QStringList{"Quillaby", "File", "Edit", "View", "Window"}));
    EXPECT_EQ(describe(menus[0]), (QStringList{"About Quillaby | ", "-", "Settings... | Ctrl+Shift+,", "-",
                                               "Quit Quillaby | Ctrl+Shift+Q"}));
    EXPECT_EQ(describe(menus[1]),
              (QStringList{"New Tab | Ctrl+Shift+T", "New Window... | Ctrl+Shift+N", "-",
                           QString::fromUtf8("Skin Builder\u2026 | Ctrl+Shift+B"), "Reveal Skins Folder in Finder | ",
                           "-", "Close Tab | Ctrl+Shift+W", "Close Window | Ctrl+Alt+Shift+W"}));
    EXPECT_EQ(describe(menus[2]),
              (QStringList{"Copy | Ctrl+Shift+C", "Paste | Ctrl+Shift+V", "Select All | Ctrl+Shift+A"}));
    EXPECT_EQ(describe(menus[3]),
              (QStringList{"Mini Mode | Ctrl+Shift+M", "-", "Bigger Device | Ctrl+Shift++",
                           "Smaller Device | Ctrl+Shift+-", "-", "Increase Font Size | Ctrl+Alt+Shift++",
                           "Decrease Font Size | Ctrl+Alt+Shift+-", "-", "Cycle Session | Ctrl+Tab", "-",
                           "Clear Terminal | Ctrl+Shift+K", "Cycle Skin | Ctrl+Shift+L"}));
    // With no other window open the list below "Minimize" is empty, and so is its separator.
    EXPECT_EQ(describe(menus[4]), (QStringList{"Minimize | "}));
    for (QAction* action : delegate->mainMenu->shortcutActions())
        EXPECT_EQ(action->shortcutContext(), Qt::ApplicationShortcut) << action->text().toStdString();
}

TEST(KeyEquivalents, NoTwoCommandsShareAKeyAndTheKeysTabShowsTheBoundOnes) {
    QSet<QString> seen;
    for (KeyEquivalents::Command command : KeyEquivalents::all()) {
        EXPECT_EQ(KeyEquivalents::sequences(command).first(), KeyEquivalents::sequence(command));
        for (const QKeySequence& sequence : KeyEquivalents::sequences(command)) {
            const QString key = sequence.toString(QKeySequence::PortableText);
            EXPECT_FALSE(key.isEmpty());
            EXPECT_FALSE(seen.contains(key)) << key.toStdString() << " is bound twice";
            seen.insert(key);
        }
    }
    const QList<KeysSettingsTab::Binding> tab = KeysSettingsTab::standardBindings();
    const auto shown = [&](const QString& action) {
        for (const auto& binding : tab)
            if (binding.first == action) return binding.second;
        return QString();
    };
    EXPECT_EQ(shown("Close Tab"), KeyEquivalents::text(KeyEquivalents::Command::closeTab));
    EXPECT_EQ(shown("Close Window"), KeyEquivalents::text(KeyEquivalents::Command::closeWindow));
    EXPECT_NE(shown("Close Tab"), shown("Close Window"));
    EXPECT_EQ(shown("Smaller Font"), QString::fromUtf8("Ctrl+Alt+Shift+\u2212"));
}

TEST_F(MainMenuTest, EveryOrdinaryWindowCarriesTheKeysButDialogsDoNot) {
    DeviceWindowController* controller = open();
    const QList<QAction*> actions = controller->window()->actions();
    for (QAction* action : delegate->mainMenu->shortcutActions())
        EXPECT_TRUE(actions.contains(action)) << action->text().toStdString();
    QWidget other;
    other.show();
    EXPECT_TRUE(other.actions().contains(delegate->mainMenu->action(KeyEquivalents::Command::newTab)));
    QDialog dialog;
    dialog.show();
    EXPECT_TRUE(dialog.actions().isEmpty());
}

TEST_F(MainMenuTest, SessionAndWindowActionsWorkOnTheActiveDeviceWindowOnly) {
    DeviceWindowController* controller = open();
    ASSERT_EQ(delegate->activeController(), controller);
    SessionManager& sessions = controller->terminalPanel()->manager();

    delegate->mainMenu->action(KeyEquivalents::Command::newTab)->trigger();
    EXPECT_EQ(sessions.count(), 2);
    EXPECT_EQ(sessions.activeIndex(), 1);
    delegate->mainMenu->action(KeyEquivalents::Command::cycleSession)->trigger();
    EXPECT_EQ(sessions.activeIndex(), 0);
    delegate->mainMenu->action(KeyEquivalents::Command::closeTab)->trigger();
    EXPECT_EQ(sessions.count(), 1);
    // The last session of a window stays.
    delegate->mainMenu->action(KeyEquivalents::Command::closeTab)->trigger();
    EXPECT_EQ(sessions.count(), 1);

    // Bigger then smaller comes back within the rounding of each step; mini mode ignores both.
    const QSize before = controller->window()->size();
    delegate->deviceBigger();
    EXPECT_GT(controller->window()->width(), before.width());
    delegate->deviceSmaller();
    EXPECT_NEAR(controller->window()->width(), before.width(), 2);
    EXPECT_NEAR(controller->window()->height(), before.height(), 2);
    delegate->toggleMiniMode();
    ASSERT_FALSE(controller->isDeviceMode());
    EXPECT_EQ(delegate->activeController(), controller);
    const QSize mini = controller->window()->size();
    delegate->deviceBigger();
    EXPECT_EQ(controller->window()->size(), mini);
    delegate->toggleMiniMode();
    EXPECT_TRUE(controller->isDeviceMode());

    // With the Settings window active the device window is not the active one: nothing happens.
    activate(controller->window());
    delegate->showSettings();
    QWidget* settings = SettingsWindowController::shared().window();
    activate(settings);
    ASSERT_EQ(delegate->activeController(), nullptr);
    const QString skinBefore = controller->skin().id;
    delegate->newSession();
    delegate->cycleSkin();
    delegate->toggleMiniMode();
    EXPECT_EQ(sessions.count(), 1);
    EXPECT_EQ(controller->skin().id, skinBefore);
    EXPECT_TRUE(controller->isDeviceMode());
    settings->hide();
}

TEST_F(MainMenuTest, ClearTerminalEmptiesTheScreenAndWritesNothingToTheShell) {
    DeviceWindowController* controller = open();
    Tessaline::LocalProcessTerminalView* view = controller->terminalPanel()->manager().active()->terminal();
    ASSERT_TRUE(view);
    SendRecorder recorder;
    view->setTerminalDelegate(&recorder);
    view->feed(std::string_view("first line\r\nsecond line"));
    ASSERT_NE(screenText(*view).find("second line"), std::string::npos);

    delegate->mainMenu->action(KeyEquivalents::Command::clearTerminal)->trigger();
    EXPECT_EQ(screenText(*view).find("line"), std::string::npos);
    EXPECT_EQ(view->terminal().getCursorLocation(), (Tessaline::Terminal::CursorLocation{0, 0}));
    EXPECT_TRUE(recorder.sent.isEmpty()) << recorder.sent.toStdString();
    view->setTerminalDelegate(view);
}

TEST(CycleSkin, WrapsMatchesByIdThenNameAndMovesAnUnknownSkinToTheSecond) {
    const QList<SkinManifest> three{skinNamed("a", "Alpha"), skinNamed("b", "Beta"), skinNamed("c", "Gamma")};
    struct Case {
        const char* name;
        QList<SkinManifest> skins;
        SkinManifest current;
        std::optional<QString> next;
    };
    const Case cases[] = {
        {"first to second", three, three[0], "b"},
        {"last wraps to first", three, three[2], "a"},
        {"id wins over name", three, skinNamed("c", "Alpha"), "a"},
        {"name when the id is gone", three, skinNamed("zz", "Beta"), "c"},
        {"unknown goes to the second", three, skinNamed("zz", "Zeta"), "b"},
        {"a single skin changes nothing", {three[0]}, three[0], std::nullopt},
        {"no skin changes nothing", {}, three[0], std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<SkinManifest> next = AppDelegate::nextSkin(c.skins, c.current);
        ASSERT_EQ(next.has_value(), c.next.has_value());
        if (next) {
            EXPECT_EQ(next->id, *c.next);
        }
    }
}

TEST_F(MainMenuTest, CycleSkinMovesTheActiveWindowFromTheLastLoadedSkinToTheFirst) {
    const QList<SkinManifest> skins = SkinLoader::shared().skins();
    ASSERT_GE(skins.size(), 3);
    DeviceWindowController* controller = open(skins.last());
    delegate->mainMenu->action(KeyEquivalents::Command::cycleSkin)->trigger();
    EXPECT_EQ(controller->skin().id, skins.first().id);
    delegate->cycleSkin();
    EXPECT_EQ(controller->skin().id, skins[1].id);
}

TEST_F(MainMenuTest, SkinBuilderTwiceKeepsOneWindowAndRevealMakesTheSkinsFolder) {
    delegate->mainMenu->action(KeyEquivalents::Command::skinBuilder)->trigger();
    ASSERT_TRUE(delegate->skinBuilderController);
    SkinBuilderWindowController* first = delegate->skinBuilderController.get();
    delegate->mainMenu->action(KeyEquivalents::Command::skinBuilder)->trigger();
    EXPECT_EQ(delegate->skinBuilderController.get(), first);
    EXPECT_TRUE(first->window()->isVisible());
    EXPECT_TRUE(alerts.isEmpty());
    first->window()->hide();

    QDir(AppPaths::skinsDir()).removeRecursively();
    delegate->mainMenu->action("Reveal Skins Folder in Finder")->trigger();
    EXPECT_TRUE(QFileInfo(AppPaths::skinsDir()).isDir());
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(AppPaths::skinsDir())});
}

TEST_F(MainMenuTest, EditItemsActOnTheActiveSessionAndTheWindowMenuListsTheWindows) {
    DeviceWindowController* controller = open();
    Tessaline::TerminalView* view = controller->terminalPanel()->manager().active()->terminal();
    EXPECT_FALSE(view->selectionActive());
    delegate->mainMenu->action(KeyEquivalents::Command::selectAll)->trigger();
    EXPECT_TRUE(view->selectionActive());

    QMenu* windowMenu = delegate->mainMenu->windowMenu();
    emit windowMenu->aboutToShow();
    const QStringList lines = describe(windowMenu);
    EXPECT_EQ(lines, (QStringList{"Minimize | ", "-", controller->skin().name + " | "}));
    EXPECT_TRUE(windowMenu->actions().last()->isChecked());
    emit windowMenu->aboutToHide();
}
