#pragma once

#include "Attribute.h"
#include "TinyAtom.h"
#include "UnderlineColorTable.h"

#include <cassert>
#include <cstdint>
#include <string>
#include <type_traits>

namespace Tessaline {

// One cell of the screen or scroll-back, packed into 16 bytes:
//   code (4) | foreground (4) | background (4) | style (1) | width + underline style (1) | payload (2)
// The underline colour, rarely set, lives in the terminal's UnderlineColorTable; its 12-bit index borrows
// the six spare high bits of the foreground and background words. The hyperlink handle's value lives in
// the terminal's TinyAtom::Registry.
class CharData {
public:
    // Below 0x400000 a Unicode scalar (0: nothing written); from 0x400001 a grapheme code of the terminal.
    int32_t code = 0;

    static constexpr int32_t graphemeCodeBase = 0x400000;

    constexpr CharData()
        : CharData(Attribute::defaultAttribute()) {}
    // An attribute without an underline colour (one with a colour needs the table below).
    constexpr explicit CharData(const Attribute& attribute, int32_t code = 0, int8_t width = 1,
                                TinyAtom payload = {})
        : code(code)
        , _payload(payload.code) {
        assert(!attribute.underlineColor && "an underline colour goes through the terminal's table");
        setWidth(width);
        setAttributeWithoutUnderlineColor(attribute);
    }
    // Any attribute: its underline colour is interned in the table.
    CharData(const Attribute& attribute, UnderlineColorTable& colors, int32_t code = 0, int8_t width = 1,
             TinyAtom payload = {})
        : code(code)
        , _payload(payload.code) {
        setWidth(width);
        setAttribute(attribute, colors);
    }

    // The blank cell that fills new and cleared space: code 0, width 1, default attribute.
    static const CharData Null;

    constexpr int8_t width() const { return int8_t(_meta & widthMask); }
    constexpr void setWidth(int8_t w) { _meta = uint8_t((_meta & ~widthMask) | (uint8_t(w) & widthMask)); }
    // Sets code and width together; callers pass widths 0, 1 or 2.
    constexpr void setValue(int32_t newCode, int8_t size) {
        code = newCode;
        setWidth(size);
    }
    // Reserved; always 0.
    constexpr uint8_t unused() const { return 0; }

    constexpr TinyAtom payload() const { return TinyAtom{_payload}; }
    constexpr void setPayload(TinyAtom atom) { _payload = atom.code; }
    constexpr bool hasPayload() const { return _payload != 0; }

    constexpr bool isSimpleRune() const { return code < graphemeCodeBase; }

    // The code as a scalar: a space for grapheme codes and values that are not scalars.
    constexpr char32_t getCharacter() const {
        uint32_t c = uint32_t(code);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return U' ';
        return char32_t(c);
    }

    // The whole attribute, its underline colour read from the table the cell was written with.
    Attribute attribute(const UnderlineColorTable& colors) const;
    void setAttribute(const Attribute& attribute, UnderlineColorTable& colors);

    // Field reads without unpacking the whole attribute (renderers, run splitting).
    constexpr Attribute::Color fg() const { return Attribute::Color::fromRaw(_fg); }
    constexpr Attribute::Color bg() const { return Attribute::Color::fromRaw(_bg); }
    constexpr CharacterStyle style() const { return CharacterStyle(_style); }
    constexpr UnderlineStyle underlineStyle() const { return UnderlineStyle((_meta >> 2) & 7); }
    constexpr bool hasUnderlineColor() const { return underlineColorIndex() != 0; }
    // The underline colour's index in the terminal's table; 0 for none.
    constexpr uint16_t underlineColorIndex() const { return uint16_t(((_fg >> 26) << 6) | (_bg >> 26)); }
    constexpr void setStyle(CharacterStyle s) { _style = s.rawValue; }
    constexpr void setBg(Attribute::Color c) { _bg = (_bg & ~colorMask) | c.raw(); }
    constexpr void setFg(Attribute::Color c) { _fg = (_fg & ~colorMask) | c.raw(); }
    // True when both cells carry the same attribute (a cheap comparison of the packed words).
    constexpr bool sameAttribute(const CharData& o) const {
        return _fg == o._fg && _bg == o._bg && _style == o._style &&
               ((_meta ^ o._meta) & underlineStyleMask) == 0;
    }
    // Whether the attribute is the default one (default colours, no style, no underline).
    constexpr bool hasDefaultAttribute() const {
        return _fg == Attribute::Color::defaultColor().raw() &&
               _bg == Attribute::Color::defaultColor().raw() && _style == 0 &&
               (_meta & underlineStyleMask) == 0;
    }

    // "CharData: " then the code in decimal, a blank and the character ("?" when not a scalar).
    std::string debugDescription() const;

    // Exact comparison: code, width, payload and attribute. Without branches: rows compare cells to
    // their blank on every clear.
    constexpr bool operator==(const CharData& o) const {
        return ((uint32_t(code ^ o.code) | (_fg ^ o._fg) | (_bg ^ o._bg)) |
                (uint32_t(_style ^ o._style) | (uint32_t(_meta ^ o._meta) << 8) |
                 (uint32_t(_payload ^ o._payload) << 16))) == 0;
    }

private:
    static constexpr uint8_t widthMask = 0x03;
    static constexpr uint8_t underlineStyleMask = 0x1C;
    static constexpr uint32_t colorMask = 0x03FFFFFFu;

    constexpr void setAttributeWithoutUnderlineColor(const Attribute& a) {
        _fg = a.fg.raw();
        _bg = a.bg.raw();
        _style = a.style.rawValue;
        _meta = uint8_t((_meta & widthMask) | (uint8_t(a.underlineStyle) << 2));
    }

    uint32_t _fg = Attribute::Color::defaultColor().raw();
    uint32_t _bg = Attribute::Color::defaultColor().raw();
    uint8_t _style = 0;
    uint8_t _meta = 1;
    uint16_t _payload = 0;
};

static_assert(sizeof(CharData) <= 16, "a cell is the unit of every row: keep it at 16 bytes");
static_assert(std::is_trivially_copyable_v<CharData>);
static_assert(std::is_trivially_copyable_v<Attribute>);

inline constexpr CharData CharData::Null{};

} // namespace Tessaline
