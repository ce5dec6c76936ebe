#include "App/WindowOrder.h"

#include <QApplication>
#include <QEvent>

namespace Quillaby {

bool WindowOrder::isApplicationWindow(const QWidget* widget) {
    if (!widget->isWindow()) return false;
    const Qt::WindowType type = widget->windowType();
    if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool) return false;
    // The X11 tray icon is a window of its own, docked into the tray host.
    return !widget->windowFlags().testFlag(Qt::X11BypassWindowManagerHint) &&
           !widget->inherits("QSystemTrayIconSys");
}

WindowOrder::WindowOrder() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

WindowOrder::~WindowOrder() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

QList<QWidget*> WindowOrder::frontToBack() const {
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& window : _windows)
        if (window) windows.append(window);
    return windows;
}

void WindowOrder::bringToFront(QWidget* window) {
    for (qsizetype i = _windows.size() - 1; i >= 0; --i)
        if (!_windows[i] || _windows[i] == window) _windows.removeAt(i);
    _windows.prepend(window);
}

bool WindowOrder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) {
        if (auto* widget = qobject_cast<QWidget*>(watched); widget && isApplicationWindow(widget))
            bringToFront(widget);
    }
    return false;
}

} // namespace Quillaby
