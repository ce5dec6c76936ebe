#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Tessaline {

// A concrete colour at 16 bits per channel, the resolution of X11 colour specifications, so that a colour
// a program sets comes back to it unchanged.
struct Color {
    uint16_t red = 0;
    uint16_t green = 0;
    uint16_t blue = 0;

    constexpr Color() = default;
    constexpr Color(uint16_t red, uint16_t green, uint16_t blue)
        : red(red)
        , green(green)
        , blue(blue) {}

    // 8-bit channels scaled by 257 (0xC2 -> 0xC2C2), as the two-digit X11 forms are; values above 255
    // are taken as 255.
    static constexpr Color fromRgb8(uint16_t red8, uint16_t green8, uint16_t blue8) {
        return Color(scale8(red8), scale8(green8), scale8(blue8));
    }
    // 4-bit channels scaled by 0x1010 (0xF -> 0xF0F0), as the one-digit X11 forms are; values above 15
    // are taken as 15.
    static constexpr Color fromRgb4(uint16_t red4, uint16_t green4, uint16_t blue4) {
        return Color(scale4(red4), scale4(green4), scale4(blue4));
    }

    static const Color defaultForeground;
    static const Color defaultBackground;
    // The 16 colours a new terminal installs, in table order.
    static const std::array<Color, 16> terminalAppColors;

    constexpr bool operator==(const Color&) const = default;

    // "rgb:rrrr/gggg/bbbb" in lowercase hexadecimal.
    std::string formatAsXcolor() const;

    // An X11 colour name ("#rgb" with 1 to 4 digits per channel, or "rgb:r/g/b" with 1 to 4
    // digits per field); nothing when the text is not one.
    static std::optional<Color> parseColor(std::span<const uint8_t> text);
    static std::optional<Color> parseColor(std::string_view text);

    // The initial colours followed by the 6x6x6 xterm cube and its 24-step grey ramp.
    static std::vector<Color> generateXtermPalette(std::span<const Color> initialColors);
    // The initial colours followed by a cube and grey ramp interpolated in CIE L*a*b* between the
    // background, colours 1 to 6 and the foreground (colours 0 and 7 when those are absent). With fewer
    // than 8 initial colours, the xterm palette.
    static std::vector<Color> generateBase16LabPalette(std::span<const Color> initialColors,
                                                       std::optional<Color> backgroundColor = std::nullopt,
                                                       std::optional<Color> foregroundColor = std::nullopt);

    size_t hash() const;

private:
    static constexpr uint16_t scale8(uint16_t v) { return uint16_t((v > 0xFF ? 0xFF : v) * 257); }
    static constexpr uint16_t scale4(uint16_t v) { return uint16_t((v > 0xF ? 0xF : v) * 0x1010); }
};

inline constexpr Color Color::defaultForeground{0x8A3D, 0x8A3D, 0x8A3D};
inline constexpr Color Color::defaultBackground{0, 0, 0};
inline constexpr std::array<Color, 16> Color::terminalAppColors{
    Color::fromRgb8(0x00, 0x00, 0x00), Color::fromRgb8(0xC2, 0x36, 0x21), Color::fromRgb8(0x25, 0xBC, 0x24),
    Color::fromRgb8(0xAD, 0xAD, 0x27), Color::fromRgb8(0x49, 0x2E, 0xE1), Color::fromRgb8(0xD3, 0x38, 0xD3),
    Color::fromRgb8(0x33, 0xBB, 0xC8), Color::fromRgb8(0xCB, 0xCC, 0xCD), Color::fromRgb8(0x81, 0x83, 0x83),
    Color::fromRgb8(0xFC, 0x39, 0x1F), Color::fromRgb8(0x31, 0xE7, 0x22), Color::fromRgb8(0xEA, 0xEC, 0x23),
    Color::fromRgb8(0x58, 0x33, 0xFF), Color::fromRgb8(0xF9, 0x35, 0xF8), Color::fromRgb8(0x14, 0xF0, 0xF0),
    Color::fromRgb8(0xE9, 0xEB, 0xEB),
};

// How the 240 extended colours (16 to 255) of the 256-colour table are derived from the base colours.
enum class Ansi256PaletteStrategy : uint8_t {
    xterm,
    base16Lab
};

} // namespace Tessaline

template<>
struct std::hash<Tessaline::Color> {
    size_t operator()(const Tessaline::Color& c) const noexcept { return c.hash(); }
};
