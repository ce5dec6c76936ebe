// Times typed keys until the window's pixels change: each key goes in through XTest and the clock
// stops at the first damage to the window or any window inside it (a toolkit may draw into a child).
//
//   keyecho WINDOW_ID [KEYS] [SPACING_MS]
//
// Prints one latency in milliseconds a line; a key that changed nothing within a second prints "miss".
#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <poll.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

double nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

// Waits up to timeoutMs for events; true at the first damage notify. Other events are dropped.
bool waitDamage(xcb_connection_t* c, uint8_t damageEvent, double timeoutMs) {
    const double end = nowMs() + timeoutMs;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const bool damage = (event->response_type & 0x7f) == damageEvent;
            free(event);
            if (damage) return true;
        }
        if (xcb_connection_has_error(c)) return false;
        const double left = end - nowMs();
        if (left <= 0) return false;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, int(left) + 1);
    }
}

void collectWindows(xcb_connection_t* c, xcb_window_t window, std::vector<xcb_window_t>& out) {
    out.push_back(window);
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &free);
    if (!tree) return;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) collectWindows(c, children[i], out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: keyecho WINDOW_ID [KEYS] [SPACING_MS]\n");
        return 2;
    }
    const auto window = xcb_window_t(std::strtoul(argv[1], nullptr, 0));
    const int keys = argc > 2 ? std::atoi(argv[2]) : 50;
    const double spacing = argc > 3 ? std::atof(argv[3]) : 50;

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "keyecho: cannot open the display\n");
        return 1;
    }
    const xcb_setup_t* setup = xcb_get_setup(c);
    const xcb_query_extension_reply_t* damage = xcb_get_extension_data(c, &xcb_damage_id);
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c, &xcb_test_id);
    if (!damage || !damage->present || !xtest || !xtest->present) {
        std::fprintf(stderr, "keyecho: the server lacks DAMAGE or XTEST\n");
        return 1;
    }
    free(xcb_damage_query_version_reply(c, xcb_damage_query_version(c, 1, 1), nullptr));

    // Keycodes of a to z in the server's keymap.
    std::unique_ptr<xcb_get_keyboard_mapping_reply_t, decltype(&free)> map(
        xcb_get_keyboard_mapping_reply(
            c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(setup->max_keycode - setup->min_keycode + 1)),
            nullptr),
        &free);
    if (!map) {
        std::fprintf(stderr, "keyecho: no keyboard mapping\n");
        return 1;
    }
    std::vector<xcb_keycode_t> letters;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map.get());
    const int perCode = map->keysyms_per_keycode;
    for (xcb_keysym_t want = 'a'; want <= 'z'; ++want)
        for (int code = setup->min_keycode; code <= setup->max_keycode; ++code)
            if (syms[(code - setup->min_keycode) * perCode] == want) {
                letters.push_back(xcb_keycode_t(code));
                break;
            }
    if (letters.empty()) {
        std::fprintf(stderr, "keyecho: no letter keys in the keymap\n");
        return 1;
    }

    std::vector<xcb_window_t> windows;
    collectWindows(c, window, windows);
    for (xcb_window_t w : windows) {
        const xcb_damage_damage_t d = xcb_generate_id(c);
        xcb_damage_create(c, d, w, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
    }
    xcb_warp_pointer(c, XCB_NONE, window, 0, 0, 0, 0, 20, 20);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_flush(c);
    const uint8_t damageEvent = uint8_t(damage->first_event + XCB_DAMAGE_NOTIFY);

    for (int i = 0; i < keys; ++i) {
        // Quiet first: nothing from an earlier key or a blink may count for this one.
        const double settleStart = nowMs();
        while (waitDamage(c, damageEvent, spacing) && nowMs() - settleStart < 2000) {}
        const xcb_keycode_t code = letters[size_t(i) % letters.size()];
        const double sent = nowMs();
        xcb_test_fake_input(c, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_test_fake_input(c, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(c);
        if (waitDamage(c, damageEvent, 1000))
            std::printf("%.3f\n", nowMs() - sent);
        else
            std::printf("miss\n");
        std::fflush(stdout);
    }
    xcb_disconnect(c);
    return 0;
}
