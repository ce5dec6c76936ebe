#pragma once

#include <QEvent>
#include <QKeyEvent>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

namespace QuillabyTest {

// A key as the X platform delivers it: QTest's key clicks carry no keycode, keysym or X state, so the
// keyboard tests build their events by hand.
struct X11Key {
    int key = 0;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    // Kernel input event code (the X keycode is this plus 8); 0 for none.
    uint32_t evdev = 0;
    uint32_t keysym = 0;
    // UTF-8.
    std::string text;
    bool autoRepeat = false;
    // The X modifier state (Lock is 0x2).
    uint32_t xState = 0;

    std::unique_ptr<QKeyEvent> event(QEvent::Type type) const;
    X11Key with(Qt::KeyboardModifiers more, std::string newText) const;
};

// A letter of the US layout, with the text X gives for the modifiers (control codes with Control).
X11Key letter(char c, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// A key without text: arrows, editing and function keys by their Qt key.
X11Key functionKey(int qtKey, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

} // namespace QuillabyTest
