#pragma once

#include <QString>

namespace Quillaby {

// One saved device window: its skin by folder id and display name, and its frame in screen points.
struct WindowState {
    QString id;
    QString skinName;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const WindowState&) const = default;
};

} // namespace Quillaby
