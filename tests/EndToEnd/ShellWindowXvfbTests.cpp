// The Quillaby executable on a private X server under a compositor: a device window with a live shell,
// driven as a user would, with keys, photographed, and quit with SIGTERM.
#include "ViewTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
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

// A compositing manager for the test's display, started here and stopped by its pid, so the translucent
// device window is drawn as on a desktop. Without picom the test runs uncomposited.
class Compositor {
public:
    Compositor() {
        const QString picom = QStandardPaths::findExecutable(QStringLiteral("picom"));
        if (picom.isEmpty()) return;
        _process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        _process.setStandardOutputFile(QProcess::nullDevice());
        _process.start(picom, {"--backend", "xrender", "--config", "/dev/null", "--no-fading-openclose"});
        if (!_process.waitForStarted(5000)) return;
        // picom quits at once when it cannot composite this display.
        _running = !_process.waitForFinished(500);
    }
    ~Compositor() {
        if (_process.state() == QProcess::NotRunning) return;
        _process.terminate();
        if (!_process.waitForFinished(5000)) _process.kill();
        _process.waitForFinished(2000);
    }
    bool running() const { return _running && _process.state() == QProcess::Running; }

private:
    QProcess _process;
    bool _running = false;
};

// The whole screen as the user sees it (through the compositor): imagemagick's import, else Qt's grab
// of the root window. The file is kept for people to look at; its path is printed.
QImage screenshot(const QString& path) {
    if (!QStandardPaths::findExecutable(QStringLiteral("import")).isEmpty()) {
        QProcess import;
        import.start(QStringLiteral("import"), {"-window", "root", path});
        if (import.waitForFinished(15000) && import.exitCode() == 0) return QImage(path);
    }
    return {};
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

    Compositor compositor;
    if (!compositor.running()) std::fprintf(stderr, "picom is not available: the window is not composited\n");

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

    // What a user sees: the device's frame art around a screen showing the shell's text.
    const QString shot = QDir::tempPath() + QStringLiteral("/quillaby-end-to-end-%1.png").arg(app.processId());
    const QImage image = screenshot(shot);
    if (!image.isNull()) {
        std::fprintf(stderr, "screenshot: %s\n", qPrintable(shot));
        const QStringList geometry = xdotool({"getwindowgeometry", "--shell", window}).split('\n');
        auto value = [&](const char* key) {
            for (const QString& line : geometry)
                if (line.startsWith(QLatin1String(key) + '=')) return line.section('=', 1).toInt();
            return 0;
        };
        const QRect frame(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
        ASSERT_TRUE(image.rect().contains(frame)) << shot.toStdString();
        QSet<QRgb> colours;
        for (int y = frame.top(); y <= frame.bottom(); y += 3)
            for (int x = frame.left(); x <= frame.right(); x += 3)
                colours.insert(image.pixel(x, y));
        EXPECT_GT(colours.size(), 50) << "the window looks blank in " << shot.toStdString();
    }

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
