#include "App/AppDelegate.h"

#include "App/Log.h"
#include "App/WelcomeWindowController.h"
#include "Windows/DeviceWindowController.h"

#include <QApplication>
#include "Picker/SkinPickerWindowController.h"
#include "Services/AboutWindowController.h"
#include "Settings/SettingsWindowController.h"

namespace Quillaby {

namespace {
AppDelegate* current = nullptr;
} // namespace

// The controller is completed by the builder code as it lands; until then the entries that need it say
// so in the log instead of failing.
class SkinBuilderWindowController {};

namespace {
std::optional<QString> skinIdOf(const DeviceWindowController* controller) { return controller->skin().id; }
} // namespace

AppDelegate::AppDelegate() { current = this; }

AppDelegate::~AppDelegate() {
    qDeleteAll(windowControllers);
    windowControllers.clear();
    if (current == this) current = nullptr;
}

AppDelegate* AppDelegate::instance() { return current; }

DeviceWindowController* AppDelegate::activeController() const {
    QWidget* active = QApplication::activeWindow();
    if (!active) return nullptr;
    for (DeviceWindowController* controller : windowControllers)
        if (controller->window() == active) return controller;
    return nullptr;
}

QString AppDelegate::skinNameOf(const DeviceWindowController& controller) { return controller.skin().name; }

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


void AppDelegate::showSkinBuilder() { openSkinBuilder(std::nullopt); }

void AppDelegate::openSkinBuilder(const std::optional<QString>&) {
    Log::write("AppDelegate: the skin builder is not available yet");
}

void AppDelegate::openSkinBuilderWithImage(const QString&) {
    Log::write("AppDelegate: the skin builder is not available yet");
}

void AppDelegate::useSkinInActiveWindow(const SkinManifest& skin) {
    DeviceWindowController* target = activeController();
    if (!target) target = frontmostDeviceController();
    if (target) {
        target->changeSkin(skin);
        return;
    }
    openNewWindow(skin, std::nullopt);
}

} // namespace Quillaby
