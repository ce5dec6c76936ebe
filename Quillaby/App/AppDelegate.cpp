#include "App/AppDelegate.h"

#include "App/Log.h"
#include "Picker/SkinPickerWindowController.h"
#include "Services/AboutWindowController.h"
#include "Settings/SettingsWindowController.h"

namespace Quillaby {

namespace {
AppDelegate* current = nullptr;
} // namespace

// The controllers are completed by the window, picker and builder code as each lands; until then the
// entries that need them say so in the log instead of failing.
class DeviceWindowController {};
class SkinBuilderWindowController {};

namespace {
// The skin the device window shows; device windows do not carry one yet.
std::optional<QString> skinIdOf(const DeviceWindowController*) { return std::nullopt; }
} // namespace

AppDelegate::AppDelegate() { current = this; }

AppDelegate::~AppDelegate() {
    if (current == this) current = nullptr;
}

AppDelegate* AppDelegate::instance() { return current; }

DeviceWindowController* AppDelegate::activeController() const { return nullptr; }

QString AppDelegate::skinNameOf(const DeviceWindowController&) { return QString(); }

void AppDelegate::showAboutWindow() {
    AboutWindowController::shared().showWindow();
}

void AppDelegate::showSettings() { SettingsWindowController::shared().showWindow(); }

void AppDelegate::showSkinPicker() {
    if (skinPickerController) skinPickerController->close();
    std::optional<QString> currentSkinId;
    if (const DeviceWindowController* active = activeController()) currentSkinId = skinIdOf(active);
    auto controller = std::make_unique<SkinPickerWindowController>(currentSkinId);
    controller->onSkinSelected = [this](const SkinManifest& skin) { openNewWindow(skin, std::nullopt); };
    controller->showWindow();
    skinPickerController = std::move(controller);
}

void AppDelegate::openNewWindow(const SkinManifest&, const std::optional<WindowState>&) {
    Log::write("AppDelegate: device windows are not available yet");
}

void AppDelegate::showSkinBuilder() { openSkinBuilder(std::nullopt); }

void AppDelegate::openSkinBuilder(const std::optional<QString>&) {
    Log::write("AppDelegate: the skin builder is not available yet");
}

void AppDelegate::openSkinBuilderWithImage(const QString&) {
    Log::write("AppDelegate: the skin builder is not available yet");
}

void AppDelegate::useSkinInActiveWindow(const SkinManifest& skin) {
    if (activeController() || !windowControllers.isEmpty()) {
        Log::write("AppDelegate: device windows are not available yet");
        return;
    }
    openNewWindow(skin, std::nullopt);
}

} // namespace Quillaby
