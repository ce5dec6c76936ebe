#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace Quillaby {

class AppDelegate;

// The application's item in the desktop's tray: its mark and a short menu that keeps the application
// reachable while no window is open. Without a tray host there is no icon and no complaint; Qt shows
// the icon once a host appears.
class StatusItemController : public QObject {
    Q_OBJECT
public:
    explicit StatusItemController(AppDelegate* delegate);
    ~StatusItemController() override;

    QSystemTrayIcon* item() const { return _item.get(); }
    QMenu* menu() const { return _menu.get(); }

private:
    QPointer<AppDelegate> _delegate;
    std::unique_ptr<QMenu> _menu;
    std::unique_ptr<QSystemTrayIcon> _item;
};

} // namespace Quillaby
