#include "CursorStyle.h"

#include <array>

namespace Tessaline {

namespace {
constexpr std::array<std::string_view, 6> names = {
    "blinkBlock", "steadyBlock", "blinkUnderline", "steadyUnderline", "blinkBar", "steadyBar",
};
}

std::optional<CursorStyle> cursorStyleFrom(std::string_view text) {
    for (size_t k = 0; k < names.size(); ++k)
        if (names[k] == text) return CursorStyle(k);
    return std::nullopt;
}

std::string_view name(CursorStyle style) {
    return size_t(style) < names.size() ? names[size_t(style)] : "invalid";
}

} // namespace Tessaline
