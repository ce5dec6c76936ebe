#include "App/MainMenu.h"

#include "App/AppDelegate.h"
#include "App/WindowOrder.h"
#include "Windows/DeviceWindowController.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QMenu>
#include <QWidget>

#include <functional>

namespace Quillaby {

namespace {

using Command = KeyEquivalents::Command;

bool takesKeyEquivalents(const QWidget* widget) {
    return WindowOrder::isApplicationWindow(widget) && !qobject_cast<const QDialog*>(widget);
}

} // namespace

MainMenu::MainMenu(AppDelegate& delegate)
    : _delegate(delegate)
    , _application(std::make_unique<QMenu>(QStringLiteral("Quillaby")))
    , _file(std::make_unique<QMenu>(QStringLiteral("File")))
    , _edit(std::make_unique<QMenu>(QStringLiteral("Edit")))
    , _view(std::make_unique<QMenu>(QStringLiteral("View")))
    , _window(std::make_unique<QMenu>(QStringLiteral("Window"))) {
    using D = AppDelegate;
    add(_application.get(), QStringLiteral("About Quillaby"), &D::showAboutWindow);
    _application->addSeparator();
    add(_application.get(), QStringLiteral("Settings..."), Command::settings, &D::showSettings);
    _application->addSeparator();
    add(_application.get(), QStringLiteral("Quit Quillaby"), Command::quit, &D::terminate);

    add(_file.get(), QStringLiteral("New Tab"), Command::newTab, &D::newSession);
    add(_file.get(), QStringLiteral("New Window..."), Command::newWindow, &D::showSkinPicker);
    _file->addSeparator();
    add(_file.get(), QStringLiteral("Skin Builder\u2026"), Command::skinBuilder, &D::showSkinBuilder);
    add(_file.get(), QStringLiteral("Reveal Skins Folder in Finder"), &D::revealSkinsFolder);
    _file->addSeparator();
    add(_file.get(), QStringLiteral("Close Tab"), Command::closeTab, &D::closeSession);
    add(_file.get(), QStringLiteral("Close Window"), Command::closeWindow, &D::performClose);

    add(_edit.get(), QStringLiteral("Copy"), Command::copy, &D::copy);
    add(_edit.get(), QStringLiteral("Paste"), Command::paste, &D::paste);
    add(_edit.get(), QStringLiteral("Select All"), Command::selectAll, &D::selectAll);

    add(_view.get(), QStringLiteral("Mini Mode"), Command::miniMode, &D::toggleMiniMode);
    _view->addSeparator();
    add(_view.get(), QStringLiteral("Bigger Device"), Command::deviceBigger, &D::deviceBigger);
    add(_view.get(), QStringLiteral("Smaller Device"), Command::deviceSmaller, &D::deviceSmaller);
    _view->addSeparator();
    add(_view.get(), QStringLiteral("Increase Font Size"), Command::fontBigger, &D::fontBigger);
    add(_view.get(), QStringLiteral("Decrease Font Size"), Command::fontSmaller, &D::fontSmaller);
    _view->addSeparator();
    add(_view.get(), QStringLiteral("Cycle Session"), Command::cycleSession, &D::cycleSessionNext);
    _view->addSeparator();
    add(_view.get(), QStringLiteral("Clear Terminal"), Command::clearTerminal, &D::clearActiveTerminal);
    add(_view.get(), QStringLiteral("Cycle Skin"), Command::cycleSkin, &D::cycleSkin);

    add(_window.get(), QStringLiteral("Minimize"), &D::performMiniaturize);
    // The open windows follow, listed each time the menu opens.
    _windowsSeparator = _window->addSeparator();
    _windowsSeparator->setVisible(false);

    // No menu item carries the command palette; its key is all there is.
    auto* palette = new QAction(QStringLiteral("Command Palette"), this);
    palette->setShortcut(KeyEquivalents::sequence(Command::commandPalette));
    palette->setShortcutContext(Qt::ApplicationShortcut);
    connect(palette, &QAction::triggered, this, [this](bool) { _delegate.openCommandPalette(); });
    _byCommand.insert(Command::commandPalette, palette);

    connect(_window.get(), &QMenu::aboutToShow, this, [this] { refreshWindowMenu(); });
    for (QMenu* menu : menus()) {
        connect(menu, &QMenu::aboutToShow, this, [this] { refreshEnabledItems(); });
        // Disabled actions ignore their keys: the state is only for the open menu.
        connect(menu, &QMenu::aboutToHide, this, [this] { enableAll(); });
    }

    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible() && takesKeyEquivalents(window)) attachTo(window);
    QCoreApplication::instance()->installEventFilter(this);
}

MainMenu::~MainMenu() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

QList<QMenu*> MainMenu::menus() const {
    return {_application.get(), _file.get(), _edit.get(), _view.get(), _window.get()};
}

QAction* MainMenu::action(const QString& title) const {
    for (QMenu* menu : menus())
        for (QAction* action : menu->actions())
            if (action->text() == title) return action;
    return nullptr;
}

QAction* MainMenu::add(QMenu* menu, const QString& title, void (AppDelegate::*handler)()) {
    QAction* action = menu->addAction(title);
    // Through std::invoke with the signal's argument taken: sanitizer builds misread a member pointer
    // called from an argument-less slot lambda.
    AppDelegate* delegate = &_delegate;
    connect(action, &QAction::triggered, this, [delegate, handler](bool) { std::invoke(handler, delegate); });
    return action;
}

QAction* MainMenu::add(QMenu* menu, const QString& title, Command command, void (AppDelegate::*handler)()) {
    QAction* action = add(menu, title, handler);
    action->setShortcuts(KeyEquivalents::sequences(command));
    action->setShortcutContext(Qt::ApplicationShortcut);
    _byCommand.insert(command, action);
    return action;
}

void MainMenu::attachTo(QWidget* window) const {
    const QList<QAction*> present = window->actions();
    for (QAction* action : _byCommand)
        if (!present.contains(action)) window->addAction(action);
}

bool MainMenu::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show)
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && takesKeyEquivalents(widget)) attachTo(widget);
    return false;
}

void MainMenu::refreshEnabledItems() {
    // The window and edit items need something to act on, as a menu bar would show.
    QWidget* key = QApplication::activeWindow();
    action(Command::closeWindow)->setEnabled(key != nullptr);
    action(QStringLiteral("Minimize"))->setEnabled(key != nullptr);
    action(Command::copy)->setEnabled(_delegate.canPerformEdit(AppDelegate::EditAction::copy));
    action(Command::paste)->setEnabled(_delegate.canPerformEdit(AppDelegate::EditAction::paste));
    action(Command::selectAll)->setEnabled(_delegate.canPerformEdit(AppDelegate::EditAction::selectAll));
}

void MainMenu::enableAll() {
    for (QMenu* menu : menus())
        for (QAction* action : menu->actions())
            action->setEnabled(true);
}

void MainMenu::refreshWindowMenu() {
    for (QAction* item : _windowItems)
        _window->removeAction(item);
    qDeleteAll(_windowItems);
    _windowItems.clear();
    QWidget* key = QApplication::activeWindow();
    for (QWidget* window : _delegate.listedWindows()) {
        QString title = window->windowTitle();
        for (const DeviceWindowController* controller : _delegate.windowControllers)
            if (controller->window() == window) title = controller->skin().name;
        auto* item = new QAction(title, _window.get());
        item->setCheckable(true);
        item->setChecked(window == key);
        QPointer<QWidget> target = window;
        connect(item, &QAction::triggered, this, [target](bool) {
            if (!target) return;
            if (target->isMinimized()) target->showNormal();
            target->show();
            target->raise();
            target->activateWindow();
        });
        _window->addAction(item);
        _windowItems.append(item);
    }
    _windowsSeparator->setVisible(!_windowItems.isEmpty());
}

} // namespace Quillaby
