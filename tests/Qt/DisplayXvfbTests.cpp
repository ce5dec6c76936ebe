#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

// The X suites run against a private Xvfb: a real xcb display where windows map and can be grabbed.
TEST(XvfbDisplay, WindowsMapOnTheXcbPlatformAndCanBeGrabbed) {
    EXPECT_EQ(QGuiApplication::platformName(), "xcb");
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(10, 200, 30));
    window.setPalette(palette);
    window.resize(120, 80);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QImage shot = window.screen()->grabWindow(window.winId()).toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() / 2), QColor(10, 200, 30));
}
