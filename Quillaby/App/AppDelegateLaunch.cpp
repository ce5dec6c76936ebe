#include "App/AppDelegate.h"

#include "App/AppPaths.h"
#include "App/ClaudeStatuslineCleanup.h"
#include "App/FirstFrame.h"
#include "App/FontRegistrar.h"
#include "App/LaunchTrace.h"
#include "App/Log.h"
#include "App/StatusItemController.h"
#include "App/WindowOrder.h"
#include "App/WelcomeWindowController.h"
#include "Services/CrashReporter.h"
#include "Settings/DirtyStartSweep.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"
#include "Windows/DeviceWindowController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

namespace Quillaby {

void AppDelegate::applicationDidFinishLaunching() {
    AppPaths::migrateLegacyAppSupportIfNeeded();
    CrashReporter::installHandlers();
    FontRegistrar::registerBundledFonts();
    SkinLoader::shared().loadAll();
    SkinLoader::shared().startWatching();
    DirtyStartSweep::run();
    ClaudeStatuslineCleanup::uninstall();
    setupMenu();
    registerHotkey();
    // Linux asks no permission for desktop notifications: nothing to request here.
    LaunchTrace::mark("launch steps done");
    continueLaunch();
    // The tray item talks to the session bus and decodes its image: made once the first window has
    // painted, it no longer holds back that window, its shell and its prompt.
    QPointer<AppDelegate> self(this);
    FirstFrame::whenPainted(this, [self] {
        if (self && !self->statusItem && !self->_terminating)
            self->statusItem = std::make_unique<StatusItemController>(self.data());
    });
    QThreadPool::globalInstance()->start([] { CrashReporter::uploadAllPending(); });
}

std::optional<SkinManifest> AppDelegate::parsePreviewSkinArg(const QStringList& arguments) {
    const qsizetype at = arguments.indexOf(QStringLiteral("--preview-skin"));
    if (at < 0 || at + 1 >= arguments.size()) return std::nullopt;
    const QString path = arguments[at + 1];
    Log::write(QStringLiteral("Preview skin requested: ") + path);
    std::optional<SkinManifest> skin = SkinLoader::shared().loadSingle(path);
    if (!skin) Log::write(QStringLiteral("Failed to load preview skin from ") + path);
    return skin;
}

void AppDelegate::continueLaunch() {
    if (const std::optional<SkinManifest> preview = parsePreviewSkinArg(arguments)) {
        openNewWindow(*preview, std::nullopt);
        return;
    }
    SettingsStore& store = SettingsStore::shared();
    const QList<SkinManifest> skins = SkinLoader::shared().skinsOrFallback();
    if (store.restoreWindows() && !store.lastWindows().isEmpty()) {
        bool opened = false;
        for (const WindowState& state : store.lastWindows()) {
            const SkinManifest* match = nullptr;
            if (!state.id.isEmpty())
                for (const SkinManifest& skin : skins)
                    if (skin.id == state.id) {
                        match = &skin;
                        break;
                    }
            if (!match)
                for (const SkinManifest& skin : skins)
                    if (skin.name == state.skinName) {
                        match = &skin;
                        break;
                    }
            if (!match) continue;
            openNewWindow(*match, state);
            opened = true;
        }
        if (opened) return;
    }
    if (store.hasLaunchedBefore()) {
        const SkinManifest* match = nullptr;
        for (const SkinManifest& skin : skins)
            if (skin.name == store.defaultSkin()) {
                match = &skin;
                break;
            }
        openNewWindow(match ? *match : SkinManifest::handheld(), std::nullopt);
        return;
    }
    store.setHasLaunchedBefore(true);
    showWelcomeThenPicker();
}

void AppDelegate::showWelcomeThenPicker() {
    QPointer<AppDelegate> self(this);
    welcomeController = std::make_unique<WelcomeWindowController>([self] {
        if (self) self->showSkinPicker();
    });
    welcomeController->showWindow();
}

void AppDelegate::openNewWindow(const SkinManifest& skin, const std::optional<WindowState>& restoringState) {
    auto* controller = new DeviceWindowController(skin, restoringState);
    windowControllers.append(controller);
    controller->showWindow();
    if (DeviceWindow* window = controller->window()) {
        QPointer<AppDelegate> self(this);
        window->onMoved = [self] {
            if (self) self->snapshotWindowState();
        };
        const auto resized = window->onResized;
        window->onResized = [self, resized] {
            if (resized) resized();
            if (self) self->snapshotWindowState();
        };
        const auto closing = window->onClosing;
        window->onClosing = [self, controller, closing] {
            if (closing) closing();
            if (self) self->windowClosed(controller);
        };
    }
}

void AppDelegate::windowClosed(DeviceWindowController* controller) {
    // Quitting closes every window after the save: the saved list keeps them.
    if (_terminating) return;
    windowControllers.removeAll(controller);
    snapshotWindowState();
    controller->deleteLater();
}

DeviceWindowController* AppDelegate::frontmostDeviceController() const {
    // Qt keeps no stacking order: the visible window activated (or shown) last stands in for it.
    for (QWidget* window : _windowOrder->frontToBack()) {
        if (!window->isVisible()) continue;
        for (DeviceWindowController* controller : windowControllers)
            if (controller->window() == window) return controller;
    }
    return windowControllers.isEmpty() ? nullptr : windowControllers.first();
}

void AppDelegate::snapshotWindowState() {
    if (!_pendingSnapshot) {
        _pendingSnapshot = new QTimer(this);
        _pendingSnapshot->setSingleShot(true);
        _pendingSnapshot->setInterval(snapshotDelayMs);
        connect(_pendingSnapshot, &QTimer::timeout, this, [this] { snapshotWindowStateImmediately(); });
    }
    _pendingSnapshot->start();
}

void AppDelegate::snapshotWindowStateImmediately() {
    if (_pendingSnapshot) _pendingSnapshot->stop();
    QList<WindowState> states;
    for (const DeviceWindowController* controller : windowControllers) {
        if (!controller->window()) continue;
        const QRect frame = controller->savedFrame();
        states.append(WindowState{controller->skin().id, controller->skin().name, double(frame.x()),
                                  double(frame.y()), double(frame.width()), double(frame.height())});
    }
    SettingsStore::shared().setLastWindows(states);
}

void AppDelegate::handleReopen() {
    bool anyVisible = false;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && WindowOrder::isApplicationWindow(window)) anyVisible = true;
    if (!anyVisible) {
        showSkinPicker();
        return;
    }
    // A second launch means "show me Quillaby": bring its frontmost visible device window forward.
    for (auto it = windowControllers.rbegin(); it != windowControllers.rend(); ++it) {
        DeviceWindow* window = (*it)->window();
        if (!window || !window->isVisible()) continue;
        window->raise();
        window->activateWindow();
        return;
    }
}

void AppDelegate::applicationWillTerminate() {
    if (_terminating) return;
    snapshotWindowStateImmediately();
    _terminating = true;
    for (DeviceWindowController* controller : windowControllers) {
        if (controller->didTeardown()) continue;
        controller->windowWillClose();
    }
}

} // namespace Quillaby
