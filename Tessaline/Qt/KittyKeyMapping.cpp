#include "KittyKeyMapping.h"

#include <QChar>

#include <linux/input-event-codes.h>

#include <array>
#include <utility>

namespace Tessaline {

KittyKeyboardModifiers KittyKeyMapping::modifiers(const KeyInput& input, bool optionAsMetaKey) {
    KittyKeyboardModifiers result;
    const KeyInput::Modifiers& m = input.modifiers;
    if (m.shift) result.insert(KittyKeyboardModifiers::shift);
    if (m.option && optionAsMetaKey) result.insert(KittyKeyboardModifiers::alt);
    if (m.control) result.insert(KittyKeyboardModifiers::ctrl);
    if (m.super) result.insert(KittyKeyboardModifiers::super);
    if (m.capsLock) result.insert(KittyKeyboardModifiers::capsLock);
    return result;
}

KittyKeyboardModifiers KittyKeyMapping::modifierKeyModifiers(const KeyInput& input) {
    return modifiers(input, true);
}

std::optional<KittyFunctionalKey> KittyKeyMapping::functionalKey(const KeyInput& input) {
    if (input.keypadKey) return input.keypadKey;
    if (!input.functionKey) return std::nullopt;
    const FunctionKey key = *input.functionKey;
    using K = KittyFunctionalKey;
    if (input.modifiers.numericPad && !isRegularArrowKey(input.keyCode)) {
        switch (key) {
        case FunctionKey::up:
            return K::keypadUp;
        case FunctionKey::down:
            return K::keypadDown;
        case FunctionKey::left:
            return K::keypadLeft;
        case FunctionKey::right:
            return K::keypadRight;
        case FunctionKey::insert:
            return K::keypadInsert;
        case FunctionKey::delete_:
            return K::keypadDelete;
        case FunctionKey::home:
            return K::keypadHome;
        case FunctionKey::end:
            return K::keypadEnd;
        case FunctionKey::pageUp:
            return K::keypadPageUp;
        case FunctionKey::pageDown:
            return K::keypadPageDown;
        default:
            break;
        }
    }
    if (const int n = functionKeyNumber(key); n > 0) return K(int(K::f1) + n - 1);
    switch (key) {
    case FunctionKey::up:
        return K::up;
    case FunctionKey::down:
        return K::down;
    case FunctionKey::left:
        return K::left;
    case FunctionKey::right:
        return K::right;
    case FunctionKey::insert:
        return K::insert;
    case FunctionKey::delete_:
        return K::delete_;
    case FunctionKey::home:
        return K::home;
    case FunctionKey::end:
        return K::end;
    case FunctionKey::pageUp:
        return K::pageUp;
    case FunctionKey::pageDown:
        return K::pageDown;
    case FunctionKey::printScreen:
        return K::printScreen;
    case FunctionKey::scrollLock:
        return K::scrollLock;
    case FunctionKey::pause:
        return K::pause;
    case FunctionKey::menu:
        return K::menu;
    default:
        return std::nullopt;
    }
}

std::optional<std::string> KittyKeyMapping::textForFunctionalKey(KittyFunctionalKey key,
                                                                 const KeyInput& input) {
    using K = KittyFunctionalKey;
    const bool hasText =
        (key >= K::keypad0 && key <= K::keypadAdd) || key == K::keypadEqual || key == K::keypadSeparator;
    if (!hasText) return std::nullopt;
    const std::optional<std::string>& text =
        input.characters ? input.characters : input.charactersIgnoringModifiers;
    if (!text || text->empty()) return std::nullopt;
    return text;
}

std::optional<KittyFunctionalKey> KittyKeyMapping::modifierKey(uint32_t keysym) {
    using K = KittyFunctionalKey;
    switch (keysym) {
    case 0xffe1: // Shift_L
        return K::leftShift;
    case 0xffe2: // Shift_R
        return K::rightShift;
    case 0xffe3: // Control_L
        return K::leftControl;
    case 0xffe4: // Control_R
        return K::rightControl;
    case 0xffe5: // Caps_Lock
        return K::capsLock;
    // The Alt keys give Meta_L and Meta_R with Shift held in the common layouts.
    case 0xffe9: // Alt_L
    case 0xffe7: // Meta_L
        return K::leftAlt;
    case 0xffea: // Alt_R
    case 0xffe8: // Meta_R
        return K::rightAlt;
    case 0xffeb: // Super_L
        return K::leftSuper;
    case 0xffec: // Super_R
        return K::rightSuper;
    default:
        return std::nullopt;
    }
}

std::optional<char32_t> KittyKeyMapping::baseLayoutKey(uint16_t keyCode) {
    static constexpr std::array<std::pair<uint16_t, char32_t>, 48> usLayout{{
        {KEY_A, 'a'},          {KEY_S, 's'},           {KEY_D, 'd'},     {KEY_F, 'f'},
        {KEY_H, 'h'},          {KEY_G, 'g'},           {KEY_Z, 'z'},     {KEY_X, 'x'},
        {KEY_C, 'c'},          {KEY_V, 'v'},           {KEY_B, 'b'},     {KEY_Q, 'q'},
        {KEY_W, 'w'},          {KEY_E, 'e'},           {KEY_R, 'r'},     {KEY_Y, 'y'},
        {KEY_T, 't'},          {KEY_1, '1'},           {KEY_2, '2'},     {KEY_3, '3'},
        {KEY_4, '4'},          {KEY_6, '6'},           {KEY_5, '5'},     {KEY_EQUAL, '='},
        {KEY_9, '9'},          {KEY_7, '7'},           {KEY_MINUS, '-'}, {KEY_8, '8'},
        {KEY_0, '0'},          {KEY_RIGHTBRACE, ']'},  {KEY_O, 'o'},     {KEY_U, 'u'},
        {KEY_LEFTBRACE, '['},  {KEY_I, 'i'},           {KEY_P, 'p'},     {KEY_L, 'l'},
        {KEY_J, 'j'},          {KEY_APOSTROPHE, '\''}, {KEY_K, 'k'},     {KEY_SEMICOLON, ';'},
        {KEY_BACKSLASH, '\\'}, {KEY_COMMA, ','},       {KEY_SLASH, '/'}, {KEY_N, 'n'},
        {KEY_M, 'm'},          {KEY_DOT, '.'},         {KEY_SPACE, ' '}, {KEY_GRAVE, '`'},
    }};
    if (keyCode == 0) return std::nullopt;
    for (auto [code, c] : usLayout)
        if (code == keyCode) return c;
    return std::nullopt;
}

bool KittyKeyMapping::isRegularArrowKey(uint16_t keyCode) {
    return keyCode == KEY_UP || keyCode == KEY_DOWN || keyCode == KEY_LEFT || keyCode == KEY_RIGHT;
}

std::optional<KittyKeyEvent> KittyKeyMapping::textEvent(const KeyInput& input,
                                                        KittyKeyboardEventType eventType,
                                                        std::optional<std::string> text, bool optionAsMetaKey,
                                                        bool composing) {
    const std::optional<char32_t> scalar = firstScalar(input.charactersIgnoringModifiers);
    if (!scalar) return std::nullopt;
    const char32_t key = QChar::toLower(*scalar);

    KittyKeyEvent event;
    event.key = KittyKey::unicode(key);
    if (input.modifiers.shift) {
        // With Control held the characters are control codes, not the shifted key.
        std::optional<char32_t> shifted = firstScalar(input.characters);
        if (shifted && (*shifted < 0x20 || (*shifted >= 0x7f && *shifted <= 0x9f))) shifted = scalar;
        event.shiftedKey = shifted;
    }
    if (auto base = baseLayoutKey(input.keyCode); base && *base != key) event.baseLayoutKey = *base;
    event.modifiers = modifiers(input, optionAsMetaKey);
    event.eventType = eventType;
    event.text = std::move(text);
    event.composing = composing;
    return event;
}

} // namespace Tessaline
