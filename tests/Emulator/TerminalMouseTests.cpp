// Mouse reports in each encoding, button codes and focus reports.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using M = Terminal::MouseMode;
using E = Terminal::MouseProtocolEncoding;

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += char(v);
    return out;
}

} // namespace

TEST(TerminalMouse, ReportBytes) {
    struct Event {
        int flags;
        int x;
        int y;
        int pixelX;
        int pixelY;
        bool motion = false;
    };
    struct Case {
        const char* name;
        E encoding;
        Event event;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"x10 press at the origin", E::x10, {0, 0, 0, 0, 0}, "\x1b[M" + bytes({0x20, 0x21, 0x21})},
        {"x10 release", E::x10, {3, 9, 4, 0, 0}, "\x1b[M" + bytes({35, 42, 37})},
        {"x10 last column it can carry", E::x10, {0, 222, 222, 0, 0}, "\x1b[M" + bytes({32, 255, 255})},
        {"x10 past its limit", E::x10, {0, 223, 0, 0, 0}, ""},
        {"x10 row past its limit", E::x10, {0, 0, 223, 0, 0}, ""},
        {"x10 motion", E::x10, {0, 1, 1, 0, 0, true}, "\x1b[M" + bytes({64, 34, 34})},
        {"utf8 small values", E::utf8, {0, 9, 4, 0, 0}, "\x1b[M" + bytes({32, 42, 37})},
        {"utf8 column 94 is one byte", E::utf8, {0, 94, 0, 0, 0}, "\x1b[M" + bytes({32, 0x7F, 33})},
        {"utf8 column 95 is two bytes", E::utf8, {0, 95, 0, 0, 0}, "\x1b[M" + bytes({32, 0xC2, 0x80, 33})},
        {"utf8 row 300", E::utf8, {0, 0, 300, 0, 0}, "\x1b[M" + bytes({32, 33, 0xC5, 0x8D})},
        {"utf8 column 2014 is a zero byte", E::utf8, {0, 2014, 0, 0, 0}, "\x1b[M" + bytes({32, 0, 33})},
        {"utf8 column 3000 is the largest value",
         E::utf8,
         {0, 3000, 0, 0, 0},
         "\x1b[M" + bytes({32, 0xDF, 0xBF, 33})},
        {"sgr press", E::sgr, {0, 9, 4, 0, 0}, "\x1b[<0;10;5M"},
        {"sgr release", E::sgr, {3, 9, 4, 0, 0}, "\x1b[<0;10;5m"},
        {"sgr release with shift", E::sgr, {7, 9, 4, 0, 0}, "\x1b[<4;10;5m"},
        {"sgr wheel", E::sgr, {65, 0, 0, 0, 0}, "\x1b[<65;1;1M"},
        {"sgr drag with the first button", E::sgr, {0, 9, 4, 0, 0, true}, "\x1b[<32;10;5M"},
        // Regression: motion with no button was sent as a release of button 0.
        {"sgr motion with no button", E::sgr, {3, 9, 4, 0, 0, true}, "\x1b[<35;10;5M"},
        {"sgr motion with no button and control", E::sgr, {19, 9, 4, 0, 0, true}, "\x1b[<51;10;5M"},
        {"sgr large coordinates", E::sgr, {0, 999, 4999, 0, 0}, "\x1b[<0;1000;5000M"},
        {"urxvt press", E::urxvt, {0, 9, 4, 0, 0}, "\x1b[32;10;5M"},
        {"urxvt release", E::urxvt, {3, 9, 4, 0, 0}, "\x1b[35;10;5M"},
        {"sgr pixels at zero", E::sgrPixel, {0, 9, 4, 0, 0}, "\x1b[<0;0;0M"},
        {"sgr pixels", E::sgrPixel, {2, 9, 4, 93, 71}, "\x1b[<2;93;71M"},
        {"sgr pixels release", E::sgrPixel, {3, 9, 4, 93, 71}, "\x1b[<0;93;71m"},
        {"sgr pixels motion with no button", E::sgrPixel, {3, 9, 4, 93, 71, true}, "\x1b[<35;93;71M"},
        {"negative position reports the edge", E::sgr, {0, -4, -1, 0, 0}, "\x1b[<0;1;1M"},
        {"negative button code sends nothing", E::sgr, {-1, 0, 0, 0, 0}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        Terminal& t = h.terminal();
        t.mouseProtocol = c.encoding;
        const Event& e = c.event;
        if (e.motion)
            t.sendMotion(e.flags, e.x, e.y, e.pixelX, e.pixelY);
        else
            t.sendEvent(e.flags, e.x, e.y, e.pixelX, e.pixelY);
        EXPECT_EQ(h.replies(), c.expected);
    }
}

TEST(TerminalMouse, ReportsFollowTheSelectedEncoding) {
    TerminalHarness h;
    Terminal& t = h.terminal();
    h.feed("\x1b[?1000h\x1b[?1006h");
    t.sendEvent(t.encodeButton(1, false, false, false, false), 4, 2);
    EXPECT_EQ(h.replies(), "\x1b[<1;5;3M");
    h.feed("\x1b[?1016h");
    t.sendEvent(0, 4, 2);
    EXPECT_EQ(h.replies(), "\x1b[<0;4;2M") << "without pixels the cell is sent as the pixel position";
    h.feed("\x1b G\x1b[?1015h");
    t.sendEvent(0, 4, 2);
    EXPECT_EQ(h.replies(), "\x9b"
                           "32;5;3M");
    h.feed("\x1b[?1015l");
    t.sendEvent(0, 0, 0);
    EXPECT_EQ(h.replies(), "\x9bM" + bytes({32, 33, 33}));
}

TEST(TerminalMouse, EncodeButton) {
    struct Case {
        const char* name;
        M mode;
        int button;
        bool release;
        bool shift;
        bool meta;
        bool control;
        int expected;
    };
    const std::vector<Case> cases = {
        {"left", M::vt200, 1, false, false, false, false, 1},
        {"middle", M::vt200, 2, false, false, false, false, 2},
        {"right", M::vt200, 3, false, false, false, false, 0},
        {"wheel up", M::vt200, 4, false, false, false, false, 64},
        {"wheel down", M::vt200, 5, false, false, false, false, 65},
        {"unknown button", M::vt200, 9, false, false, false, false, 0},
        {"button 0", M::vt200, 0, false, false, false, false, 0},
        {"release", M::vt200, 2, true, false, false, false, 3},
        {"shift and control", M::vt200, 1, false, true, false, true, 21},
        {"meta", M::anyEvent, 1, false, false, true, false, 9},
        {"all modifiers on a release", M::buttonEventTracking, 1, true, true, true, true, 31},
        {"wheel with shift", M::anyEvent, 5, false, true, false, false, 69},
        {"x10 ignores modifiers", M::x10, 1, false, true, true, true, 1},
        {"off ignores modifiers", M::off, 2, false, true, false, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        Terminal& t = h.terminal();
        t.setMouseMode(c.mode);
        EXPECT_EQ(t.encodeButton(c.button, c.release, c.shift, c.meta, c.control), c.expected);
    }
}

TEST(TerminalMouse, ModeTests) {
    EXPECT_FALSE(Terminal::sendsModifiers(M::off));
    EXPECT_FALSE(Terminal::sendsModifiers(M::x10));
    EXPECT_TRUE(Terminal::sendsModifiers(M::vt200));
    EXPECT_TRUE(Terminal::sendsModifiers(M::buttonEventTracking));
    EXPECT_TRUE(Terminal::sendsModifiers(M::anyEvent));
    EXPECT_FALSE(Terminal::sendMotionEvent(M::buttonEventTracking));
    EXPECT_TRUE(Terminal::sendMotionEvent(M::anyEvent));
}

TEST(TerminalMouse, EncodeMouseUtf) {
    struct Case {
        int value;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {0, bytes({0})},
        {127, bytes({0x7F})},
        {128, bytes({0xC2, 0x80})},
        {2046, bytes({0xDF, 0xBE})},
        {2047, bytes({0})},
        {2048, bytes({0xDF, 0xBF})},
        {1000000, bytes({0xDF, 0xBF})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        std::vector<uint8_t> data{'x'};
        Terminal::encodeMouseUtf(data, c.value);
        EXPECT_EQ(std::string(data.begin(), data.end()), "x" + c.expected);
    }
}

TEST(TerminalMouse, FocusReportsOnlyUnder1004) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<bool> calls;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"off", "", {true, false}, ""},
        {"gained", "\x1b[?1004h", {true}, "\x1b[I"},
        {"lost", "\x1b[?1004h", {false}, "\x1b[O"},
        {"every call reports", "\x1b[?1004h", {true, true, false}, "\x1b[I\x1b[I\x1b[O"},
        {"switched off again", "\x1b[?1004h\x1b[?1004l", {true}, ""},
        {"8-bit introducer", "\x1b G\x1b[?1004h", {false}, "\x9bO"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.feed(c.input);
        for (bool focused : c.calls)
            h.terminal().setTerminalFocus(focused);
        EXPECT_EQ(h.replies(), c.expected);
    }
}

TEST(TerminalMouse, NoDelegateSendsNothing) {
    Terminal t(nullptr, TerminalOptions());
    t.sendFocus = true;
    t.setTerminalFocus(true);
    t.sendEvent(0, 1, 1);
    SUCCEED();
}
