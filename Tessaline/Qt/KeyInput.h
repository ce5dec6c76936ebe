#pragma once

#include "KittyFunctionalKey.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class QKeyEvent;

namespace Tessaline {

// The keys without text that the keyboard logic singles out: cursor, editing and function keys.
enum class FunctionKey : uint8_t {
    up,
    down,
    left,
    right,
    f1,
    f12 = f1 + 11,
    f35 = f1 + 34,
    insert,
    delete_,
    home,
    begin,
    end,
    pageUp,
    pageDown,
    printScreen,
    scrollLock,
    pause,
    menu,
};

// Function key n (1 to 35).
constexpr FunctionKey functionKeyF(int n) {
    return FunctionKey(int(FunctionKey::f1) + n - 1);
}
// The n of Fn, or 0 for a key that is not one of F1 to F35.
constexpr int functionKeyNumber(FunctionKey key) {
    if (key < FunctionKey::f1 || key > FunctionKey::f35) return 0;
    return int(key) - int(FunctionKey::f1) + 1;
}

// One key press or release as the keyboard logic needs it, filled from a QKeyEvent (or by hand in tests),
// so that the logic runs without a display.
struct KeyInput {
    struct Modifiers {
        bool shift = false;
        bool control = false;
        // Alt.
        bool option = false;
        // The Super (Meta) key.
        bool super = false;
        bool capsLock = false;
        // The key is on the numeric pad.
        bool numericPad = false;
        // The key is a function-type key (functionKey is set).
        bool function = false;
        bool operator==(const Modifiers&) const = default;
    };

    Modifiers modifiers;
    // The text the key produces with every modifier applied (Control gives control characters), UTF-8.
    std::optional<std::string> characters;
    // The text of the key with Shift (and Caps Lock) applied but not Control or Alt, UTF-8.
    std::optional<std::string> charactersIgnoringModifiers;
    bool isARepeat = false;
    // The physical key: the Linux input event code (the X keycode minus 8); 0 when unknown.
    uint16_t keyCode = 0;
    // The X keysym of the key as pressed; 0 when unknown.
    uint32_t keysym = 0;
    std::optional<FunctionKey> functionKey;
    // A digit, operator, Enter, equals or Begin key of the numeric pad.
    std::optional<KittyFunctionalKey> keypadKey;
    // Shift, Control, Alt, Super, Caps Lock and the like: keys that only change the modifiers.
    bool isModifierKey = false;
    // Caps Lock's own key: its press turns the lock on or off (modifiers.capsLock says which), its
    // release changes nothing.
    bool isCapsLockKey() const { return isModifierKey && keysym == 0xffe5; }

    bool operator==(const KeyInput&) const = default;

    // From a Qt event. Without native codes (synthetic events) the keysym and the physical key come out
    // as 0 except for modifier keys, whose keysym is taken from the Qt key.
    static KeyInput from(const QKeyEvent& event);
    // The Unicode character of a keysym that stands for one, else nothing.
    static std::optional<char32_t> keysymCharacter(uint32_t keysym);
};

// The first Unicode scalar of UTF-8 text; nothing for empty or absent text.
std::optional<char32_t> firstScalar(const std::optional<std::string>& text);
// True when the UTF-8 text is exactly one Unicode scalar.
bool isSingleScalar(std::string_view text);
// True when any scalar of the UTF-8 text is a C0 or C1 control or DEL.
bool containsControlCharacters(std::string_view text);

} // namespace Tessaline
