// Select Graphic Rendition: the attribute given to the cells written next, in the ";" and the ":" forms.
//
// SGR is the densest sequence in real output (a colour change every few cells), so the walk works on a
// local copy of the attribute and builds no text unless a line is logged.
#include "Terminal.h"

#include <algorithm>
#include <array>

namespace Tessaline {

namespace {

uint8_t component(int64_t value) {
    return uint8_t(std::min<int64_t>(value, 255));
}

// The colour of 38, 48 or 58 whose kind stands at start. Answers the parameters consumed (at least 0) and
// sets `color` when the colour is well formed. Inline in the walk: no optional crosses a call.
inline int extendedColor(const SequenceParams& pars, int start, bool usesColon, Attribute::Color& color,
                         bool& found) {
    const int n = pars.size();
    found = false;
    if (start >= n) return 0;
    const int64_t kind = pars[start];
    if (usesColon) {
        // The run of parameters joined by ":" from start on.
        int e = 1;
        while (start + e < n && pars.separatorAfter(start + e - 1) == ':')
            ++e;
        if (kind == 5 && e >= 2) {
            color = Attribute::Color::ansi256(component(pars[start + 1]));
            found = true;
        } else if (kind == 2 && e >= 4) {
            // With five or more members the second is the colour space, which is skipped.
            const int first = e >= 5 ? start + 2 : start + 1;
            color = Attribute::Color::trueColor(component(pars[first]), component(pars[first + 1]),
                                                component(pars[first + 2]));
            found = true;
        }
        return e;
    }
    if (kind == 5) {
        if (start + 1 >= n) return 1;
        color = Attribute::Color::ansi256(component(pars[start + 1]));
        found = true;
        return 2;
    }
    if (kind == 2) {
        if (start + 3 >= n) return 1;
        color = Attribute::Color::trueColor(component(pars[start + 1]), component(pars[start + 2]),
                                            component(pars[start + 3]));
        found = true;
        return 4;
    }
    return 1;
}

// Cells of code 0, width 1 and the default colours, one per underline style, made at compile time: the
// print cell for an attribute without an underline colour starts from one of them.
constexpr std::array<CharData, 6> plainCells = {
    CharData(Attribute(Attribute::Color::defaultColor(), Attribute::Color::defaultColor(),
                       CharacterStyle::none, UnderlineStyle::none)),
    CharData(Attribute(Attribute::Color::defaultColor(), Attribute::Color::defaultColor(),
                       CharacterStyle::none, UnderlineStyle::single)),
    CharData(Attribute(Attribute::Color::defaultColor(), Attribute::Color::defaultColor(),
                       CharacterStyle::none, UnderlineStyle::double_)),
    CharData(Attribute(Attribute::Color::defaultColor(), Attribute::Color::defaultColor(),
                       CharacterStyle::none, UnderlineStyle::curly)),
    CharData(Attribute(Attribute::Color::defaultColor(), Attribute::Color::defaultColor(),
                       CharacterStyle::none, UnderlineStyle::dotted)),
    CharData(Attribute(Attribute::Color::defaultColor(), Attribute::Color::defaultColor(),
                       CharacterStyle::none, UnderlineStyle::dashed)),
};

} // namespace

Terminal::ExtendedColor Terminal::parseExtendedColor(const SequenceParams& pars, int startIndex,
                                                     bool usesColon) {
    Attribute::Color color;
    bool found = false;
    const int consumed = extendedColor(pars, startIndex, usesColon, color, found);
    return {found ? std::optional(color) : std::nullopt, consumed};
}

void Terminal::cmdCsiM(const SequenceParams& pars, std::string_view collect) {
    if (!collect.empty()) return;
    const int n = pars.size();
    if (n == 1 && pars[0] == 0) {
        _curAttr = Attribute::defaultAttribute();
        return;
    }
    // The fields in registers, written back once: no partial stores into the attribute per parameter.
    Attribute::Color fg = _curAttr.fg;
    Attribute::Color bg = _curAttr.bg;
    uint8_t style = _curAttr.style.rawValue;
    UnderlineStyle underline = _curAttr.underlineStyle;
    bool hasUnderlineColor = _curAttr.underlineColor.has_value();
    Attribute::Color underlineColor = _curAttr.underlineColor.value_or(Attribute::Color());
    auto add = [&style](CharacterStyle s) { style |= s.rawValue; };
    auto remove = [&style](CharacterStyle s) { style &= uint8_t(~s.rawValue); };
    // 38, 48 and 58: the colour that follows, or the old one when it is malformed; a result that consumed
    // nothing still skips one parameter.
    auto extended = [&pars](int i, Attribute::Color& target, bool* present = nullptr) {
        bool found = false;
        const int consumed = extendedColor(pars, i + 1, pars.separatorAfter(i) == ':', target, found);
        if (present != nullptr && found) *present = true;
        return i + 1 + std::max(consumed, 1);
    };

    int i = 0;
    while (i < n) {
        const int64_t p = pars[i];
        int next = i + 1;
        switch (p) {
        case 0:
            fg = bg = Attribute::Color::defaultColor();
            style = 0;
            underline = UnderlineStyle::none;
            hasUnderlineColor = false;
            break;
        case 1:
            add(CharacterStyle::bold);
            break;
        case 2:
            add(CharacterStyle::dim);
            break;
        case 3:
            add(CharacterStyle::italic);
            break;
        case 4:
            if (pars.separatorAfter(i) == ':' && i + 1 < n) {
                const int64_t s = pars[i + 1];
                if (s == 0) {
                    remove(CharacterStyle::underline);
                    underline = UnderlineStyle::none;
                } else {
                    add(CharacterStyle::underline);
                    underline = s <= 5 ? UnderlineStyle(s) : UnderlineStyle::single;
                }
                next = i + 2;
            } else {
                add(CharacterStyle::underline);
                underline = UnderlineStyle::single;
            }
            break;
        case 5:
            add(CharacterStyle::blink);
            break;
        case 7:
            add(CharacterStyle::inverse);
            break;
        case 8:
            add(CharacterStyle::invisible);
            break;
        case 9:
            add(CharacterStyle::crossedOut);
            break;
        case 21:
            add(CharacterStyle::underline);
            underline = UnderlineStyle::double_;
            break;
        case 22:
            remove(CharacterStyle::bold);
            remove(CharacterStyle::dim);
            break;
        case 23:
            remove(CharacterStyle::italic);
            break;
        case 24:
            remove(CharacterStyle::underline);
            underline = UnderlineStyle::none;
            break;
        case 25:
            remove(CharacterStyle::blink);
            break;
        case 27:
            remove(CharacterStyle::inverse);
            break;
        case 28:
            remove(CharacterStyle::invisible);
            break;
        case 29:
            remove(CharacterStyle::crossedOut);
            break;
        case 30:
        case 31:
        case 32:
        case 33:
        case 34:
        case 35:
        case 36:
        case 37:
            fg = Attribute::Color::ansi256(uint8_t(p - 30));
            break;
        case 38:
            next = extended(i, fg);
            break;
        case 39:
            fg = Attribute::Color::defaultColor();
            break;
        case 40:
        case 41:
        case 42:
        case 43:
        case 44:
        case 45:
        case 46:
        case 47:
            bg = Attribute::Color::ansi256(uint8_t(p - 40));
            break;
        case 48:
            next = extended(i, bg);
            break;
        case 49:
            bg = Attribute::Color::defaultColor();
            break;
        case 58: {
            // A malformed colour leaves the old one, or none.
            Attribute::Color color = underlineColor;
            bool found = false;
            next = extended(i, color, &found);
            if (found) {
                underlineColor = color;
                hasUnderlineColor = true;
            }
            break;
        }
        case 59:
            hasUnderlineColor = false;
            break;
        case 90:
        case 91:
        case 92:
        case 93:
        case 94:
        case 95:
        case 96:
        case 97:
            fg = Attribute::Color::ansi256(uint8_t(p - 82));
            break;
        case 100:
        case 101:
        case 102:
        case 103:
        case 104:
        case 105:
        case 106:
        case 107:
            bg = Attribute::Color::ansi256(uint8_t(p - 92));
            break;
        default:
            // Through the log, so that a program cannot flood standard output with them.
            if (!silentLog)
                log("Unknown SGR attribute: " + std::to_string(p) + " " + bracketedList(pars.values()));
            break;
        }
        i = next;
    }
    // Field by field, from the registers: an attribute built whole on the stack is written there a byte
    // at a time and read back in one load, which waits on those stores.
    _curAttr.fg = fg;
    _curAttr.bg = bg;
    _curAttr.style = CharacterStyle(style);
    _curAttr.underlineStyle = underline;
    if (hasUnderlineColor)
        _curAttr.underlineColor = underlineColor;
    else
        _curAttr.underlineColor.reset();
    // The print cell too, so that handlePrint finds it current and copies nothing back. An underline
    // colour interns an entry, so that one is left for the first print.
    if (!hasUnderlineColor) {
        _printCellAttribute.fg = fg;
        _printCellAttribute.bg = bg;
        _printCellAttribute.style = CharacterStyle(style);
        _printCellAttribute.underlineStyle = underline;
        _printCellAttribute.underlineColor.reset();
        CharData cell = plainCells[size_t(underline) % plainCells.size()];
        cell.setFg(fg);
        cell.setBg(bg);
        cell.setStyle(CharacterStyle(style));
        _printCell = cell;
    }
}

} // namespace Tessaline
