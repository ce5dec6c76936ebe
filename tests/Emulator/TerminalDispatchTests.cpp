// The dispatch rows built so far and the parser's fallbacks with their log lines.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

TEST(TerminalDispatch, UnknownSequencesAreLogged) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"CSI", "\x1b[?5W", {"Info: Tessaline: Unknown CSI Code (collect=[63] code=W pars=[5])"}},
        {"CSI with parameters",
         "\x1b[1;2:3 W",
         {"Info: Tessaline: Unknown CSI Code (collect=[32] code=W pars=[1, 2, 3])"}},
        {"ESC", "\x1b#7", {"Info: Tessaline: Unknown ESC Code: ESC + 7 txt=[35]"}},
        {"OSC", "\x1b]4242;x\x07", {"Info: Tessaline: Unknown OSC code: 4242"}},
        {"APC", "\x1b_Xdata\x1b\\", {"Info: Tessaline: Unknown APC code: X"}},
        {"parse error", "\x1b[:", {"Info: Tessaline: Parsing error, state: Tessaline.ParsingState"}},
        {"unknown controls", std::string("\x05\x00\x1a", 3), {}},
        {"unknown DCS", "\x1bP+q544e\x1b\\", {}},
        {"Kitty graphics", "\x1b_Ga=q\x1b\\", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 4);
        EXPECT_EQ(TerminalHarness::captureStdout([&] { h.feed(c.input); }), c.lines);
        h.terminal().silentLog = true;
        EXPECT_EQ(TerminalHarness::captureStdout([&] { h.feed(c.input); }), std::vector<std::string>{});
    }
}

TEST(TerminalDispatch, DroppedParametersGoToTheLog) {
    TerminalHarness h(10, 4);
    std::string csi = "\x1b[";
    for (int i = 0; i < 40; ++i)
        csi += "1;";
    csi += "W";
    const auto lines = TerminalHarness::captureStdout([&] { h.feed(csi); });
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Info: Tessaline: parameters past 32 ignored");
}

TEST(TerminalDispatch, Controls) {
    TerminalHarness h(20, 4);
    Terminal& t = h.terminal();
    h.feed("\x07");
    EXPECT_EQ(h.log(), std::vector<std::string>{"bell"});

    // HTS through ESC H and the C1 control inside a sequence, then HT finds the stops.
    t.buffer().tabClear(8);
    t.buffer().tabClear(16);
    h.feed("abc\x1bHdefgh\x1b[\x88");
    h.feed("\r\t");
    EXPECT_EQ(h.cursor(), (std::pair{3, 0}));
    h.feed("\t");
    EXPECT_EQ(h.cursor(), (std::pair{8, 0}));

    // IND and NEL arrive as C1 controls only inside a sequence.
    h.feed("\x1b[\x84");
    EXPECT_EQ(h.cursor(), (std::pair{8, 1}));
    h.feed("\x1b[\x85");
    EXPECT_EQ(h.cursor(), (std::pair{0, 2}));
    h.feed("\x1b"
           "E");
    EXPECT_EQ(h.cursor(), (std::pair{0, 3}));
}

TEST(TerminalDispatch, LockingShiftsInvokeTheSets) {
    struct Case {
        const char* name;
        std::string input;
        int level;
    };
    const std::vector<Case> cases = {
        {"SO", "\x0e", 1},    {"SI", "\x0e\x0f", 0}, {"LS2", "\x1bn", 2},  {"LS3", "\x1bo", 3},
        {"LS3R", "\x1b|", 3}, {"LS2R", "\x1b}", 2},  {"LS1R", "\x1b~", 1}, {"ESC % @", "\x1bn\x1b%@", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 4);
        Terminal& t = h.terminal();
        for (int g = 0; g < 4; ++g)
            t.setgCharset(g, CharSets::lookup('0'));
        t.setgCharset(c.level, CharSets::lookup('A'));
        t.setgLevel(0);
        h.feed(c.input);
        EXPECT_EQ(t.gLevel, c.level);
        EXPECT_EQ(t.charset, c.input == "\x1bn\x1b%@" ? nullptr : CharSets::lookup('A'));
    }
}

TEST(TerminalDispatch, KeypadAndReplyIntroducers) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    h.feed("\x1b=");
    EXPECT_TRUE(t.applicationKeypad);
    h.feed("\x1b>");
    EXPECT_FALSE(t.applicationKeypad);
    h.feed("\x1b G");
    EXPECT_TRUE(t.cc.send8bit);
    t.sendResponse(t.cc.csi(), "0n");
    h.feed("\x1b F");
    t.sendResponse(t.cc.csi(), "0n");
    EXPECT_EQ(h.replies(), "\x9b"
                           "0n\x1b[0n");
    h.feed("\x1b G\x1b"
           "c");
    EXPECT_FALSE(t.cc.send8bit) << "RIS";
}

TEST(TerminalDispatch, StringTerminatorAloneDoesNothing) {
    TerminalHarness h(10, 4);
    EXPECT_EQ(TerminalHarness::captureStdout([&] { h.feed("\x1b\\"); }), std::vector<std::string>{});
}

TEST(TerminalDispatch, RegisteredOscHandlersComeFirst) {
    TerminalHarness h(10, 4);
    std::string seen;
    h.terminal().registerOscHandler(
        4242, [&](std::span<const uint8_t> data) { seen.assign(data.begin(), data.end()); });
    EXPECT_EQ(TerminalHarness::captureStdout([&] { h.feed("\x1b]4242;payload\x1b\\"); }),
              std::vector<std::string>{});
    EXPECT_EQ(seen, "payload");
}

TEST(TerminalDispatch, SixelReachesTheDelegate) {
    TerminalHarness h(10, 4);
    h.feed("\x1bPq#1;2;100;0;0#1~~\x1b\\");
    EXPECT_EQ(h.log(), std::vector<std::string>{"createImageFromBitmap 2x6"});
    h.terminal().tdel = nullptr;
    h.feed("\x1bPq~\x1b\\"); // no delegate: nothing to hand the picture to
    EXPECT_EQ(h.delegate().log, std::vector<std::string>{});
}
