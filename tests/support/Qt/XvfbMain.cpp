// Main of the suites that need a real X server (OpenGL, window masks, end-to-end input): starts a
// private Xvfb, runs the tests on the xcb platform against it, and stops it by pid.
#include "QtTestEnvironment.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    QuillabyTest::XvfbServer server;
    if (!server.start()) {
        std::fprintf(stderr, "cannot run the X tests: %s\n", server.error().c_str());
        return 1;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    QuillabyTest::prepareQtTestProcess("xcb");
    int result;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    QDir(QuillabyTest::testHome()).removeRecursively();
    server.stop();
    return result;
}
