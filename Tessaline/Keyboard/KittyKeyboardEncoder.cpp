#include "KittyKeyboardEncoder.h"

#include "Utf8.h"

#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <array>

namespace Tessaline {

namespace {

using Key = KittyFunctionalKey;
using Mods = KittyKeyboardModifiers;
using EventType = KittyKeyboardEventType;

constexpr uint8_t esc = 0x1B;

struct Entry {
    uint64_t number;
    uint8_t form; // 0 letter, 1 tilde, 2 u
};

// Indexed by KittyFunctionalKey. Escape, Enter, Tab and Backspace hold 0: their numbers are their legacy
// bytes (legacyKeyNumber).
constexpr std::array<Entry, kittyFunctionalKeyCount> functionalTable = [] {
    std::array<Entry, kittyFunctionalKeyCount> t{};
    auto set = [&t](Key key, uint64_t number, uint8_t form) { t[size_t(key)] = {number, form}; };
    auto run = [&t](Key first, Key last, uint64_t number) {
        for (size_t i = size_t(first); i <= size_t(last); ++i)
            t[i] = {number++, 2};
    };
    for (Key k : {Key::escape, Key::enter, Key::tab, Key::backspace})
        set(k, 0, 2);
    set(Key::insert, 2, 1);
    set(Key::delete_, 3, 1);
    set(Key::up, 'A', 0);
    set(Key::down, 'B', 0);
    set(Key::left, 'D', 0);
    set(Key::right, 'C', 0);
    set(Key::home, 'H', 0);
    set(Key::end, 'F', 0);
    set(Key::pageUp, 5, 1);
    set(Key::pageDown, 6, 1);
    set(Key::f1, 'P', 0);
    set(Key::f2, 'Q', 0);
    set(Key::f3, 13, 1);
    set(Key::f4, 'S', 0);
    const uint64_t f5ToF12[] = {15, 17, 18, 19, 20, 21, 23, 24};
    for (size_t i = 0; i < 8; ++i)
        set(Key(size_t(Key::f5) + i), f5ToF12[i], 1);
    run(Key::f13, Key::f35, 57376);
    set(Key::menu, 57363, 2);
    run(Key::capsLock, Key::pause, 57358);
    run(Key::keypad0, Key::keypad9, 57399);
    run(Key::keypadDecimal, Key::keypadBegin, 57409);
    run(Key::mediaPlay, Key::mediaRecord, 57428);
    run(Key::volumeDown, Key::volumeMute, 57438);
    run(Key::leftShift, Key::rightMeta, 57441);
    run(Key::isoLevel3Shift, Key::isoLevel5Shift, 57453);
    return t;
}();

static_assert(functionalTable[size_t(Key::f3)].number == 13);
static_assert(functionalTable[size_t(Key::f35)].number == 57398);
static_assert(functionalTable[size_t(Key::keypadBegin)].number == 57427);
static_assert(functionalTable[size_t(Key::isoLevel5Shift)].number == 57454);

std::optional<uint32_t> legacyKeyNumber(Key key) {
    switch (key) {
    case Key::escape:
        return 27;
    case Key::enter:
        return 13;
    case Key::tab:
        return 9;
    case Key::backspace:
        return 127;
    default:
        return std::nullopt;
    }
}

// The modifiers that keep associated text out of a report: text is what the key types, and these change
// what it means.
constexpr Mods textSuppressingModifiers{Mods::alt, Mods::ctrl, Mods::super, Mods::hyper, Mods::meta};

constexpr bool isControlScalar(uint32_t c) {
    return c <= 31 || (c >= 127 && c <= 159);
}

// Visits the scalars of UTF-8 text; an ill-formed sequence counts as U+FFFD.
template<typename Visit>
void forEachScalar(const std::string& text, Visit visit) {
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const int32_t length = text.size() > size_t(INT32_MAX) ? INT32_MAX : int32_t(text.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT_OR_FFFD(s, i, length, c);
        if (!visit(uint32_t(c))) return;
    }
}

void appendNumber(std::vector<uint8_t>& out, uint64_t n) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = char('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (count > 0)
        out.push_back(uint8_t(digits[--count]));
}

void appendText(std::vector<uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

std::vector<uint8_t> csi() {
    return {esc, '['};
}

std::vector<uint8_t> bytesOf(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The full lower-case form of a scalar when it is a single scalar again.
std::optional<uint32_t> lowercased(uint32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (!Utf8::isScalar(c)) return std::nullopt;
    UChar source[2];
    int32_t sourceLength = 0;
    UBool unused = false;
    U16_APPEND(source, sourceLength, 2, UChar32(c), unused);
    (void)unused;
    UChar lower[8];
    UErrorCode error = U_ZERO_ERROR;
    int32_t lowerLength = u_strToLower(lower, 8, source, sourceLength, "", &error);
    if (U_FAILURE(error) || lowerLength <= 0 || lowerLength > 8) return std::nullopt;
    UChar32 first;
    int32_t i = 0;
    U16_NEXT(lower, i, lowerLength, first);
    if (i != lowerLength) return std::nullopt;
    return uint32_t(first);
}

} // namespace

KittyKeyboardEncoder::FunctionalEncoding KittyKeyboardEncoder::functionalEncoding(KittyFunctionalKey key) {
    const Entry& e = functionalTable[size_t(key)];
    return {e.number, Form(e.form)};
}

std::optional<uint8_t> KittyKeyboardEncoder::legacyControlMapping(uint32_t scalar) {
    auto map = [](uint32_t c) -> std::optional<uint8_t> {
        if (c >= 'a' && c <= 'z') return uint8_t(c - 'a' + 1);
        switch (c) {
        case ' ':
        case '@':
        case '2':
            return 0x00;
        case '/':
        case '_':
        case '7':
            return 0x1F;
        case '[':
        case '3':
            return 0x1B;
        case '\\':
        case '4':
            return 0x1C;
        case ']':
        case '5':
            return 0x1D;
        case '^':
        case '~':
        case '6':
            return 0x1E;
        case '?':
        case '8':
            return 0x7F;
        case '0':
            return 0x30;
        case '1':
            return 0x31;
        case '9':
            return 0x39;
        default:
            return std::nullopt;
        }
    };
    if (auto lower = lowercased(scalar))
        if (auto byte = map(*lower)) return byte;
    return map(scalar);
}

bool KittyKeyboardEncoder::wantsEventType(const KittyKeyEvent& event) const {
    return flags.contains(KittyKeyboardFlags::reportEvents) && event.eventType != EventType::press;
}

std::optional<std::vector<uint8_t>> KittyKeyboardEncoder::encode(const KittyKeyEvent& event) const {
    const bool allKeys = flags.contains(KittyKeyboardFlags::reportAllKeys);
    const bool release = event.eventType == EventType::release;
    const bool modifierKey = event.key.isFunctional() && isKittyModifierKey(*event.key.functionalKey());
    const bool enterOrBackspace = event.key.is(Key::enter) || event.key.is(Key::backspace);
    const bool hasText = event.text && !event.text->empty();

    if (release && !flags.contains(KittyKeyboardFlags::reportEvents)) return std::nullopt;
    if (!allKeys && release && (enterOrBackspace || event.key.is(Key::tab))) return std::nullopt;
    if (event.composing && !(modifierKey && allKeys)) return std::nullopt;
    if (!allKeys && modifierKey) return std::nullopt;

    const bool includeText = allKeys && flags.contains(KittyKeyboardFlags::reportText) && !release &&
                             !event.modifiers.intersects(textSuppressingModifiers);
    if (allKeys && !hasText) return encodeAllKeys(event, includeText);

    if (hasText && enterOrBackspace && !containsControlScalars(*event.text)) {
        if (event.key.is(Key::backspace)) return std::nullopt;
        return bytesOf(*event.text);
    }
    if (hasText && allKeys) return encodeAllKeys(event, includeText);

    if (hasText && !event.key.isFunctional()) {
        const bool plainKey =
            !flags.contains(KittyKeyboardFlags::reportAlternates) ||
            (!event.modifiers.contains(Mods::shift) && !event.shiftedKey && !event.baseLayoutKey);
        const bool legacyModifiers = !flags.contains(KittyKeyboardFlags::disambiguate) ||
                                     !event.modifiers.intersects(Mods{Mods::alt, Mods::ctrl});
        if (plainKey && legacyModifiers) {
            if (release) return std::nullopt;
            return bytesOf(*event.text);
        }
    }
    return encodeNonText(event, flags.contains(KittyKeyboardFlags::disambiguate) || allKeys);
}

std::optional<std::vector<uint8_t>> KittyKeyboardEncoder::encodeAllKeys(const KittyKeyEvent& event,
                                                                        bool includeText) const {
    if (!event.key.isFunctional()) return encodeCsiU(event, event.key.scalar(), includeText);
    const Key key = *event.key.functionalKey();
    if (key == Key::escape) return encodeCsiU(event, 27, false);
    if (auto number = legacyKeyNumber(key)) return encodeCsiU(event, *number, includeText);

    const std::optional<EventType> eventType =
        wantsEventType(event) ? std::optional(event.eventType) : std::nullopt;
    const FunctionalEncoding encoding = functionalEncoding(key);
    switch (encoding.form) {
    case Form::letter:
        return buildCsiWithModifier(1, event.modifiers, eventType, char(encoding.number), true);
    case Form::tilde:
        return buildCsiWithModifier(encoding.number, event.modifiers, eventType, "~");
    case Form::u:
        break;
    }
    return encodeCsiU(event, uint32_t(encoding.number), includeText);
}

std::optional<std::vector<uint8_t>> KittyKeyboardEncoder::encodeNonText(const KittyKeyEvent& event,
                                                                        bool disambiguate) const {
    const bool eventTypeWanted = wantsEventType(event);
    const bool modified = !event.modifiers.isEmpty() || eventTypeWanted;
    const std::optional<EventType> eventType =
        eventTypeWanted ? std::optional(event.eventType) : std::nullopt;

    if (event.key.isNone()) return encodeCsiU(event, 0, false);
    if (event.key.isUnicode()) {
        if (!disambiguate)
            if (auto legacy = legacyTextKeySequence(event)) return legacy;
        return encodeCsiU(event, event.key.scalar(), false);
    }

    const Key key = *event.key.functionalKey();
    if (key == Key::escape) {
        if (disambiguate) return encodeCsiU(event, 27, false);
        return legacySpecialKeySequence(key, event.modifiers, event.eventType);
    }
    if (auto number = legacyKeyNumber(key)) {
        if (disambiguate && modified) return encodeCsiU(event, *number, false);
        return legacySpecialKeySequence(key, event.modifiers, event.eventType);
    }

    const FunctionalEncoding encoding = functionalEncoding(key);
    switch (encoding.form) {
    case Form::letter: {
        const char letter = char(encoding.number);
        if (disambiguate || modified)
            return buildCsiWithModifier(1, event.modifiers, eventType, letter, true);
        const bool cursorKey = key != Key::f1 && key != Key::f2 && key != Key::f4;
        if (cursorKey && !applicationCursor) return Bytes{esc, '[', uint8_t(letter)};
        return Bytes{esc, 'O', uint8_t(letter)};
    }
    case Form::tilde:
        return buildCsiWithModifier(encoding.number, event.modifiers, eventType, "~");
    case Form::u:
        break;
    }
    return encodeCsiU(event, uint32_t(encoding.number), false);
}

std::vector<uint8_t> KittyKeyboardEncoder::encodeCsiU(const KittyKeyEvent& event, uint32_t keyCode,
                                                      bool includeText) const {
    Bytes out = csi();
    appendNumber(out, keyCode);

    if (flags.contains(KittyKeyboardFlags::reportAlternates)) {
        if (event.modifiers.contains(Mods::shift) && event.shiftedKey) {
            out.push_back(':');
            appendNumber(out, *event.shiftedKey);
            if (event.baseLayoutKey) {
                out.push_back(':');
                appendNumber(out, *event.baseLayoutKey);
            }
        } else if (event.baseLayoutKey) {
            appendText(out, "::");
            appendNumber(out, *event.baseLayoutKey);
        }
    }

    const bool eventTypeWanted = wantsEventType(event);
    const bool modifierField = !event.modifiers.isEmpty() || eventTypeWanted;
    if (modifierField) {
        out.push_back(';');
        appendNumber(out, uint64_t(event.modifiers.rawValue) + 1);
        if (eventTypeWanted) {
            out.push_back(':');
            appendNumber(out, uint64_t(event.eventType));
        }
    }

    if (includeText) {
        if (auto codepoints = textCodepoints(event.text)) {
            appendText(out, modifierField ? ";" : ";;");
            for (size_t i = 0; i < codepoints->size(); ++i) {
                if (i > 0) out.push_back(':');
                appendNumber(out, (*codepoints)[i]);
            }
        }
    }

    out.push_back('u');
    return out;
}

std::vector<uint8_t>
KittyKeyboardEncoder::buildCsiWithModifier(uint64_t number, KittyKeyboardModifiers modifiers,
                                           std::optional<KittyKeyboardEventType> eventType,
                                           std::string_view terminator) {
    Bytes out = csi();
    appendNumber(out, number);
    if (!modifiers.isEmpty() || eventType) {
        out.push_back(';');
        appendNumber(out, uint64_t(modifiers.rawValue) + 1);
        if (eventType) {
            out.push_back(':');
            appendNumber(out, uint64_t(*eventType));
        }
    }
    appendText(out, terminator);
    return out;
}

std::vector<uint8_t>
KittyKeyboardEncoder::buildCsiWithModifier(uint64_t number, KittyKeyboardModifiers modifiers,
                                           std::optional<KittyKeyboardEventType> eventType, char terminator,
                                           bool omitDefaultNumber) {
    if (omitDefaultNumber && modifiers.isEmpty() && !eventType) return Bytes{esc, '[', uint8_t(terminator)};
    return buildCsiWithModifier(number, modifiers, eventType, std::string_view(&terminator, 1));
}

std::optional<std::vector<uint8_t>>
KittyKeyboardEncoder::legacySpecialKeySequence(KittyFunctionalKey key, KittyKeyboardModifiers modifiers,
                                               KittyKeyboardEventType eventType) const {
    if (eventType != EventType::press) return std::nullopt;
    Bytes out;
    if (modifiers.contains(Mods::alt)) out.push_back(esc);
    switch (key) {
    case Key::escape:
        out.push_back(esc);
        break;
    case Key::enter:
        out.push_back(0x0D);
        break;
    case Key::tab:
        if (modifiers.contains(Mods::shift))
            appendText(out, "\x1b[Z");
        else
            out.push_back(0x09);
        break;
    case Key::backspace:
        out.push_back(backspaceSendsControlH || modifiers.contains(Mods::ctrl) ? 0x08 : 0x7F);
        break;
    default:
        return std::nullopt;
    }
    return out;
}

std::optional<std::vector<uint8_t>> KittyKeyboardEncoder::legacyTextKeySequence(const KittyKeyEvent& event) {
    if (event.eventType != EventType::press || !event.key.isUnicode()) return std::nullopt;
    const uint32_t scalar = event.key.scalar();
    if (!Utf8::isScalar(scalar)) return std::nullopt;
    const Mods legacyModifiers{Mods::shift, Mods::alt, Mods::ctrl, Mods::capsLock, Mods::numLock};
    if ((event.modifiers.rawValue & ~legacyModifiers.rawValue) != 0) return std::nullopt;
    const bool shift = event.modifiers.contains(Mods::shift);
    const bool ctrl = event.modifiers.contains(Mods::ctrl);
    if (shift && ctrl) return std::nullopt;

    Bytes out;
    if (event.modifiers.contains(Mods::alt)) out.push_back(esc);
    if (ctrl) {
        if (auto byte = legacyControlMapping(scalar)) {
            out.push_back(*byte);
            return out;
        }
    }
    if (event.text && !event.text->empty())
        appendText(out, *event.text);
    else if (shift && event.shiftedKey)
        appendText(out, Utf8::encode(*event.shiftedKey));
    else
        appendText(out, Utf8::encode(scalar));
    return out;
}

std::optional<std::vector<uint32_t>>
KittyKeyboardEncoder::textCodepoints(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    std::vector<uint32_t> result;
    forEachScalar(*text, [&result](uint32_t c) {
        if (!isControlScalar(c)) result.push_back(c);
        return true;
    });
    if (result.empty()) return std::nullopt;
    return result;
}

bool KittyKeyboardEncoder::containsControlScalars(const std::string& text) {
    bool found = false;
    forEachScalar(text, [&found](uint32_t c) {
        found = isControlScalar(c);
        return !found;
    });
    return found;
}

} // namespace Tessaline
