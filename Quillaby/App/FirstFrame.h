#pragma once

#include <QObject>

#include <functional>

namespace Quillaby {

// Work the first frame of a launch does not need (the tray item, the window icon): run on the turn of
// the event loop after the first widget has painted, so that it no longer holds the first prompt back.
class FirstFrame {
public:
    FirstFrame() = delete;

    // Runs work after the first paint, or on the next turn of the event loop once there has been one;
    // dropped if context is gone by then.
    static void whenPainted(QObject* context, std::function<void()> work);
};

} // namespace Quillaby
