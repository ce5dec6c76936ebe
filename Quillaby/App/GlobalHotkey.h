#pragma once

#include <QAbstractNativeEventFilter>
#include <QList>

#include <cstdint>
#include <functional>
#include <memory>

struct xcb_connection_t;

namespace Quillaby {

// One system-wide hot key. On X11 the key is grabbed on every root window with the Num Lock and Caps
// Lock variants, so it reaches this process whichever window has the focus; its presses are seen in
// the native event stream and the action runs later from the event loop, never inside the filter. A
// grab another client already holds is logged once and otherwise ignored. Other platforms (Wayland,
// offscreen) have no such grab: registering does nothing there.
class GlobalHotkey : public QAbstractNativeEventFilter {
public:
    // The one instance, for the life of the process.
    static GlobalHotkey& shared();

    GlobalHotkey() = default;
    ~GlobalHotkey() override;
    GlobalHotkey(const GlobalHotkey&) = delete;
    GlobalHotkey& operator=(const GlobalHotkey&) = delete;

    // An X keysym (XK_space) and the Qt modifiers Shift, Control, Alt and Meta. Replaces an earlier
    // registration of this object.
    void registerHotkey(uint32_t keySym, Qt::KeyboardModifiers modifiers, std::function<void()> onTrigger);
    // Releases the grabs and forgets the action.
    void unregister();

    bool isGrabbed() const { return !_grabs.isEmpty(); }
    const std::function<void()>& onTrigger() const { return _onTrigger; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        uint32_t root;
        uint8_t keycode;
        uint16_t modifiers;
    };

    xcb_connection_t* _connection = nullptr;
    QList<Grab> _grabs;
    QList<uint8_t> _keycodes;
    uint16_t _modifiers = 0;
    uint16_t _ignoredModifiers = 0;
    uint32_t _lastReleaseTime = 0;
    bool _filterInstalled = false;
    std::function<void()> _onTrigger;
    // Queued triggers find this object through it, and nothing once it is gone.
    std::shared_ptr<GlobalHotkey*> _self = std::make_shared<GlobalHotkey*>(this);
};

} // namespace Quillaby
