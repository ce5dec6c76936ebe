// SM, RM, DECSET, DECRST and DECRQM: mode flags, screen switches, the column switch and the log.
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

using Log = std::vector<std::string>;

const Attribute reverseVideo(Attribute::Color::defaultInvertedColor(),
                             Attribute::Color::defaultInvertedColor(), CharacterStyle::none);

} // namespace

TEST(TerminalModes, DecRqmReportsEachMode) {
    struct Case {
        const char* name;
        std::string input;
        std::string query;
        std::string reply;
    };
    const std::vector<Case> cases = {
        {"DECCKM reset", "", "\x1b[?1$p", "\x1b[?1;2$y"},
        {"DECCKM set", "\x1b[?1h", "\x1b[?1$p", "\x1b[?1;1$y"},
        {"DECANM always set", "", "\x1b[?2$p", "\x1b[?2;1$y"},
        {"mode 8 always set", "", "\x1b[?8$p", "\x1b[?8;1$y"},
        {"mode 18 always set", "", "\x1b[?18$p", "\x1b[?18;1$y"},
        {"mode 19 always set", "", "\x1b[?19$p", "\x1b[?19;1$y"},
        {"mode 95 always set", "", "\x1b[?95$p", "\x1b[?95;1$y"},
        {"DECCOLM at 80", "", "\x1b[?3$p", "\x1b[?3;2$y"},
        {"DECCOLM at 132", "\x1b[?3h", "\x1b[?3$p", "\x1b[?3;1$y"},
        {"DECSCLM", "\x1b[?4h", "\x1b[?4$p", "\x1b[?4;1$y"},
        {"DECSCNM", "\x1b[?5h", "\x1b[?5$p", "\x1b[?5;1$y"},
        {"DECSCNM reset", "\x1b[?5h\x1b[?5l", "\x1b[?5$p", "\x1b[?5;2$y"},
        {"DECOM", "\x1b[?6h", "\x1b[?6$p", "\x1b[?6;1$y"},
        {"DECAWM on at start", "", "\x1b[?7$p", "\x1b[?7;1$y"},
        {"DECAWM off", "\x1b[?7l", "\x1b[?7$p", "\x1b[?7;2$y"},
        {"X10 mouse", "\x1b[?9h", "\x1b[?9$p", "\x1b[?9;1$y"},
        {"X10 mouse under 1000", "\x1b[?1000h", "\x1b[?9$p", "\x1b[?9;2$y"},
        {"permanently reset 10", "", "\x1b[?10$p", "\x1b[?10;4$y"},
        {"permanently reset 42", "", "\x1b[?42$p", "\x1b[?42;4$y"},
        {"permanently reset 44", "", "\x1b[?44$p", "\x1b[?44;4$y"},
        {"permanently reset 46", "", "\x1b[?46$p", "\x1b[?46;4$y"},
        {"permanently reset 67", "", "\x1b[?67$p", "\x1b[?67;4$y"},
        {"permanently reset 80", "", "\x1b[?80$p", "\x1b[?80;4$y"},
        {"permanently reset 1034", "\x1b[?1034h", "\x1b[?1034$p", "\x1b[?1034;4$y"},
        {"cursor blink", "\x1b[?12h", "\x1b[?12$p", "\x1b[?12;1$y"},
        {"reset 13", "", "\x1b[?13$p", "\x1b[?13;2$y"},
        {"reset 14", "", "\x1b[?14$p", "\x1b[?14;2$y"},
        {"reset 30", "", "\x1b[?30$p", "\x1b[?30;2$y"},
        {"reset 41", "", "\x1b[?41$p", "\x1b[?41;2$y"},
        {"reset 1001", "", "\x1b[?1001$p", "\x1b[?1001;2$y"},
        {"cursor visible", "", "\x1b[?25$p", "\x1b[?25;1$y"},
        {"cursor hidden", "\x1b[?25l", "\x1b[?25$p", "\x1b[?25;2$y"},
        {"80 to 132 allowed", "", "\x1b[?40$p", "\x1b[?40;1$y"},
        {"80 to 132 refused", "\x1b[?40l", "\x1b[?40$p", "\x1b[?40;2$y"},
        {"reverse wraparound", "\x1b[?45h", "\x1b[?45$p", "\x1b[?45;1$y"},
        {"normal screen", "", "\x1b[?47$p", "\x1b[?47;2$y"},
        {"alternate screen", "\x1b[?1049h", "\x1b[?47$p", "\x1b[?47;1$y"},
        {"DECNKM", "\x1b[?66h", "\x1b[?66$p", "\x1b[?66;1$y"},
        {"DECLRMM", "\x1b[?69h", "\x1b[?69$p", "\x1b[?69;1$y"},
        {"vt200 mouse", "\x1b[?1000h", "\x1b[?1000$p", "\x1b[?1000;1$y"},
        {"button-event mouse", "\x1b[?1002h", "\x1b[?1002$p", "\x1b[?1002;1$y"},
        {"any-event mouse", "\x1b[?1003h", "\x1b[?1003$p", "\x1b[?1003;1$y"},
        {"any-event mouse off", "", "\x1b[?1003$p", "\x1b[?1003;2$y"},
        {"focus", "\x1b[?1004h", "\x1b[?1004$p", "\x1b[?1004;1$y"},
        {"UTF-8 mouse", "\x1b[?1005h", "\x1b[?1005$p", "\x1b[?1005;1$y"},
        {"SGR mouse", "\x1b[?1006h", "\x1b[?1006$p", "\x1b[?1006;1$y"},
        {"SGR mouse under urxvt", "\x1b[?1015h", "\x1b[?1006$p", "\x1b[?1006;2$y"},
        {"urxvt mouse", "\x1b[?1015h", "\x1b[?1015$p", "\x1b[?1015;1$y"},
        {"SGR-pixels mouse", "\x1b[?1016h", "\x1b[?1016$p", "\x1b[?1016;1$y"},
        {"bracketed paste", "\x1b[?2004h", "\x1b[?2004$p", "\x1b[?2004;1$y"},
        {"synchronized output inactive", "", "\x1b[?2026$p", "\x1b[?2026;2$y"},
        {"1047 not recognized", "\x1b[?1047h", "\x1b[?1047$p", "\x1b[?1047;0$y"},
        {"1048 not recognized", "", "\x1b[?1048$p", "\x1b[?1048;0$y"},
        {"1049 not recognized", "\x1b[?1049h", "\x1b[?1049$p", "\x1b[?1049;0$y"},
        {"unknown DEC mode", "", "\x1b[?7777$p", "\x1b[?7777;0$y"},
        {"only the first parameter", "\x1b[?1h", "\x1b[?1;7$p", "\x1b[?1;1$y"},
        {"ANSI permanently reset 1", "", "\x1b[1$p", "\x1b[1;4$y"},
        {"ANSI permanently reset 5", "", "\x1b[5$p", "\x1b[5;4$y"},
        {"ANSI permanently reset 7", "", "\x1b[7$p", "\x1b[7;4$y"},
        {"ANSI permanently reset 10", "", "\x1b[10$p", "\x1b[10;4$y"},
        {"ANSI permanently reset 11", "", "\x1b[11$p", "\x1b[11;4$y"},
        {"ANSI permanently reset 13", "", "\x1b[13$p", "\x1b[13;4$y"},
        {"ANSI permanently reset 19", "", "\x1b[19$p", "\x1b[19;4$y"},
        {"KAM", "\x1b[2h", "\x1b[2$p", "\x1b[2;2$y"},
        {"ANSI 3", "", "\x1b[3$p", "\x1b[3;2$y"},
        {"IRM reset", "", "\x1b[4$p", "\x1b[4;2$y"},
        {"IRM set", "\x1b[4h", "\x1b[4$p", "\x1b[4;1$y"},
        {"SRM always set", "", "\x1b[12$p", "\x1b[12;1$y"},
        {"LNM", "\x1b[20h", "\x1b[20$p", "\x1b[20;1$y"},
        {"LNM reset", "\x1b[20h\x1b[20l", "\x1b[20$p", "\x1b[20;2$y"},
        {"ANSI 0", "", "\x1b[0$p", "\x1b[0;0$y"},
        {"ANSI 6", "", "\x1b[6$p", "\x1b[6;0$y"},
        {"ANSI 21", "", "\x1b[21$p", "\x1b[21;0$y"},
        {"no parameter", "", "\x1b[$p", "\x1b[0;0$y"},
        {"large number", "", "\x1b[?99999999999$p", "\x1b[?99999999999;0$y"},
        {"8-bit introducer", "\x1b G", "\x1b[?25$p", "\x9b?25;1$y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 24);
        h.feed(c.input);
        h.replies();
        h.feed(c.query);
        EXPECT_EQ(h.replies(), c.reply);
    }
}

TEST(TerminalModes, DecRqmSynchronizedOutputWhileActive) {
    TerminalHarness h;
    h.terminal().synchronizedOutputActive = true;
    h.feed("\x1b[?2026$p");
    EXPECT_EQ(h.replies(), "\x1b[?2026;1$y");
}

TEST(TerminalModes, LeavingMarginModeResetsTheMargins) {
    TerminalHarness h(10, 8);
    // X at row 5, column 5 through origin mode inside margins; then margin mode and the region go.
    h.feed("\x1b[5;7r\x1b[?69h\x1b[5;7s\x1b[?6h\x1b[HX\x1b[?69l\x1b[r");
    for (Buffer* b : {&h.terminal().normalBuffer(), &h.terminal().altBuffer()}) {
        EXPECT_EQ(b->marginLeft(), 0);
        EXPECT_EQ(b->marginRight(), 9);
    }
    // A position set in origin mode reads back the same and lands on the X.
    h.feed("\x1b[5;5H\x1b[6n");
    EXPECT_EQ(h.replies(), "\x1b[5;5R");
    EXPECT_EQ(h.terminal().getCharacter(4, 4), "X");
}

TEST(TerminalModes, FlagsReachTheBuffers) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();

    h.feed("\x1b[4h\x1b[?69h\x1b[?7l");
    for (Buffer* b : {&t.normalBuffer(), &t.altBuffer()}) {
        EXPECT_TRUE(b->insertMode);
        EXPECT_TRUE(b->marginMode);
        EXPECT_FALSE(b->wraparound);
    }
    EXPECT_TRUE(t.insertMode);
    EXPECT_TRUE(t.marginMode);
    EXPECT_FALSE(t.wraparound);

    h.feed("\x1b[?45h");
    EXPECT_FALSE(t.reverseWraparound) << "reverse wraparound needs wraparound";
    h.feed("\x1b[?7h\x1b[?45h");
    EXPECT_TRUE(t.reverseWraparound);
    h.feed("\x1b[?45l");
    EXPECT_FALSE(t.reverseWraparound);

    h.feed("\x1b[4l\x1b[?69l");
    for (Buffer* b : {&t.normalBuffer(), &t.altBuffer()}) {
        EXPECT_FALSE(b->insertMode);
        EXPECT_FALSE(b->marginMode);
        EXPECT_TRUE(b->wraparound);
    }

    h.feed("\x1b[?1;66;2004;12;4h\x1b[20h");
    EXPECT_TRUE(t.applicationCursor);
    EXPECT_TRUE(t.applicationKeypad);
    EXPECT_TRUE(t.bracketedPasteMode());
    EXPECT_TRUE(t.cursorBlink);
    EXPECT_TRUE(t.smoothScroll);
    EXPECT_TRUE(t.lineFeedMode);
    h.feed("\x1b[?1;66;2004;12;4l\x1b[20l");
    EXPECT_FALSE(t.applicationCursor);
    EXPECT_FALSE(t.applicationKeypad);
    EXPECT_FALSE(t.bracketedPasteMode());
    EXPECT_FALSE(t.cursorBlink);
    EXPECT_FALSE(t.smoothScroll);
    EXPECT_FALSE(t.lineFeedMode);
}

TEST(TerminalModes, ReverseVideoWritesInvertedCells) {
    TerminalHarness h(10, 4);
    h.feed("\x1b[?5hA");
    EXPECT_EQ(h.terminal().currentAttribute(), reverseVideo);
    EXPECT_EQ(h.terminal().attribute(h.buffer().lines()[0]->operator[](0)), reverseVideo);
    h.feed("\x1b[?5l");
    EXPECT_EQ(h.terminal().currentAttribute(), Attribute::defaultAttribute());
}

TEST(TerminalModes, DecAnmDesignatesTheDefaultSets) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    const CharSetMap* lineDrawing = CharSets::lookup('0');
    ASSERT_NE(lineDrawing, nullptr);
    t.gCharsets = {lineDrawing, lineDrawing, lineDrawing, lineDrawing};
    t.charset = lineDrawing;
    h.feed("\x1b[?2h");
    EXPECT_EQ(t.gCharsets, (std::array<const CharSetMap*, 4>{}));
    EXPECT_EQ(t.charset, nullptr);
}

TEST(TerminalModes, MouseModeNotices) {
    struct Case {
        const char* name;
        std::string input;
        Log log;
        Terminal::MouseMode mode;
        Terminal::MouseProtocolEncoding protocol;
    };
    using M = Terminal::MouseMode;
    using E = Terminal::MouseProtocolEncoding;
    const std::vector<Case> cases = {
        {"x10", "\x1b[?9h", {"mouseModeChanged"}, M::x10, E::x10},
        {"vt200 twice", "\x1b[?1000h\x1b[?1000h", {"mouseModeChanged", "mouseModeChanged"}, M::vt200, E::x10},
        {"button events", "\x1b[?1002h", {"mouseModeChanged"}, M::buttonEventTracking, E::x10},
        {"any event", "\x1b[?1003h", {"mouseModeChanged"}, M::anyEvent, E::x10},
        {"reset while off", "\x1b[?1000l", {"mouseModeChanged"}, M::off, E::x10},
        {"reset of another mode",
         "\x1b[?1003h\x1b[?9l",
         {"mouseModeChanged", "mouseModeChanged"},
         M::off,
         E::x10},
        {"encodings alone tell nothing", "\x1b[?1005h\x1b[?1006h", {}, M::off, E::sgr},
        {"leaving an encoding stops reporting",
         "\x1b[?1003h\x1b[?1006h\x1b[?1006l",
         {"mouseModeChanged", "mouseModeChanged"},
         M::off,
         E::x10},
        {"leaving another encoding", "\x1b[?1016h\x1b[?1015l", {"mouseModeChanged"}, M::off, E::x10},
        {"focus tells nothing", "\x1b[?1004h", {}, M::off, E::x10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.feed(c.input);
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(h.terminal().mouseMode(), c.mode);
        EXPECT_EQ(h.terminal().mouseProtocol, c.protocol);
    }
}

TEST(TerminalModes, UnhandledModesAreLogged) {
    constexpr DiagnosticKind U = DiagnosticKind::unhandledSequence;
    struct Case {
        const char* name;
        std::string input;
        std::vector<DiagnosticKind> lines;
    };
    const std::vector<Case> cases = {
        {"ANSI set", "\x1b[3h", {U}},
        {"ANSI reset is silent", "\x1b[3l", {}},
        {"KAM is ignored", "\x1b[2h\x1b[2l", {}},
        {"other intermediates on set", "\x1b[>5h", {U}},
        {"two intermediates on set", "\x1b[?5$h", {U}},
        {"other intermediates on reset", "\x1b[>5l", {}},
        {"DECRST of DECANM", "\x1b[?2l", {U}},
        {"DECSET 63 is silent", "\x1b[?63h", {}},
        {"DECRST 63", "\x1b[?63l", {U}},
        {"DECSET 41", "\x1b[?41h", {U}},
        {"DECRST 41 is silent", "\x1b[?41l", {}},
        {"ignored modes", "\x1b[?95;1034h\x1b[?95;1034l", {}},
        {"each parameter", "\x1b[?7777;1;8888h", {U, U}},
        {"unknown reset", "\x1b[?7777l", {U}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(c.input); }), c.lines);
        h.terminal().silentLog = true;
        EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed(c.input); }),
                  std::vector<DiagnosticKind>{});
    }
}

TEST(TerminalModes, Mode1049SavesClearsAndRestores) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    h.feed("hello\r\nab\x1b[?6h\x1b[?5h");
    h.feed("\x1b[?1049h");
    EXPECT_TRUE(t.isCurrentBufferAlternate());
    EXPECT_EQ(h.dump(), "");
    EXPECT_EQ(h.cursor(), (std::pair{2, 1})) << "the alternate screen takes the cursor";
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 3}));

    // The alternate screen changes the cursor state; leaving restores the one saved on entry.
    h.feed("\x1b[?5l\x1b[?6lXY\r\n\n");
    EXPECT_EQ(h.dump(), "\n..XY");
    h.feed("\x1b[?1049l");
    EXPECT_FALSE(t.isCurrentBufferAlternate());
    EXPECT_EQ(h.dump(), "hello\nab");
    EXPECT_EQ(h.cursor(), (std::pair{2, 1}));
    EXPECT_TRUE(t.originMode);
    EXPECT_EQ(t.currentAttribute(), reverseVideo);
    EXPECT_EQ(t.altBuffer().lines().count(), 0) << "the alternate screen is cleared";
    EXPECT_EQ(h.log(), (Log{"bufferActivated", "bufferActivated"}));

    h.feed("\x1b[?1049h");
    EXPECT_EQ(h.dump(), "");
}

TEST(TerminalModes, AlternateScreenContentAcrossSwitches) {
    struct Case {
        const char* name;
        int mode;
        std::pair<int, int> cursor;
        std::string altOnReturn;
    };
    const std::vector<Case> cases = {
        {"47 keeps the alternate screen", 47, {3, 1}, "\nalt"},
        {"1047 clears it", 1047, {3, 1}, ""},
        {"1049 clears it and restores the cursor", 1049, {0, 1}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 4);
        const std::string on = "\x1b[?" + std::to_string(c.mode) + "h";
        const std::string off = "\x1b[?" + std::to_string(c.mode) + "l";
        h.feed("normal\r\n").feed(on).feed("alt");
        h.feed(off);
        EXPECT_EQ(h.dump(), "normal");
        EXPECT_EQ(h.cursor(), c.cursor);
        h.feed(on);
        EXPECT_EQ(h.dump(), c.altOnReturn);
    }
}

TEST(TerminalModes, SaveAndRestoreCursorWith1048) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    h.feed("abc\x1b[?1048h\x1b[?7l\r\n\n");
    h.feed("\x1b[?1048l");
    EXPECT_EQ(h.cursor(), (std::pair{3, 0}));
    EXPECT_TRUE(t.wraparound);
    EXPECT_TRUE(t.altBuffer().wraparound) << "restored wraparound reaches both buffers";
    EXPECT_FALSE(t.isCurrentBufferAlternate());
}

TEST(TerminalModes, CursorVisibilityAcrossScreenSwitches) {
    struct Case {
        const char* name;
        std::string input;
        Log log;
        bool hidden;
    };
    const std::vector<Case> cases = {
        {"hide", "\x1b[?25l", {"hideCursor"}, true},
        {"hide twice", "\x1b[?25l\x1b[?25l", {"hideCursor"}, true},
        {"show while visible", "\x1b[?25h", {}, false},
        {"hide and show", "\x1b[?25l\x1b[?25h", {"hideCursor", "showCursor"}, false},
        {"entering shows", "\x1b[?25l\x1b[?1049h", {"hideCursor", "showCursor", "bufferActivated"}, false},
        {"entering while visible", "\x1b[?1049h", {"bufferActivated"}, false},
        {"leaving shows",
         "\x1b[?1049h\x1b[?25l\x1b[?1049l",
         {"bufferActivated", "hideCursor", "showCursor", "bufferActivated"},
         false},
        {"47 shows", "\x1b[?25l\x1b[?47h", {"hideCursor", "showCursor", "bufferActivated"}, false},
        {"1047 leaving shows",
         "\x1b[?1047h\x1b[?25l\x1b[?1047l",
         {"bufferActivated", "hideCursor", "showCursor", "bufferActivated"},
         false},
        {"switching to the active screen still tells",
         "\x1b[?25l\x1b[?47l",
         {"hideCursor", "showCursor", "bufferActivated"},
         false},
        {"entering twice", "\x1b[?1049h\x1b[?1049h", {"bufferActivated", "bufferActivated"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        h.feed(c.input);
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(h.terminal().cursorHidden, c.hidden);
    }
}

TEST(TerminalModes, HostShowsAndHidesTheCursor) {
    TerminalHarness h;
    Terminal& t = h.terminal();
    t.hideCursor();
    t.hideCursor();
    EXPECT_TRUE(t.cursorHidden);
    t.showCursor();
    t.showCursor();
    EXPECT_FALSE(t.cursorHidden);
    EXPECT_EQ(h.log(), (Log{"hideCursor", "showCursor"}));
}

TEST(TerminalModes, ColumnSwitch) {
    struct Case {
        const char* name;
        std::string input;
        int cols;
        Log log;
    };
    const std::vector<Case> cases = {
        {"to 132", "\x1b[?3h", 132, {"mouseModeChanged", "sizeChanged"}},
        {"to 132 when already 132",
         "\x1b[?3h\x1b[?3h",
         132,
         {"mouseModeChanged", "sizeChanged", "mouseModeChanged", "sizeChanged"}},
        {"to 80",
         "\x1b[?3h\x1b[?3l",
         80,
         {"mouseModeChanged", "sizeChanged", "sizeChanged", "mouseModeChanged"}},
        {"to 80 when already 80", "\x1b[?3l", 80, {"sizeChanged", "mouseModeChanged"}},
        {"refused without mode 40", "\x1b[?40l\x1b[?3h", 80, {}},
        {"refused both ways", "\x1b[?3h\x1b[?40l\x1b[?3l", 132, {"mouseModeChanged", "sizeChanged"}},
        {"mode 40 again", "\x1b[?40l\x1b[?40h\x1b[?3h", 132, {"mouseModeChanged", "sizeChanged"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(80, 5);
        Terminal& t = h.terminal();
        h.feed("text");
        h.feed(c.input);
        EXPECT_EQ(h.log(), c.log);
        EXPECT_EQ(t.cols(), c.cols);
        EXPECT_EQ(t.buffer().cols(), c.cols);
        EXPECT_EQ(t.rows(), 5);
        EXPECT_EQ(t.options.cols, c.cols);
        EXPECT_EQ(h.dump(), c.log.empty() ? "text" : "") << "the switch clears the screen";
    }
}

TEST(TerminalModes, ColumnSwitchResetsModesAndKeepsTheScrollback) {
    TerminalHarness h(10, 3, 100);
    Terminal& t = h.terminal();
    for (int i = 0; i < 6; ++i)
        h.feed("line" + std::to_string(i) + "\r\n");
    h.feed("last");
    h.buffer().setYDisp(1); // the user scrolled back
    t.buffer().tabClear(8);
    h.feed("\x1b[?1048h\x1b[?1;6;2004;1000;1004;1006h\x1b[4h\x1b[?40h\x1b[?25l\x1b[>3u");
    t.clearUpdateRange();
    h.feed("\x1b[?3h");

    EXPECT_FALSE(t.isCurrentBufferAlternate());
    EXPECT_EQ(h.dumpAll(), "line0\nline1\nline2\nline3") << "the scroll-back stays, the screen is blank";
    EXPECT_EQ(h.buffer().yDisp(), h.buffer().yBase());
    EXPECT_EQ(h.cursor(), (std::pair{0, 0}));
    EXPECT_EQ(h.buffer().savedX, 0) << "the saved cursor starts afresh";
    EXPECT_TRUE(h.buffer().tabStops[8]);
    EXPECT_EQ(h.buffer().tabStops.size(), 132u);
    EXPECT_FALSE(t.applicationCursor);
    EXPECT_FALSE(t.originMode);
    EXPECT_FALSE(t.bracketedPasteMode());
    EXPECT_FALSE(t.insertMode);
    EXPECT_EQ(t.mouseMode(), Terminal::MouseMode::off);
    EXPECT_EQ(t.keyboardEnhancementFlags(), KittyKeyboardFlags());
    EXPECT_TRUE(t.cursorHidden) << "the cursor stays hidden";
    // Left alone by the set-up.
    EXPECT_TRUE(t.sendFocus);
    EXPECT_EQ(t.mouseProtocol, Terminal::MouseProtocolEncoding::sgr);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 2}));

    h.feed("wide");
    EXPECT_EQ(h.dump(), "wide");
}

TEST(TerminalModes, ColumnSwitchLeavesTheAlternateScreen) {
    TerminalHarness h(10, 3);
    Terminal& t = h.terminal();
    h.feed("normal\x1b[?1049h").feed("alt");
    h.feed("\x1b[?3h");
    EXPECT_FALSE(t.isCurrentBufferAlternate());
    EXPECT_EQ(h.dump(), "");
    EXPECT_EQ(h.dumpScreen(t.altBuffer()), "......alt") << "the alternate buffer keeps its rows";
    EXPECT_EQ(t.altBuffer().cols(), 132);
}
