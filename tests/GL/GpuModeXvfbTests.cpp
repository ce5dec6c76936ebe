// The view in GPU mode on a real X server: the GL widget over the view, whole frames through the row
// cache and the layers, read back from the widget's framebuffer.
#include "CaretView.h"
#include "GLTerminalRenderer.h"
#include "GLTerminalWidget.h"
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QBuffer>
#include <QImage>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <dlfcn.h>

using namespace Tessaline;
using namespace QuillabyTest;
using namespace std::chrono_literals;

namespace {

// Kept loaded so that the leak checker can name the driver's process-long allocations.
const bool driverPinned = [] {
    for (const char* library : {"libGLX_mesa.so.0", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
                                "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so"})
        dlopen(library, RTLD_NOW | RTLD_NODELETE);
    return true;
}();

const QColor background(16, 32, 48);

// A shown view in GPU mode; its redraws run on a manual clock.
struct GpuView {
    ManualExecutor executor;
    TerminalView view{QRect(100, 100, 320, 200), testFont(), nullptr, &executor};

    GpuView() {
        view.setNativeBackgroundColor(background);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.setUseGpu(true);
    }
    GLTerminalWidget* widget() { return static_cast<GLTerminalWidget*>(view.gpuView()); }
    GLTerminalRenderer* renderer() { return widget() ? widget()->renderer() : nullptr; }
    // One frame drawn now, read back top row first.
    QImage frame() {
        QImage image = widget()->grabFramebuffer();
        return image.convertToFormat(QImage::Format_RGB32);
    }
    void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};

bool near(QColor a, QColor b, int tolerance = 2) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

} // namespace

TEST(GpuModeX11, SwitchingOnPutsTheWidgetUnderTheViewsChildrenAndTheRendererDrawsTheCaret) {
    GpuView g;
    ASSERT_TRUE(g.view.isUsingGpuRenderer());
    ASSERT_TRUE(g.widget());
    EXPECT_EQ(g.view.children().indexOf(g.widget()), 0) << "lowest of the view's children";
    EXPECT_TRUE(g.widget()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(g.widget()->geometry(), g.view.rect());
    EXPECT_FALSE(g.view.caretView()->isVisible());
    // On again: nothing changes.
    QWidget* before = g.view.gpuView();
    g.view.setUseGpu(true);
    EXPECT_EQ(g.view.gpuView(), before);

    const QImage image = g.frame();
    ASSERT_TRUE(g.renderer());
    EXPECT_TRUE(near(image.pixelColor(image.width() / 2, image.height() / 2), background));
    EXPECT_TRUE(near(image.pixelColor(image.width() - 30, image.height() - 2), background));
    // The caret (a block at the top-left cell) is drawn by the frame; the caret view stays hidden.
    EXPECT_FALSE(near(image.pixelColor(2, 2), background));
    // A redraw moves the caret view along but leaves it hidden: the renderer draws the caret.
    g.view.feed("ab");
    g.view.updateDisplay(false);
    g.settle();
    EXPECT_FALSE(g.view.caretView()->isVisible());
}

TEST(GpuModeX11, SwitchingOnCompilesTheShadersOnce) {
    // They were compiled twice: first to try a renderer on a throwaway context, then for the widget.
    const int start = GLTerminalRenderer::libraryCompilations();
    GpuView g;
    EXPECT_TRUE(g.renderer()) << "made as the widget is shown";
    g.frame();
    EXPECT_EQ(GLTerminalRenderer::libraryCompilations() - start, 1);
    g.view.setUseGpu(false);
    g.view.setUseGpu(true);
    g.frame();
    EXPECT_EQ(GLTerminalRenderer::libraryCompilations() - start, 2);

    // A view not on screen yet gets its renderer when it shows.
    ManualExecutor executor;
    TerminalView hidden(QRect(100, 100, 320, 200), testFont(), nullptr, &executor);
    hidden.setUseGpu(true);
    EXPECT_TRUE(hidden.isUsingGpuRenderer());
    EXPECT_EQ(GLTerminalRenderer::libraryCompilations() - start, 2);
    hidden.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&hidden));
    auto* widget = static_cast<GLTerminalWidget*>(hidden.gpuView());
    widget->grabFramebuffer();
    EXPECT_TRUE(widget->renderer());
    EXPECT_EQ(GLTerminalRenderer::libraryCompilations() - start, 3);
}

TEST(GpuModeX11, TheCompositionIsDrawnOverTheGlSurfaceAsOnThePaintersPath) {
    // The input method's composition was drawn by the painter only, hidden under the GL surface.
    GpuView g;
    g.view.feed("\x1b[?25l\x1b[2;3H");
    g.view.updateDisplay(false);
    g.view.setMarkedText(QStringLiteral("xyz"), 1);
    QWidget* overlay = g.view.markedTextOverlay();
    ASSERT_TRUE(overlay);
    EXPECT_TRUE(overlay->isVisible());
    const QRect rect = g.view.markedTextRect().toAlignedRect();
    EXPECT_EQ(overlay->geometry(), rect);
    const QObjectList children = g.view.children();
    EXPECT_GT(children.indexOf(overlay), children.indexOf(g.widget())) << "over the GL surface";
    g.frame();
    const QImage gpu = g.view.grab(rect).toImage().convertToFormat(QImage::Format_RGB32);

    g.view.setUseGpu(false);
    EXPECT_FALSE(g.view.markedTextOverlay());
    const QImage painted = g.view.grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(gpu, painted);
    int lit = 0;
    for (int x = 0; x < painted.width(); ++x)
        lit += !near(painted.pixelColor(x, painted.height() - 1), background);
    EXPECT_GT(lit, painted.width() / 2) << "underlined";

    // Switched on while composing, and the composition ending.
    g.view.setUseGpu(true);
    ASSERT_TRUE(g.view.markedTextOverlay());
    g.view.setMarkedText(QStringLiteral("xy"), 2);
    EXPECT_EQ(g.view.markedTextOverlay()->geometry(), g.view.markedTextRect().toAlignedRect());
    g.view.unmarkText();
    EXPECT_FALSE(g.view.markedTextOverlay());
}

TEST(GpuModeX11, SwitchingOffGivesTheCaretBackAsItsStyleSays) {
    struct Case {
        const char* sequence;
        bool blinking;
        bool visible;
    };
    // A cursor the program hid stays hidden.
    for (Case c :
         {Case{"\x1b[2 q", false, true}, Case{"\x1b[1 q", true, true}, Case{"\x1b[?25l", true, false}}) {
        SCOPED_TRACE(c.sequence);
        GpuView g;
        g.view.feed(c.sequence);
        g.view.setUseGpu(false);
        EXPECT_FALSE(g.view.isUsingGpuRenderer());
        EXPECT_FALSE(g.view.gpuView());
        EXPECT_EQ(g.view.caretView()->isVisible(), c.visible);
        EXPECT_EQ(g.view.caretView()->isBlinking(), c.blinking);
        if (!c.blinking) {
            EXPECT_EQ(g.view.caretView()->opacity(), 1.0);
        }
        // Off while off: nothing.
        g.view.setUseGpu(false);
        EXPECT_EQ(g.view.caretView()->isVisible(), c.visible);
    }
}

TEST(GpuModeX11, ACellWithTextIsDrawnThroughTheWholePath) {
    GpuView g;
    g.view.feed("\x1b[?25l\x1b[41;37mW\x1b[0m");
    g.view.updateDisplay(false);
    const QImage image = g.frame();
    const QColor cellRed = g.view.mapColor(Attribute::Color::ansi256(1), false, false, true);
    const QSizeF cell = g.view.cellDimension();
    const double scale = g.view.backingScale();
    const int cellW = int(cell.width() * scale);
    const int cellH = int(cell.height() * scale);
    int red = 0;
    int light = 0;
    for (int y = 0; y < cellH; ++y)
        for (int x = 0; x < cellW; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (near(c, cellRed)) ++red;
            if (c.green() > 150 && c.blue() > 150) ++light;
        }
    EXPECT_GT(red, cellW * cellH / 3) << "the red background";
    EXPECT_GT(light, 5) << "the glyph";
    // The next cell is the view's background.
    EXPECT_TRUE(near(image.pixelColor(cellW + cellW / 2, cellH / 2), background));
}

TEST(GpuModeX11, RequestsDuringAFrameGiveExactlyOneFrameAfterIt) {
    GpuView g;
    g.frame();
    g.settle();
    GLTerminalRenderer* renderer = g.renderer();
    ASSERT_TRUE(renderer);
    RowCache::Builders& builders = renderer->rowCache->builders;
    auto build = builders.buildRowDrawData;
    int asks = 0;
    builders.buildRowDrawData = [&, build](int row, Buffer& buffer, int yDisp, double cw, double ch,
                                           double yOffset, double widthPx, double scale,
                                           const VirtualPlacements& placements) {
        if (asks == 0) {
            for (; asks < 2; ++asks)
                g.widget()->setNeedsDisplay();
            EXPECT_FALSE(g.view.pendingGpuDisplay());
        }
        return build(row, buffer, yDisp, cw, ch, yOffset, widthPx, scale, placements);
    };
    g.view.addGpuDirtyRange(std::pair{0, 0});
    const int before = renderer->framesDrawn;
    g.frame();
    EXPECT_EQ(asks, 2);
    EXPECT_EQ(renderer->framesDrawn, before + 1);
    EXPECT_TRUE(spinUntil([&] { return renderer->framesDrawn == before + 2; }, 3000));
    g.settle();
    QTest::qWait(50);
    EXPECT_EQ(renderer->framesDrawn, before + 2);
}

TEST(GpuModeX11, AFrameWithNothingToDrawIntoIsDrawnAfterTheNextOne) {
    GpuView g;
    g.frame();
    g.settle();
    GLTerminalRenderer* renderer = g.renderer();
    ASSERT_TRUE(renderer);
    const int before = renderer->framesDrawn;
    // Called outside the widget's paint, its context is not current: no framebuffer to draw into.
    g.widget()->doneCurrent();
    renderer->draw(*g.widget());
    EXPECT_EQ(renderer->framesDrawn, before);
    EXPECT_TRUE(renderer->pendingRedraw);
    // The next frame that is drawn brings one more after it.
    g.frame();
    EXPECT_EQ(renderer->framesDrawn, before + 1);
    EXPECT_TRUE(spinUntil([&] { return renderer->framesDrawn == before + 2; }, 3000));
    EXPECT_FALSE(renderer->pendingRedraw);
}

TEST(GpuModeX11, TenQueuedRedrawsWithinTheDelayGiveOneFrame) {
    GpuView g;
    g.frame();
    g.settle();
    GLTerminalRenderer* renderer = g.renderer();
    ASSERT_TRUE(renderer);
    const int before = renderer->framesDrawn;
    const size_t timers = g.executor.timerCount();
    for (int i = 0; i < 10; ++i) {
        g.view.queueGpuDisplay();
        g.executor.advance(1ms);
    }
    EXPECT_EQ(g.executor.timerCount(), timers + 1);
    EXPECT_EQ(renderer->framesDrawn, before);
    g.executor.advance(7ms);
    EXPECT_FALSE(g.view.pendingGpuDisplay());
    EXPECT_TRUE(spinUntil([&] { return renderer->framesDrawn > before; }, 3000));
    g.settle();
    EXPECT_EQ(renderer->framesDrawn, before + 1);
}

TEST(GpuModeX11, TwoDisplayUpdatesBeforeAFrameRebuildTheRowsOfBoth) {
    GpuView g;
    g.view.feed("\x1b[3;1H");
    g.view.updateDisplay(false);
    g.frame();
    GLTerminalRenderer* renderer = g.renderer();
    ASSERT_TRUE(renderer);
    g.view.feed("ab");
    g.view.updateDisplay(false);
    EXPECT_EQ(g.view.gpuDirtyRange(), std::optional(std::pair{2, 2}));
    g.view.feed("\x1b[6;1Hcd");
    g.view.updateDisplay(false);
    // The first redraw's row is still in the range the frame takes.
    EXPECT_EQ(g.view.gpuDirtyRange(), std::optional(std::pair{2, 5}));
    g.frame();
    EXPECT_EQ(renderer->rowCache->lastStats.rowsBuilt, 4);
    g.frame();
    EXPECT_EQ(renderer->rowCache->lastStats.rowsBuilt, 0) << "a second frame with nothing dirty";
}

TEST(GpuModeX11, TheCaretBlinksOnTheRenderersTimerWhileItsStyleBlinks) {
    GpuView g;
    g.frame();
    GLTerminalRenderer* renderer = g.renderer();
    ASSERT_TRUE(renderer);
    ASSERT_TRUE(renderer->cursorBlinkTimer) << "blinkBlock by default";
    EXPECT_EQ(renderer->cursorBlinkTimer->interval(), 700);
    EXPECT_TRUE(renderer->cursorBlinkOn);
    const QImage on = g.frame();
    renderer->cursorBlinkTick();
    EXPECT_FALSE(renderer->cursorBlinkOn);

    g.view.feed("\x1b[6 q");
    g.frame();
    EXPECT_FALSE(renderer->cursorBlinkTimer);
    EXPECT_TRUE(renderer->cursorBlinkOn);
    g.view.feed("\x1b[5 q");
    g.frame();
    EXPECT_TRUE(renderer->cursorBlinkTimer);
    EXPECT_TRUE(renderer->cursorBlinkOn);
    g.view.feed("\x1b[?25l");
    g.frame();
    EXPECT_FALSE(renderer->cursorBlinkTimer) << "a hidden cursor does not blink";
    EXPECT_TRUE(renderer->cursorBlinkOn);
}

TEST(GpuModeX11, ALiveResizeMovesTheWidgetAtMostOncePerRedrawDelay) {
    GpuView g;
    g.frame();
    g.view.resize(340, 200);
    EXPECT_FALSE(g.view.inLiveResize());
    EXPECT_EQ(g.widget()->width(), 340);
    g.executor.advance(20ms);
    g.view.resize(360, 200);
    EXPECT_TRUE(g.view.inLiveResize());
    if (TerminalView::gpuLiveResizeThrottleEnabled()) {
        EXPECT_EQ(g.widget()->width(), 340) << "follows with the throttled redraw";
        EXPECT_TRUE(g.view.pendingGpuDisplay());
        g.view.resize(380, 200);
        EXPECT_EQ(g.executor.timerCount(), 1u);
        g.executor.advance(17ms);
    }
    EXPECT_EQ(g.widget()->geometry(), g.view.rect());
    // A resize long after the last one is not live.
    g.executor.advance(500ms);
    g.view.resize(320, 200);
    EXPECT_FALSE(g.view.inLiveResize());
    EXPECT_EQ(g.widget()->width(), 320);
}

namespace {

// An 8x16 picture, red in its upper half and blue in its lower half.
QImage redOverBlue() {
    QImage image(8, 16, QImage::Format_RGBA8888);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixelColor(x, y, y < 8 ? QColor(255, 0, 0) : QColor(0, 0, 255));
    return image;
}

std::string kittyImage(const char* format, const QByteArray& payload) {
    return std::string("\x1b_Ga=T,") + format + ",q=2;" + payload.toBase64().toStdString() + "\x1b\\";
}

} // namespace

TEST(GpuModeX11, ImagesStandTheSameWayUpAsOnThePainterPath) {
    const QImage picture = redOverBlue();
    QByteArray png;
    {
        QBuffer out(&png);
        out.open(QIODevice::WriteOnly);
        picture.save(&out, "PNG");
    }
    const QByteArray rgba(reinterpret_cast<const char*>(picture.constBits()), int(picture.sizeInBytes()));
    struct Case {
        const char* name;
        std::string sequence;
        int height;
    };
    const Case cases[] = {
        {"Kitty RGBA", kittyImage("f=32,s=8,v=16", rgba), 16},
        {"Kitty PNG", kittyImage("f=100", png), 16},
        // Six rows of red sixels over six rows of blue.
        {"Sixel", "\x1bPq#0;2;100;0;0#1;2;0;0;100#0~~~~~~~~-#1~~~~~~~~\x1b\\", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GpuView g;
        g.view.feed("\x1b[?25l\x1b[2;3H");
        g.view.feed(c.sequence);
        g.view.updateDisplay(false);
        const QSizeF cell = g.view.cellDimension();
        const int left = int(std::lround(2 * cell.width())) + 2;
        const int top = int(std::lround(cell.height()));
        const QImage gpu = g.frame();
        g.view.setUseGpu(false);
        const QImage painted = g.view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const auto& [image, path] : {std::pair{gpu, "GPU"}, std::pair{painted, "painter"}}) {
            SCOPED_TRACE(path);
            EXPECT_TRUE(near(image.pixelColor(left, top + 1), QColor(255, 0, 0), 8))
                << image.pixelColor(left, top + 1).name().toStdString();
            EXPECT_TRUE(near(image.pixelColor(left, top + c.height - 2), QColor(0, 0, 255), 8))
                << image.pixelColor(left, top + c.height - 2).name().toStdString();
        }
    }
}
