// The caret: where it stands, when it is out of the view, its shapes focused and hollow, and its blink.
#include "CaretView.h"
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QApplication>
#include <QFocusEvent>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

struct CaretFixture {
    ManualExecutor executor;
    TerminalView view{QRect(0, 0, 400, 200), testFont(), nullptr, &executor};
    QSizeF cell = view.cellDimension();
    CaretView& caret = *view.caretView();

    void feed(std::string_view bytes) {
        view.feed(bytes);
        view.updateDisplay(false);
    }
    QImage draw(bool hasFocus) {
        QImage image(caret.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        caret.drawCursor(painter, hasFocus);
        return image;
    }
    static bool paintedAt(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)) != 0; }
};

} // namespace

TEST(CaretView, StandsOnTheCursorCellDoubledOnDoubleWidthLines) {
    CaretFixture f;
    f.feed("ab\r\nxyz");
    EXPECT_FALSE(f.caret.isHidden());
    EXPECT_EQ(f.caret.geometry().topLeft(), QPointF(f.cell.width() * 3, f.cell.height()).toPoint());
    EXPECT_EQ(f.view.caretFrame(), f.caret.geometry());
    EXPECT_EQ(f.caret.size(), f.cell.toSize());

    // Past the end of its line's cells the caret shows the line's last cell.
    EXPECT_EQ(f.caret.text(), QStringLiteral(" "));
    f.feed("\x1b[1;2H");
    EXPECT_EQ(f.caret.text(), QStringLiteral("b"));

    f.feed("\x1b#6\x1b[1;3H");
    EXPECT_EQ(f.caret.geometry().left(), int(std::lround(f.cell.width() * 2 * 2)));
    EXPECT_EQ(f.caret.width(), f.cell.toSize().width());
}

TEST(CaretView, LeavesTheViewWhileTheCursorIsHiddenOrScrolledAway) {
    CaretFixture f;
    f.feed("\x1b[?25l");
    EXPECT_TRUE(f.caret.isHidden());
    // The cursor moving does not bring it back.
    f.feed("\x1b[3;3H");
    EXPECT_TRUE(f.caret.isHidden());
    f.feed("\x1b[?25h");
    EXPECT_FALSE(f.caret.isHidden());

    // Scrolled back until the cursor's row is below the rows on display, and forward again.
    for (int i = 0; i < 60; ++i)
        f.feed("line\r\n");
    f.view.scrollTo(0);
    f.view.updateDisplay(false);
    EXPECT_TRUE(f.caret.isHidden());
    f.view.scrollTo(f.view.terminal().displayBuffer().yBase());
    f.view.updateDisplay(false);
    EXPECT_FALSE(f.caret.isHidden());
}

TEST(CaretView, ShapesByStyleAndAHollowFrameWithoutFocus) {
    CaretFixture f;
    f.view.setCaretColor(QColor(255, 0, 0));
    f.feed("x\b");
    const int w = f.caret.width(), h = f.caret.height();
    struct Case {
        CursorStyle style;
        QPoint inside;
        QPoint outside;
    };
    const std::vector<Case> cases = {
        {CursorStyle::steadyBlock, {1, 1}, {-1, -1}},
        {CursorStyle::blinkUnderline, {w / 2, h - 1}, {w / 2, h - 3}},
        {CursorStyle::steadyBar, {1, h / 2}, {3, h / 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.style));
        f.view.cursorStyleChanged(f.view.terminal(), c.style);
        const QImage focused = f.draw(true);
        EXPECT_EQ(focused.pixel(c.inside), qRgb(255, 0, 0));
        if (c.outside.x() >= 0) {
            EXPECT_FALSE(CaretFixture::paintedAt(focused, c.outside.x(), c.outside.y()));
        }
        // Without focus every style is the same 3-point frame, 1.5 of it inside the cell, and no glyph.
        const QImage hollow = f.draw(false);
        EXPECT_EQ(hollow.pixel(0, h / 2), qRgb(255, 0, 0));
        EXPECT_EQ(hollow.pixel(w - 1, h / 2), qRgb(255, 0, 0));
        EXPECT_EQ(hollow.pixel(w / 2, 0), qRgb(255, 0, 0));
        for (int y = 3; y < h - 3; ++y)
            for (int x = 3; x < w - 3; ++x)
                ASSERT_FALSE(CaretFixture::paintedAt(hollow, x, y)) << x << "," << y;
    }

    // A block shows its character in the caret text colour.
    f.view.cursorStyleChanged(f.view.terminal(), CursorStyle::steadyBlock);
    f.view.setCaretTextColor(QColor(0, 0, 255));
    const QImage block = f.draw(true);
    bool glyph = false;
    for (int y = 0; y < h && !glyph; ++y)
        for (int x = 0; x < w && !glyph; ++x)
            glyph = qBlue(block.pixel(x, y)) > 200 && qRed(block.pixel(x, y)) < 60;
    EXPECT_TRUE(glyph);
}

TEST(CaretView, FocusDecidesTheLookUnlessTrackingIsOff) {
    CaretFixture f;
    f.view.setTerminalHasFocus(false);
    EXPECT_FALSE(f.view.terminalHasFocus());
    f.view.setTerminalHasFocus(true);
    EXPECT_TRUE(f.view.terminalHasFocus());

    // Focus from the window coming back is no focus change for the program: no report.
    RecordingViewDelegate delegate;
    f.view.setTerminalDelegate(&delegate);
    f.feed("\x1b[?1004h");
    QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(&f.view, &back);
    EXPECT_TRUE(delegate.take().empty());
    QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
    QApplication::sendEvent(&f.view, &out);
    EXPECT_FALSE(f.view.terminalHasFocus());
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&f.view, &in);
    EXPECT_TRUE(f.view.terminalHasFocus());
    const std::vector<std::string> reports = delegate.take();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find("[O"), std::string::npos);
    EXPECT_NE(reports[1].find("[I"), std::string::npos);

    // With tracking off the caret draws focused whatever the focus.
    f.view.setCaretViewTracksFocus(false);
    EXPECT_FALSE(f.view.caretViewTracksFocus());
    f.view.setTerminalDelegate(nullptr);
}

TEST(CaretView, BlinkStylesAnimateAndSteadyStylesStayAtFullOpacity) {
    CaretFixture f;
    // A fresh caret is steady until the view gains focus.
    EXPECT_FALSE(f.caret.isBlinking());
    f.view.cursorStyleChanged(f.view.terminal(), CursorStyle::blinkBar);
    EXPECT_TRUE(f.caret.isBlinking());
    f.caret.setOpacity(0.3);
    f.view.cursorStyleChanged(f.view.terminal(), CursorStyle::steadyBar);
    EXPECT_FALSE(f.caret.isBlinking());
    EXPECT_EQ(f.caret.opacity(), 1.0);

    f.view.cursorStyleChanged(f.view.terminal(), CursorStyle::blinkBlock);
    f.caret.disableAnimations();
    EXPECT_FALSE(f.caret.isBlinking());
    EXPECT_EQ(f.caret.opacity(), 1.0);
}

TEST(CaretView, AFadeRepaintsOncePerStepNotPerAnimationTick) {
    CaretFixture f;
    f.feed("x");
    f.view.show();
    QApplication::processEvents();
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    f.caret.installEventFilter(&counter);
    // Two animation ticks a hundredth apart draw the same step; a whole fade out draws at most one
    // repaint per step, and ends fully clear.
    for (int tick = 100; tick >= 0; --tick) {
        f.caret.setOpacity(tick / 100.0);
        QApplication::processEvents();
    }
    EXPECT_GT(counter.paints, 10);
    EXPECT_LE(counter.paints, 20);
    const QImage clear = f.draw(true);
    for (int y = 0; y < clear.height(); ++y)
        for (int x = 0; x < clear.width(); ++x)
            ASSERT_EQ(qAlpha(clear.pixel(x, y)), 0);
}
