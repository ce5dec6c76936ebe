// The debug view: its status line and the two texts of each slot of the line ring.
#include "ManualExecutor.h"
#include "TerminalDebugView.h"
#include "ViewTestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

using namespace Tessaline;
using namespace QuillabyTest;

TEST(TerminalDebugView, TheStatusLineWaitsForTheFirstRedrawThenShowsTheBuffer) {
    ManualExecutor executor;
    TerminalView view(QRect(0, 0, 400, 240), testFont(), nullptr, &executor);
    TerminalDebugView debug(QRect(0, 0, 600, 400), &view);
    EXPECT_EQ(view.debugView(), &debug);
    EXPECT_EQ(debug.statusLine(), QStringLiteral("WAITING"));
    view.feed("ab\r\nc");
    view.updateDisplay(false);
    const Buffer& buffer = view.terminal().buffer();
    const std::string expected =
        "x: 1 y: 1 yDisp: 0 yBase: 0 clc: " + std::to_string(buffer.lines().getArray().size()) +
        " startIndex: 0";
    EXPECT_EQ(debug.statusLine().toStdString(), expected);

    // The first rows carry the D and B marks at start-up; slots never filled read "<empty>".
    const auto first = debug.slotTexts(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->first.substr(0, 11), "[000:000]DB");
    EXPECT_EQ(first->second.substr(0, 9), "[000]DBab");
    const int unfilled = int(buffer.lines().getArray().size());
    const auto empty = debug.slotTexts(unfilled);
    ASSERT_TRUE(empty);
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "[%03d:000]  ", unfilled);
    EXPECT_EQ(empty->first, std::string(prefix) + "<empty>");

    QImage image(debug.size(), QImage::Format_RGB32);
    debug.render(&image);
    EXPECT_EQ(image.pixel(debug.width() - 1, debug.height() - 1), qRgb(255, 255, 255));
}

TEST(TerminalDebugView, AWrappedRingShowsTheStoredSlotBesideThePresentedLine) {
    ManualExecutor executor;
    TerminalView view(QRect(0, 0, 400, 240), testFont(), nullptr, &executor);
    view.changeScrollback(0);
    TerminalDebugView debug(QRect(0, 0, 600, 400), &view);
    const int rows = view.terminal().rows();
    for (int i = 0; i < rows + 3; ++i)
        view.feed("row" + std::to_string(i) + "\r\n");
    view.updateDisplay(false);
    const auto& lines = view.terminal().buffer().lines();
    ASSERT_GT(lines.getStartIndex(), 0);
    const auto texts = debug.slotTexts(0);
    ASSERT_TRUE(texts);
    // Slot 0 holds a newer row than the one the ring presents first.
    EXPECT_NE(texts->first.substr(11), texts->second.substr(7));
    char mapped[16];
    std::snprintf(mapped, sizeof mapped, ":%03d]", lines.getStartIndex());
    EXPECT_EQ(texts->first.substr(4, 5), mapped);
}

TEST(TerminalDebugView, NeitherViewKeepsTheOtherAlive) {
    ManualExecutor executor;
    auto view = std::make_unique<TerminalView>(QRect(0, 0, 400, 240), testFont(), nullptr, &executor);
    { TerminalDebugView debug(QRect(0, 0, 600, 400), view.get()); }
    EXPECT_EQ(view->debugView(), nullptr);
    view->feed("x");
    view->updateDisplay(false);

    TerminalDebugView debug(QRect(0, 0, 600, 400), view.get());
    view.reset();
    EXPECT_FALSE(debug.slotTexts(0));
    debug.update();
    QImage image(debug.size(), QImage::Format_RGB32);
    debug.render(&image);
}
