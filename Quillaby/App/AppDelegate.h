#pragma once

#include "Settings/WindowState.h"
#include "Skins/SkinManifest.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <QStringList>
#include <QTimer>
#include <QString>

#include <memory>
#include <optional>

namespace Quillaby {

class CommandPaletteController;
class DeviceWindowController;
class MainMenu;
class SkinBuilderWindowController;
class SkinPickerWindowController;
class StatusItemController;
class WelcomeWindowController;
class WindowOrder;

// The application's one delegate: owns the device windows, the skin builder and the last picker it
// opened. Windows other than device windows reach it through instance(), which is null until main()
// made it (tests without one: such calls do nothing).
class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate();
    ~AppDelegate() override;

    static AppDelegate* instance();

    // The open device windows, in the order they were opened.
    QList<DeviceWindowController*> windowControllers;
    // Made when the builder is first opened, then kept: at most one builder window.
    std::unique_ptr<SkinBuilderWindowController> skinBuilderController;
    // The picker this delegate opened last.
    std::unique_ptr<SkinPickerWindowController> skinPickerController;

    // The command palette, made on first use and kept.
    std::unique_ptr<CommandPaletteController> commandPalette;
    // The menu tree with the key equivalents, from setupMenu() on.
    std::unique_ptr<MainMenu> mainMenu;
    // The tray item, from launch on.
    std::unique_ptr<StatusItemController> statusItem;

    // The device window that is the active window, or null (also while another window is active).
    DeviceWindowController* activeController() const;

    // The skin name a device window shows.
    static QString skinNameOf(const DeviceWindowController& controller);

    void showAboutWindow();
    // The one Settings window, made on first use, shown, made active and raised.
    void showSettings();
    void showSkinPicker();
    void openNewWindow(const SkinManifest& skin, const std::optional<WindowState>& restoringState = std::nullopt);
    void showSkinBuilder();
    void openSkinBuilder(const std::optional<QString>& editingFolder);
    void openSkinBuilderWithImage(const QString& imageFile);
    // The active device window, else the frontmost one, shows the skin; with no device window a new
    // one opens with it.
    void useSkinInActiveWindow(const SkinManifest& skin);

    // The menu's actions (AppDelegateActions.cpp). Those of the active device window do nothing
    // without one.
    void setupMenu();
    void revealSkinsFolder();
    void newSession();
    void closeSession();
    void toggleMiniMode();
    void deviceBigger();
    void deviceSmaller();
    void fontBigger();
    void fontSmaller();
    void cycleSessionNext();
    // Clears the active session's screen as if the shell had asked; the shell gets nothing.
    void clearActiveTerminal();
    void cycleSkin();
    // The window changes to the loaded skin after its own, wrapping; nothing with a single skin.
    static void cycleSkin(DeviceWindowController* controller);
    // The skin after `current` in the list (found by id, else by name, else taken as the first),
    // wrapping; nothing for a list of fewer than two.
    static std::optional<SkinManifest> nextSkin(const QList<SkinManifest>& skins, const SkinManifest& current);
    void openCommandPalette();
    // Saves the windows and ends the shells before Qt starts closing windows, then quits.
    void terminate();
    // The active window's standard actions.
    void performClose();
    void performMiniaturize();
    enum class EditAction {
        copy,
        paste,
        selectAll
    };
    // On the focused text field or terminal, else the active device window's session.
    bool canPerformEdit(EditAction action) const;
    void performEdit(EditAction action);
    void copy() { performEdit(EditAction::copy); }
    void paste() { performEdit(EditAction::paste); }
    void selectAll() { performEdit(EditAction::selectAll); }
    // The windows the Window menu lists: device windows in opening order, then the other titled ones.
    QList<QWidget*> listedWindows() const;

    // The hot key and the tray item (AppDelegateActions.cpp).
    void registerHotkey();
    // Hides the application when it is in front with a visible window, else brings it forward (the
    // picker when there is no device window).
    void toggleFrontmostWindow();
    bool isApplicationHidden() const { return !_hiddenWindows.isEmpty(); }
    void statusItemShowApp();
    // A tab in the active device window; the picker without one.
    void statusItemNewTab();
    void statusItemNewWindow();
    void statusItemShowSettings();

    // Start-up and shutdown (AppDelegateLaunch.cpp).
    static constexpr int snapshotDelayMs = 500;
    std::unique_ptr<WelcomeWindowController> welcomeController;
    // The launch sequence: repairs, skins, then the windows of this launch.
    void applicationDidFinishLaunching();
    // Opens the windows of this launch: a preview skin, the saved windows, the default skin, or the welcome.
    void continueLaunch();
    // The skin named after "--preview-skin" in the arguments, when it loads.
    static std::optional<SkinManifest> parsePreviewSkinArg(const QStringList& arguments);
    std::optional<SkinManifest> previewSkin;
    void showWelcomeThenPicker();
    DeviceWindowController* frontmostDeviceController() const;
    // A save of the window states 500 ms after the last call.
    void snapshotWindowState();
    void snapshotWindowStateImmediately();
    QTimer* pendingSnapshotTimer() const { return _pendingSnapshot; }
    // Another launch asked this one to show itself: the picker when no window is visible.
    void handleReopen();
    // Saves every window, then ends the shells of each window not yet torn down.
    void applicationWillTerminate();

private:
    void windowClosed(DeviceWindowController* controller);
    void hideApplication();
    void unhideApplication();

    std::unique_ptr<WindowOrder> _windowOrder;
    // What hiding the application hid, shown again when it comes back.
    QList<QPointer<QWidget>> _hiddenWindows;
    QTimer* _pendingSnapshot = nullptr;
    bool _terminating = false;
};

} // namespace Quillaby
