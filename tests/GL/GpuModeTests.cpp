// The view's GPU mode where there is no OpenGL (Qt's offscreen platform): the failed switch, the
// coalesced redraw, and the environment switches of the GPU path.
#include "GLError.h"
#include "GLTerminalRenderer.h"
#include "ManualExecutor.h"
#include "ViewTestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

using namespace Tessaline;
using namespace QuillabyTest;
using namespace std::chrono_literals;

TEST(GpuMode, WithoutADeviceSwitchingOnFailsAndTheViewKeepsPainting) {
    ManualExecutor executor;
    TerminalView view(QRect(0, 0, 300, 200), testFont(), nullptr, &executor);
    view.setNativeBackgroundColor(QColor(10, 20, 30));
    view.feed("\x1b[42m  \x1b[0m");
    view.updateDisplay(false);
    const int childrenBefore = int(view.children().size());
    try {
        view.setUseGpu(true);
        FAIL() << "no error";
    } catch (const GLError& error) {
        EXPECT_EQ(error.kind(), GLError::Kind::deviceUnavailable);
        EXPECT_EQ(error.description(), "No OpenGL device is available.");
    }
    EXPECT_FALSE(view.isUsingGpuRenderer());
    EXPECT_FALSE(view.gpuView());
    EXPECT_EQ(int(view.children().size()), childrenBefore);
    // Nothing of the mode is asked for, and the painter still draws the rows.
    view.queueGpuDisplay();
    EXPECT_FALSE(view.pendingGpuDisplay());
    EXPECT_EQ(executor.timerCount(), 0u);
    view.selectAll();
    EXPECT_FALSE(view.gpuDirtyRange());
    const QImage image = view.grab().toImage();
    EXPECT_NE(image.pixelColor(2, 2), QColor(10, 20, 30));
    EXPECT_EQ(image.pixelColor(150, 150), QColor(10, 20, 30));
    // Off while off: nothing.
    view.setUseGpu(false);
    EXPECT_FALSE(view.isUsingGpuRenderer());
}

TEST(GpuMode, TheBufferingModeChangeAsksForNoRedraw) {
    ManualExecutor executor;
    TerminalView view(QRect(0, 0, 300, 200), testFont(), nullptr, &executor);
    EXPECT_EQ(view.gpuBufferingMode(), GLBufferingMode::perRowPersistent);
    const size_t timers = executor.timerCount();
    const size_t queued = executor.queuedCount();
    view.setGpuBufferingMode(GLBufferingMode::perFrameAggregated);
    EXPECT_EQ(view.gpuBufferingMode(), GLBufferingMode::perFrameAggregated);
    EXPECT_EQ(executor.timerCount(), timers);
    EXPECT_EQ(executor.queuedCount(), queued);
}

TEST(GpuMode, EnvironmentSwitchesAreReadExactly) {
    struct Case {
        const char* value;
        bool throttle;
        bool profile;
    };
    const Case cases[] = {
        {nullptr, true, false}, {"0", false, false},   {"false", false, false}, {"FALSE", false, false},
        {"False", true, false}, {"no", true, false},   {"", true, false},       {"1", true, true},
        {"1 ", true, false},    {"true", true, false}, {" 1", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "(unset)");
        EXPECT_EQ(TerminalView::parseLiveResizeThrottle(c.value), c.throttle);
        EXPECT_EQ(GLTerminalRenderer::parseProfileSwitch(c.value), c.profile);
    }
}
