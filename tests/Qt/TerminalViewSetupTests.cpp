// View set-up: cell size, the terminal's size from the frame and the font, and the colour model.
#include "CellMetrics.h"
#include "ColorConversion.h"
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QScrollBar>

#include <gtest/gtest.h>

#include <cmath>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

// A view whose timers run only when the test says.
struct ViewFixture {
    ManualExecutor executor;
    TerminalView view;
    explicit ViewFixture(QRect frame = QRect(0, 0, 400, 240), QFont font = testFont())
        : view(frame, font, nullptr, &executor) {}
};

} // namespace

TEST(CellMetrics, CellSizesAreWholeDevicePixels) {
    struct Case {
        const char* name;
        FontMeasures measures;
        double scale;
        QSizeF expected;
    };
    const std::vector<Case> cases = {
        {"scale 1 rounds up", {11.1, 2.9, 0, 8.43}, 1, {9, 14}},
        {"scale 2 keeps half pixels", {11.1, 2.9, 0.5, 8.43}, 2, {8.5, 15}},
        {"height rounded to a logical pixel first", {7.3, 2.2, 0, 7.8}, 2, {8, 10}},
        {"scale 1.5", {12.2, 3.1, 0, 7.8}, 1.5, {8, 16}},
        {"at least one pixel", {0.2, 0.2, 0.1, 0.3}, 1, {1, 1}},
        {"height capped at 8192", {9000, 10, 0, 8}, 1, {8, 8192}},
        {"no advance", {10, 3, 0, std::nan("")}, 1, {1, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CellMetrics::cellSize(c.measures, c.scale), c.expected);
    }
}

TEST(TerminalViewSetup, TheFrameGivesTheTerminalItsSizeAndATinyFrameTheMinimum) {
    ViewFixture normal;
    const QSizeF cell = normal.view.cellDimension();
    EXPECT_EQ(cell, CellMetrics::cellSize(FontMeasures::of(testFont()), 1));
    EXPECT_EQ(normal.view.terminal().cols(), int((400 - normal.view.scrollerWidth()) / cell.width()));
    EXPECT_EQ(normal.view.terminal().rows(), int(240 / cell.height()));

    ViewFixture tiny(QRect(0, 0, 3, 2));
    EXPECT_EQ(tiny.view.terminal().cols(), 2);
    EXPECT_EQ(tiny.view.terminal().rows(), 1);
}

TEST(TerminalViewSetup, TheTerminalStartsWithTheViewsOptionsAndColours) {
    ViewFixture f;
    const TerminalOptions& options = f.view.terminal().options;
    EXPECT_EQ(options.termName, "xterm-256color");
    EXPECT_EQ(options.scrollback, 500);
    EXPECT_EQ(options.cursorStyle, CursorStyle::blinkBlock);
    EXPECT_EQ(options.kittyImageCacheLimitBytes, 335544320);
    EXPECT_EQ(options.ansi256PaletteStrategy, Ansi256PaletteStrategy::base16Lab);
    EXPECT_EQ(terminalColor(f.view.nativeForegroundColor()), Color::defaultForeground);
    EXPECT_EQ(terminalColor(f.view.nativeBackgroundColor()), Color::defaultBackground);
    EXPECT_EQ(f.view.terminal().executor, &f.executor);
}

TEST(TerminalViewSetup, AFrameResizeReportsTheMinimumNotZero) {
    ViewFixture f;
    RecordingViewDelegate delegate;
    f.view.setTerminalDelegate(&delegate);
    EXPECT_TRUE(f.view.processSizeChange(QSizeF(1, 1)));
    EXPECT_EQ(delegate.take(), (std::vector<std::string>{"sizeChanged 2x1"}));
    // The same tiny frame again is no change.
    EXPECT_FALSE(f.view.processSizeChange(QSizeF(1, 1)));
    EXPECT_TRUE(delegate.take().empty());
}

TEST(TerminalViewSetup, AFontChangeResizesTheTerminalBesideTheScrollBarAndEndsTheSelection) {
    ViewFixture f(QRect(0, 0, 400, 240), testFont(14));
    RecordingViewDelegate delegate;
    f.view.setTerminalDelegate(&delegate);
    f.view.selection().selectAll();
    ASSERT_TRUE(f.view.selection().active());

    f.view.setFont(testFont(20));
    const QSizeF cell = f.view.cellDimension();
    EXPECT_EQ(cell, CellMetrics::cellSize(FontMeasures::of(testFont(20)), 1));
    // Fault this pins: the font change counted columns over the whole width, so the last one lay under
    // the scroll bar until the next frame change.
    const int cols = int((400 - f.view.scrollerWidth()) / cell.width());
    EXPECT_EQ(f.view.terminal().cols(), cols);
    EXPECT_EQ(f.view.terminal().rows(), int(240 / cell.height()));
    EXPECT_FALSE(f.view.selection().active());
    EXPECT_EQ(delegate.take(), (std::vector<std::string>{"sizeChanged " + std::to_string(cols) + "x" +
                                                         std::to_string(int(240 / cell.height()))}));
    // A frame resize to the same frame is then no change.
    EXPECT_FALSE(f.view.processSizeChange(QSizeF(400, 240)));
}

TEST(TerminalViewSetup, ResetFontSizeChangesTheFacesOnly) {
    ViewFixture f(QRect(0, 0, 400, 240), testFont(20));
    const QSizeF cell = f.view.cellDimension();
    const int cols = f.view.terminal().cols();
    f.view.resetFontSize();
    EXPECT_EQ(f.view.font(), TerminalView::defaultFont());
    EXPECT_EQ(f.view.cellDimension(), cell);
    EXPECT_EQ(f.view.terminal().cols(), cols);
}

TEST(TerminalViewSetup, PaletteIndexesOfBoldAndBrightColours) {
    struct Case {
        const char* name;
        uint8_t code;
        bool bold;
        bool bright;
        int index;
    };
    const std::vector<Case> cases = {
        {"bold red brightens", 1, true, true, 9},
        {"bold 6 brightens", 6, true, true, 14},
        {"bold 7 stays", 7, true, true, 7},
        {"bright blue bold", 12, true, true, 12},
        {"bright blue", 12, false, true, 12},
        {"plain red", 1, false, true, 1},
        {"no brightening: 9 is 1", 9, false, false, 1},
        {"no brightening: bold 1", 1, true, false, 1},
        {"no brightening: 196", 196, false, false, 196},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TerminalView::paletteIndex(c.code, c.bold, c.bright), c.index);
    }
}

TEST(TerminalViewSetup, MapColorResolvesEveryKindThroughItsCaches) {
    ViewFixture f;
    Terminal& terminal = f.view.terminal();
    EXPECT_EQ(f.view.mapColor(Attribute::Color::ansi256(1), true, true, true),
              qColor(terminal.ansiColors[9]));
    EXPECT_EQ(f.view.mapColor(Attribute::Color::ansi256(200), false, false, true),
              qColor(terminal.ansiColors[200]));
    EXPECT_EQ(f.view.mapColor(Attribute::Color::trueColor(10, 20, 30), true, false, true),
              QColor(10, 20, 30));
    EXPECT_EQ(f.view.mapColor(Attribute::Color::defaultColor(), true, false, true),
              f.view.nativeForegroundColor());
    EXPECT_EQ(f.view.mapColor(Attribute::Color::defaultColor(), false, false, true),
              f.view.nativeBackgroundColor());
    EXPECT_EQ(f.view.mapColor(Attribute::Color::defaultInvertedColor(), false, false, true),
              QColor(Qt::white));

    // A palette change by the program drops the cached entry.
    f.view.feed("\x1b]4;1;rgb:ff/00/00\x07");
    EXPECT_EQ(f.view.mapColor(Attribute::Color::ansi256(1), true, false, true), QColor(255, 0, 0));
}

TEST(TerminalViewSetup, TheTruecolourCacheStaysBounded) {
    // Fault this pins: every distinct 24-bit colour stayed cached, so a program painting with millions
    // of colours grew the view by hundreds of megabytes.
    ViewFixture f;
    for (int i = 0; i < 70000; ++i)
        f.view.mapColor(Attribute::Color::trueColor(uint8_t(i >> 16), uint8_t(i >> 8), uint8_t(i)), true,
                        false, true);
    EXPECT_LE(f.view.trueColorCacheSize(), 65536u);
    EXPECT_EQ(f.view.mapColor(Attribute::Color::trueColor(1, 2, 3), true, false, true), QColor(1, 2, 3));
}

TEST(TerminalViewSetup, InstallColorsTakesExactlySixteenAndAlwaysDropsTheCaches) {
    ViewFixture f;
    Terminal& terminal = f.view.terminal();
    const std::vector<Color> before = terminal.installedColors;
    f.view.mapColor(Attribute::Color::ansi256(2), true, false, true);
    terminal.ansiColors[2] = Color::fromRgb8(1, 2, 3);

    f.view.installColors(std::vector<Color>(8, Color::fromRgb8(9, 9, 9)));
    EXPECT_EQ(terminal.installedColors, before);
    EXPECT_EQ(f.view.mapColor(Attribute::Color::ansi256(2), true, false, true), QColor(1, 2, 3));
    EXPECT_TRUE(f.view.pendingDisplay());

    std::vector<Color> sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.push_back(Color::fromRgb8(uint16_t(i * 10), 0, 0));
    f.view.installColors(sixteen);
    EXPECT_EQ(terminal.installedColors, sixteen);
    EXPECT_EQ(f.view.mapColor(Attribute::Color::ansi256(5), true, false, true), QColor(50, 0, 0));
}

TEST(TerminalViewSetup, NativeColoursAndTheTerminalsColoursMoveTogetherOnce) {
    struct CountingView : TerminalView {
        using TerminalView::TerminalView;
        int foregroundCalls = 0;
        void setForegroundColor(Terminal& source, const Color& color) override {
            ++foregroundCalls;
            TerminalView::setForegroundColor(source, color);
        }
    };
    ManualExecutor executor;
    CountingView view(QRect(0, 0, 400, 240), testFont(), nullptr, &executor);
    view.foregroundCalls = 0;

    view.setNativeForegroundColor(QColor(10, 20, 30));
    EXPECT_EQ(view.foregroundCalls, 1);
    EXPECT_EQ(view.terminal().foregroundColor(), Color::fromRgb8(10, 20, 30));
    EXPECT_EQ(view.nativeForegroundColor(), QColor(10, 20, 30));

    // And the other way: the program sets the default background.
    view.feed("\x1b]11;rgb:1234/5678/9abc\x07");
    EXPECT_EQ(view.nativeBackgroundColor(), qColor(Color(0x1234, 0x5678, 0x9ABC)));
    EXPECT_EQ(view.terminal().backgroundColor(), Color(0x1234, 0x5678, 0x9ABC));
}

TEST(ColorConversion, ColoursConvertWithoutLossAndInvertAndDim) {
    const Color odd(35389, 1, 65534);
    EXPECT_EQ(terminalColor(qColor(odd)), odd);
    EXPECT_EQ(inverseColor(QColor(0, 255, 51, 128)), QColor(255, 0, 204, 128));
    EXPECT_EQ(dimmedColor(QColor(200, 100, 0, 40), QColor(0, 0, 0)),
              QColor::fromRgba64(0x6464, 0x3232, 0, 40 * 257));
}
