// The view's answers to its terminal: window reports, forwarding to its delegate, the progress bar.
#include "ManualExecutor.h"
#include "TerminalProgressBarView.h"
#include "ViewTestSupport.h"
#include "WindowReports.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

using namespace Tessaline;
using namespace QuillabyTest;
using namespace std::chrono_literals;

namespace {

using Log = std::vector<std::string>;

struct ViewFixture {
    ManualExecutor executor;
    TerminalView view;
    RecordingViewDelegate delegate;
    ViewFixture()
        : view(QRect(0, 0, 400, 240), testFont(), nullptr, &executor) {
        view.setTerminalDelegate(&delegate);
    }
};

std::string text(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

} // namespace

TEST(WindowReports, TextAreaRoundsAndCellSizeTruncates) {
    CC sevenBit;
    CC eightBit{true};
    const QSizeF cell(7.8, 16.5);
    EXPECT_EQ(text(WindowReports::textAreaReport(cell, 2, 80, 24, sevenBit)), "\x1b[4;792;1248t");
    EXPECT_EQ(text(WindowReports::cellSizeReport(cell, 2, sevenBit)), "\x1b[6;33;15t");
    EXPECT_EQ(text(WindowReports::textAreaReport(QSizeF(8, 17), 1, 80, 24, eightBit)), "\x9b"
                                                                                       "4;408;640t");
    EXPECT_EQ(text(WindowReports::cellSizeReport(QSizeF(8, 17), 1, eightBit)), "\x9b"
                                                                               "6;17;8t");
}

TEST(WindowReports, ThePseudoTerminalGetsDevicePixelsHeldToSixteenBits) {
    struct Case {
        const char* name;
        QSizeF cell;
        double scale;
        int cols, rows;
        winsize expected;
    };
    const std::vector<Case> cases = {
        {"scale 1", {8, 17}, 1, 80, 24, {24, 80, 640, 408}},
        {"scale 2 like CSI 14 t", {7.5, 16.5}, 2, 80, 24, {24, 80, 1200, 792}},
        // Fault this pins: sizes past 16 bits wrapped around to small numbers.
        {"held to 16 bits", {8, 17}, 2, 70000, 3000, {3000, 65535, 65535, 65535}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const winsize got = WindowReports::ptyWindowSize(c.cell, c.scale, c.cols, c.rows);
        EXPECT_EQ(got.ws_row, c.expected.ws_row);
        EXPECT_EQ(got.ws_col, c.expected.ws_col);
        EXPECT_EQ(got.ws_xpixel, c.expected.ws_xpixel);
        EXPECT_EQ(got.ws_ypixel, c.expected.ws_ypixel);
    }
}

TEST(TerminalViewCallbacks, SizeReportsAnswerFromTheViewsCellsIn7And8BitControls) {
    ViewFixture f;
    const QSizeF cell = f.view.cellDimension();
    const Terminal& terminal = f.view.terminal();
    const std::string area = std::to_string(std::lround(cell.height() * terminal.rows())) + ";" +
                             std::to_string(std::lround(cell.width() * terminal.cols())) + "t";
    const std::string one =
        std::to_string(int(cell.height())) + ";" + std::to_string(int(cell.width())) + "t";
    f.view.feed("\x1b[14t\x1b[16t\x1b G\x1b[14t");
    EXPECT_EQ(f.delegate.take(), (Log{"send \\e[4;" + area, "send \\e[6;" + one, "send \\x9B4;" + area}));
    const std::optional<CellPixelSize> pixels = f.view.cellSizeInPixels(f.view.terminal());
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width, std::lround(cell.width()));
    EXPECT_EQ(pixels->height, std::lround(cell.height()));
}

TEST(TerminalViewCallbacks, TitlesBellsAndDirectoriesReachTheDelegateInOrder) {
    ViewFixture f;
    f.view.feed("\x1b]0;hello\x07\x07\x1b]7;file:///tmp\x07\x1b]1;icon\x07");
    EXPECT_EQ(f.delegate.take(), (Log{"title hello", "bell", "directory file:///tmp"}));

    // Without a delegate the same calls are dropped.
    {
        RecordingViewDelegate gone;
        f.view.setTerminalDelegate(&gone);
    }
    f.view.feed("\x1b]0;again\x07\x07");
    EXPECT_EQ(f.view.terminalDelegate(), nullptr);
}

TEST(TerminalProgressBar, ReportsShowTheirStateValueAndColour) {
    struct Case {
        const char* name;
        std::vector<ProgressReport> reports;
        bool visible;
        std::optional<uint8_t> progress;
        QColor color;
    };
    const QColor accent = QPalette().color(QPalette::Highlight);
    const QColor orange(255, 149, 0);
    const QColor red(255, 59, 48);
    using S = ProgressReportState;
    const std::vector<Case> cases = {
        {"set without a value is empty", {{S::set, {}}}, true, 0, accent},
        {"pause after 40 keeps 40", {{S::set, 40}, {S::pause, {}}}, true, 40, orange},
        {"pause with nothing before is full", {{S::pause, {}}}, true, 100, orange},
        {"error after 70 keeps 70", {{S::set, 70}, {S::error, {}}}, true, 70, red},
        {"error with nothing before slides", {{S::error, {}}}, true, std::nullopt, red},
        {"indeterminate keeps the last value for later",
         {{S::set, 30}, {S::indeterminate, {}}, {S::pause, {}}},
         true,
         30,
         orange},
        {"remove hides", {{S::set, 50}, {S::remove, {}}}, false, std::nullopt, {}},
        {"after a remove the last value is forgotten",
         {{S::set, 50}, {S::remove, {}}, {S::pause, {}}},
         true,
         100,
         orange},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ViewFixture f;
        for (const ProgressReport& report : c.reports)
            f.view.progressReport(f.view.terminal(), report);
        TerminalProgressBarView* bar = f.view.progressBarView();
        EXPECT_EQ(!bar->isHidden(), c.visible);
        if (!c.visible) continue;
        EXPECT_EQ(bar->progress(), c.progress);
        EXPECT_EQ(bar->barColor(), c.color);
    }
}

TEST(TerminalProgressBar, ABarIsAStripAtTheTopThatSlidesWhenIndeterminateAndIgnoresClicks) {
    ViewFixture f;
    TerminalProgressBarView* bar = f.view.progressBarView();
    EXPECT_EQ(bar->geometry(), QRect(0, 0, 400, 2));
    f.view.progressReport(f.view.terminal(), {ProgressReportState::set, 40});
    EXPECT_EQ(bar->barTargetRect(), QRectF(0, 0, 160, 2));
    EXPECT_FALSE(bar->trackVisible());
    EXPECT_FALSE(bar->isSliding());

    f.view.progressReport(f.view.terminal(), {ProgressReportState::indeterminate, {}});
    EXPECT_EQ(bar->barRect().width(), 100);
    EXPECT_TRUE(bar->trackVisible());
    EXPECT_TRUE(bar->isSliding());

    EXPECT_EQ(f.view.childAt(10, 1), nullptr);
}

TEST(TerminalProgressBar, TheBarClearsFifteenSecondsAfterTheLastReport) {
    ViewFixture f;
    TerminalProgressBarView* bar = f.view.progressBarView();
    f.view.progressReport(f.view.terminal(), {ProgressReportState::set, 60});
    f.executor.advance(14s);
    f.view.progressReport(f.view.terminal(), {ProgressReportState::set, 70});
    f.executor.advance(14s);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(f.executor.timerCount(), 1u);
    f.executor.advance(1s);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_EQ(f.executor.timerCount(), 0u);
    // The value went with it.
    f.view.progressReport(f.view.terminal(), {ProgressReportState::pause, {}});
    EXPECT_EQ(bar->progress(), 100);
}

TEST(TerminalProgressBar, AReportFromTheProgramReachesTheBar) {
    ViewFixture f;
    f.view.feed("\x1b]9;4;1;25\x07");
    EXPECT_FALSE(f.view.progressBarView()->isHidden());
    EXPECT_EQ(f.view.progressBarView()->progress(), 25);
}
