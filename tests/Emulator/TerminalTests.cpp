// The terminal object: construction, set-up, buffers, resizing, full reset, changed rows, lookups and
// the colour properties.
#include "DiagnosticsCapture.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

TerminalOptions sized(int cols, int rows, int scrollback = 100) {
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    options.scrollback = scrollback;
    return options;
}

std::vector<int> tabStops(const Buffer& buffer) {
    std::vector<int> stops;
    for (size_t i = 0; i < buffer.tabStops.size(); ++i)
        if (buffer.tabStops[i]) stops.push_back(int(i));
    return stops;
}

} // namespace

TEST(Terminal, ConstructionRaisesTheSizeAndSetsUp) {
    FakeDelegate delegate;
    Terminal terminal(&delegate, sized(1, 0));
    EXPECT_EQ(terminal.getDims(), (Terminal::Dims{2, 1}));
    EXPECT_EQ(terminal.options.cols, 1) << "construction does not write the size back";
    EXPECT_EQ(terminal.normalBuffer().lines().count(), 1);
    EXPECT_EQ(terminal.altBuffer().lines().count(), 0);
    EXPECT_FALSE(terminal.isCurrentBufferAlternate());
    EXPECT_EQ(&terminal.displayBuffer(), &terminal.normalBuffer());
    EXPECT_TRUE(terminal.silentLog);
    EXPECT_TRUE(terminal.wraparound);
    EXPECT_TRUE(terminal.normalBuffer().wraparound);
    EXPECT_TRUE(terminal.altBuffer().wraparound);
    EXPECT_EQ(terminal.mouseMode(), Terminal::MouseMode::off);
    EXPECT_EQ(delegate.log, std::vector<std::string>{"mouseModeChanged"});
    EXPECT_FALSE(terminal.getUpdateRange());
    EXPECT_FALSE(terminal.getScrollInvariantUpdateRange());
    EXPECT_EQ(terminal.ansiColors.size(), 256u);
    EXPECT_EQ(terminal.ansiColors, terminal.defaultAnsiColors);
    EXPECT_EQ(terminal.graphemes().lastCharIndex(), 0x400001);
}

TEST(Terminal, TabStopsCoverTheWholeWidth) {
    FakeDelegate delegate;
    Terminal terminal(&delegate, sized(120, 24));
    std::vector<int> expected;
    for (int c = 0; c < 120; c += 8)
        expected.push_back(c);
    EXPECT_EQ(tabStops(terminal.normalBuffer()), expected);
    EXPECT_EQ(tabStops(terminal.altBuffer()), expected);
}

TEST(Terminal, UpdateRanges) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    t.updateRange(-1);
    EXPECT_FALSE(t.getUpdateRange()) << "a negative row marks nothing";
    t.updateRange(3);
    t.updateRange(1);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{1, 3}));
    EXPECT_EQ(t.getScrollInvariantUpdateRange(), (Terminal::UpdateRange{1, 3}));
    t.updateRange(4, true);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{1, 4}));
    EXPECT_EQ(t.getScrollInvariantUpdateRange(), (Terminal::UpdateRange{1, 3})) << "scrolling rows stay out";
    t.clearUpdateRange();
    EXPECT_FALSE(t.getUpdateRange());
    EXPECT_FALSE(t.getScrollInvariantUpdateRange());

    h.feed("\n\n\n\n\n\n\n"); // yDisp 3
    t.clearUpdateRange();
    t.updateFullScreen();
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 4})) << "the last row included";
    EXPECT_EQ(t.getScrollInvariantUpdateRange(), (Terminal::UpdateRange{3, 7}));
}

TEST(Terminal, EveryPathMarksTheWholeScreenAlike) {
    struct Case {
        const char* name;
        std::function<void(TerminalHarness&)> action;
        int rows;
    };
    const auto feed = [](std::string bytes) { return [bytes](TerminalHarness& h) { h.feed(bytes); }; };
    const std::vector<Case> cases = {
        {"DECALN", feed("\x1b#8"), 10},
        {"erase in display", feed("\x1b[2J"), 10},
        {"scrolling the whole screen", feed("\x1b[10H\n"), 10},
        {"scrolling down", feed("\x1b[T"), 10},
        {"a batch of synchronized output ending", feed("\x1b[?2026hx\x1b[?2026l"), 10},
        {"a wider screen", [](TerminalHarness& h) { h.terminal().resize(30, 10); }, 10},
        {"more rows", [](TerminalHarness& h) { h.terminal().resize(20, 12); }, 12},
        {"fewer rows", [](TerminalHarness& h) { h.terminal().resize(20, 8); }, 8},
        {"full reset",
         feed("\x1b"
              "c"),
         10},
        {"the scroll-back changed", [](TerminalHarness& h) { h.terminal().changeScrollback(5); }, 10},
        {"updateFullScreen", [](TerminalHarness& h) { h.terminal().updateFullScreen(); }, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(20, 10, 50);
        h.feed(std::string(11, '\n')); // a row in the scroll-back
        Terminal& t = h.terminal();
        t.clearUpdateRange();
        c.action(h);
        EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, c.rows - 1}));
        const int top = t.buffer().yDisp();
        const auto invariant = t.getScrollInvariantUpdateRange();
        if (invariant) {
            EXPECT_GE(invariant->startY, top);
            EXPECT_LE(invariant->endY, top + c.rows - 1);
        }
    }
}

TEST(Terminal, PrintingMarksTheRowsItTouches) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    h.feed("\n\nab");
    t.clearUpdateRange();
    h.feed("cdefghijklmn"); // wraps from row 2 to row 3
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{2, 3}));
    t.clearUpdateRange();
    h.feed("\n");
    EXPECT_FALSE(t.getUpdateRange()) << "a line feed that does not scroll marks nothing";
}

TEST(Terminal, Lookups) {
    TerminalHarness h(10, 3, 10);
    Terminal& t = h.terminal();
    h.feed("one\r\ntwo\r\nthree\r\nfour");
    EXPECT_EQ(t.getTopVisibleRow(), 1);
    EXPECT_EQ(t.getCursorLocation(), (Terminal::CursorLocation{4, 2}));
    EXPECT_EQ(h.row(*t.getLine(0)), "two");
    EXPECT_FALSE(t.getLine(3));
    EXPECT_FALSE(t.getLine(-1));
    EXPECT_EQ(t.getCharacter(1, 2), "o");
    EXPECT_EQ(t.getCharData(0, 1)->code, 't');
    EXPECT_FALSE(t.getCharData(10, 0));
    EXPECT_FALSE(t.getCharData(-1, 0));
    EXPECT_EQ(h.row(*t.getScrollInvariantLine(0)), "one");
    EXPECT_FALSE(t.getScrollInvariantLine(4));
}

TEST(Terminal, LineFeedsFillTheScrollBackThenRecycle) {
    // Capacity 5: three rows are pushed, then the two oldest recycled.
    TerminalHarness h(10, 2, 3);
    Buffer& b = h.buffer();
    h.feed("\n1\r\n2\r\n3\r\n4\r\n5\r\n6");
    EXPECT_EQ(b.yBase(), 3);
    EXPECT_EQ(b.linesTop, 2);
    EXPECT_EQ(b.yDisp(), 3);
    EXPECT_EQ(h.dumpAll(), "2\n3\n4\n5\n6");
    EXPECT_EQ(h.row(*h.terminal().getScrollInvariantLine(2)), "2");
    EXPECT_FALSE(h.terminal().getScrollInvariantLine(1));
}

TEST(Terminal, ResizeMarksTheScreenAndUpdatesTheOptions) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    t.resize(10, 5);
    EXPECT_FALSE(t.getUpdateRange()) << "the same size does nothing";
    t.resize(1, 0);
    EXPECT_EQ(t.getDims(), (Terminal::Dims{2, 1}));
    EXPECT_EQ(t.options.cols, 2);
    EXPECT_EQ(t.options.rows, 1);
    t.clearUpdateRange();
    t.resize(20, 4);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 3}));
    EXPECT_EQ((std::pair{t.options.cols, t.options.rows}), (std::pair{20, 4}));
    EXPECT_EQ(tabStops(t.normalBuffer()), (std::vector<int>{0, 8, 16}));
    EXPECT_EQ(tabStops(t.altBuffer()), (std::vector<int>{0, 8, 16}));
    EXPECT_EQ(t.buffer().cols(), 20);
    EXPECT_EQ(t.altBuffer().rows(), 4);
    h.feed("\x1b[4H");
    t.resize(20, 2);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 1})) << "rows not drawn before a shrink are gone";
}

TEST(Terminal, ResizeKeepsTheSavedCursorOnItsText) {
    TerminalHarness h(10, 5, 10);
    Buffer& b = h.buffer();
    h.feed("a\r\nb\r\nc\r\nd\r\ne");
    b.savedY = 2; // on "c"
    h.terminal().resize(10, 3);
    EXPECT_EQ(b.y(), 2);
    EXPECT_EQ(b.savedY, 0) << "two rows went into the scroll-back";
}

TEST(Terminal, ChangeScrollback) {
    TerminalHarness h(10, 2, 3);
    Terminal& t = h.terminal();
    t.changeScrollback(std::nullopt);
    EXPECT_EQ(t.options.scrollback, std::nullopt);
    EXPECT_FALSE(t.normalBuffer().hasScrollback());
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 1}));
    t.changeHistorySize(50);
    EXPECT_EQ(t.options.scrollback, 50);
    EXPECT_EQ(t.normalBuffer().lines().maxLength(), 52);
}

TEST(Terminal, ScrollbackSettingsSurviveAFullReset) {
    struct Case {
        const char* name;
        std::optional<int> lines;
        bool reflows;
        int capacity;
    };
    const Case cases[] = {
        {"off stays off", std::nullopt, false, 2},
        {"no lines, still reflowing", 0, true, 2},
        {"some lines", 7, true, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(10, 2, 3);
        Terminal& t = h.terminal();
        t.changeScrollback(c.lines);
        h.feed("\x1b"
               "c");
        EXPECT_EQ(t.options.scrollback, c.lines);
        EXPECT_EQ(t.normalBuffer().isReflowEnabled(), c.reflows);
        EXPECT_EQ(t.normalBuffer().lines().maxLength(), c.capacity);
    }
}

TEST(Terminal, SetupAppliesReplacedOptions) {
    TerminalHarness h(10, 5);
    Terminal& t = h.terminal();
    t.options.cols = 30;
    t.options.rows = 7;
    t.options.convertEol = true;
    t.originMode = true;
    t.insertMode = true;
    t.buffer().insertMode = true;
    t.setup(false);
    EXPECT_EQ(t.getDims(), (Terminal::Dims{30, 7}));
    EXPECT_EQ(t.buffer().cols(), 30);
    EXPECT_EQ(t.buffer().scrollBottom(), 6);
    EXPECT_EQ(t.buffer().marginRight(), 29);
    EXPECT_FALSE(t.originMode);
    EXPECT_FALSE(t.insertMode);
    EXPECT_FALSE(t.buffer().insertMode);
    EXPECT_TRUE(t.lineFeedMode);
    EXPECT_EQ(h.log(), std::vector<std::string>{"mouseModeChanged"});
}

TEST(Terminal, FullReset) {
    TerminalHarness h(10, 4, 10);
    Terminal& t = h.terminal();
    h.feed("one\r\ntwo\r\nthree\r\nfour\r\nfive\r\n");
    t.terminalTitle = "title";
    t.setForegroundColor(Color(1, 2, 3));
    t.cursorHidden = true;
    t.cc.send8bit = true;
    t.applicationCursor = true;
    t.activateAltBuffer(std::nullopt);
    t.buffer().setX(5);
    t.buffer().setY(2);
    h.feed("alt");
    t.setgCharset(0, CharSets::lookup('0'));
    h.log();
    t.clearUpdateRange();

    h.feed("\x1b"
           "c");
    EXPECT_FALSE(t.isCurrentBufferAlternate());
    EXPECT_EQ(h.cursor(), (std::pair{0, 0})) << "RIS homes the cursor";
    EXPECT_EQ(h.dumpAll(), "") << "the normal buffer is new, its scroll-back gone";
    EXPECT_EQ(h.dumpScreen(t.altBuffer()), "\n\n.....alt") << "the alternate buffer keeps its rows";
    EXPECT_TRUE(t.cursorHidden) << "a hidden cursor stays hidden";
    EXPECT_EQ(t.terminalTitle, "title");
    EXPECT_EQ(t.foregroundColor(), Color(1, 2, 3));
    EXPECT_EQ(t.getDims(), (Terminal::Dims{10, 4}));
    EXPECT_FALSE(t.cc.send8bit);
    EXPECT_FALSE(t.applicationCursor);
    EXPECT_EQ(t.charset, nullptr);
    EXPECT_EQ(t.getUpdateRange(), (Terminal::UpdateRange{0, 3}));
    EXPECT_EQ(h.log(), std::vector<std::string>{"mouseModeChanged"});

    h.feed("x");
    EXPECT_EQ(h.dump(), "x");
}

TEST(Terminal, FullResetDropsAHeldUtf8Start) {
    TerminalHarness h(10, 4);
    h.feed("\xC3");
    h.terminal().resetToInitialState();
    h.feed("\xA9");
    EXPECT_EQ(h.dump(), "é") << "resetToInitialState leaves the parser and the print path alone";
    h.feed("\r\n\xC3");
    h.terminal().cmdReset();
    h.feed("\xA9");
    EXPECT_EQ(h.dump(), "©") << "the parser reset drops the held byte; 0xA9 alone prints as Latin-1";
}

TEST(Terminal, AlternateBufferSwitchKeepsTheCursor) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    h.feed("ab\r\ncd");
    t.activateAltBuffer(std::nullopt);
    EXPECT_TRUE(t.isCurrentBufferAlternate());
    EXPECT_EQ(t.altBuffer().lines().count(), 4);
    EXPECT_EQ(h.cursor(), (std::pair{2, 1}));
    h.feed("\r\nxyz");
    t.activateNormalBuffer(true);
    EXPECT_EQ(h.cursor(), (std::pair{3, 2}));
    EXPECT_EQ(h.dump(), "ab\ncd");
    EXPECT_EQ(t.altBuffer().lines().count(), 0) << "cleared";
    EXPECT_EQ(h.log(), std::vector<std::string>{}) << "switches do not tell the delegate";
}

TEST(Terminal, FeedTextHandsOverUtf8) {
    TerminalHarness h(10, 4);
    h.terminal().feed(std::string_view("\u00e9"));
    EXPECT_EQ(h.terminal().getCharData(0, 0)->code, 0xE9);
}

TEST(Terminal, LogGoesToTheDiagnosticsSink) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    {
        DiagnosticsCapture capture;
        t.log("hello");
        const auto entries = capture.takeEntries();
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].severity, DiagnosticSeverity::info);
        EXPECT_EQ(entries[0].kind, DiagnosticKind::unhandledSequence);
        t.silentLog = true;
        t.log("hello");
        EXPECT_TRUE(capture.takeEntries().empty());
        t.silentLog = false;
    }
    // Without a sink installed: standard error, never standard output.
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    t.log("hello");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Info: hello\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(Terminal, DelegateColourDefaultsRunTheObserverOnce) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    const Color c(0x1111, 0x2222, 0x3333);
    h.delegate().setForegroundColor(t, c);
    EXPECT_EQ(t.foregroundColor(), c);
    EXPECT_EQ(h.log(),
              (std::vector<std::string>{"setForegroundColor rgb:1111/2222/3333",
                                        "setForegroundColor rgb:1111/2222/3333", "colorChanged all"}));
    t.setCursorColor(c);
    EXPECT_EQ(t.cursorColor(), c);
    EXPECT_EQ(h.log(), (std::vector<std::string>{"setCursorColor rgb:1111/2222/3333"}));
    EXPECT_EQ(h.delegate().getColors(t), (TerminalColors{c, Color::defaultBackground}));
    h.log();

    t.setAnsi256PaletteStrategy(Ansi256PaletteStrategy::xterm);
    EXPECT_EQ(h.log(), (std::vector<std::string>{"colorChanged all"}));
    t.setBackgroundColor(c);
    EXPECT_EQ(h.log(), (std::vector<std::string>{"setBackgroundColor rgb:1111/2222/3333"}))
        << "the xterm palette does not depend on the default colours";
    EXPECT_EQ(t.ansiColors, Color::generateXtermPalette(t.installedColors));
}

TEST(Terminal, InstallPaletteTakesExactlySixteen) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    std::vector<Color> colors(16, Color(0xFFFF, 0, 0));
    t.installPalette(std::span(colors).first(15));
    EXPECT_NE(t.installedColors, colors);
    t.installPalette(colors);
    EXPECT_EQ(t.installedColors, colors);
    EXPECT_EQ(t.ansiColors[1], Color(0xFFFF, 0, 0));
    EXPECT_EQ(h.log(), std::vector<std::string>{}) << "installation rebuilds without notice";
}

TEST(Terminal, SendResponseJoinsItsItemsIntoOneSend) {
    TerminalHarness h(10, 4);
    Terminal& t = h.terminal();
    t.sendResponse(t.cc.csi(), "?1;2c");
    t.cc.send8bit = true;
    t.sendResponse(t.cc.dcs(), std::vector<uint8_t>{'1', '$', 'r'}, uint8_t('m'), t.cc.st());
    EXPECT_EQ(h.log(), (std::vector<std::string>{"send \\e[?1;2c", "send \\x901$rm\\x9C"}));
    t.tdel = nullptr;
    t.sendResponse("dropped");
    EXPECT_EQ(h.replies(), "\x1b[?1;2c\x90"
                           "1$rm\x9c");
}
