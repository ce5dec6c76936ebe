// The view on a display of scale 2. Qt fixes the scale when the application starts, so the cases run in a
// second copy of this test binary started with QT_SCALE_FACTOR=2.
#include "CellMetrics.h"
#include "LocalProcessTerminalView.h"
#include "ManualExecutor.h"
#include "ViewTestSupport.h"
#include "WindowReports.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace Tessaline;
using namespace QuillabyTest;

namespace {

constexpr const char* childMarker = "QUILLABY_SCALE_TWO_CHILD";

bool inChild() {
    return std::getenv(childMarker) != nullptr;
}

} // namespace

TEST(TerminalViewScale, CellsAndReportsFollowTheDisplayScale) {
    if (inChild()) GTEST_SKIP() << "the parent's case";
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_SCALE_FACTOR", "2");
    environment.insert(childMarker, "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=TerminalViewScaleTwo.*"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(TerminalViewScaleTwo, CellsAreWholeDevicePixelsAndReportsCountThem) {
    if (!inChild()) GTEST_SKIP() << "runs at scale 2 in a child process";
    ManualExecutor executor;
    RecordingViewDelegate delegate;
    TerminalView view(QRect(0, 0, 400, 240), testFont(13), nullptr, &executor);
    view.setTerminalDelegate(&delegate);
    ASSERT_EQ(view.backingScale(), 2);
    const QSizeF cell = view.cellDimension();
    EXPECT_EQ(cell, CellMetrics::cellSize(FontMeasures::of(testFont(13)), 2));
    EXPECT_EQ(cell.width() * 2, std::floor(cell.width() * 2));
    EXPECT_EQ(cell.height() * 2, std::floor(cell.height() * 2));

    const int cols = view.terminal().cols();
    const int rows = view.terminal().rows();
    view.feed("\x1b[14t\x1b[16t");
    const std::string area = std::to_string(std::lround(cell.height() * 2 * rows)) + ";" +
                             std::to_string(std::lround(cell.width() * 2 * cols)) + "t";
    const std::string one =
        std::to_string(int(cell.height() * 2)) + ";" + std::to_string(int(cell.width() * 2)) + "t";
    EXPECT_EQ(delegate.take(), (std::vector<std::string>{"send \\e[4;" + area, "send \\e[6;" + one}));
    const std::optional<CellPixelSize> pixels = view.cellSizeInPixels(view.terminal());
    ASSERT_TRUE(pixels);
    EXPECT_EQ(pixels->width, std::lround(cell.width() * 2));

    LocalProcessTerminalView bound(QRect(0, 0, 400, 240), nullptr, &executor);
    const winsize size = bound.getWindowSize();
    const QSize expected = WindowReports::textAreaPixels(bound.cellDimension(), 2, bound.terminal().cols(),
                                                         bound.terminal().rows());
    EXPECT_EQ(size.ws_xpixel, expected.width());
    EXPECT_EQ(size.ws_ypixel, expected.height());
}
