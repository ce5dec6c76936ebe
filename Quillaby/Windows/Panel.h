#pragma once

class QWidget;

namespace Quillaby {

// What a device window's screen hosts: a view it places and warps, and the widget that takes keyboard
// focus when the panel is shown.
class Panel {
public:
    virtual ~Panel() = default;
    virtual QWidget* panelView() const = 0;
    // The terminal view of the active session, or null.
    virtual QWidget* focusView() const = 0;
};

} // namespace Quillaby
