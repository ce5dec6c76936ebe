// Replies to the program: device attributes, status reports, settings reports, 7-bit and 8-bit
// introducers; the cursor style, the soft reset and the CSI ... p router.
#include "DiagnosticsCapture.h"
#include "TerminalHarness.h"

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace Tessaline::Testing;

namespace {

struct ReplyCase {
    const char* name;
    const char* input;
    const char* reply;
};

void expectReplies(std::initializer_list<ReplyCase> cases, int cols = 80, int rows = 24) {
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h(cols, rows);
        h.terminal().silentLog = true;
        h.feed(c.input);
        EXPECT_EQ(FakeDelegate::escape(h.replies()), FakeDelegate::escape(c.reply));
    }
}

} // namespace

TEST(TerminalReports, DeviceAttributes) {
    expectReplies({
        {"primary", "\x1b[c", "\x1b[?65;4;1;2;6;21;22;17;28c"},
        {"primary with 0", "\x1b[0c", "\x1b[?65;4;1;2;6;21;22;17;28c"},
        {"secondary", "\x1b[>c", "\x1b[>65;20;1c"},
        {"secondary with 0", "\x1b[>0c", "\x1b[>65;20;1c"},
        {"tertiary: no answer", "\x1b[=c", ""},
        {"a parameter: no answer", "\x1b[1c", ""},
        {"secondary with a parameter: no answer", "\x1b[>1c", ""},
        {"8-bit", "\x1b G\x1b[>c", "\x9b>65;20;1c"},
        {"back to 7-bit", "\x1b G\x1b F\x1b[>c", "\x1b[>65;20;1c"},
    });

    struct NameCase {
        const char* termName;
        bool sixel;
        const char* reply;
    };
    const NameCase names[] = {
        {"xterm-256color", false, "\x1b[?65;1;2;6;21;22;17;28c"},
        {"xterm", true, "\x1b[?65;4;1;2;6;21;22;17;28c"},
        {"screen-256color", true, "\x1b[?1;2c"},
        {"rxvt-unicode", true, "\x1b[?1;2c"},
        {"linux", true, "\x1b[?6c"},
        {"vt100", true, ""},
    };
    for (const NameCase& c : names) {
        SCOPED_TRACE(c.termName);
        TerminalOptions options;
        options.termName = c.termName;
        options.enableSixelReported = c.sixel;
        TerminalHarness h(options);
        h.feed("\x1b[c\x1b[>c");
        EXPECT_EQ(FakeDelegate::escape(h.replies()),
                  FakeDelegate::escape(std::string(c.reply) + "\x1b[>65;20;1c"));
    }
}

TEST(TerminalReports, DeviceAttributesLogAParameter) {
    TerminalHarness h;
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed("\x1b[>1;2c"); }),
              std::vector{DiagnosticKind::unhandledSequence});
}

TEST(TerminalReports, DeviceStatus) {
    expectReplies({
        {"status", "\x1b[5n", "\x1b[0n"},
        {"status, 8-bit", "\x1b G\x1b[5n",
         "\x9b"
         "0n"},
        {"cursor position", "\r\n\nabc\x1b[6n", "\x1b[3;4R"},
        {"cursor position, 8-bit", "\x1b G\x1b[6n",
         "\x9b"
         "1;1R"},
        {"extended cursor position", "\r\nab\x1b[?6n", "\x1b[?2;3;1R"},
        {"printer", "\x1b[?15n", "\x1b[?10n"},
        {"user-defined keys", "\x1b[?25n", "\x1b[?21n"},
        {"keyboard", "\x1b[?26n", "\x1b[?27;1;0;0n"},
        {"locator", "\x1b[?55n", "\x1b[?53n"},
        {"locator type", "\x1b[?56n", "\x1b[?57;1n"},
        {"macro space", "\x1b[?62n", "\x1b[0*{"},
        {"checksum with id", "\x1b[?63;7n", "\x1bP7!~0000\x1b\\"},
        {"checksum without id", "\x1b[?63n", "\x1bP0!~0000\x1b\\"},
        {"checksum, 8-bit", "\x1b G\x1b[?63;2n",
         "\x90"
         "2!~0000\x9c"},
        {"data integrity", "\x1b[?75n", "\x1b[?70n"},
        {"multiple sessions", "\x1b[?85n", "\x1b[?83n"},
        {"unknown", "\x1b[7n\x1b[?5n\x1b[?99n", ""},
        {"other intermediates", "\x1b[>5n\x1b[>6n", ""},
    });
}

TEST(TerminalReports, CursorPositionInOriginModeAndAtTheEdge) {
    struct Case {
        const char* name;
        bool originMode;
        bool marginMode;
        int top;
        int left;
        int x;
        int y;
        const char* reply;
    };
    const Case cases[] = {
        {"origin mode: on the region's top row", true, false, 5, 0, 0, 5, "\x1b[1;1R\x1b[?1;1;1R"},
        {"origin mode: above the region", true, false, 5, 0, 2, 2, "\x1b[1;3R\x1b[?-2;3;1R"},
        {"origin mode without margin mode", true, false, 0, 10, 12, 0, "\x1b[1;3R\x1b[?1;13;1R"},
        {"origin and margin mode", true, true, 0, 10, 12, 0, "\x1b[1;3R\x1b[?1;3;1R"},
        {"left of the margin", true, true, 0, 10, 3, 0, "\x1b[1;1R\x1b[?1;1;1R"},
        {"no origin mode", false, true, 5, 10, 12, 7, "\x1b[8;13R\x1b[?8;13;1R"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalHarness h;
        Terminal& t = h.terminal();
        t.originMode = c.originMode;
        t.marginMode = c.marginMode;
        h.buffer().setScrollTop(c.top);
        h.buffer().setMarginLeft(c.left);
        h.buffer().setX(c.x);
        h.buffer().setY(c.y);
        h.feed("\x1b[6n\x1b[?6n");
        EXPECT_EQ(FakeDelegate::escape(h.replies()), FakeDelegate::escape(c.reply));
    }

    // The pending-wrap column used to report as column cols + 1: it reports the last column.
    TerminalHarness h(10, 5);
    h.feed("0123456789");
    EXPECT_EQ(h.cursor(), std::make_pair(10, 0));
    h.feed("\x1b[6n\x1b[?6n");
    EXPECT_EQ(h.replies(), "\x1b[1;10R\x1b[?1;10;1R");
}

TEST(TerminalReports, SettingsRequests) {
    expectReplies({
        {"SGR default", "\x1bP$qm\x1b\\", "\x1bP1$r0m\x1b\\"},
        {"SGR bold and red", "\x1b[1;31m\x1bP$qm\x1b\\", "\x1bP1$r0;1;31m\x1b\\"},
        {"SGR true colour background", "\x1b[48;2;1;2;3m\x1bP$qm\x1b\\", "\x1bP1$r0;48;2;1;2;3m\x1b\\"},
        {"scroll region", "\x1bP$qr\x1b\\", "\x1bP1$r1;24r\x1b\\"},
        {"margins", "\x1bP$qs\x1b\\", "\x1bP1$r1;80s\x1b\\"},
        {"cursor style", "\x1b[5 q\x1bP$q q\x1b\\", "\x1bP1$r2 q\x1b\\"},
        {"protection", "\x1bP$q\"q\x1b\\", "\x1bP1$r\"q\x1b\\"},
        {"conformance", "\x1bP$q\"p\x1b\\", "\x1bP1$r65;1\"p\x1b\\"},
        {"unknown", "\x1bP$qx\x1b\\", "\x1bP0$r\x1b\\"},
        {"empty", "\x1bP$q\x1b\\", "\x1bP0$r\x1b\\"},
        {"a known request with more", "\x1bP$qmm\x1b\\", "\x1bP0$r\x1b\\"},
        {"not ASCII", "\x1bP$q\xc3\xa9\x1b\\", "\x1bP0$r\x1b\\"},
        {"8-bit", "\x1b G\x1bP$qr\x1b\\",
         "\x90"
         "1$r1;24r\x9c"},
        {"8-bit unknown", "\x1b G\x1bP$qx\x1b\\",
         "\x90"
         "0$r\x9c"},
        {"other DCS: no answer", "\x1bP+qm\x1b\\", ""},
    });

    TerminalHarness h;
    h.buffer().setScrollTop(2);
    h.buffer().setScrollBottom(9);
    h.buffer().setMarginLeft(4);
    h.buffer().setMarginRight(39);
    h.feed("\x1bP$qr\x1b\\\x1bP$qs\x1b\\");
    EXPECT_EQ(h.replies(), "\x1bP1$r3;10r\x1b\\\x1bP1$r5;40s\x1b\\");
}

TEST(TerminalReports, SettingsRequestLogsAndBounds) {
    TerminalHarness h;
    DiagnosticsCapture capture;
    h.feed("\x1bP$qxy\x1b\\\x1bP$q\xff\x1b\\");
    EXPECT_EQ(capture.takeKinds(), std::vector{DiagnosticKind::unhandledSequence})
        << "not ASCII: not reported";

    // A request is kept only up to its bound, and still answered.
    const std::string longRequest(100'000, 'm');
    h.replies();
    h.feed("\x1bP$q" + longRequest + "\x1b\\");
    EXPECT_EQ(h.replies(), "\x1bP0$r\x1b\\");
    const auto entries = capture.takeEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].text.ends_with(" " + std::string(Terminal::DECRQSS::maxRequestLength, 'm')));
}

TEST(TerminalReports, CursorStyle) {
    struct Case {
        const char* name;
        CursorStyle from;
        const char* input;
        CursorStyle expected;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"0 is blinking block",
         CursorStyle::steadyBar,
         "\x1b[0 q",
         CursorStyle::blinkBlock,
         {"cursorStyleChanged blinkBlock"}},
        {"1", CursorStyle::steadyBar, "\x1b[1 q", CursorStyle::blinkBlock, {"cursorStyleChanged blinkBlock"}},
        {"2",
         CursorStyle::blinkBlock,
         "\x1b[2 q",
         CursorStyle::steadyBlock,
         {"cursorStyleChanged steadyBlock"}},
        {"3",
         CursorStyle::blinkBlock,
         "\x1b[3 q",
         CursorStyle::blinkUnderline,
         {"cursorStyleChanged blinkUnderline"}},
        {"4",
         CursorStyle::blinkBlock,
         "\x1b[4 q",
         CursorStyle::steadyUnderline,
         {"cursorStyleChanged steadyUnderline"}},
        {"5", CursorStyle::blinkBlock, "\x1b[5 q", CursorStyle::blinkBar, {"cursorStyleChanged blinkBar"}},
        {"6", CursorStyle::blinkBlock, "\x1b[6 q", CursorStyle::steadyBar, {"cursorStyleChanged steadyBar"}},
        {"the same style: no notice", CursorStyle::steadyBlock, "\x1b[2 q", CursorStyle::steadyBlock, {}},
        {"7: nothing", CursorStyle::blinkBlock, "\x1b[7 q", CursorStyle::blinkBlock, {}},
        {"no intermediate: nothing", CursorStyle::blinkBlock, "\x1b[2q", CursorStyle::blinkBlock, {}},
        {"other intermediates: nothing",
         CursorStyle::blinkBlock,
         "\x1b[2$q\x1b[?2 q",
         CursorStyle::blinkBlock,
         {}},
        {"two changes",
         CursorStyle::blinkBlock,
         "\x1b[6 q\x1b[4 q",
         CursorStyle::steadyUnderline,
         {"cursorStyleChanged steadyBar", "cursorStyleChanged steadyUnderline"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TerminalOptions options;
        options.cursorStyle = c.from;
        TerminalHarness h(options);
        h.feed(c.input);
        EXPECT_EQ(h.terminal().options.cursorStyle, c.expected);
        EXPECT_EQ(h.log(), c.log);
    }
}

TEST(TerminalReports, CursorStyleNoticeSeesTheOldStyle) {
    struct Watcher : FakeDelegate {
        std::vector<CursorStyle> seen;
        void cursorStyleChanged(Terminal& source, CursorStyle newStyle) override {
            seen.push_back(source.options.cursorStyle);
            FakeDelegate::cursorStyleChanged(source, newStyle);
        }
    };
    Watcher watcher;
    Terminal t(&watcher, TerminalOptions());
    t.setCursorStyle(CursorStyle::steadyBar);
    EXPECT_EQ(watcher.seen, std::vector<CursorStyle>{CursorStyle::blinkBlock});
    EXPECT_EQ(t.options.cursorStyle, CursorStyle::steadyBar);
}

TEST(TerminalReports, SoftReset) {
    TerminalHarness h(20, 10);
    Terminal& t = h.terminal();
    Buffer& b = h.buffer();
    h.feed("ab\x1b[1;31m\x1b]4;1;#123456\x07");
    t.cursorHidden = true;
    t.originMode = true;
    t.insertMode = true;
    t.normalBuffer().insertMode = true;
    t.altBuffer().insertMode = true;
    t.wraparound = false;
    t.normalBuffer().wraparound = false;
    t.altBuffer().wraparound = false;
    t.reverseWraparound = true;
    t.applicationKeypad = true;
    t.applicationCursor = true;
    t.marginMode = true;
    b.setScrollTop(2);
    b.setScrollBottom(5);
    b.setMarginLeft(3);
    b.setMarginRight(9);
    b.savedX = 4;
    b.savedY = 3;
    b.savedAttr =
        Attribute(Attribute::Color::ansi256(3), Attribute::Color::defaultColor(), CharacterStyle::bold);
    b.savedOriginMode = true;
    t.setgLevel(1);
    t.conformance = Terminal::TerminalConformance::vt100;
    t.hyperLinkTracking = Terminal::HyperLinkTracking{Position(0, 0), "link"};
    t.lineFeedMode = true;
    h.log();

    h.feed("\x1b[!p");

    EXPECT_EQ(h.log(), (std::vector<std::string>{"colorChanged all", "showCursor"}));
    EXPECT_FALSE(t.cursorHidden);
    EXPECT_FALSE(t.originMode);
    EXPECT_FALSE(t.insertMode);
    EXPECT_FALSE(t.normalBuffer().insertMode) << "the buffers' copies, which writing reads, follow";
    EXPECT_FALSE(t.altBuffer().insertMode);
    EXPECT_TRUE(t.wraparound);
    EXPECT_TRUE(t.normalBuffer().wraparound);
    EXPECT_TRUE(t.altBuffer().wraparound);
    EXPECT_FALSE(t.reverseWraparound);
    EXPECT_FALSE(t.applicationKeypad);
    EXPECT_FALSE(t.applicationCursor);
    EXPECT_TRUE(t.marginMode) << "left alone";
    EXPECT_EQ(b.scrollTop(), 0);
    EXPECT_EQ(b.scrollBottom(), 9);
    EXPECT_EQ(b.marginLeft(), 0);
    EXPECT_EQ(b.marginRight(), 19);
    EXPECT_EQ(b.savedX, 0);
    EXPECT_EQ(b.savedY, 0);
    EXPECT_EQ(b.savedAttr, Attribute::defaultAttribute());
    EXPECT_FALSE(b.savedOriginMode);
    EXPECT_EQ(t.currentAttribute(), Attribute::defaultAttribute());
    EXPECT_EQ(t.gLevel, 0);
    EXPECT_EQ(t.charset, nullptr);
    EXPECT_EQ(t.conformance, Terminal::TerminalConformance::vt500);
    EXPECT_FALSE(t.hyperLinkTracking);
    EXPECT_FALSE(t.lineFeedMode) << "back to options.convertEol";
    EXPECT_EQ(t.ansiColors, t.defaultAnsiColors);
    EXPECT_EQ(h.cursor(), std::make_pair(2, 0)) << "the cursor stays";
    EXPECT_EQ(h.dump(), "ab");

    // Typing after it overwrites: insert mode is off in the buffer too.
    h.feed("\rX");
    EXPECT_EQ(h.dump(), "Xb");

    // The cursor notice comes also when it was visible.
    h.feed("\x1b[!p");
    EXPECT_EQ(h.log(), (std::vector<std::string>{"colorChanged all", "showCursor"}));
}

TEST(TerminalReports, CsiPRouter) {
    TerminalHarness h;
    EXPECT_EQ(TerminalHarness::captureDiagnostics([&] { h.feed("\x1b[>1p\x1b[p\x1b[1;2#p"); }),
              std::vector<DiagnosticKind>(3, DiagnosticKind::unhandledSequence));
    EXPECT_EQ(h.replies(), "");
    // The two mode requests.
    h.feed("\x1b[?7$p\x1b[4$p");
    EXPECT_EQ(h.replies(), "\x1b[?7;1$y\x1b[4;2$y");
}

TEST(TerminalReports, SendResponseJoinsItems) {
    TerminalHarness h;
    const std::vector<uint8_t> bytes{0x1b, '['};
    h.terminal().sendResponse(bytes, "12", uint8_t(';'), std::string("3"), std::string_view("R"));
    EXPECT_EQ(h.log(), std::vector<std::string>{"send \\e[12;3R"});
    h.terminal().sendResponse("text");
    EXPECT_EQ(h.replies(), "\x1b[12;3Rtext");

    Terminal alone(nullptr, TerminalOptions());
    alone.feed("\x1b[c\x1b[6n\x1bP$qm\x1b\\"); // built and dropped
}
