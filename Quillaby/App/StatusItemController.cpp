#include "App/StatusItemController.h"

#include "App/AppDelegate.h"
#include "App/KeyEquivalents.h"
#include "Services/BrandMark.h"
#include "Services/SymbolImage.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <functional>
#include <optional>

namespace Quillaby {

namespace {

QIcon trayIcon() {
    if (const std::optional<QImage>& mark = BrandMark::cached()) return QIcon(QPixmap::fromImage(*mark));
    return SymbolImage::icon(SymbolImage::Symbol::TerminalFill, 22, Qt::white);
}

} // namespace

StatusItemController::StatusItemController(AppDelegate* delegate)
    : _delegate(delegate)
    , _menu(std::make_unique<QMenu>()) {
    using Command = KeyEquivalents::Command;
    const auto add = [this](const QString& title, std::optional<Command> key, void (AppDelegate::*handler)()) {
        QAction* action = _menu->addAction(title);
        if (key) {
            // Shown for reference: the main menu's actions own these keys.
            action->setShortcut(KeyEquivalents::sequence(*key));
            action->setShortcutContext(Qt::WidgetShortcut);
        }
        // Through std::invoke with the signal's argument taken: sanitizer builds misread a member
        // pointer called from an argument-less slot lambda.
        connect(action, &QAction::triggered, this, [this, handler](bool) {
            if (_delegate) std::invoke(handler, _delegate.data());
        });
    };
    add(QStringLiteral("Show Quillaby"), std::nullopt, &AppDelegate::statusItemShowApp);
    _menu->addSeparator();
    add(QStringLiteral("New Tab"), Command::newTab, &AppDelegate::statusItemNewTab);
    add(QStringLiteral("New Window\u2026"), Command::newWindow, &AppDelegate::statusItemNewWindow);
    _menu->addSeparator();
    add(QStringLiteral("Settings\u2026"), Command::settings, &AppDelegate::statusItemShowSettings);
    _menu->addSeparator();
    add(QStringLiteral("Quit Quillaby"), Command::quit, &AppDelegate::terminate);

    _item = std::make_unique<QSystemTrayIcon>(trayIcon());
    _item->setToolTip(QStringLiteral("Quillaby"));
    _item->setContextMenu(_menu.get());
    // A click opens the menu too, as the menu-bar item it stands for does.
    connect(_item.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) _menu->popup(QCursor::pos());
    });
    _item->show();
}

StatusItemController::~StatusItemController() {
    if (_item) _item->hide();
}

} // namespace Quillaby
