// Qt key events into the neutral key record. X gives the physical key as its keycode (the kernel's input
// event code plus 8) and the key as pressed as a keysym; Qt gives the rest.
#include "KeyInput.h"

#include "Utf8.h"

#include <QChar>
#include <QKeyEvent>

#include <array>
#include <utility>

namespace Tessaline {

namespace {

// X keysyms of the modifier keys.
constexpr uint32_t xkShiftL = 0xffe1;
constexpr uint32_t xkShiftR = 0xffe2;
constexpr uint32_t xkControlL = 0xffe3;
constexpr uint32_t xkControlR = 0xffe4;
constexpr uint32_t xkCapsLock = 0xffe5;
constexpr uint32_t xkMetaL = 0xffe7;
constexpr uint32_t xkMetaR = 0xffe8;
constexpr uint32_t xkAltL = 0xffe9;
constexpr uint32_t xkAltR = 0xffea;
constexpr uint32_t xkSuperL = 0xffeb;
constexpr uint32_t xkSuperR = 0xffec;
constexpr uint32_t xkHyperL = 0xffed;
constexpr uint32_t xkHyperR = 0xffee;
constexpr uint32_t xkIsoLevel3Shift = 0xfe03;
constexpr uint32_t xkModeSwitch = 0xff7e;
// The Lock bit of an X modifier state.
constexpr uint32_t xLockMask = 0x2;

std::optional<FunctionKey> functionKeyOf(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) return functionKeyF(key - Qt::Key_F1 + 1);
    switch (key) {
    case Qt::Key_Up:
        return FunctionKey::up;
    case Qt::Key_Down:
        return FunctionKey::down;
    case Qt::Key_Left:
        return FunctionKey::left;
    case Qt::Key_Right:
        return FunctionKey::right;
    case Qt::Key_Insert:
        return FunctionKey::insert;
    case Qt::Key_Delete:
        return FunctionKey::delete_;
    case Qt::Key_Home:
        return FunctionKey::home;
    case Qt::Key_Clear:
        return FunctionKey::begin;
    case Qt::Key_End:
        return FunctionKey::end;
    case Qt::Key_PageUp:
        return FunctionKey::pageUp;
    case Qt::Key_PageDown:
        return FunctionKey::pageDown;
    case Qt::Key_Print:
        return FunctionKey::printScreen;
    case Qt::Key_ScrollLock:
        return FunctionKey::scrollLock;
    case Qt::Key_Pause:
        return FunctionKey::pause;
    case Qt::Key_Menu:
        return FunctionKey::menu;
    default:
        return std::nullopt;
    }
}

// The keys of the numeric pad that give text with Num Lock on (and Begin, Num Lock's "5" without it).
std::optional<KittyFunctionalKey> keypadKeyOf(int key) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return KittyFunctionalKey(int(KittyFunctionalKey::keypad0) + key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Period:
        return KittyFunctionalKey::keypadDecimal;
    case Qt::Key_Comma:
        return KittyFunctionalKey::keypadSeparator;
    case Qt::Key_Asterisk:
        return KittyFunctionalKey::keypadMultiply;
    case Qt::Key_Plus:
        return KittyFunctionalKey::keypadAdd;
    case Qt::Key_Clear:
        return KittyFunctionalKey::keypadBegin;
    case Qt::Key_Slash:
        return KittyFunctionalKey::keypadDivide;
    case Qt::Key_Enter:
        return KittyFunctionalKey::keypadEnter;
    case Qt::Key_Minus:
        return KittyFunctionalKey::keypadSubtract;
    case Qt::Key_Equal:
        return KittyFunctionalKey::keypadEqual;
    default:
        return std::nullopt;
    }
}

// The keysym a modifier key stands for when the event carries none.
uint32_t modifierKeysymOf(int key) {
    switch (key) {
    case Qt::Key_Shift:
        return xkShiftL;
    case Qt::Key_Control:
        return xkControlL;
    case Qt::Key_Alt:
        return xkAltL;
    case Qt::Key_AltGr:
        return xkIsoLevel3Shift;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return xkSuperL;
    case Qt::Key_Super_R:
        return xkSuperR;
    case Qt::Key_Hyper_L:
        return xkHyperL;
    case Qt::Key_Hyper_R:
        return xkHyperR;
    case Qt::Key_CapsLock:
        return xkCapsLock;
    case Qt::Key_Mode_switch:
        return xkModeSwitch;
    default:
        return 0;
    }
}

// The text of the keys whose characters are fixed control codes (Backspace as DEL, Shift+Tab as U+0019).
std::optional<std::string> controlKeyText(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return "\r";
    case Qt::Key_Tab:
        return "\t";
    case Qt::Key_Backtab:
        return "\x19";
    case Qt::Key_Backspace:
        return "\x7f";
    case Qt::Key_Escape:
        return "\x1b";
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<char32_t> KeyInput::keysymCharacter(uint32_t keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) return char32_t(keysym);
    if (keysym >= 0x1000100 && keysym <= 0x110ffff) {
        const char32_t c = keysym - 0x1000000;
        if (Utf8::isScalar(c)) return c;
        return std::nullopt;
    }
    if (keysym >= 0xffb0 && keysym <= 0xffb9) return char32_t('0' + keysym - 0xffb0);
    static constexpr std::array<std::pair<uint32_t, char32_t>, 8> keypad{{
        {0xff80, ' '},
        {0xffaa, '*'},
        {0xffab, '+'},
        {0xffac, ','},
        {0xffad, '-'},
        {0xffae, '.'},
        {0xffaf, '/'},
        {0xffbd, '='},
    }};
    for (auto [sym, c] : keypad)
        if (sym == keysym) return c;
    return std::nullopt;
}

KeyInput KeyInput::from(const QKeyEvent& event) {
    KeyInput in;
    const int key = event.key();
    const Qt::KeyboardModifiers mods = event.modifiers();
    const quint32 scanCode = event.nativeScanCode();
    in.isARepeat = event.isAutoRepeat();
    in.keyCode = scanCode >= 8 && scanCode < 0x10008 ? uint16_t(scanCode - 8) : 0;
    in.keysym = event.nativeVirtualKey();
    in.modifiers.shift = mods.testFlag(Qt::ShiftModifier);
    in.modifiers.control = mods.testFlag(Qt::ControlModifier);
    in.modifiers.option = mods.testFlag(Qt::AltModifier);
    in.modifiers.super = mods.testFlag(Qt::MetaModifier);
    in.modifiers.numericPad = mods.testFlag(Qt::KeypadModifier);
    // Qt keeps Caps Lock out of its modifiers; X has it in the state of the event.
    in.modifiers.capsLock = scanCode != 0 && (event.nativeModifiers() & xLockMask) != 0;

    if (const uint32_t sym = modifierKeysymOf(key); sym != 0) {
        in.isModifierKey = true;
        if (in.keysym == 0) in.keysym = sym;
        // A press counts its own modifier as held and a release as let go, whatever state X reported.
        const bool down = event.type() == QEvent::KeyPress;
        switch (in.keysym) {
        case xkShiftL:
        case xkShiftR:
            in.modifiers.shift = down;
            break;
        case xkControlL:
        case xkControlR:
            in.modifiers.control = down;
            break;
        case xkAltL:
        case xkAltR:
        case xkMetaL:
        case xkMetaR:
            in.modifiers.option = down;
            break;
        case xkSuperL:
        case xkSuperR:
            in.modifiers.super = down;
            break;
        case xkCapsLock:
            // Caps Lock toggles: X reports the state before the press, so the press turns it on when it
            // was off. Without that state a press counts as on.
            if (down) in.modifiers.capsLock = scanCode == 0 || !in.modifiers.capsLock;
            break;
        default:
            break;
        }
        return in;
    }

    in.functionKey = functionKeyOf(key);
    in.modifiers.function = in.functionKey.has_value();
    if (in.modifiers.numericPad) in.keypadKey = keypadKeyOf(key);
    if (in.functionKey) return in;

    if (auto fixed = controlKeyText(key)) {
        in.characters = fixed;
        in.charactersIgnoringModifiers = fixed;
        return in;
    }
    const QByteArray text = event.text().toUtf8();
    if (!text.isEmpty()) in.characters = std::string(text.constData(), size_t(text.size()));
    if (auto c = keysymCharacter(in.keysym)) {
        in.charactersIgnoringModifiers = Utf8::encode(*c);
    } else if (in.characters && !containsControlCharacters(*in.characters)) {
        in.charactersIgnoringModifiers = in.characters;
    } else if (key >= 0x20 && key <= 0x10ffff && Utf8::isScalar(char32_t(key))) {
        // Qt names letter keys by their capitals.
        const char32_t c = in.modifiers.shift ? char32_t(key) : QChar::toLower(char32_t(key));
        in.charactersIgnoringModifiers = Utf8::encode(c);
    }
    return in;
}

std::optional<char32_t> firstScalar(const std::optional<std::string>& text) {
    if (!text || text->empty()) return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text->data());
    const size_t n = text->size();
    const unsigned char b = bytes[0];
    size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xe ? 3 : (b >> 3) == 0x1e ? 4 : 0;
    if (length == 0 || length > n) return std::nullopt;
    std::u32string scalar;
    if (!Utf8::decode(std::string_view(text->data(), length), scalar) || scalar.size() != 1)
        return std::nullopt;
    return scalar[0];
}

bool isSingleScalar(std::string_view text) {
    std::u32string scalars;
    return Utf8::decode(text, scalars) && scalars.size() == 1;
}

bool containsControlCharacters(std::string_view text) {
    std::u32string scalars;
    if (!Utf8::decode(text, scalars)) return true;
    for (char32_t c : scalars)
        if (c < 0x20 || (c >= 0x7f && c <= 0x9f)) return true;
    return false;
}

} // namespace Tessaline
