// Real X key events (keycodes, keysyms, the Lock state, the compose input context) through the view, as
// xdotool types them on the private X server.
#include "ViewTestSupport.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

using Log = std::vector<std::string>;

bool xdotool(const QStringList& args) {
    QProcess tool;
    tool.start("xdotool", args);
    return tool.waitForFinished(5000) && tool.exitCode() == 0;
}

// Shows the view and gives it the X server's keyboard focus, so xdotool's keys reach it.
bool showWithKeyboardFocus(TerminalView& view) {
    view.show();
    if (!QTest::qWaitForWindowExposed(&view)) return false;
    if (!xdotool({"windowfocus", "--sync", QString::number(view.winId())})) return false;
    view.activateWindow();
    view.setFocus();
    return spinUntil([&] { return view.hasFocus(); }, 5000);
}

} // namespace

TEST(KeyboardOnX, RealKeysReachTheProgramAsTheyShould) {
    TerminalView view(QRect(0, 0, 400, 240), testFont());
    RecordingViewDelegate delegate;
    view.setTerminalDelegate(&delegate);
    ASSERT_TRUE(showWithKeyboardFocus(view));
    delegate.take();

    struct Case {
        const char* name;
        const char* setup;
        QStringList keys;
        Log expected;
    };
    const std::vector<Case> cases = {
        {"letters and Shift", "", {"a", "shift+b"}, {"send a", "send B"}},
        {"Ctrl+letter and Ctrl+Space", "", {"ctrl+a", "ctrl+space"}, {"send \\x01", "send \\x00"}},
        {"Alt as Meta", "", {"alt+f"}, {"send \\e", "send f"}},
        {"cursor keys", "", {"Up", "ctrl+Left", "alt+Up"}, {"send \\e[A", "send \\e[1;5D", "send \\e[1;3A"}},
        {"application cursor mode", "\x1b[?1h", {"Up", "Home"}, {"send \\eOA", "send \\eOH"}},
        {"editing keys",
         "",
         {"BackSpace", "Delete", "shift+Tab", "Tab", "Escape"},
         {"send \\x7F", "send \\e[3~", "send \\e[Z", "send \\x09", "send \\e"}},
        {"function keys", "", {"F1", "F5", "F12"}, {"send \\eOP", "send \\e[15~", "send \\e[24~"}},
        {"protocol: all keys", "\x1b[=8u", {"a"}, {"send \\e[97u"}},
        // The lock going on is a press, going off a release.
        {"protocol: Caps Lock counts",
         "\x1b[=10u",
         {"Caps_Lock", "a", "Caps_Lock"},
         {"send \\e[57358;65u", "send \\e[97;65u", "send \\e[97;65:3u", "send \\e[57358;1:3u"}},
        {"protocol: keypad 5 with Num Lock",
         "\x1b[=1u",
         {"Num_Lock", "KP_5", "Num_Lock"},
         {"send \\e[57404u"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view.feed(c.setup);
        for (const QString& key : c.keys)
            ASSERT_TRUE(xdotool({"key", key}));
        spinUntil([&] { return delegate.log.size() >= c.expected.size(); }, 3000);
        EXPECT_EQ(delegate.take(), c.expected);
        view.feed("\x1b[=0u\x1b[?1l");
    }
}

// The compose input context turns a dead key and a letter into one character, sent once.
TEST(KeyboardOnX, ADeadKeyAndALetterArriveAsOneCharacter) {
    // A layout with dead keys on the apostrophe and grave keys.
    ASSERT_EQ(QProcess::execute("setxkbmap", {"-layout", "us", "-variant", "intl"}), 0);
    TerminalView view(QRect(0, 0, 400, 240), testFont());
    RecordingViewDelegate delegate;
    view.setTerminalDelegate(&delegate);
    ASSERT_TRUE(showWithKeyboardFocus(view));
    delegate.take();
    for (const char* key : {"dead_acute", "e", "dead_grave", "a"})
        ASSERT_TRUE(xdotool({"key", key}));
    spinUntil([&] { return delegate.log.size() >= 2; }, 3000);
    EXPECT_EQ(delegate.take(), (Log{"send \\xC3\\xA9", "send \\xC3\\xA0"}));
    QProcess::execute("setxkbmap", {"-layout", "us"});
}
