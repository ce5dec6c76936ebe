#include "WindowManipulationCommand.h"

#include <array>
#include <string_view>

namespace Tessaline {

std::string WindowManipulationCommand::description() const {
    static constexpr std::array<std::string_view, 28> names = {
        "moveWindowTo",
        "resizeWindowTo",
        "resizeTo",
        "resizeTerminal",
        "resizeTo",
        "deiconifyWindow",
        "iconifyWindow",
        "bringToFront",
        "sendToBack",
        "refreshWindow",
        "restoreMaximizedWindow",
        "maximizeWindow",
        "maximizeWindowVertically",
        "maximizeWindowHorizontally",
        "undoFullScreen",
        "switchToFullScreen",
        "toggleFullScreen",
        "reportTerminalState",
        "reportTerminalPosition",
        "reportTextAreaPosition",
        "reportTextAreaPixelDimension",
        "reportTerminalWindowPixelDimension",
        "reportSizeOfScreenInPixels",
        "reportCellSizeInPixels",
        "reportTextAreaCharacters",
        "reportScreenSizeCharacters",
        "reportIconLabel",
        "reportWindowTitle",
    };
    std::string text(names[size_t(_kind)]);
    auto pair = [&](const char* a, const char* b) {
        return text + "(" + a + ": " + std::to_string(_first) + ", " + b + ": " + std::to_string(_second) +
               ")";
    };
    switch (_kind) {
    case Kind::moveWindowTo:
        return pair("x", "y");
    case Kind::resizeWindowTo:
        return pair("width", "height");
    case Kind::resizeTo:
    case Kind::resizeTerminal:
        return pair("cols", "rows");
    case Kind::resizeToLines:
        return text + "(lines: " + std::to_string(_first) + ")";
    default:
        return text;
    }
}

} // namespace Tessaline
