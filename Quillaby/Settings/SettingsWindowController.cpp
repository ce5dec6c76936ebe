#include "Settings/SettingsWindowController.h"

#include "Services/AboutSettingsTab.h"
#include "Settings/ActiveSkin.h"
#include "Settings/SettingsView.h"
#include "Skins/SkinLoader.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace Quillaby {

SettingsWindowController& SettingsWindowController::shared() {
    // Kept until the process ends, like the window it holds.
    static auto* controller = new SettingsWindowController;
    return *controller;
}

SettingsWindowController::SettingsWindowController() {
    // The About tab's accent follows the skin the device windows show.
    AboutSettingsTab::skinSources() = AboutSettingsTab::SkinSources{
        [] { return ActiveSkin::deviceWindowSkinName(); },
        [] { return SkinLoader::shared().skins(); },
    };

    auto* window = new QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                            Qt::WindowCloseButtonHint);
    window->setObjectName(QStringLiteral("settingsWindow"));
    window->setWindowTitle(QStringLiteral("Quillaby \u2014 Settings"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    _view = new SettingsView(window);
    layout->addWidget(_view);
    window->setFixedSize(windowWidth, windowHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(windowWidth / 2, windowHeight / 2));
    }
    _window = window;
}

void SettingsWindowController::showWindow() {
    if (!_window) return;
    _window->show();
    _window->raise();
    _window->activateWindow();
}

} // namespace Quillaby
