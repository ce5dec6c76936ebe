// Main of the view and application suites: widgets and painting on Qt's offscreen platform.
#include "QtTestEnvironment.h"

#include <QApplication>
#include <QDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    QuillabyTest::prepareQtTestProcess("offscreen");
    QApplication app(argc, argv);
    int result = RUN_ALL_TESTS();
    QDir(QuillabyTest::testHome()).removeRecursively();
    return result;
}
