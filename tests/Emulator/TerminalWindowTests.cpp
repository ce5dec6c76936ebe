// CSI t: window requests handed to the delegate, size and title reports, the title stacks.
#include "DiagnosticsCapture.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using Log = std::vector<std::string>;

std::vector<uint8_t> bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

} // namespace

TEST(TerminalWindow, ReportsAnswerByteForByte) {
    struct Case {
        const char* name;
        std::string setup;
        std::optional<CellPixelSize> cellSize;
        std::optional<std::string> delegateReply;
        std::string input;
        std::string reply;
    };
    const CellPixelSize cell9x18{9, 18};
    const std::vector<Case> cases = {
        {"text area pixels", "", {}, {}, "\x1b[14t", "\x1b[4;400;800t"},
        {"window pixels", "", {}, {}, "\x1b[14;2t", "\x1b[4;400;800t"},
        {"screen pixels", "", {}, {}, "\x1b[15t", "\x1b[5;400;800t"},
        {"cell size unknown", "", {}, {}, "\x1b[16t", "\x1b[6;16;10t"},
        {"cell size known", "", cell9x18, {}, "\x1b[16t", "\x1b[6;18;9t"},
        {"pixels from the cell size", "", cell9x18, {}, "\x1b[14t", "\x1b[4;450;720t"},
        {"text area characters", "", {}, {}, "\x1b[18t", "\x1b[8;25;80t"},
        {"screen characters", "", {}, {}, "\x1b[19t", "\x1b[9;25;80t"},
        {"icon label hides the text", "", {}, {}, "\x1b[20t", "\x1b]L\x1b\\"},
        {"title hides the text", "", {}, {}, "\x1b[21t", "\x1b]l\x1b\\"},
        {"8-bit CSI",
         "\x1b G",
         {},
         {},
         "\x1b[14t",
         "\x9b"
         "4;400;800t"},
        {"8-bit OSC and ST", "\x1b G", {}, {}, "\x1b[21t", "\x9dl\x9c"},
        {"delegate bytes replace the answer", "", {}, "XY", "\x1b[14t", "XY"},
        {"delegate bytes for characters", "", {}, "XY", "\x1b[18t", "XY"},
        {"delegate not asked for the label", "", {}, "XY", "\x1b[20t", "\x1b]L\x1b\\"},
        {"empty delegate bytes", "", {}, "", "\x1b[19t", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 25);
        h.delegate().cellSize = c.cellSize;
        if (c.delegateReply) h.delegate().windowCommandReply = bytes(*c.delegateReply);
        h.feed(c.setup);
        h.replies();
        h.feed(c.input);
        EXPECT_EQ(h.replies(), c.reply);
    }
}

TEST(TerminalWindow, ReportsAskTheDelegateFirst) {
    TerminalHarness h(80, 25);
    h.feed("\x1b[14t");
    EXPECT_EQ(h.log(),
              (Log{"windowCommand reportTextAreaPixelDimension", "cellSizeInPixels", "send \\e[4;400;800t"}));
    h.delegate().windowCommandReply = bytes("\x1b[8;1;2t");
    h.feed("\x1b[18t");
    EXPECT_EQ(h.log(), (Log{"windowCommand reportTextAreaCharacters", "send \\e[8;1;2t"}));
    h.feed("\x1b[21t");
    EXPECT_EQ(h.log(), (Log{"send \\e]l\\e\\\\"}));
}

TEST(TerminalWindow, OperationsReachTheDelegate) {
    struct Case {
        const char* name;
        std::string input;
        std::string command;
    };
    const std::vector<Case> cases = {
        {"deiconify", "\x1b[1t", "deiconifyWindow"},
        {"iconify", "\x1b[2t", "iconifyWindow"},
        {"move", "\x1b[3;10;20t", "moveWindowTo(x: 10, y: 20)"},
        {"resize in pixels", "\x1b[4;600;800t", "resizeWindowTo(width: 800, height: 600)"},
        {"raise", "\x1b[5t", "bringToFront"},
        {"lower", "\x1b[6t", "sendToBack"},
        {"refresh", "\x1b[7t", "refreshWindow"},
        {"resize in characters", "\x1b[8;24;100t", "resizeTerminal(cols: 100, rows: 24)"},
        {"values unchecked", "\x1b[8;0;0t", "resizeTerminal(cols: 0, rows: 0)"},
        {"restore maximized", "\x1b[9;0t", "restoreMaximizedWindow"},
        {"maximize", "\x1b[9;1t", "maximizeWindow"},
        {"maximize vertically", "\x1b[9;2t", "maximizeWindowVertically"},
        {"maximize horizontally", "\x1b[9;3t", "maximizeWindowHorizontally"},
        {"undo full screen", "\x1b[10;0t", "undoFullScreen"},
        {"full screen", "\x1b[10;1t", "switchToFullScreen"},
        {"toggle full screen", "\x1b[10;2t", "toggleFullScreen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        // What the delegate answers to an operation is dropped.
        h.delegate().windowCommandReply = bytes("ignored");
        h.feed(c.input);
        EXPECT_EQ(h.log(), (Log{"windowCommand " + c.command}));
        EXPECT_EQ(h.replies(), "");
    }
}

TEST(TerminalWindow, UnknownListsAreLoggedWhole) {
    struct Case {
        const char* name;
        std::string input;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"bare", "\x1b[t", "[0]"},
        {"lone push", "\x1b[22t", "[22]"},
        {"lone pop", "\x1b[23t", "[23]"},
        {"maximize without a mode", "\x1b[9t", "[9]"},
        {"full screen without a mode", "\x1b[10t", "[10]"},
        {"maximize mode 4", "\x1b[9;4t", "[9, 4]"},
        {"11", "\x1b[11t", "[11]"},
        {"13", "\x1b[13t", "[13]"},
        {"14 with another mode", "\x1b[14;3t", "[14, 3]"},
        {"24", "\x1b[24t", "[24]"},
        {"move without y", "\x1b[3;10t", "[3, 10]"},
        {"extra parameter", "\x1b[1;0t", "[1, 0]"},
        {"push with three modes", "\x1b[22;0;1t", "[22, 0, 1]"},
        {"large number", "\x1b[99999999999t", "[99999999999]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.terminal().terminalTitle = "kept";
        DiagnosticsCapture capture;
        h.feed(c.input);
        const auto entries = capture.takeEntries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].kind, DiagnosticKind::unhandledSequence);
        EXPECT_TRUE(entries[0].text.ends_with(" " + c.line)) << entries[0].text;
        EXPECT_EQ(h.log(), Log{});
        EXPECT_TRUE(h.terminal().terminalTitleStack.empty());
    }
    TerminalHarness quiet;
    quiet.terminal().silentLog = true;
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { quiet.feed("\x1b[11t"); }),
              std::vector<DiagnosticKind>{});
}

TEST(TerminalWindow, TitlesPushAndPop) {
    TerminalHarness h;
    Terminal& t = h.terminal();
    t.terminalTitle = "first";
    t.iconTitle = "icon";
    h.feed("\x1b[22;0t");
    EXPECT_EQ(h.log(), Log{}) << "pushing never notifies";
    t.terminalTitle = "second";
    t.iconTitle = "icon2";
    h.feed("\x1b[23;0t");
    EXPECT_EQ(h.log(), (Log{"setTitle first", "setIconTitle icon"}));
    EXPECT_EQ(t.terminalTitle, "first");
    EXPECT_EQ(t.iconTitle, "icon");
    h.feed("\x1b[23;0t");
    EXPECT_EQ(h.log(), Log{}) << "empty stacks change nothing";
    EXPECT_EQ(t.terminalTitle, "first");

    // The three-parameter forms; the icon and window stacks on their own.
    h.feed("\x1b[22;0;0t");
    t.terminalTitle = "x";
    t.iconTitle = "y";
    h.feed("\x1b[23;0;0t");
    EXPECT_EQ(h.log(), (Log{"setTitle first", "setIconTitle icon"}));

    h.feed("\x1b[22;1t");
    t.iconTitle = "other icon";
    t.terminalTitle = "other title";
    h.feed("\x1b[23;1t");
    EXPECT_EQ(h.log(), (Log{"setIconTitle icon"}));
    EXPECT_EQ(t.terminalTitle, "other title");
    h.feed("\x1b[23;2t");
    EXPECT_EQ(h.log(), Log{}) << "the window stack is empty";

    h.feed("\x1b[22;2t");
    t.terminalTitle = "later";
    h.feed("\x1b[23;2t");
    EXPECT_EQ(h.log(), (Log{"setTitle other title"}));
    EXPECT_EQ(t.iconTitle, "icon");
}

TEST(TerminalWindow, TitleSetByTheProgramIsRestored) {
    TerminalHarness h;
    h.feed("\x1b]2;one\x07\x1b[22;0t\x1b]2;two\x07\x1b]1;icon\x07");
    EXPECT_EQ(h.log(), (Log{"setTitle one", "setTitle two", "setIconTitle icon"}));
    h.feed("\x1b[23;0t");
    EXPECT_EQ(h.log(), (Log{"setTitle one", "setIconTitle "}));
    EXPECT_EQ(h.terminal().terminalTitle, "one");
    EXPECT_EQ(h.terminal().iconTitle, "");
    h.feed("\x1b[23;0t");
    EXPECT_EQ(h.log(), Log{});
}

TEST(TerminalWindow, TitleStacksKeepTheNewestEntries) {
    TerminalHarness h;
    Terminal& t = h.terminal();
    const int pushes = int(Terminal::titleStackLimit) + 5;
    for (int k = 0; k < pushes; ++k) {
        t.terminalTitle = "t" + std::to_string(k);
        t.iconTitle = "i" + std::to_string(k);
        h.feed("\x1b[22;0t");
    }
    EXPECT_EQ(t.terminalTitleStack.size(), Terminal::titleStackLimit);
    EXPECT_EQ(t.terminalIconStack.size(), Terminal::titleStackLimit);
    Log expected;
    for (int k = pushes - 1; k >= pushes - int(Terminal::titleStackLimit); --k)
        expected.push_back("setTitle t" + std::to_string(k));
    for (int k = 0; k < pushes; ++k)
        h.feed("\x1b[23;2t");
    EXPECT_EQ(h.log(), expected);
}

TEST(TerminalWindow, TitleStacksSurviveReset) {
    TerminalHarness h;
    h.terminal().terminalTitle = "kept";
    h.feed("\x1b[22;2t\x1b"
           "c");
    EXPECT_EQ(h.terminal().terminalTitleStack, (std::vector<std::string>{"kept"}));
}

TEST(TerminalWindow, NothingWithoutADelegate) {
    TerminalOptions options;
    Terminal t(nullptr, options);
    t.silentLog = false;
    t.terminalTitle = "title";
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { t.feed("\x1b[22;0t\x1b[18t\x1b[11t\x1b[23;0t"); }),
              std::vector<DiagnosticKind>{});
    EXPECT_TRUE(t.terminalTitleStack.empty());
    EXPECT_TRUE(t.terminalIconStack.empty());
}

TEST(TerminalWindow, IntermediatesAreNotWindowOperations) {
    TerminalHarness h;
    h.terminal().silentLog = true;
    h.feed("\x1b[>14t");
    EXPECT_EQ(h.replies(), "");
    EXPECT_EQ(h.log(), Log{});
}
