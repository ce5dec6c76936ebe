#pragma once

#include <QPointer>
#include <QWidget>

namespace Quillaby {

class SettingsView;

// The one Settings window, "Quillaby — Settings": fixed at 600 x 680, with only a close button. Made on
// first use and kept for the run: closing only hides it, and showing it again brings back the same
// window on the tab last chosen, with the same model.
class SettingsWindowController {
public:
    static constexpr int windowWidth = 600;
    static constexpr int windowHeight = 680;

    static SettingsWindowController& shared();

    QWidget* window() const { return _window; }
    SettingsView* view() const { return _view; }
    // Shows the window, makes it the active window and raises it.
    void showWindow();

    SettingsWindowController(const SettingsWindowController&) = delete;
    SettingsWindowController& operator=(const SettingsWindowController&) = delete;

private:
    SettingsWindowController();

    QPointer<QWidget> _window;
    SettingsView* _view = nullptr;
};

} // namespace Quillaby
