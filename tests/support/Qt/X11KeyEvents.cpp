#include "X11KeyEvents.h"

#include <linux/input-event-codes.h>

#include <cctype>
#include <map>
#include <utility>

namespace QuillabyTest {

std::unique_ptr<QKeyEvent> X11Key::event(QEvent::Type type) const {
    return std::make_unique<QKeyEvent>(type, key, modifiers, evdev ? evdev + 8 : 0, keysym, xState,
                                       QString::fromStdString(text), autoRepeat);
}

X11Key X11Key::with(Qt::KeyboardModifiers more, std::string newText) const {
    X11Key copy = *this;
    copy.modifiers |= more;
    copy.text = std::move(newText);
    return copy;
}

X11Key letter(char c, Qt::KeyboardModifiers modifiers) {
    static const std::map<char, uint32_t> codes = {
        {'a', KEY_A}, {'b', KEY_B}, {'c', KEY_C}, {'d', KEY_D}, {'e', KEY_E},
        {'f', KEY_F}, {'o', KEY_O}, {'q', KEY_Q}, {'w', KEY_W}, {'z', KEY_Z},
    };
    const char lower = char(std::tolower(uint8_t(c)));
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const char shown = shift ? char(std::toupper(uint8_t(lower))) : lower;
    const char produced = modifiers.testFlag(Qt::ControlModifier) ? char(lower - 0x60) : shown;
    X11Key key;
    key.key = Qt::Key_A + (lower - 'a');
    key.modifiers = modifiers;
    auto code = codes.find(lower);
    key.evdev = code == codes.end() ? 0 : code->second;
    key.keysym = uint32_t(uint8_t(shown));
    key.text = std::string(1, produced);
    return key;
}

X11Key functionKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    struct Native {
        uint32_t evdev;
        uint32_t keysym;
    };
    static const std::map<int, Native> natives = {
        {Qt::Key_Up, {KEY_UP, 0xff52}},         {Qt::Key_Down, {KEY_DOWN, 0xff54}},
        {Qt::Key_Left, {KEY_LEFT, 0xff51}},     {Qt::Key_Right, {KEY_RIGHT, 0xff53}},
        {Qt::Key_Home, {KEY_HOME, 0xff50}},     {Qt::Key_End, {KEY_END, 0xff57}},
        {Qt::Key_PageUp, {KEY_PAGEUP, 0xff55}}, {Qt::Key_PageDown, {KEY_PAGEDOWN, 0xff56}},
        {Qt::Key_Insert, {KEY_INSERT, 0xff63}}, {Qt::Key_Delete, {KEY_DELETE, 0xffff}},
    };
    X11Key key;
    key.key = qtKey;
    key.modifiers = modifiers;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) {
        const int n = qtKey - Qt::Key_F1;
        key.evdev = n < 10 ? KEY_F1 + n : KEY_F11 + (n - 10);
        key.keysym = 0xffbe + uint32_t(n);
    } else if (qtKey >= Qt::Key_F13 && qtKey <= Qt::Key_F24) {
        key.evdev = KEY_F13 + (qtKey - Qt::Key_F13);
        key.keysym = 0xffca + uint32_t(qtKey - Qt::Key_F13);
    } else if (auto native = natives.find(qtKey); native != natives.end()) {
        key.evdev = native->second.evdev;
        key.keysym = native->second.keysym;
    }
    return key;
}

} // namespace QuillabyTest
