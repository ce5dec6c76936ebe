#pragma once

#include "Color.h"
#include "CursorStyle.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// What a host hands to a new terminal. The terminal keeps its copy and writes its size, scroll-back and
// cursor style back into it as they change. Values are taken as given: the terminal clamps what it uses.
struct TerminalOptions {
    int cols = 80;
    int rows = 25;
    // LF, VT and FF also return the carriage.
    bool convertEol = false;
    // Chooses the device-attributes answers.
    std::string termName = "xterm-256color";
    CursorStyle cursorStyle = CursorStyle::blinkBlock;
    // Carried for the host; the terminal does not read it.
    bool screenReaderMode = false;
    // Scroll-back lines of the normal buffer; nothing for none (which also turns reflow off). The
    // buffer, changeScrollback and a full reset all use this one value, so off stays off.
    std::optional<int> scrollback = 500;
    // Carried, not applied: the terminal lays out a tab stop every 8 columns.
    int tabStopWidth = 8;
    // The primary device attributes announce Sixel graphics.
    bool enableSixelReported = true;
    // Byte budget of the Kitty image store (320 MiB).
    int64_t kittyImageCacheLimitBytes = 335544320;
    Ansi256PaletteStrategy ansi256PaletteStrategy = Ansi256PaletteStrategy::base16Lab;

    static const TerminalOptions& defaultOptions();

    bool operator==(const TerminalOptions&) const = default;
};

// The environment for a child program started without one of its own, entries "NAME=value":
// TERM (termName, or "xterm-256color"), COLORTERM=truecolor when asked, LANG=en_US.UTF-8 (C.UTF-8 where that
// locale is not installed), then LOGNAME, USER, DISPLAY, LC_CTYPE, HOME, WAYLAND_DISPLAY, XDG_RUNTIME_DIR,
// DBUS_SESSION_BUS_ADDRESS and XAUTHORITY as far as this process has them. Nothing else is passed on.
std::vector<std::string> getEnvironmentVariables(std::optional<std::string_view> termName, bool trueColor);

// The same with the process environment and the locale check given, for tests.
using EnvironmentLookup = std::function<const char*(const char* name)>;
std::vector<std::string> getEnvironmentVariables(std::optional<std::string_view> termName, bool trueColor,
                                                 const EnvironmentLookup& lookup, bool usLocaleInstalled);

// Whether the locale "en_US.UTF-8" can be loaded here (checked once).
bool isUsUtf8LocaleInstalled();

} // namespace Tessaline
