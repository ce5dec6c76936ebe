// The Quillaby executable on a private X server: one window with a terminal panel, driven as a user
// would, with keys and clicks on the tab strip.
#include "ViewTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace QuillabyTest;

namespace {

// Runs xdotool and answers its output; empty when it fails.
QString xdotool(const QStringList& args) {
    QProcess tool;
    tool.start("xdotool", args);
    if (!tool.waitForFinished(5000) || tool.exitCode() != 0) return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QString contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()).trimmed() : QString();
}

} // namespace

TEST(ShellWindow, AnEndedShellKeepsItsTabAndThePlusPillStartsAnotherLoginShell) {
    QTemporaryDir dir;
    QProcess app;
    QByteArray errors;
    QObject::connect(&app, &QProcess::readyReadStandardError, [&] { errors += app.readAllStandardError(); });
    app.start(QStringLiteral(QUILLABY_EXECUTABLE), {});
    ASSERT_TRUE(app.waitForStarted());
    QString window;
    ASSERT_TRUE(spinUntil([&] {
        window = xdotool({"search", "--onlyvisible", "--name", "^Quillaby$"}).section('\n', 0, 0);
        return !window.isEmpty();
    }));
    xdotool({"windowfocus", "--sync", window});
    xdotool({"type", "--delay", "10", "exit 7"});
    xdotool({"key", "Return"});
    ASSERT_TRUE(spinUntil([&] { return errors.contains("[Quillaby] Shell exited with code 7"); }))
        << errors.toStdString();
    EXPECT_EQ(app.state(), QProcess::Running);

    // The "+" pill follows the one session pill, 4 points from the window's bottom-left corner.
    const QString height =
        xdotool({"getwindowgeometry", "--shell", window}).section("HEIGHT=", 1).section('\n', 0, 0);
    ASSERT_FALSE(height.isEmpty());
    const int y = height.toInt() - 4 - 8;
    xdotool({"mousemove", "--window", window, "27", QString::number(y), "click", "1"});
    const QString out = dir.filePath(QStringLiteral("second"));
    xdotool({"type", "--delay", "10", QStringLiteral("echo \"$0 $PWD\" > '%1'").arg(out)});
    xdotool({"key", "Return"});
    ASSERT_TRUE(spinUntil([&] { return !contents(out).isEmpty(); }));
    const QString reported = contents(out);
    EXPECT_TRUE(reported.startsWith(QLatin1Char('-'))) << reported.toStdString();
    EXPECT_TRUE(reported.endsWith(QLatin1Char(' ') + QDir::homePath())) << reported.toStdString();

    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
}
