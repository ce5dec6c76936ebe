// The Quillaby executable on a private X server: a device window with a live shell, driven as a user
// would, with keys, and quit with SIGTERM.
#include "ViewTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

TEST(ShellWindow, KeysReachTheShellInTheDeviceWindowAndQuittingSavesIt) {
    QTemporaryDir dir;
    // A later launch: the default skin opens straight away.
    const QString settings = qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/Quillaby/settings.json");
    QDir().mkpath(QFileInfo(settings).path());
    QFile file(settings);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"hasLaunchedBefore": true, "defaultSkin": "Handheld v1"})");
    file.close();

    QProcess app;
    QByteArray errors;
    QObject::connect(&app, &QProcess::readyReadStandardError, [&] { errors += app.readAllStandardError(); });
    app.start(QStringLiteral(QUILLABY_EXECUTABLE), {});
    ASSERT_TRUE(app.waitForStarted());
    QString window;
    ASSERT_TRUE(spinUntil([&] {
        window = xdotool({"search", "--onlyvisible", "--name", "^Quillaby$"}).section('\n', 0, 0);
        return !window.isEmpty();
    }, 40000)) << errors.toStdString(); // a sanitizer build on a busy machine starts slowly
    xdotool({"windowfocus", "--sync", window});
    const QString out = dir.filePath(QStringLiteral("hello"));
    xdotool({"type", "--delay", "10", QStringLiteral("echo hello > '%1'").arg(out)});
    xdotool({"key", "Return"});
    ASSERT_TRUE(spinUntil([&] { return contents(out) == QLatin1String("hello"); })) << errors.toStdString();

    xdotool({"type", "--delay", "10", "exit 7"});
    xdotool({"key", "Return"});
    ASSERT_TRUE(spinUntil([&] { return errors.contains("[Quillaby] Shell exited with code 7"); }))
        << errors.toStdString();
    EXPECT_EQ(app.state(), QProcess::Running);

    // SIGTERM quits cleanly and the window is saved for the next launch.
    app.terminate();
    EXPECT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(contents(settings).contains("\"skinName\": \"Handheld v1\"")) << contents(settings).toStdString();
}
