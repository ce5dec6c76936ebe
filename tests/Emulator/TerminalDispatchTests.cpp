// The dispatch rows, the commands the dispatch carries out itself and the parser's fallbacks with their
// log lines.
#include "ScreenSetup.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {
constexpr DiagnosticKind U = DiagnosticKind::unhandledSequence;
}

TEST(TerminalDispatch, UnknownSequencesAreLogged) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<DiagnosticKind> lines;
    };
    const std::vector<Case> cases = {
        {"CSI", "\x1b[?5W", {U}},
        {"CSI with parameters", "\x1b[1;2:3 W", {U}},
        {"ESC", "\x1b#7", {U}},
        {"OSC", "\x1b]4242;x\x07", {U}},
        {"APC", "\x1b_Xdata\x1b\\", {U}},
        {"parse error", "\x1b[:", {U}},
        {"unknown controls", std::string("\x05\x00\x1a", 3), {}},
        {"unknown DCS", "\x1bP+q544e\x1b\\", {}},
        {"Kitty graphics", "\x1b_Ga=q\x1b\\", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 4);
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(c.input); }), c.lines);
        h.terminal().silentLog = true;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(c.input); }),
                  std::vector<DiagnosticKind>{});
    }
}

TEST(TerminalDispatch, DroppedParametersGoToTheLog) {
    TerminalHarness h(10, 4);
    std::string csi = "\x1b[";
    for (int i = 0; i < 40; ++i)
        csi += "1;";
    csi += "W";
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(csi); }),
              (std::vector{DiagnosticKind::parserLimit, DiagnosticKind::unhandledSequence}));
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
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed("\x1b\\"); }), std::vector<DiagnosticKind>{});
}

TEST(TerminalDispatch, RegisteredOscHandlersComeFirst) {
    TerminalHarness h(10, 4);
    std::string seen;
    h.terminal().registerOscHandler(
        4242, [&](std::span<const uint8_t> data) { seen.assign(data.begin(), data.end()); });
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed("\x1b]4242;payload\x1b\\"); }),
              std::vector<DiagnosticKind>{});
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

TEST(TerminalDispatch, TabulationForwardAndBack) {
    struct Case {
        const char* name;
        bool margins; // margin mode on, margins 1 to 30
        std::string input;
        int column;
    };
    const std::vector<Case> cases = {
        {"CHT", false, "\x1b[I", 8},
        {"CHT 0", false, "\x1b[0I", 8},
        {"CHT 3", false, "\x1b[3I", 24},
        {"CHT 200 stops at the last column", false, "\x1b[200I", 79},
        {"CHT huge", false, "\x1b[99999999999I", 79},
        {"CHT stops at the right margin", true, "\x1b[26G\x1b[5I", 29},
        {"CBT", false, "\x1b[4G\x1b[Z", 0},
        {"CBT 2", false, "\x1b[18G\x1b[2Z", 8},
        {"CBT from column 0", false, "\x1b[Z", 0},
        {"CBT huge", false, "\x1b[80G\x1b[2147483647Z", 0},
        {"CBT from the pending-wrap column", false, std::string(80, 'x') + "\x1b[Z", 72},
        {"CBT ignores the margins", true, "\x1b[26G\x1b[9Z", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 5);
        if (c.margins) {
            setMarginMode(h.terminal(), true);
            h.feed("\x1b[2;30s");
        }
        h.feed(c.input);
        EXPECT_EQ(h.cursor().first, c.column);
    }
}

TEST(TerminalDispatch, NextAndPrecedingLine) {
    struct Case {
        const char* name;
        bool origin;
        std::string input; // margin mode on, margins 5 to 15, region rows 1 to 4, cursor at (8, 2)
        std::pair<int, int> cursor;
    };
    const std::vector<Case> cases = {
        {"CNL goes to the left margin without origin mode", false, "\x1b[E", {4, 3}},
        {"CNL stops at the bottom margin", false, "\x1b[9E", {4, 4}},
        {"CPL", false, "\x1b[F", {4, 1}},
        {"CPL 5 stops at the top margin", false, "\x1b[5F", {4, 1}},
        {"NEL goes to column 0 without origin mode",
         false,
         "\x1b"
         "E",
         {0, 3}},
        {"NEL goes to the left margin in origin mode",
         true,
         "\x1b"
         "E",
         {4, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 8);
        Terminal& t = h.terminal();
        setMarginMode(t, true);
        h.feed("\x1b[5;15s\x1b[2;5r");
        t.buffer().setX(8);
        t.buffer().setY(2);
        t.originMode = c.origin;
        h.feed(c.input);
        EXPECT_EQ(h.cursor(), c.cursor);
    }
}

TEST(TerminalDispatch, MarginsOrSavedCursor) {
    TerminalHarness h(20, 5);
    Terminal& t = h.terminal();
    h.feed("\x1b[2;3H\x1b[3;6s");
    EXPECT_EQ(t.buffer().savedX, 2) << "without margin mode CSI s saves the cursor";
    EXPECT_EQ(t.buffer().marginLeft(), 0);
    h.feed("\x1b[?69h\x1b[4;4H\x1b[3;6s");
    EXPECT_EQ(t.buffer().savedX, 2) << "with margin mode it sets the margins";
    EXPECT_EQ(t.buffer().marginLeft(), 2);
    EXPECT_EQ(t.buffer().marginRight(), 5);
    h.feed("\x1b[?4;8s");
    EXPECT_EQ(t.buffer().marginLeft(), 2) << "CSI ? s does nothing";
    h.feed("\x1b[?69l\x1b[4;4H\x1b[s");
    EXPECT_EQ(t.buffer().savedX, 3) << "margin mode off again: CSI s saves";
    EXPECT_EQ(t.buffer().marginLeft(), 0) << "and the margins span the screen again";
}

TEST(TerminalDispatch, TitleModes) {
    struct Case {
        const char* name;
        bool startSet;
        std::string input;
        std::array<bool, 4> flags; // setHex, queryHex, setUtf, queryUtf
    };
    const std::vector<Case> cases = {
        {"set one", false, "\x1b[>2t", {false, false, true, false}},
        {"set all", false, "\x1b[>0;1;2;3t", {true, true, true, true}},
        {"set then reset", false, "\x1b[>2t\x1b[>2T", {false, false, false, false}},
        {"reset two", true, "\x1b[>0;1T", {false, false, true, true}},
        {"no parameter resets the first", true, "\x1b[>T", {false, true, true, true}},
        {"other values are skipped", false, "\x1b[>9;3t", {false, false, false, true}},
        {"another prefix does nothing", false, "\x1b[?2t\x1b[=2t", {false, false, false, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 3);
        Terminal& t = h.terminal();
        t.silentLog = true;
        t.xtermTitleSetHex = t.xtermTitleQueryHex = t.xtermTitleSetUtf = t.xtermTitleQueryUtf = c.startSet;
        h.feed(c.input);
        EXPECT_EQ(
            (std::array{t.xtermTitleSetHex, t.xtermTitleQueryHex, t.xtermTitleSetUtf, t.xtermTitleQueryUtf}),
            c.flags);
    }
}

TEST(TerminalDispatch, LogLinesOfSequencesNoRowTakes) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<DiagnosticKind> lines;
    };
    const std::vector<Case> cases = {
        {"CSI t with a collect", "\x1b[$t", {U}},
        {"CSI t with two", "\x1b[?1$t", {U}},
        {"CSI T with a collect", "\x1b[?5T", {}},
        {"CSI r with a collect", "\x1b[?1r", {}},
        {"CSI s with a collect", "\x1b[?1s", {}},
        {"CSI unknown final", "\x1b[1;2j", {U}},
        {"ESC unknown final", "\x1bZ", {U}},
        {"SCS without a table", "\x1b(W", {U}},
        {"SCS with a comma", "\x1b,A", {U}},
        {"two intermediates", "\x1b((A", {U}},
        {"ESC % with another final", "\x1b%X", {U}},
        {"ESC # 7", "\x1b#7", {U}},
        {"known sequences log nothing",
         "\x1b(0\x1b#8\x1b[2J\x1b[>1t\x1b"
         "7\x1b"
         "8\x1bM",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 4);
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(c.input); }), c.lines);
        h.terminal().silentLog = true;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(c.input); }),
                  std::vector<DiagnosticKind>{});
    }
}
