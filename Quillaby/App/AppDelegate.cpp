#include "App/AppDelegate.h"

#include "App/AppHooks.h"
#include "App/Log.h"
#include "Builder/SkinBuilderModel.h"
#include "Builder/SkinBuilderWindowController.h"
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

namespace {

// Shows the builder (made on first use) and asks before an image already in it is replaced. False when
// the user keeps the current work.
bool showBuilderAndAsk(std::unique_ptr<SkinBuilderWindowController>& controller, const QString& informative,
                       const QString& confirm) {
    if (!controller) controller = std::make_unique<SkinBuilderWindowController>();
    controller->showWindow();
    if (!controller->model().skinImage()) return true;
    AlertRequest alert;
    alert.style = AlertRequest::Style::Warning;
    alert.message = QStringLiteral("Discard the current skin in the builder?");
    alert.informativeText = informative;
    alert.buttons = {confirm, QStringLiteral("Cancel")};
    alert.parent = controller->window();
    return AppHooks::current().runAlert(alert) == 0;
}

} // namespace

void AppDelegate::openSkinBuilder(const std::optional<QString>& editingFolder) {
    if (!editingFolder) {
        if (!skinBuilderController) skinBuilderController = std::make_unique<SkinBuilderWindowController>();
        skinBuilderController->showWindow();
        return;
    }
    if (!showBuilderAndAsk(skinBuilderController,
                           QStringLiteral("Editing this skin replaces the one you're working on."),
                           QStringLiteral("Discard & Edit")))
        return;
    skinBuilderController->model().loadSkin(*editingFolder);
}

void AppDelegate::openSkinBuilderWithImage(const QString& imageFile) {
    if (!showBuilderAndAsk(skinBuilderController,
                           QStringLiteral("Loading this image replaces the skin you're working on."),
                           QStringLiteral("Discard & Load")))
        return;
    skinBuilderController->model().loadImage(imageFile);
}

void AppDelegate::useSkinInActiveWindow(const SkinManifest& skin) {
    if (activeController() || !windowControllers.isEmpty()) {
        Log::write("AppDelegate: device windows are not available yet");
        return;
    }
    openNewWindow(skin, std::nullopt);
}

} // namespace Quillaby
