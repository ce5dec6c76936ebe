#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace Tessaline {

// The six cursor shapes (DECSCUSR).
enum class CursorStyle : uint8_t {
    blinkBlock,
    steadyBlock,
    blinkUnderline,
    steadyUnderline,
    blinkBar,
    steadyBar,
};

// The style whose name is exactly the text ("blinkBlock" ... "steadyBar"; case-sensitive, no trimming).
std::optional<CursorStyle> cursorStyleFrom(std::string_view text);
std::string_view name(CursorStyle style);

} // namespace Tessaline
