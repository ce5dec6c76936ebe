// Waits until a pixel of the screen turns magenta (255, 0, 255, or near it after a skin's effects) and
// prints the wall clock at that moment in nanoseconds, as `date +%s%N` does. The launch bench's prompt
// starts with a magenta block, so this is the moment the prompt is on screen, whichever terminal drew it.
//
//   promptwatch [TIMEOUT_MS]
//
// Prints "timeout" when nothing turned magenta in time.
#include <xcb/xcb.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

long long wallNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

double monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

// Every fourth pixel of every fourth row: the prompt's block is many pixels wide and tall.
bool hasMagenta(const uint8_t* data, int width, int height, int stride) {
    for (int y = 0; y < height; y += 4) {
        const uint8_t* row = data + size_t(y) * size_t(stride);
        for (int x = 0; x < width; x += 4) {
            const uint8_t b = row[x * 4], g = row[x * 4 + 1], r = row[x * 4 + 2];
            if (r > 150 && b > 150 && g < 90 && std::abs(int(r) - int(b)) < 70) return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const double timeoutMs = argc > 1 ? std::atof(argv[1]) : 30000;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "promptwatch: cannot open the display\n");
        return 1;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    if (screen->root_depth != 24 && screen->root_depth != 32) {
        std::fprintf(stderr, "promptwatch: needs a 24- or 32-bit screen\n");
        return 1;
    }
    const double end = monotonicMs() + timeoutMs;
    while (monotonicMs() < end) {
        std::unique_ptr<xcb_get_image_reply_t, decltype(&free)> image(
            xcb_get_image_reply(c,
                                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, screen->root, 0, 0,
                                              screen->width_in_pixels, screen->height_in_pixels, ~0u),
                                nullptr),
            &free);
        const long long seen = wallNs();
        if (!image) break;
        const int length = xcb_get_image_data_length(image.get());
        const int stride = length / screen->height_in_pixels;
        if (stride >= screen->width_in_pixels * 4 &&
            hasMagenta(xcb_get_image_data(image.get()), screen->width_in_pixels, screen->height_in_pixels, stride)) {
            std::printf("%lld\n", seen);
            xcb_disconnect(c);
            return 0;
        }
        timespec pause{0, 1000000};
        nanosleep(&pause, nullptr);
    }
    std::printf("timeout\n");
    xcb_disconnect(c);
    return 0;
}
