// A terminal fed arbitrary bytes in arbitrary pieces, with the host's own actions in between: resizes,
// scroll-back changes, buffer switches, draws, the user scrolling the view, time passing, mouse and focus
// reports, resets. The input's tail picks the actions and the sizes (FuzzedDataProvider reads numbers from
// the end), its head is the byte stream, so a captured stream is a good seed as it stands. The invariants
// are checked after every step.
#include "FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <chrono>
#include <cstdint>
#include <vector>

using namespace Tessaline;

using Fuzz::step;

namespace {

void hostAction(Terminal& t, Fuzz::FuzzDelegate& delegate, FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
    case 0: {
        const int flags = in.ConsumeIntegralInRange(-1, 70);
        const int x = in.ConsumeIntegralInRange(-2, 300);
        const int y = in.ConsumeIntegralInRange(-2, 300);
        step("sendEvent(%d, %d, %d)", flags, x, y);
        t.sendEvent(flags, x, y);
        break;
    }
    case 1: {
        const int flags = in.ConsumeIntegralInRange(0, 70);
        const int x = in.ConsumeIntegralInRange(0, 3000);
        const int y = in.ConsumeIntegralInRange(0, 3000);
        const int px = in.ConsumeIntegralInRange(-5, 30000);
        const int py = in.ConsumeIntegralInRange(-5, 30000);
        step("sendMotion(%d, %d, %d, %d, %d)", flags, x, y, px, py);
        t.sendMotion(flags, x, y, px, py);
        break;
    }
    case 2: {
        const bool focused = in.ConsumeBool();
        step("setTerminalFocus(%d)", focused);
        t.setTerminalFocus(focused);
        break;
    }
    case 3:
        step("cmdReset()");
        t.cmdReset();
        break;
    case 4:
        delegate.trusted = in.ConsumeBool();
        delegate.knowsCellSize = in.ConsumeBool();
        step("delegate trusted=%d knowsCellSize=%d", delegate.trusted, delegate.knowsCellSize);
        break;
    case 5:
        if (in.ConsumeBool()) {
            step("showCursor()");
            t.showCursor();
        } else {
            step("hideCursor()");
            t.hideCursor();
        }
        break;
    case 6:
        // What a host that dropped its delegate leaves.
        t.tdel = t.tdel ? nullptr : &delegate;
        step("delegate %s", t.tdel ? "set" : "dropped");
        break;
    default:
        step("endSynchronizedOutput()");
        t.endSynchronizedOutput();
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    TerminalOptions options;
    options.cols = in.ConsumeIntegralInRange(1, 100);
    options.rows = in.ConsumeIntegralInRange(1, 40);
    options.scrollback = in.ConsumeIntegralInRange(0, 200);
    // A small image budget, so that eviction runs.
    options.kittyImageCacheLimitBytes = int64_t(1) << in.ConsumeIntegralInRange(8, 22);

    Fuzz::FuzzDelegate delegate;
    Fuzz::FuzzExecutor executor;
    Terminal t(&delegate, options);
    t.executor = &executor;
    step("Terminal %d x %d, scroll-back %d, image budget %lld", options.cols, options.rows,
         *options.scrollback, (long long)options.kittyImageCacheLimitBytes);
    Fuzz::checkInvariants(t);

    while (in.remaining_bytes() > 0) {
        switch (in.ConsumeIntegralInRange(0, 15)) {
        case 9: {
            const int cols = in.ConsumeIntegralInRange(0, 130);
            const int rows = in.ConsumeIntegralInRange(0, 50);
            step("resize(%d, %d)", cols, rows);
            t.resize(cols, rows);
            break;
        }
        case 10:
            if (in.ConsumeBool()) {
                const int lines = in.ConsumeIntegralInRange(-1, 300);
                step("changeScrollback(%d)", lines);
                t.changeScrollback(lines);
            } else {
                step("changeScrollback(nullopt)");
                t.changeScrollback(std::nullopt);
            }
            break;
        case 11:
            if (t.isCurrentBufferAlternate()) {
                const bool clear = in.ConsumeBool();
                step("activateNormalBuffer(%d)", clear);
                t.activateNormalBuffer(clear);
            } else if (in.ConsumeBool()) {
                step("activateAltBuffer(nullopt)");
                t.activateAltBuffer(std::nullopt);
            } else {
                step("activateAltBuffer(default)");
                t.activateAltBuffer(Attribute::defaultAttribute());
            }
            break;
        case 12:
            // The host draws what changed.
            if (in.ConsumeBool()) {
                step("clearUpdateRange()");
                t.clearUpdateRange();
            } else {
                step("updateFullScreen()");
                t.updateFullScreen();
            }
            break;
        case 13: {
            // The user scrolls the view back, or lets it follow the output again.
            Buffer& b = t.buffer();
            t.userScrolling = in.ConsumeBool();
            b.setYDisp(t.userScrolling ? in.ConsumeIntegralInRange(0, std::max(b.yBase(), 0)) : b.yBase());
            step("userScrolling=%d yDisp=%d", t.userScrolling, b.yDisp());
            break;
        }
        case 14: {
            const int ms = in.ConsumeIntegralInRange(0, 2000);
            step("advance %d ms", ms);
            executor.advance(std::chrono::milliseconds(ms));
            break;
        }
        case 15:
            hostAction(t, delegate, in);
            break;
        default: {
            const std::vector<uint8_t> piece =
                in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 512));
            step("feed(\"%s\")", Fuzz::escaped(piece).c_str());
            t.feed(std::span<const uint8_t>(piece));
            break;
        }
        }
        Fuzz::checkInvariants(t);
    }
    return 0;
}
