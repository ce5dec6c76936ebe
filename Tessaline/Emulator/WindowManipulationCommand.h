#pragma once

#include <cstdint>
#include <string>

namespace Tessaline {

// A window operation or report asked for by CSI t, with the request's values as they arrived, unchecked.
// Two cases share the name resizeTo: one with columns and rows, one with lines (kind resizeToLines).
class WindowManipulationCommand {
public:
    enum class Kind : uint8_t {
        moveWindowTo,   // x, y
        resizeWindowTo, // width, height
        resizeTo,       // cols, rows
        resizeTerminal, // cols, rows
        resizeToLines,  // lines
        deiconifyWindow,
        iconifyWindow,
        bringToFront,
        sendToBack,
        refreshWindow,
        restoreMaximizedWindow,
        maximizeWindow,
        maximizeWindowVertically,
        maximizeWindowHorizontally,
        undoFullScreen,
        switchToFullScreen,
        toggleFullScreen,
        reportTerminalState,
        reportTerminalPosition,
        reportTextAreaPosition,
        reportTextAreaPixelDimension,
        reportTerminalWindowPixelDimension,
        reportSizeOfScreenInPixels,
        reportCellSizeInPixels,
        reportTextAreaCharacters,
        reportScreenSizeCharacters,
        reportIconLabel,
        reportWindowTitle,
    };

    // The cases without values.
    constexpr WindowManipulationCommand(Kind kind)
        : _kind(kind) {}

    static constexpr WindowManipulationCommand moveWindowTo(int x, int y) {
        return {Kind::moveWindowTo, x, y};
    }
    static constexpr WindowManipulationCommand resizeWindowTo(int width, int height) {
        return {Kind::resizeWindowTo, width, height};
    }
    static constexpr WindowManipulationCommand resizeTo(int cols, int rows) {
        return {Kind::resizeTo, cols, rows};
    }
    static constexpr WindowManipulationCommand resizeTerminal(int cols, int rows) {
        return {Kind::resizeTerminal, cols, rows};
    }
    static constexpr WindowManipulationCommand resizeTo(int lines) { return {Kind::resizeToLines, lines, 0}; }

    constexpr Kind kind() const { return _kind; }
    // The values of the cases that carry them (0 elsewhere).
    constexpr int x() const { return _first; }
    constexpr int y() const { return _second; }
    constexpr int width() const { return _first; }
    constexpr int height() const { return _second; }
    constexpr int cols() const { return _first; }
    constexpr int rows() const { return _second; }
    constexpr int lines() const { return _first; }

    constexpr bool operator==(const WindowManipulationCommand&) const = default;

    // The case and its values, as "resizeTo(cols: 80, rows: 24)".
    std::string description() const;

private:
    constexpr WindowManipulationCommand(Kind kind, int first, int second)
        : _kind(kind)
        , _first(first)
        , _second(second) {}

    Kind _kind;
    int _first = 0;
    int _second = 0;
};

} // namespace Tessaline
