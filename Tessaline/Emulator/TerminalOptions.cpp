#include "TerminalOptions.h"

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace Tessaline {

const TerminalOptions& TerminalOptions::defaultOptions() {
    static const TerminalOptions options;
    return options;
}

bool isUsUtf8LocaleInstalled() {
    static const bool installed = [] {
        locale_t locale = newlocale(LC_ALL_MASK, "en_US.UTF-8", locale_t(nullptr));
        if (locale == locale_t(nullptr)) return false;
        freelocale(locale);
        return true;
    }();
    return installed;
}

std::vector<std::string> getEnvironmentVariables(std::optional<std::string_view> termName, bool trueColor,
                                                 const EnvironmentLookup& lookup, bool usLocaleInstalled) {
    std::vector<std::string> env;
    env.push_back("TERM=" + std::string(termName.value_or("xterm-256color")));
    if (trueColor) env.emplace_back("COLORTERM=truecolor");
    // Without en_US.UTF-8 a shell would fall back to ASCII; C.UTF-8 is always there on Linux.
    env.emplace_back(usLocaleInstalled ? "LANG=en_US.UTF-8" : "LANG=C.UTF-8");
    // The last four carry what a desktop session gives its programs on Linux.
    static const char* const passed[] = {
        "LOGNAME",
        "USER",
        "DISPLAY",
        "LC_CTYPE",
        "HOME",
        "WAYLAND_DISPLAY",
        "XDG_RUNTIME_DIR",
        "DBUS_SESSION_BUS_ADDRESS",
        "XAUTHORITY",
    };
    for (const char* name : passed)
        if (const char* value = lookup(name)) env.push_back(std::string(name) + "=" + value);
    return env;
}

std::vector<std::string> getEnvironmentVariables(std::optional<std::string_view> termName, bool trueColor) {
    return getEnvironmentVariables(
        termName, trueColor, [](const char* name) { return std::getenv(name); }, isUsUtf8LocaleInstalled());
}

} // namespace Tessaline
