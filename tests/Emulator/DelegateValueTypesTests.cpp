#include "TerminalDelegate.h"

#include <gtest/gtest.h>

#include <type_traits>

using namespace Tessaline;

static_assert(std::is_abstract_v<TerminalDelegate>, "send() has no default");

TEST(ProgressReport, EqualityAndRawValues) {
    using S = ProgressReportState;
    EXPECT_NE((ProgressReport{S::set, 0}), (ProgressReport{S::set, std::nullopt}));
    EXPECT_EQ((ProgressReport{S::set, 40}), (ProgressReport{S::set, 40}));
    EXPECT_NE((ProgressReport{S::set, 40}), (ProgressReport{S::pause, 40}));
    EXPECT_EQ(progressReportState(4), S::pause);
    EXPECT_EQ(progressReportState(0), S::remove);
    EXPECT_EQ(progressReportState(5), std::nullopt);
    EXPECT_EQ(progressReportState(-1), std::nullopt);
}

TEST(WindowManipulationCommand, CasesAndValues) {
    using W = WindowManipulationCommand;
    EXPECT_EQ(W::resizeTo(80, 24).kind(), W::Kind::resizeTo);
    EXPECT_EQ(W::resizeTo(30).kind(), W::Kind::resizeToLines);
    EXPECT_EQ(W::resizeTo(30).lines(), 30);
    EXPECT_NE(W::resizeTo(30), W::resizeTo(30, 0)) << "same name, different case";
    EXPECT_EQ(W::moveWindowTo(1, 2), W::moveWindowTo(1, 2));
    EXPECT_NE(W::moveWindowTo(1, 2), W::moveWindowTo(2, 1));
    EXPECT_EQ(W(W::Kind::reportWindowTitle), W::Kind::reportWindowTitle);
    EXPECT_EQ(int(W::Kind::reportWindowTitle), 27);

    const std::pair<W, const char*> descriptions[] = {
        {W::moveWindowTo(-3, 9), "moveWindowTo(x: -3, y: 9)"},
        {W::resizeWindowTo(640, 480), "resizeWindowTo(width: 640, height: 480)"},
        {W::resizeTerminal(80, 24), "resizeTerminal(cols: 80, rows: 24)"},
        {W::resizeTo(48), "resizeTo(lines: 48)"},
        {W::Kind::reportCellSizeInPixels, "reportCellSizeInPixels"},
    };
    for (const auto& [command, text] : descriptions)
        EXPECT_EQ(command.description(), text);
}

TEST(ImageSizeRequest, CasesCompareByKindAndValue) {
    using I = ImageSizeRequest;
    EXPECT_EQ(I(), I::automatic());
    EXPECT_EQ(I::cells(3), I::cells(3));
    EXPECT_NE(I::cells(3), I::pixels(3));
    EXPECT_NE(I::percent(50), I::percent(51));
    EXPECT_EQ(I::percent(50).value(), 50);
}
