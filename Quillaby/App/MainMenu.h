#pragma once

#include "App/KeyEquivalents.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QMenu;
class QWidget;

namespace Quillaby {

class AppDelegate;

// The application's menu tree, built once: the application menu ("Quillaby"), File, Edit, View and
// Window. Linux has no global menu bar, so the tree is offered from each device window's context menu,
// and every key equivalent is an application-wide shortcut. Such a shortcut only fires while a widget
// it belongs to is visible, so the actions are given to every ordinary top-level window as it is
// shown; modal dialogs get none, as a menu bar is out of reach under an alert.
class MainMenu : public QObject {
    Q_OBJECT
public:
    explicit MainMenu(AppDelegate& delegate);
    ~MainMenu() override;

    // The five menus in order.
    QList<QMenu*> menus() const;
    QMenu* windowMenu() const { return _window.get(); }

    // The action bound to a command's key (the command palette's has no menu item).
    QAction* action(KeyEquivalents::Command command) const { return _byCommand.value(command); }
    // Every action in the tree, by title, in menu order.
    QAction* action(const QString& title) const;
    QList<QAction*> shortcutActions() const { return _byCommand.values(); }

    // Gives a window the key equivalents (done for every top-level window when it is shown).
    void attachTo(QWidget* window) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* add(QMenu* menu, const QString& title, void (AppDelegate::*handler)());
    QAction* add(QMenu* menu, const QString& title, KeyEquivalents::Command command,
                 void (AppDelegate::*handler)());
    void refreshWindowMenu();
    void refreshEnabledItems();
    void enableAll();

    AppDelegate& _delegate;
    std::unique_ptr<QMenu> _application, _file, _edit, _view, _window;
    QMap<KeyEquivalents::Command, QAction*> _byCommand;
    QAction* _windowsSeparator = nullptr;
    QList<QAction*> _windowItems;
};

} // namespace Quillaby
