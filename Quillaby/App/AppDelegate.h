#pragma once

#include "Settings/WindowState.h"
#include "Skins/SkinManifest.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QString>

#include <memory>
#include <optional>

namespace Quillaby {

class DeviceWindowController;
class SkinBuilderWindowController;
class SkinPickerWindowController;
class WelcomeWindowController;

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

    // Start-up and shutdown (AppDelegateLaunch.cpp).
    static constexpr int snapshotDelayMs = 500;
    std::unique_ptr<WelcomeWindowController> welcomeController;
    // The launch sequence: repairs, skins, then the windows of this launch.
    void applicationDidFinishLaunching();
    // Opens the windows of this launch: a preview skin, the saved windows, the default skin, or the welcome.
    void continueLaunch();
    // The skin named after "--preview-skin" in the arguments, when it loads.
    static std::optional<SkinManifest> parsePreviewSkinArg(const QStringList& arguments);
    // The process arguments continueLaunch() reads "--preview-skin" from.
    QStringList arguments;
    void showWelcomeThenPicker();
    DeviceWindowController* frontmostDeviceController() const;
    // A save of the window states 500 ms after the last call.
    void snapshotWindowState();
    void snapshotWindowStateImmediately();
    QTimer* pendingSnapshotTimer() const { return _pendingSnapshot; }
    // Another launch asked this one to show itself: the frontmost device window comes forward, or the
    // picker opens when no window is visible.
    void handleReopen();
    // Saves every window, then ends the shells of each window not yet torn down.
    void applicationWillTerminate();

private:
    void windowClosed(DeviceWindowController* controller);
    QTimer* _pendingSnapshot = nullptr;
    bool _terminating = false;
};

} // namespace Quillaby
