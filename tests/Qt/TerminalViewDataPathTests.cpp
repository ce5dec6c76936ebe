// The data path: coalesced redraws, the rows they invalidate, scrolling and the scroll bar, sending.
#include "ManualExecutor.h"
#include "ScrollMetrics.h"
#include "ViewTestSupport.h"

#include <QScrollBar>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace Tessaline;
using namespace QuillabyTest;
using namespace std::chrono_literals;

namespace {

using Log = std::vector<std::string>;

std::string scrolled(double position) {
    char text[32];
    std::snprintf(text, sizeof text, "scrolled %.3f", position);
    return text;
}

struct ViewFixture {
    ManualExecutor executor;
    TerminalView view;
    RecordingViewDelegate delegate;
    ViewFixture()
        : view(QRect(0, 0, 400, 240), testFont(), nullptr, &executor) {
        view.setTerminalDelegate(&delegate);
    }
    // Prints n numbered lines, the last without a line end.
    void printLines(int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += "line " + std::to_string(i) + (i + 1 < n ? "\r\n" : "");
        view.feed(text);
    }
    int yDisp() { return view.terminal().displayBuffer().yDisp(); }
    int yBase() { return view.terminal().displayBuffer().yBase(); }
};

} // namespace

TEST(TerminalViewDataPath, TenFeedsInABurstGiveOneRedraw1667MsAfterTheFirst) {
    ViewFixture f;
    f.view.updateDisplay(false);
    f.view.setNotifyUpdateChanges(true);
    for (int i = 0; i < 10; ++i) {
        f.view.feed("x");
        f.executor.advance(400us);
    }
    EXPECT_EQ(f.executor.timerCount(), 1u);
    f.executor.advance(16ms - 4ms);
    EXPECT_TRUE(f.delegate.take().empty());
    EXPECT_TRUE(f.view.pendingDisplay());
    f.executor.advance(700us);
    EXPECT_EQ(f.delegate.take(), (Log{"range 0 0"}));
    EXPECT_FALSE(f.view.pendingDisplay());
    EXPECT_EQ(f.view.terminal().refreshEnd, -1);
}

TEST(TerminalViewDataPath, AnIdleViewRedrawsAtOnceAndABusyOneAFrameAfterItsLastRedraw) {
    ViewFixture f;
    f.view.updateDisplay(false);
    f.view.setNotifyUpdateChanges(true);
    // Nothing drawn for a frame: the echo of a key needs no wait.
    f.executor.advance(20ms);
    f.view.feed("a");
    f.executor.runDue();
    EXPECT_EQ(f.delegate.take(), (Log{"range 0 0"}));

    // Within a frame of that redraw the next one waits for the frame to end.
    f.executor.advance(5ms);
    f.view.feed("b");
    f.executor.advance(11ms);
    EXPECT_TRUE(f.delegate.take().empty());
    f.executor.advance(700us);
    EXPECT_EQ(f.delegate.take(), (Log{"range 0 0"}));

    // A frame of quiet later the view is idle again.
    f.executor.advance(40ms);
    f.view.feed("c");
    EXPECT_TRUE(f.view.pendingDisplay());
    f.executor.runDue();
    EXPECT_EQ(f.delegate.take(), (Log{"range 0 0"}));
    EXPECT_FALSE(f.view.pendingDisplay());
}

TEST(TerminalViewDataPath, AFloodOfFeedsRedrawsAtMostOnceAFrame) {
    ViewFixture f;
    f.view.setNotifyUpdateChanges(true);
    std::vector<Executor::Clock::time_point> redraws;
    for (int i = 0; i < 200; ++i) {
        f.view.feed("x");
        f.executor.advance(500us);
        if (!f.delegate.take().empty()) redraws.push_back(f.executor.now());
    }
    // 100 ms of output: the first redraw at once, then one every 16.67 ms.
    ASSERT_GE(redraws.size(), 6u);
    EXPECT_LE(redraws.size(), 7u);
    // Each seen at the end of its 0.5 ms step.
    for (size_t i = 1; i < redraws.size(); ++i)
        EXPECT_GE(redraws[i] - redraws[i - 1], TerminalView::redrawDelay - 500us);
}

TEST(TerminalViewDataPath, ARedrawWithNothingDirtyReportsTheCursorLineOnlyWhenAsked) {
    ViewFixture f;
    f.view.feed("\r\n\r\nab");
    f.view.updateDisplay(true);
    f.view.updateDisplay(true);
    EXPECT_TRUE(f.delegate.take().empty());

    f.view.setNotifyUpdateChanges(true);
    f.view.updateDisplay(true);
    EXPECT_EQ(f.delegate.take(), (Log{"range 2 2"}));
}

TEST(TerminalViewDataPath, DirtyRowsInvalidateTheirBandAndTheLastRowReachesTheBottom) {
    struct Case {
        const char* name;
        int s;
        int e;
        QRectF expected;
    };
    // Ten rows of 16 pixels in a view 165 pixels high: a 5-pixel strip lies below the last row.
    const std::vector<Case> cases = {
        {"middle rows", 2, 3, QRectF(0, 32, 100, 32)},
        {"first row", 0, 0, QRectF(0, 0, 100, 16)},
        {"last row", 9, 9, QRectF(0, 144, 100, 21)},
        {"every row", 0, 9, QRectF(0, 0, 100, 165)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TerminalView::dirtyRowsRect(c.s, c.e, 10, QSizeF(100, 165), 16), c.expected);
    }
}

TEST(TerminalViewDataPath, GpuRedrawsCoverTheDirtyLinesOrTheScreen) {
    struct Case {
        const char* name;
        int s, e, rows, yDisp, lineCount;
        std::optional<std::pair<int, int>> expected;
    };
    const std::vector<Case> cases = {
        {"rows shifted by the top line", 2, 4, 24, 100, 124, std::pair{102, 104}},
        {"held to the last line", 20, 23, 24, 0, 22, std::pair{20, 21}},
        {"a range past the screen covers the screen", 0, 30, 24, 10, 200, std::pair{10, 33}},
        {"no lines", 0, 1, 24, 0, 0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TerminalView::gpuDirtyRange(c.s, c.e, c.rows, c.yDisp, c.lineCount), c.expected);
    }
}

TEST(ScrollMetrics, PositionKnobAndScrollBarSteps) {
    struct Case {
        const char* name;
        ScrollMetrics metrics;
        double position;
        double thumb;
        bool canScroll;
        ScrollerSteps steps;
    };
    const std::vector<Case> cases = {
        {"live screen", {24, 100, 76, true, false}, 1, 0.24, true, {76, 24, 76}},
        {"oldest line", {24, 100, 0, true, false}, 0, 0.24, true, {76, 24, 0}},
        {"half way", {24, 100, 38, true, false}, 0.5, 0.24, true, {76, 24, 38}},
        {"knob never below 1%", {24, 10000, 9976, true, false}, 1, 0.01, true, {9976, 101, 9976}},
        {"no scroll-back yet", {24, 24, 0, true, false}, 0, 1, false, {0, 1, 0}},
        {"no scroll-back kept", {24, 100, 76, false, false}, 1, 0.24, false, {0, 1, 0}},
        {"alternate screen", {24, 24, 0, false, true}, 0, 0, false, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(c.metrics.position(), c.position);
        EXPECT_DOUBLE_EQ(c.metrics.thumbsize(), c.thumb);
        EXPECT_EQ(c.metrics.canScroll(), c.canScroll);
        EXPECT_EQ(ScrollerSteps::of(c.metrics), c.steps);
    }
}

TEST(TerminalViewDataPath, ScrollingMovesTheViewAndTheScrollBarAndTellsTheDelegate) {
    ViewFixture f;
    f.printLines(100);
    f.delegate.take();
    const int rows = f.view.terminal().rows();
    const int live = f.yBase();
    ASSERT_EQ(live, 100 - rows);
    f.view.updateScroller();
    QScrollBar* bar = f.view.scroller();
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), live);
    EXPECT_EQ(bar->value(), live);
    EXPECT_EQ(bar->pageStep(), rows);

    f.view.scrollToPosition(0.0);
    EXPECT_EQ(f.yDisp(), 0);
    EXPECT_EQ(bar->value(), 0);
    f.view.pageDown();
    EXPECT_EQ(f.yDisp(), rows);
    f.view.scrollUp(3);
    EXPECT_EQ(f.yDisp(), rows - 3);
    f.view.pageUp();
    EXPECT_EQ(f.yDisp(), 0);
    f.view.scrollToPosition(1.0);
    EXPECT_EQ(f.yDisp(), live);
    EXPECT_EQ(f.delegate.take(), (Log{scrolled(0), scrolled(double(rows) / live),
                                      scrolled(double(rows - 3) / live), scrolled(0), scrolled(1)}));
}

TEST(TerminalViewDataPath, ScrollingToTheRowShownDoesNothingAndRowsAreHeldToTheScrollBack) {
    ViewFixture f;
    f.printLines(100);
    f.view.updateDisplay(false);
    f.delegate.take();
    f.view.scrollTo(f.yBase());
    EXPECT_TRUE(f.delegate.take().empty());
    EXPECT_EQ(f.view.terminal().refreshEnd, -1);

    // Fault this pins: a row past either end was shown as it stood, lines that do not exist.
    f.view.scrollTo(-5);
    EXPECT_EQ(f.yDisp(), 0);
    f.view.scrollTo(1'000'000);
    EXPECT_EQ(f.yDisp(), f.yBase());
    EXPECT_EQ(f.delegate.take(), (Log{scrolled(0), scrolled(1)}));
}

TEST(TerminalViewDataPath, OnTheAlternateScreenPagesGoToTheProgramAndTheBarRests) {
    ViewFixture f;
    f.printLines(100);
    f.view.feed("\x1b[?1049h");
    f.view.updateScroller();
    EXPECT_FALSE(f.view.scroller()->isEnabled());
    EXPECT_EQ(f.view.scroller()->value(), 0);
    EXPECT_EQ(f.view.scrollPosition(), 0);
    EXPECT_EQ(f.view.scrollThumbsize(), 0);
    EXPECT_FALSE(f.view.canScroll());
    f.delegate.take();

    f.view.pageUp();
    f.view.pageDown();
    EXPECT_EQ(f.delegate.take(), (Log{"send \\e[5~", "send \\e[6~"}));
    EXPECT_EQ(f.yDisp(), 0);
}

TEST(TerminalViewDataPath, FeedingEndsTheSelectionOnlyWhileMouseReportingIsAllowed) {
    ViewFixture f;
    f.view.selection().selectAll();
    f.view.setAllowMouseReporting(false);
    f.view.feed("a");
    EXPECT_TRUE(f.view.selection().active());
    f.view.setAllowMouseReporting(true);
    f.view.feed("b");
    EXPECT_FALSE(f.view.selection().active());
}

TEST(TerminalViewDataPath, SendingScrollsBackToTheCursorButRepliesDoNot) {
    ViewFixture f;
    f.printLines(100);
    f.view.scrollTo(0);
    f.delegate.take();
    // A device-attributes reply goes out as it is.
    f.view.feed("\x1b[5n");
    EXPECT_EQ(f.yDisp(), 0);
    f.view.send(std::string_view("ls"));
    EXPECT_EQ(f.yDisp(), f.yBase());
    EXPECT_EQ(f.delegate.take(), (Log{"send \\e[0n", scrolled(1), "send ls"}));
}

TEST(TerminalViewDataPath, ChangingTheScrollBackRecordsItAndRedraws) {
    ViewFixture f;
    f.printLines(100);
    f.view.changeScrollback(std::nullopt);
    EXPECT_EQ(f.view.terminal().options.scrollback, 0);
    EXPECT_FALSE(f.view.canScroll());
    EXPECT_TRUE(f.view.pendingDisplay());
    f.view.changeScrollback(50);
    EXPECT_EQ(f.view.terminal().options.scrollback, 50);
}
