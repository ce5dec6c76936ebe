#include "Windows/DevicePlacement.h"

#include <gtest/gtest.h>

using Quillaby::DevicePlacement;
using Quillaby::WindowState;

TEST(DevicePlacement, LaunchSizeAndPlacementOnA1440By900Screen) {
    const QRectF screen(0, 0, 1440, 900);
    struct Case {
        const char* name;
        QSizeF frameSize;
        double launchScale;
        std::optional<WindowState> saved;
        QRect expected;
    };
    const Case cases[] = {
        {"fits at scale 1, centred", {398, 555}, 1, std::nullopt, QRect(521, 173, 398, 555)},
        {"scale 3 limited by the height", {398, 555}, 3, std::nullopt, QRect(430, 45, 581, 810)},
        {"huge skin at the 0.2 floor", {7000, 4400}, 1, std::nullopt, QRect(20, 10, 1400, 880)},
        {"0.2 floor never exceeds the screen", {20000, 10000}, 1, std::nullopt, QRect(0, 90, 1440, 720)},
        {"saved frame kept", {398, 555}, 1, WindowState{"a", "A", 100, 50, 796, 1110}, QRect(100, 50, 796, 1110)},
        {"saved frame off every screen", {398, 555}, 1, WindowState{"a", "A", 1430, 50, 398, 555},
         QRect(521, 173, 398, 555)},
        {"saved frame without width", {398, 555}, 1, WindowState{"a", "A", 100, 50, 0, 555},
         QRect(521, 173, 398, 555)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DevicePlacement placement = DevicePlacement::atLaunch(c.frameSize, c.launchScale, screen, {screen}, c.saved);
        EXPECT_EQ(placement.frame, c.expected);
    }
    EXPECT_DOUBLE_EQ(DevicePlacement::atLaunch({398, 555}, 1, screen, {screen}, WindowState{"a", "A", 100, 50, 796, 1110}).scale, 2);
}

TEST(DevicePlacement, FiveSmallerStepsGiveAbout0Point4) {
    QRect frame(0, 0, 398, 555);
    for (int i = 0; i < 5; ++i) frame = DevicePlacement::scaledAboutCentre(frame, 1 / 1.2);
    EXPECT_NEAR(frame.width() / 398.0, 0.4019, 0.005);
    EXPECT_EQ(DevicePlacement::centredOn(QRect(0, 0, 1000, 1000), QSize(600, 420)), QRect(200, 290, 600, 420));
}
