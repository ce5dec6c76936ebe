#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace Quillaby {

// The application's top-level windows, most recently activated (or shown) first. Qt exposes no
// stacking order of its own, and the window last brought forward is the one in front.
class WindowOrder : public QObject {
    Q_OBJECT
public:
    // Watches the whole application once made.
    WindowOrder();
    ~WindowOrder() override;

    // A window the user sees as one of the application's: not a menu, tool tip or tray icon.
    static bool isApplicationWindow(const QWidget* widget);

    // Windows still alive, front to back; hidden ones too (callers test visibility).
    QList<QWidget*> frontToBack() const;
    // Moves a window to the front, as activating it does.
    void bringToFront(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QList<QPointer<QWidget>> _windows;
};

} // namespace Quillaby
