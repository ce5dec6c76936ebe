#include "App/AppDelegate.h"

#include "App/AppHooks.h"
#include "App/Log.h"
#include "App/MainMenu.h"
#include "App/StatusItemController.h"
#include "App/WelcomeWindowController.h"
#include "App/WindowOrder.h"
#include "Builder/SkinBuilderModel.h"
#include "Builder/SkinBuilderWindowController.h"
#include "Picker/SkinPickerWindowController.h"
#include "Services/AboutWindowController.h"
#include "Settings/SettingsWindowController.h"
#include "Windows/CommandPaletteController.h"
#include "Windows/DeviceWindowController.h"

#include <QApplication>

namespace Quillaby {

namespace {
AppDelegate* current = nullptr;
} // namespace

namespace {
std::optional<QString> skinIdOf(const DeviceWindowController* controller) { return controller->skin().id; }
} // namespace

AppDelegate::AppDelegate()
    : _windowOrder(std::make_unique<WindowOrder>()) {
    current = this;
}

AppDelegate::~AppDelegate() {
    statusItem.reset();
    commandPalette.reset();
    mainMenu.reset();
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
    DeviceWindowController* target = activeController();
    if (!target) target = frontmostDeviceController();
    if (target) {
        target->changeSkin(skin);
        // To the front, without taking the focus from the window that asked.
        if (target->window()) target->window()->raise();
        return;
    }
    openNewWindow(skin, std::nullopt);
}

} // namespace Quillaby
