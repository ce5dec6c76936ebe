#include "App/AppDelegate.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/GlobalHotkey.h"
#include "App/MainMenu.h"
#include "App/WindowOrder.h"
#include "Skins/SkinLoader.h"
#include "Windows/CommandPaletteController.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "LocalProcessTerminalView.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QUrl>

#include <X11/keysym.h>

namespace Quillaby {

namespace {

ShellView* activeSession(const DeviceWindowController* controller) {
    return controller ? controller->terminalPanel()->manager().active() : nullptr;
}

} // namespace

void AppDelegate::setupMenu() {
    if (!mainMenu) mainMenu = std::make_unique<MainMenu>(*this);
}

void AppDelegate::revealSkinsFolder() {
    const QString folder = AppPaths::skinsDir();
    // A folder that cannot be made is still handed over: the file manager says what is wrong.
    QDir().mkpath(folder);
    AppHooks::current().openUrl(QUrl::fromLocalFile(folder));
}

void AppDelegate::newSession() {
    if (DeviceWindowController* controller = activeController()) controller->terminalPanel()->addSession();
}

void AppDelegate::closeSession() {
    if (DeviceWindowController* controller = activeController()) {
        SessionManager& manager = controller->terminalPanel()->manager();
        manager.closeSession(manager.activeIndex());
    }
}

void AppDelegate::toggleMiniMode() {
    DeviceWindowController* controller = activeController();
    if (!controller) return;
    if (controller->isDeviceMode())
        controller->enterMiniMode();
    else
        controller->exitMiniMode();
}

void AppDelegate::deviceBigger() {
    if (DeviceWindowController* controller = activeController(); controller && controller->isDeviceMode())
        controller->scaleDevice(DeviceWindowController::biggerFactor);
}

void AppDelegate::deviceSmaller() {
    if (DeviceWindowController* controller = activeController(); controller && controller->isDeviceMode())
        controller->scaleDevice(DeviceWindowController::smallerFactor);
}

void AppDelegate::fontBigger() {
    if (ShellView* session = activeSession(activeController())) session->changeFontSize(1);
}

void AppDelegate::fontSmaller() {
    if (ShellView* session = activeSession(activeController())) session->changeFontSize(-1);
}

void AppDelegate::cycleSessionNext() {
    if (DeviceWindowController* controller = activeController()) controller->terminalPanel()->manager().cycle(true);
}

void AppDelegate::clearActiveTerminal() {
    ShellView* session = activeSession(activeController());
    if (!session || !session->terminal()) return;
    // Erase the screen, cursor home: what `clear` prints, without the shell knowing.
    session->terminal()->feed(std::string_view("\x1b[2J\x1b[H"));
}

void AppDelegate::cycleSkin() { cycleSkin(activeController()); }

void AppDelegate::cycleSkin(DeviceWindowController* controller) {
    if (!controller) return;
    if (const std::optional<SkinManifest> next = nextSkin(SkinLoader::shared().skinsOrFallback(), controller->skin()))
        controller->changeSkin(*next);
}

std::optional<SkinManifest> AppDelegate::nextSkin(const QList<SkinManifest>& skins, const SkinManifest& current) {
    if (skins.size() < 2) return std::nullopt;
    qsizetype index = -1;
    for (qsizetype i = 0; i < skins.size() && index < 0; ++i)
        if (skins[i].id == current.id) index = i;
    for (qsizetype i = 0; i < skins.size() && index < 0; ++i)
        if (skins[i].name == current.name) index = i;
    // A skin no longer in the list moves on to the second.
    if (index < 0) index = 0;
    return skins[(index + 1) % skins.size()];
}

void AppDelegate::openCommandPalette() {
    if (!commandPalette) commandPalette = std::make_unique<CommandPaletteController>();
    commandPalette->open(activeController());
}

void AppDelegate::terminate() {
    // Qt closes every window on its way out, and a closed window leaves the saved list.
    applicationWillTerminate();
    QApplication::quit();
}

void AppDelegate::performClose() {
    if (QWidget* window = QApplication::activeWindow()) window->close();
}

void AppDelegate::performMiniaturize() {
    if (QWidget* window = QApplication::activeWindow()) window->showMinimized();
}

namespace {

struct EditTarget {
    QLineEdit* field = nullptr;
    Tessaline::TerminalView* view = nullptr;
};

Tessaline::TerminalView::EditCommand viewCommand(AppDelegate::EditAction action) {
    using Command = Tessaline::TerminalView::EditCommand;
    switch (action) {
    case AppDelegate::EditAction::copy: return Command::copy;
    case AppDelegate::EditAction::paste: return Command::paste;
    case AppDelegate::EditAction::selectAll: return Command::selectAll;
    }
    return Command::copy;
}

EditTarget editTarget(const AppDelegate& delegate) {
    QWidget* focus = QApplication::focusWidget();
    if (auto* field = qobject_cast<QLineEdit*>(focus)) return {field, nullptr};
    if (auto* view = qobject_cast<Tessaline::TerminalView*>(focus)) return {nullptr, view};
    // The device window's first responder is its active session, wherever the focus sits in it.
    if (ShellView* session = activeSession(delegate.activeController())) return {nullptr, session->terminal()};
    return {};
}

} // namespace

bool AppDelegate::canPerformEdit(EditAction action) const {
    const EditTarget target = editTarget(*this);
    if (target.field) {
        switch (action) {
        case EditAction::copy: return target.field->hasSelectedText() && target.field->echoMode() == QLineEdit::Normal;
        case EditAction::paste: return !target.field->isReadOnly();
        case EditAction::selectAll: return true;
        }
    }
    return target.view && target.view->isCommandEnabled(viewCommand(action));
}

void AppDelegate::performEdit(EditAction action) {
    const EditTarget target = editTarget(*this);
    if (target.field) {
        switch (action) {
        case EditAction::copy: target.field->copy(); break;
        case EditAction::paste: target.field->paste(); break;
        case EditAction::selectAll: target.field->selectAll(); break;
        }
        return;
    }
    if (target.view && target.view->isCommandEnabled(viewCommand(action)))
        target.view->performCommand(viewCommand(action));
}

QList<QWidget*> AppDelegate::listedWindows() const {
    QList<QWidget*> windows;
    for (DeviceWindowController* controller : windowControllers)
        if (QWidget* window = controller->window(); window && (window->isVisible() || window->isMinimized()))
            windows.append(window);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (windows.contains(window) || window->windowType() != Qt::Window || window->windowTitle().isEmpty())
            continue;
        if (WindowOrder::isApplicationWindow(window) && (window->isVisible() || window->isMinimized()))
            windows.append(window);
    }
    return windows;
}

// MARK: Hot key and tray

void AppDelegate::registerHotkey() {
    QPointer<AppDelegate> self(this);
    GlobalHotkey::shared().registerHotkey(XK_space, Qt::AltModifier, [self] {
        if (self) self->toggleFrontmostWindow();
    });
}

void AppDelegate::toggleFrontmostWindow() {
    if (QGuiApplication::applicationState() == Qt::ApplicationActive) {
        if (QWidget* key = QApplication::activeWindow()) {
            if (key->isVisible()) {
                hideApplication();
                return;
            }
        } else if (!windowControllers.isEmpty()) {
            QWidget* first = windowControllers.first()->window();
            if (first && first->isVisible()) {
                hideApplication();
                return;
            }
        }
    }
    unhideApplication();
    // The window in front when the application went away becomes the active one again.
    for (QWidget* window : _windowOrder->frontToBack()) {
        if (!window->isVisible() || !WindowOrder::isApplicationWindow(window)) continue;
        window->raise();
        window->activateWindow();
        return;
    }
    if (!windowControllers.isEmpty()) {
        windowControllers.first()->showWindow();
        return;
    }
    showSkinPicker();
}

void AppDelegate::hideApplication() {
    // Front to back, so that showing them back to front restores the order.
    QList<QWidget*> visible;
    for (QWidget* window : _windowOrder->frontToBack())
        if (window->isVisible() && WindowOrder::isApplicationWindow(window)) visible.append(window);
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && WindowOrder::isApplicationWindow(window) && !visible.contains(window))
            visible.append(window);
    for (QWidget* window : visible) {
        _hiddenWindows.append(window);
        window->hide();
    }
}

void AppDelegate::unhideApplication() {
    const QList<QPointer<QWidget>> hidden = std::exchange(_hiddenWindows, {});
    for (auto it = hidden.rbegin(); it != hidden.rend(); ++it)
        if (*it && !(*it)->isVisible()) (*it)->show();
}

void AppDelegate::statusItemShowApp() { toggleFrontmostWindow(); }

void AppDelegate::statusItemNewTab() {
    if (DeviceWindowController* controller = activeController())
        controller->terminalPanel()->addSession();
    else
        showSkinPicker();
}

void AppDelegate::statusItemNewWindow() { showSkinPicker(); }

void AppDelegate::statusItemShowSettings() { showSettings(); }

} // namespace Quillaby
