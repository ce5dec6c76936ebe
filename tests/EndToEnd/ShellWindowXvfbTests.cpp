// The Quillaby executable on a private X server: one window with the login shell, which closes, and the
// application with it, when the shell ends.
#include "ViewTestSupport.h"

#include <QProcess>
#include <QString>
#include <QStringList>

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

} // namespace

TEST(ShellWindow, TheShellsExitClosesTheWindowAndQuits) {
    QProcess app;
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
    ASSERT_TRUE(app.waitForFinished(20000)) << app.readAllStandardError().toStdString();
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_TRUE(app.readAllStandardError().contains("[Quillaby] Shell exited with code 7"));
}
