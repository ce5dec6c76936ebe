#pragma once

#include "KeyInput.h"
#include "KittyKeyEvent.h"

#include <cstdint>
#include <optional>
#include <string>

namespace Tessaline {

// How the view turns its key records into the keyboard protocol's events: which functional key a key is,
// which modifiers it carries, and the text key with its shifted and base-layout alternates.
struct KittyKeyMapping {
    // Shift, Alt (only while Alt acts as Meta), Ctrl, Super and Caps Lock of a key.
    static KittyKeyboardModifiers modifiers(const KeyInput& input, bool optionAsMetaKey);
    // The same for the press or release of a modifier key, where Alt always counts.
    static KittyKeyboardModifiers modifierKeyModifiers(const KeyInput& input);

    // The keypad keys first, then the function keys (their keypad forms when they sit on the numeric pad).
    // Escape, Return, Tab and Backspace are not found here: they reach the encoder as editing commands.
    static std::optional<KittyFunctionalKey> functionalKey(const KeyInput& input);
    // The text of the keypad's digits and operators; nothing for every other key.
    static std::optional<std::string> textForFunctionalKey(KittyFunctionalKey key, const KeyInput& input);
    // The modifier key an X keysym names (left and right apart), or nothing.
    static std::optional<KittyFunctionalKey> modifierKey(uint32_t keysym);
    // The character the physical key carries on a US keyboard, or nothing.
    static std::optional<char32_t> baseLayoutKey(uint16_t keyCode);
    // The four arrow keys of the main block, which never count as keypad keys.
    static bool isRegularArrowKey(uint16_t keyCode);

    // A text-key event: the key is the lower-cased character ignoring modifiers, with the shifted
    // character while Shift is held and the US-layout character of the key when it differs. Nothing
    // when the key has no character.
    static std::optional<KittyKeyEvent> textEvent(const KeyInput& input, KittyKeyboardEventType eventType,
                                                  std::optional<std::string> text, bool optionAsMetaKey,
                                                  bool composing);
};

} // namespace Tessaline
