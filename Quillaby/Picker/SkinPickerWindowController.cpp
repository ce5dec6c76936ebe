#include "Picker/SkinPickerWindowController.h"

#include "App/AppDelegate.h"
#include "Picker/SkinPickerView.h"

#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace Quillaby {

SkinPickerWindowController::SkinPickerWindowController(std::optional<QString> currentSkinId, QObject* parent)
    : QObject(parent) {
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("skinPickerWindow"));
    window->setWindowTitle(QStringLiteral("Choose a Skin"));

    QPointer<SkinPickerWindowController> self(this);
    SkinPickerView::Callbacks callbacks;
    callbacks.onSelect = [self](const SkinManifest& skin) {
        if (self && self->onSkinSelected) self->onSkinSelected(skin);
        if (self) self->close();
    };
    callbacks.onEdit = [self](const QString& folder) {
        if (self) self->close();
        if (AppDelegate* delegate = AppDelegate::instance()) delegate->openSkinBuilder(folder);
    };
    callbacks.onImportImage = [self](const QString& imageFile) {
        if (self) self->close();
        if (AppDelegate* delegate = AppDelegate::instance()) delegate->openSkinBuilderWithImage(imageFile);
    };
    _view = new SkinPickerView(std::move(currentSkinId), std::move(callbacks), window);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(_view);

    window->setMinimumSize(minimumContentSize);
    window->resize(contentSize);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window->move(area.center() - QPoint(contentSize.width() / 2, contentSize.height() / 2));
    }
    _window = window;
}

SkinPickerWindowController::~SkinPickerWindowController() {
    delete _window;
}

void SkinPickerWindowController::showWindow() {
    if (!_window) return;
    _window->show();
    _window->raise();
    _window->activateWindow();
}

void SkinPickerWindowController::close() {
    if (_window) _window->close();
}

} // namespace Quillaby
