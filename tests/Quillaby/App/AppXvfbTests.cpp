// The application's keys on a real X server: every key equivalent reaches its action while a terminal
// has the focus, Alt+Space (grabbed on the root window) hides and shows the application, and the tray
// item docks into a tray host (Debian's trayer) with the menu the application offers there.
#include "AppTestSupport.h"

#include "App/GlobalHotkey.h"
#include "App/KeyEquivalents.h"
#include "App/MainMenu.h"
#include "App/StatusItemController.h"
#include "Picker/SkinPickerWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "LocalProcessTerminalView.h"
#include "TerminalViewDelegate.h"

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <signal.h>

#include <cstdlib>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

bool xdotool(const QStringList& args) {
    QProcess tool;
    tool.start("xdotool", args);
    return tool.waitForFinished(5000) && tool.exitCode() == 0;
}

bool haveXdotool() { return !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(); }

using AppOnX = AppTest;

} // namespace

TEST_F(AppOnX, EveryKeyEquivalentReachesItsActionWhileATerminalHasTheFocus) {
    if (!haveXdotool()) GTEST_SKIP() << "no xdotool";
    DeviceWindowController* controller = open();
    Tessaline::LocalProcessTerminalView* view = controller->terminalPanel()->manager().active()->terminal();
    ASSERT_TRUE(xdotool({"windowfocus", "--sync", QString::number(controller->window()->winId())}));
    activate(controller->window());
    view->setFocus();
    ASSERT_TRUE(spinUntil([&] { return view->hasFocus(); }, 5000));
    SendRecorder recorder;
    view->setTerminalDelegate(&recorder);

    using C = KeyEquivalents::Command;
    const std::pair<C, const char*> keys[] = {
        {C::settings, "ctrl+shift+comma"},
        {C::quit, "ctrl+shift+q"},
        {C::newTab, "ctrl+shift+t"},
        {C::newWindow, "ctrl+shift+n"},
        {C::skinBuilder, "ctrl+shift+b"},
        {C::closeTab, "ctrl+shift+w"},
        {C::closeWindow, "ctrl+alt+shift+w"},
        {C::copy, "ctrl+shift+c"},
        {C::paste, "ctrl+shift+v"},
        {C::selectAll, "ctrl+shift+a"},
        {C::miniMode, "ctrl+shift+m"},
        {C::deviceBigger, "ctrl+shift+equal"},
        {C::deviceSmaller, "ctrl+shift+minus"},
        {C::fontBigger, "ctrl+alt+shift+equal"},
        {C::fontSmaller, "ctrl+alt+shift+minus"},
        {C::cycleSession, "ctrl+Tab"},
        {C::clearTerminal, "ctrl+shift+k"},
        {C::cycleSkin, "ctrl+shift+l"},
        {C::commandPalette, "ctrl+shift+p"},
    };
    ASSERT_EQ(std::size(keys) + 2, size_t(KeyEquivalents::all().size())) << "find and find next are the window's";
    for (const auto& [command, key] : keys) {
        SCOPED_TRACE(key);
        QAction* action = delegate->mainMenu->action(command);
        ASSERT_TRUE(action);
        // Only the delivery is under test: the action's own work would move the focus away.
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QSignalSpy triggered(action, &QAction::triggered);
        ASSERT_TRUE(xdotool({"key", key}));
        EXPECT_TRUE(spinUntil([&] { return triggered.count() > 0; }, 3000));
        EXPECT_EQ(triggered.count(), 1);
    }
    // The window's own Find keys.
    for (const auto& [command, key] : {std::pair{C::find, "ctrl+shift+f"}, std::pair{C::findNext, "ctrl+shift+g"}}) {
        SCOPED_TRACE(key);
        QAction* action = nullptr;
        for (QAction* candidate : controller->window()->actions())
            if (candidate->shortcut() == KeyEquivalents::sequence(command)) action = candidate;
        ASSERT_TRUE(action);
        QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
        QSignalSpy triggered(action, &QAction::triggered);
        ASSERT_TRUE(xdotool({"key", key}));
        EXPECT_TRUE(spinUntil([&] { return triggered.count() > 0; }, 3000));
    }
    EXPECT_TRUE(recorder.sent.isEmpty()) << recorder.sent.toStdString();
    // Ctrl alone stays the shell's.
    ASSERT_TRUE(xdotool({"key", "ctrl+c"}));
    EXPECT_TRUE(spinUntil([&] { return !recorder.sent.isEmpty(); }, 3000));
    EXPECT_EQ(recorder.sent, QByteArray("\x03"));
    view->setTerminalDelegate(view);
}

TEST_F(AppOnX, AltSpaceHidesTheVisibleWindowsShowsThemAgainAndOpensThePickerWithoutOne) {
    if (!haveXdotool()) GTEST_SKIP() << "no xdotool";
    delegate->registerHotkey();
    ASSERT_TRUE(GlobalHotkey::shared().isGrabbed());
    DeviceWindowController* controller = open();
    QWidget* window = controller->window();
    ASSERT_TRUE(xdotool({"windowfocus", "--sync", QString::number(window->winId())}));
    activate(window);
    ASSERT_TRUE(spinUntil([] { return QGuiApplication::applicationState() == Qt::ApplicationActive; }, 3000));

    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    EXPECT_TRUE(spinUntil([&] { return !window->isVisible(); }, 3000));
    EXPECT_TRUE(delegate->isApplicationHidden());
    spinUntil([] { return QGuiApplication::applicationState() != Qt::ApplicationActive; }, 3000);

    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    EXPECT_TRUE(spinUntil([&] { return window->isVisible() && QApplication::activeWindow() == window; }, 3000));
    EXPECT_FALSE(delegate->isApplicationHidden());

    // With every device window closed the hot key opens the picker.
    window->close();
    spinUntil([&] { return delegate->windowControllers.isEmpty(); }, 1000);
    ASSERT_TRUE(delegate->windowControllers.isEmpty());
    spinUntil([] { return QGuiApplication::applicationState() != Qt::ApplicationActive; }, 2000);
    ASSERT_TRUE(xdotool({"key", "alt+space"}));
    EXPECT_TRUE(spinUntil([&] { return delegate->skinPickerController && delegate->skinPickerController->window()->isVisible(); }, 3000));
    GlobalHotkey::shared().unregister();
}

TEST_F(AppOnX, AHotKeyAnotherClientHoldsIsLoggedOnceAndOtherwiseIgnored) {
    // Another client grabs Alt+Space first (with and without Num Lock, as we would).
    xcb_connection_t* other = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(other));
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(other);
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, XK_space);
    ASSERT_TRUE(codes);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    for (uint16_t extra : {0, int(XCB_MOD_MASK_LOCK), int(XCB_MOD_MASK_2), int(XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2)})
        xcb_grab_key(other, 1, root, uint16_t(XCB_MOD_MASK_1 | extra), codes[0], XCB_GRAB_MODE_ASYNC,
                     XCB_GRAB_MODE_ASYNC);
    std::free(codes);
    xcb_key_symbols_free(symbols);
    std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));

    _log.clear();
    GlobalHotkey hotkey;
    hotkey.registerHotkey(XK_space, Qt::AltModifier, [] {});
    EXPECT_FALSE(hotkey.isGrabbed());
    hotkey.registerHotkey(XK_space, Qt::AltModifier, [] {});
    EXPECT_EQ(_log.lines(), QStringList{"[Quillaby] Another program holds the hot key; Quillaby has none this time"});
    hotkey.unregister();
    EXPECT_FALSE(hotkey.onTrigger());
    xcb_disconnect(other);
}

TEST_F(AppOnX, MiniModeKeyTogglesBothWays) {
    if (!haveXdotool()) GTEST_SKIP() << "no xdotool";
    DeviceWindowController* controller = open();
    ASSERT_TRUE(xdotool({"windowfocus", "--sync", QString::number(controller->window()->winId())}));
    activate(controller->window());
    ASSERT_TRUE(xdotool({"key", "ctrl+shift+m"}));
    ASSERT_TRUE(spinUntil([&] { return !controller->isDeviceMode(); }, 3000));
    // The plain window is a new X window: it keeps the focus, so the same key brings the device back.
    EXPECT_TRUE(spinUntil([&] { return QApplication::activeWindow() == controller->window(); }, 3000));
    ASSERT_TRUE(xdotool({"key", "ctrl+shift+m"}));
    EXPECT_TRUE(spinUntil([&] { return controller->isDeviceMode(); }, 3000));
}

TEST_F(AppOnX, TheTrayItemDocksIntoATrayHostWithThePartsMenu) {
    const QString trayer = QStandardPaths::findExecutable(QStringLiteral("trayer"));
    if (trayer.isEmpty()) GTEST_SKIP() << "no trayer";
    _log.clear();
    // No tray host yet: no icon, no complaint.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    {
        StatusItemController quiet(delegate.get());
        EXPECT_TRUE(_log.lines().isEmpty()) << _log.lines().join('\n').toStdString();
    }

    QProcess host;
    host.start(trayer, {"--edge", "top", "--align", "right", "--width", "10", "--height", "24"});
    ASSERT_TRUE(host.waitForStarted(5000));
    const qint64 pid = host.processId();
    ASSERT_TRUE(spinUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000));

    StatusItemController item(delegate.get());
    EXPECT_TRUE(item.item()->isVisible());
    QStringList titles;
    for (const QAction* action : item.menu()->actions())
        titles << (action->isSeparator() ? QStringLiteral("-")
                                         : action->text() + QStringLiteral(" | ") +
                                               action->shortcut().toString(QKeySequence::PortableText));
    EXPECT_EQ(titles, (QStringList{"Show Quillaby | ", "-", "New Tab | Ctrl+Shift+T",
                                   QString::fromUtf8("New Window\u2026 | Ctrl+Shift+N"), "-",
                                   QString::fromUtf8("Settings\u2026 | Ctrl+Shift+,"), "-",
                                   "Quit Quillaby | Ctrl+Shift+Q"}));
    // From the background New Tab opens the picker.
    ASSERT_EQ(delegate->activeController(), nullptr);
    item.menu()->actions()[2]->trigger();
    EXPECT_TRUE(delegate->skinPickerController && delegate->skinPickerController->window()->isVisible());

    ::kill(pid_t(pid), SIGTERM);
    host.waitForFinished(5000);
}
