// The pointer: mouse reports in each mode and encoding, selection gestures, the wheel, and links.
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

using Log = std::vector<std::string>;

constexpr auto Shift = Qt::ShiftModifier;
constexpr auto CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

struct PointerFixture {
    ManualExecutor executor;
    TerminalView view;
    RecordingViewDelegate delegate;
    PointerFixture()
        : view(QRect(0, 0, 400, 240), testFont(), nullptr, &executor) {
        view.setTerminalDelegate(&delegate);
    }
    // The middle of a cell, by its row on screen.
    QPointF cell(int col, int row) const {
        const QSizeF size = view.cellDimension();
        return {size.width() * (col + 0.5), size.height() * (row + 0.5)};
    }
    void mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers) {
        QMouseEvent event(type, at, view.mapToGlobal(at), button, buttons, modifiers);
        QCoreApplication::sendEvent(&view, &event);
    }
    void press(QPointF at, Qt::KeyboardModifiers modifiers = {}) {
        mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
    }
    void release(QPointF at, Qt::KeyboardModifiers modifiers = {}) {
        mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
    }
    void click(QPointF at, Qt::KeyboardModifiers modifiers = {}) {
        press(at, modifiers);
        release(at, modifiers);
    }
    void drag(QPointF at, Qt::KeyboardModifiers modifiers = {}) {
        mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton, modifiers);
    }
    void move(QPointF at, Qt::KeyboardModifiers modifiers = {}) {
        mouse(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, modifiers);
    }
    // The next press starts a new click count.
    void forgetClicks() {
        press(QPointF(-1000, -1000));
        release(QPointF(-1000, -1000));
        view.selectNone();
    }
    Log take() { return delegate.take(); }
};

} // namespace

TEST(TerminalViewPointer, ReportsFollowTheModeAndEncoding) {
    enum class Gesture {
        click,
        shiftClick,
        dragAfterPress,
        move,
    };
    struct Case {
        const char* name;
        const char* setup;
        Gesture gesture;
        Log expected;
        bool allowReporting = true;
    };
    const std::vector<Case> cases = {
        // X10 encoding: ESC [ M, then 32 + button, 33 + column, 33 + row.
        {"1000: press and release", "\x1b[?1000h", Gesture::click, {"send \\e[M !\"", "send \\e[M#!\""}},
        {"1000: Shift adds 4", "\x1b[?1000h", Gesture::shiftClick, {"send \\e[M$!\"", "send \\e[M'!\""}},
        {"9: press only, no modifier bits", "\x1b[?9h", Gesture::shiftClick, {"send \\e[M !\""}},
        {"9: no drag", "\x1b[?9h", Gesture::dragAfterPress, {"send \\e[M !\""}},
        {"1000: no drag", "\x1b[?1000h", Gesture::dragAfterPress, {"send \\e[M !\""}},
        {"1002: drag adds 32", "\x1b[?1002h", Gesture::dragAfterPress, {"send \\e[M !\"", "send \\e[M@\"\""}},
        {"1002: no plain motion", "\x1b[?1002h", Gesture::move, {}},
        {"1003: motion is 35", "\x1b[?1003h", Gesture::move, {"send \\e[MC\"\""}},
        {"1003: motion even without reporting", "\x1b[?1003h", Gesture::move, {"send \\e[MC\"\""}, false},
        {"1000 without reporting selects", "\x1b[?1000h", Gesture::click, {}, false},
        {"SGR", "\x1b[?1000h\x1b[?1006h", Gesture::click, {"send \\e[<0;1;2M", "send \\e[<0;1;2m"}},
        {"SGR with Shift",
         "\x1b[?1000h\x1b[?1006h",
         Gesture::shiftClick,
         {"send \\e[<4;1;2M", "send \\e[<4;1;2m"}},
        {"urxvt", "\x1b[?1000h\x1b[?1015h", Gesture::click, {"send \\e[32;1;2M", "send \\e[35;1;2M"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PointerFixture f;
        f.view.feed(c.setup);
        f.view.setAllowMouseReporting(c.allowReporting);
        f.take();
        const QPointF at = f.cell(0, 1);
        switch (c.gesture) {
        case Gesture::click:
            f.click(at);
            break;
        case Gesture::shiftClick:
            f.click(at, Shift);
            break;
        case Gesture::dragAfterPress:
            f.press(at);
            f.drag(f.cell(1, 1));
            break;
        case Gesture::move:
            f.move(f.cell(1, 1));
            break;
        }
        EXPECT_EQ(f.take(), c.expected);
        // A reported press leaves the selection alone.
        EXPECT_FALSE(f.view.selectionActive());
    }
}

TEST(TerminalViewPointer, ReportsCarryScreenRowsWhenScrolledBackAndClampToTheScreen) {
    PointerFixture f;
    for (int i = 0; i < 60; ++i)
        f.view.feed("line\r\n");
    f.view.feed("\x1b[?1000h\x1b[?1006h");
    f.view.scrollUp(10);
    f.take();
    f.press(f.cell(2, 0));
    // Below the view: the last row of the screen.
    f.press(QPointF(1, f.view.height() + 200));
    // Left of the view: column 0.
    f.press(QPointF(-50, f.cell(0, 3).y()));
    const int rows = f.view.terminal().rows();
    EXPECT_EQ(f.take(),
              (Log{"send \\e[<0;3;1M", "send \\e[<0;1;" + std::to_string(rows) + "M", "send \\e[<0;1;4M"}));
}

TEST(TerminalViewPointer, HitsClampToTheBufferAndTheView) {
    PointerFixture f;
    f.view.feed("a\r\nb\r\nc");
    const int cols = f.view.terminal().cols();
    struct Case {
        const char* name;
        QPointF at;
        Position grid;
    };
    const QSizeF cell = f.view.cellDimension();
    const std::vector<Case> cases = {
        {"inside", f.cell(3, 2), Position(3, 2)},
        {"left of the view", QPointF(-30, cell.height() * 1.5), Position(0, 1)},
        {"right of the view", QPointF(f.view.width() + 30, 1), Position(cols - 1, 0)},
        {"just above the top row", QPointF(1, -cell.height() * 0.5), Position(0, 0)},
        {"far above", QPointF(1, -cell.height() * 5), Position(0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(f.view.calculateMouseHit(c.at).grid, c.grid);
    }
    const TerminalView::MouseHit outside = f.view.calculateMouseHit(QPointF(-5, f.view.height() + 9));
    EXPECT_EQ(outside.pixels, Position(0, f.view.height()));
}

TEST(TerminalViewPointer, ClicksAndDragsSelect) {
    PointerFixture f;
    f.view.feed("hello brave world\r\nsecond row here");

    // Double click: the word.
    f.click(f.cell(7, 0));
    f.click(f.cell(7, 0));
    EXPECT_EQ(f.view.getSelection(), "brave");

    // Triple click: the row.
    f.forgetClicks();
    f.click(f.cell(2, 1));
    f.click(f.cell(2, 1));
    f.click(f.cell(2, 1));
    EXPECT_EQ(f.view.getSelection(), "second row here");

    // A drag selects from its first position; a plain click afterwards clears it.
    f.forgetClicks();
    f.press(f.cell(0, 0));
    f.drag(f.cell(1, 0));
    f.drag(f.cell(4, 0));
    f.release(f.cell(4, 0));
    EXPECT_EQ(f.view.getSelection(), "ell");
    EXPECT_FALSE(f.view.didSelectionDrag());
    f.forgetClicks();
    f.click(f.cell(9, 1));
    EXPECT_FALSE(f.view.selectionActive());
    EXPECT_EQ(f.take(), Log{});
}

TEST(TerminalViewPointer, ShiftClickExtendsAnActiveSelection) {
    PointerFixture f;
    f.view.feed("hello brave world");
    f.view.selection().setSelection(Position(0, 0), Position(5, 0));
    f.click(f.cell(11, 0), Shift);
    EXPECT_EQ(f.view.getSelection(), "hello brave");
}

TEST(TerminalViewPointer, SelectionRunsAcrossWrappedRows) {
    PointerFixture f;
    const int cols = f.view.terminal().cols();
    f.view.feed(std::string(size_t(cols - 3), '.') + "abcdef");
    f.view.selection().setSelection(Position(cols - 3, 0), Position(3, 1));
    EXPECT_EQ(f.view.getSelection(), "abcdef");
}

TEST(TerminalViewPointer, TheWheelScrollsByTheSizeOfTheTurnEvenWithReportsOn) {
    struct Case {
        const char* name;
        std::vector<int> angles;
        int lines;
    };
    PointerFixture probe;
    const int rows = probe.view.terminal().rows();
    const std::vector<Case> cases = {
        {"half a notch, twice", {60, 60}, 1},
        {"half a notch", {60}, 0},
        {"3 notches", {360}, 3},
        {"7 notches", {840}, 10},
        {"12 notches", {1440}, std::max(20, rows)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PointerFixture f;
        for (int i = 0; i < 200; ++i)
            f.view.feed("line\r\n");
        f.view.feed("\x1b[?1000h");
        f.take();
        const int live = f.view.terminal().displayBuffer().yDisp();
        for (int angle : c.angles) {
            QWheelEvent event(f.cell(1, 1), f.view.mapToGlobal(f.cell(1, 1)), QPoint(), QPoint(0, angle),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&f.view, &event);
        }
        EXPECT_EQ(f.view.terminal().displayBuffer().yDisp(), live - c.lines);
        for (const std::string& line : f.take())
            EXPECT_EQ(line.rfind("send", 0), std::string::npos) << line;
        if (c.lines > 0) {
            QWheelEvent back(f.cell(1, 1), f.view.mapToGlobal(f.cell(1, 1)), QPoint(), QPoint(0, -120 * 12),
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&f.view, &back);
            EXPECT_EQ(f.view.terminal().displayBuffer().yDisp(), live);
        }
    }
}

TEST(TerminalViewPointer, HyperlinkPayloadsSplitIntoUrlAndParameters) {
    using Params = TerminalView::LinkParams;
    struct Case {
        const char* payload;
        std::optional<std::pair<std::string, Params>> expected;
    };
    const std::vector<Case> cases = {
        {"id=7:kind=doc;/tmp/notes.txt",
         std::pair{std::string("/tmp/notes.txt"), Params{{"id", "7"}, {"kind", "doc"}}}},
        {";/tmp", std::pair{std::string("/tmp"), Params{}}},
        {"a=b=c;x", std::pair{std::string("x"), Params{}}},
        {"/tmp", std::nullopt},
        {"p;u;v", std::pair{std::string("u"), Params{}}},
        {"id=1:id=2::=;u", std::pair{std::string("u"), Params{{"id", "2"}}}},
        {";", std::pair{std::string(""), Params{}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.payload);
        EXPECT_EQ(TerminalView::urlAndParamsFrom(c.payload), c.expected);
    }
}

TEST(TerminalViewPointer, ThePayloadOfAWideCharactersRightHalfIsItsLeftHalfs) {
    PointerFixture f;
    f.view.feed("\x1b]8;;https://wide.example\x1b\\\xe4\xbd\xa0\x1b]8;;\x1b\\x");
    EXPECT_EQ(f.view.payloadString(Position(0, 0)), ";https://wide.example");
    EXPECT_EQ(f.view.payloadString(Position(1, 0)), ";https://wide.example");
    EXPECT_EQ(f.view.payloadString(Position(2, 0)), std::nullopt);
    // An empty row and a row past the buffer have none.
    EXPECT_EQ(f.view.payloadString(Position(0, 3)), std::nullopt);
    EXPECT_EQ(f.view.payloadString(Position(0, 1000)), std::nullopt);
}

TEST(TerminalViewPointer, LinksOpenOnClickAsTheHighlightModeSays) {
    struct Case {
        const char* name;
        LinkHighlightMode mode;
        // 0: the OSC 8 link, 1: the detected one.
        int row;
        Qt::KeyboardModifiers modifiers;
        Log expected;
    };
    using Mode = LinkHighlightMode;
    const std::vector<Case> cases = {
        {"with the modifier", Mode::hoverWithModifier, 0, CtrlShift, {"openLink https://a.example/doc"}},
        {"without the modifier", Mode::hoverWithModifier, 0, {}, {}},
        {"detected link with the modifier",
         Mode::hoverWithModifier,
         1,
         CtrlShift,
         {"openLink https://b.example"}},
        {"hover", Mode::hover, 1, {}, {"openLink https://b.example"}},
        {"always: explicit", Mode::always, 0, {}, {"openLink https://a.example/doc"}},
        {"always: detected links do not open", Mode::always, 1, {}, {}},
        {"alwaysWithModifier without it", Mode::alwaysWithModifier, 0, {}, {}},
        {"alwaysWithModifier", Mode::alwaysWithModifier, 0, CtrlShift, {"openLink https://a.example/doc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PointerFixture f;
        f.view.feed(
            "\x1b]8;id=7;https://a.example/doc\x1b\\docs\x1b]8;;\x1b\\\r\nsee https://b.example now\r\n");
        f.view.feed("\x1b[?1000h");
        f.view.setLinkHighlightMode(c.mode);
        f.take();
        const QPointF at = f.cell(c.row == 0 ? 1 : 6, c.row);
        f.move(at, c.modifiers);
        f.click(at, c.modifiers);
        Log log = f.take();
        if (c.expected.empty()) {
            // An ordinary click: reported to the program.
            ASSERT_EQ(log.size(), 2u);
        } else {
            // A link click is not reported: only the press.
            ASSERT_EQ(log.size(), 2u);
            EXPECT_EQ(log[1], c.expected[0]);
        }
    }
}

TEST(TerminalViewPointer, TheModifierShowsAPreviewThatStaysUntilReleasedOrLeft) {
    PointerFixture f;
    f.view.feed("\x1b]8;;https://a.example/doc\x1b\\docs\x1b]8;;\x1b\\ plain");
    f.view.commandChanged(true, f.cell(1, 0));
    ASSERT_NE(f.view.urlPreview(), nullptr);
    EXPECT_EQ(f.view.urlPreview()->text(), QStringLiteral("https://a.example/doc"));
    EXPECT_EQ(f.view.urlPreview()->geometry().bottom(), f.view.height() - 1);
    ASSERT_TRUE(f.view.linkHighlightRange());
    EXPECT_EQ(f.view.linkHighlightRange()->size(), 1u);
    EXPECT_TRUE(f.view.hasMouseTracking());

    // Off the link the preview keeps the last URL; the highlight goes.
    f.move(f.cell(8, 0), CtrlShift);
    ASSERT_NE(f.view.urlPreview(), nullptr);
    EXPECT_EQ(f.view.urlPreview()->text(), QStringLiteral("https://a.example/doc"));
    EXPECT_FALSE(f.view.linkHighlightRange());

    f.view.commandChanged(false);
    EXPECT_EQ(f.view.urlPreview(), nullptr);
    EXPECT_FALSE(f.view.commandActive());
    EXPECT_FALSE(f.view.hasMouseTracking());

    f.view.commandChanged(true, f.cell(1, 0));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&f.view, &leave);
    EXPECT_EQ(f.view.urlPreview(), nullptr);
    EXPECT_FALSE(f.view.linkHighlightRange());
}

TEST(TerminalViewPointer, SwitchingTheHighlightModeClearsTheHighlightAndRedrawsEveryRow) {
    PointerFixture f;
    f.view.feed("see https://b.example now\r\nx");
    f.view.setLinkHighlightMode(LinkHighlightMode::hover);
    EXPECT_TRUE(f.view.hasMouseTracking());
    f.view.updateDisplay(false);
    f.move(f.cell(6, 0));
    ASSERT_TRUE(f.view.linkHighlightRange());
    EXPECT_EQ(f.view.terminal().refreshStart, 0);
    f.view.updateDisplay(false);
    f.view.setLinkHighlightMode(LinkHighlightMode::always);
    EXPECT_FALSE(f.view.linkHighlightRange());
    EXPECT_FALSE(f.view.hasMouseTracking());
    EXPECT_EQ(f.view.terminal().refreshStart, 0);
    EXPECT_GE(f.view.terminal().refreshEnd, f.view.terminal().rows() - 1);
    // Programs that want every motion get tracking whatever the mode.
    f.view.feed("\x1b[?1003h");
    EXPECT_TRUE(f.view.hasMouseTracking());
}

TEST(TerminalViewPointer, TheDefaultDelegateOpensOnlyLinksAUserExpects) {
    struct Case {
        const char* link;
        std::optional<QString> opened;
    };
    const std::vector<Case> cases = {
        {"https://example.com/a?b=c", QStringLiteral("https://example.com/a?b=c")},
        {"mailto:someone@example.com", QStringLiteral("mailto:someone@example.com")},
        {"file:///tmp/notes.txt", QStringLiteral("file:///tmp/notes.txt")},
        {"/tmp/notes.txt", QStringLiteral("file:///tmp/notes.txt")},
        {"javascript:alert(1)", std::nullopt},
        {"x-scheme-handler:run", std::nullopt},
        {"not a url at all", std::nullopt},
    };
    std::vector<QString> opened;
    auto saved = TerminalViewDelegate::openUrl();
    TerminalViewDelegate::openUrl() = [&](const QUrl& url) { opened.push_back(url.toString()); };
    PointerFixture f;
    struct Opener : RecordingViewDelegate {
        void requestOpenLink(TerminalView& source, const std::string& link,
                             const std::map<std::string, std::string>& params) override {
            TerminalViewDelegate::requestOpenLink(source, link, params);
        }
    } opener;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        opened.clear();
        opener.requestOpenLink(f.view, c.link, {});
        EXPECT_EQ(opened, c.opened ? std::vector<QString>{*c.opened} : std::vector<QString>{});
    }
    TerminalViewDelegate::openUrl() = saved;
}
