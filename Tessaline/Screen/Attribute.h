#pragma once

#include "OptionSet.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

namespace Tessaline {

// Style bits of a cell. The bit values are part of the packed cell and of saved state: do not renumber.
class CharacterStyle : public OptionSet<CharacterStyle, uint8_t> {
public:
    using OptionSet::OptionSet;

    static constexpr uint8_t noneBit = 0;
    static const CharacterStyle none;
    static const CharacterStyle bold;
    static const CharacterStyle underline;
    static const CharacterStyle blink;
    static const CharacterStyle inverse;
    static const CharacterStyle invisible;
    static const CharacterStyle dim;
    static const CharacterStyle italic;
    static const CharacterStyle crossedOut;

    // Takes bits 18 to 25 of a packed attribute word as the style byte.
    static constexpr CharacterStyle fromPackedAttribute(int32_t attribute) {
        return CharacterStyle(static_cast<uint8_t>((static_cast<uint32_t>(attribute) >> 18) & 0xFF));
    }
};

inline constexpr CharacterStyle CharacterStyle::none{uint8_t(0)};
inline constexpr CharacterStyle CharacterStyle::bold{uint8_t(1)};
inline constexpr CharacterStyle CharacterStyle::underline{uint8_t(2)};
inline constexpr CharacterStyle CharacterStyle::blink{uint8_t(4)};
inline constexpr CharacterStyle CharacterStyle::inverse{uint8_t(8)};
inline constexpr CharacterStyle CharacterStyle::invisible{uint8_t(16)};
inline constexpr CharacterStyle CharacterStyle::dim{uint8_t(32)};
inline constexpr CharacterStyle CharacterStyle::italic{uint8_t(64)};
inline constexpr CharacterStyle CharacterStyle::crossedOut{uint8_t(128)};

enum class UnderlineStyle : uint8_t {
    none = 0,
    single = 1,
    double_ = 2,
    curly = 3,
    dotted = 4,
    dashed = 5
};

// Creating an underline style from any other raw value gives nothing.
constexpr std::optional<UnderlineStyle> underlineStyleFromRaw(int raw) {
    if (raw < 0 || raw > 5) return std::nullopt;
    return static_cast<UnderlineStyle>(raw);
}

// Colours and style of a cell.
struct Attribute {
    // One colour in 32 bits: the value in bits 0-23 (palette index or RGB), the kind in bits 24-25.
    // Bits 26-31 are always 0 here; the packed cell borrows them (see CharData).
    class Color {
    public:
        enum class Kind : uint8_t {
            ansi256 = 0,
            trueColor = 1,
            defaultColor = 2,
            defaultInvertedColor = 3
        };

        static constexpr Color ansi256(uint8_t code) { return Color(uint32_t(code)); }
        static constexpr Color trueColor(uint8_t red, uint8_t green, uint8_t blue) {
            return Color((1u << 24) | (uint32_t(red) << 16) | (uint32_t(green) << 8) | blue);
        }
        static constexpr Color defaultColor() { return Color(2u << 24); }
        static constexpr Color defaultInvertedColor() { return Color(3u << 24); }

        constexpr Color()
            : _bits(2u << 24) {}
        constexpr Kind kind() const { return static_cast<Kind>((_bits >> 24) & 3); }
        constexpr bool isAnsi256() const { return kind() == Kind::ansi256; }
        constexpr bool isTrueColor() const { return kind() == Kind::trueColor; }
        constexpr bool isDefault() const { return kind() == Kind::defaultColor; }
        constexpr bool isDefaultInverted() const { return kind() == Kind::defaultInvertedColor; }
        // Palette index of an ansi256 colour.
        constexpr uint8_t code() const { return static_cast<uint8_t>(_bits); }
        constexpr uint8_t red() const { return static_cast<uint8_t>(_bits >> 16); }
        constexpr uint8_t green() const { return static_cast<uint8_t>(_bits >> 8); }
        constexpr uint8_t blue() const { return static_cast<uint8_t>(_bits); }

        constexpr uint32_t raw() const { return _bits; }
        static constexpr Color fromRaw(uint32_t bits) { return Color(bits & 0x03FFFFFFu); }

        constexpr bool operator==(const Color&) const = default;

    private:
        constexpr explicit Color(uint32_t bits)
            : _bits(bits) {}
        uint32_t _bits;
    };

    Color fg;
    Color bg;
    CharacterStyle style;
    UnderlineStyle underlineStyle = UnderlineStyle::none;
    std::optional<Color> underlineColor;

    constexpr Attribute() = default;
    constexpr Attribute(Color fg, Color bg, CharacterStyle style,
                        UnderlineStyle underlineStyle = UnderlineStyle::none,
                        std::optional<Color> underlineColor = std::nullopt)
        : fg(fg)
        , bg(bg)
        , style(style)
        , underlineStyle(underlineStyle)
        , underlineColor(underlineColor) {}

    // Foreground and background default, nothing else: the attribute of a blank cell.
    static constexpr Attribute defaultAttribute() {
        return Attribute(Color::defaultColor(), Color::defaultColor(), CharacterStyle::none);
    }
    // The initial current attribute of a new buffer; its background is the inverted default.
    static const Attribute empty;

    constexpr bool operator==(const Attribute&) const = default;

    // The attribute as SGR parameters followed by "m" (the settings report).
    std::string toSgr() const;
    size_t hash() const;
};

inline constexpr Attribute Attribute::empty{Attribute::Color::defaultColor(),
                                            Attribute::Color::defaultInvertedColor(), CharacterStyle::none};

} // namespace Tessaline

template<>
struct std::hash<Tessaline::Attribute::Color> {
    size_t operator()(const Tessaline::Attribute::Color& c) const noexcept {
        return std::hash<uint32_t>()(c.raw());
    }
};
template<>
struct std::hash<Tessaline::Attribute> {
    size_t operator()(const Tessaline::Attribute& a) const noexcept { return a.hash(); }
};
