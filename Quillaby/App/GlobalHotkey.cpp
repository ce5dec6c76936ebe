#include "App/GlobalHotkey.h"

#include "App/Log.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <X11/keysym.h>

#include <cstdlib>

namespace Quillaby {

namespace {

constexpr uint8_t badAccess = 10;

xcb_connection_t* x11Connection() {
    auto* app = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return app ? app->connection() : nullptr;
}

// The modifier bit that carries a keysym (Num Lock on Mod2 on most keyboards), or 0.
uint16_t modifierMaskOf(xcb_connection_t* connection, xcb_key_symbols_t* symbols, xcb_keysym_t keySym) {
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keySym);
    if (!codes) return 0;
    uint16_t mask = 0;
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    if (reply) {
        const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply);
        const int perModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8 && !mask; ++modifier)
            for (int i = 0; i < perModifier && !mask; ++i)
                for (const xcb_keycode_t* code = codes; *code != XCB_NO_SYMBOL; ++code)
                    if (map[modifier * perModifier + i] == *code) mask = uint16_t(1u << modifier);
        std::free(reply);
    }
    std::free(codes);
    return mask;
}

} // namespace

GlobalHotkey& GlobalHotkey::shared() {
    static GlobalHotkey* instance = new GlobalHotkey();
    return *instance;
}

GlobalHotkey::~GlobalHotkey() {
    unregister();
    if (_filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void GlobalHotkey::registerHotkey(uint32_t keySym, Qt::KeyboardModifiers modifiers,
                                  std::function<void()> onTrigger) {
    unregister();
    _onTrigger = std::move(onTrigger);
    xcb_connection_t* connection = x11Connection();
    if (!connection) return;
    _connection = connection;
    if (!_filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        _filterInstalled = true;
    }

    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    if (!symbols) return;
    _modifiers = 0;
    if (modifiers & Qt::ShiftModifier) _modifiers |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::ControlModifier) _modifiers |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier) _modifiers |= XCB_MOD_MASK_1;
    if (modifiers & Qt::MetaModifier) _modifiers |= XCB_MOD_MASK_4;
    const uint16_t numLock = modifierMaskOf(connection, symbols, XK_Num_Lock);
    _ignoredModifiers = uint16_t(XCB_MOD_MASK_LOCK | numLock);
    _keycodes.clear();
    if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keySym)) {
        for (const xcb_keycode_t* code = codes; *code != XCB_NO_SYMBOL; ++code)
            if (!_keycodes.contains(*code)) _keycodes.append(*code);
        std::free(codes);
    }
    xcb_key_symbols_free(symbols);

    const QList<uint16_t> variants{0, XCB_MOD_MASK_LOCK, numLock, uint16_t(XCB_MOD_MASK_LOCK | numLock)};
    bool refused = false;
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
         xcb_screen_next(&it)) {
        const xcb_window_t root = it.data->root;
        for (uint8_t keycode : _keycodes) {
            QList<uint16_t> done;
            for (uint16_t variant : variants) {
                const uint16_t mask = uint16_t(_modifiers | variant);
                // Without Num Lock on the keyboard two variants are the same grab.
                if (done.contains(mask)) continue;
                done.append(mask);
                const xcb_void_cookie_t cookie = xcb_grab_key_checked(
                    connection, 1, root, mask, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                if (xcb_generic_error_t* error = xcb_request_check(connection, cookie)) {
                    if (error->error_code == badAccess) refused = true;
                    std::free(error);
                    continue;
                }
                _grabs.append(Grab{root, keycode, mask});
            }
        }
    }
    xcb_flush(connection);
    if (refused) {
        static bool logged = false;
        if (!logged) Log::write(QStringLiteral("Another program holds the hot key; Quillaby has none this time"));
        logged = true;
    }
}

void GlobalHotkey::unregister() {
    xcb_connection_t* connection = _connection;
    if (connection && !_grabs.isEmpty() && x11Connection() == connection) {
        for (const Grab& grab : _grabs)
            xcb_ungrab_key(connection, grab.keycode, grab.root, grab.modifiers);
        xcb_flush(connection);
    }
    _grabs.clear();
    _keycodes.clear();
    _onTrigger = nullptr;
}

bool GlobalHotkey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (_grabs.isEmpty() || eventType != "xcb_generic_event_t") return false;
    auto* event = static_cast<xcb_generic_event_t*>(message);
    const uint8_t type = event->response_type & 0x7f;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE) return false;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    if (!_keycodes.contains(key->detail) || (key->state & ~_ignoredModifiers & 0xff) != _modifiers) return false;
    bool onRoot = false;
    for (const Grab& grab : _grabs)
        onRoot = onRoot || grab.root == key->event;
    if (!onRoot) return false;
    if (type == XCB_KEY_RELEASE) {
        _lastReleaseTime = key->time;
        return true;
    }
    // X repeats a held key as release and press with one time stamp: only the first press counts.
    if (key->time == _lastReleaseTime) return true;
    // Queued, so the action never runs inside the X event dispatch; it is the one current then.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [self = std::weak_ptr<GlobalHotkey*>(_self)] {
            if (const auto alive = self.lock(); alive && (*alive)->_onTrigger) (*alive)->_onTrigger();
        },
        Qt::QueuedConnection);
    return true;
}

} // namespace Quillaby
