#include "App/AppHooks.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Settings/SettingsStore.h"
#include "Windows/GitStatus.h"
#include "Windows/ShellView.h"

#include "ViewTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Quillaby;
using QuillabyTest::screenText;
using QuillabyTest::spinUntil;

namespace {

const SkinManifest::TerminalPalette greenPalette{RgbColor::rgb(0.2, 1.0, 0.4), RgbColor::rgb(0.0, 0.1, 0.0),
                                                 RgbColor::rgb(1.0, 0.0, 0.0), std::nullopt};

QList<RgbColor> ansiColors(int count) {
    QList<RgbColor> colors;
    for (int i = 0; i < count; ++i)
        colors.append(RgbColor::rgb(i / 16.0, 0.5, 1.0));
    return colors;
}

// Every "QuillabyShellStateDidChange" of one session, as "<directory>|<branch>|<dirty>".
class StateRecorder {
public:
    explicit StateRecorder(ShellView& session) {
        NotificationCenter::defaultCenter().addObserver(
            QString(ShellView::shellStateDidChange), &_owner, [this, &session](const Notification& n) {
                if (n.object.value<QObject*>() != &session) return;
                heard << session.currentDirectory() + QLatin1Char('|') + session.gitBranch() +
                             QLatin1Char('|') +
                             (session.gitDirty() ? QStringLiteral("dirty") : QStringLiteral("clean"));
            });
    }
    QStringList heard;

private:
    QObject _owner;
};

QString runCommand(const QString& program, const QStringList& args, const QString& directory = QString()) {
    QProcess process;
    if (!directory.isEmpty()) process.setWorkingDirectory(directory);
    process.start(program, args);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// A repository on branch "work" with one commit.
void makeRepository(const QString& folder) {
    QDir().mkpath(folder);
    runCommand(QStringLiteral("/usr/bin/git"), {QStringLiteral("init"), QStringLiteral("-q"),
                                                QStringLiteral("-b"), QStringLiteral("work"), folder});
    QFile file(folder + QStringLiteral("/tracked"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    runCommand(QStringLiteral("/usr/bin/git"),
               {QStringLiteral("-c"), QStringLiteral("user.name=t"), QStringLiteral("-c"),
                QStringLiteral("user.email=t@t"), QStringLiteral("-C"), folder, QStringLiteral("add"),
                QStringLiteral(".")});
    runCommand(QStringLiteral("/usr/bin/git"),
               {QStringLiteral("-c"), QStringLiteral("user.name=t"), QStringLiteral("-c"),
                QStringLiteral("user.email=t@t"), QStringLiteral("-C"), folder, QStringLiteral("commit"),
                QStringLiteral("-q"), QStringLiteral("-m"), QStringLiteral("one")});
}

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

// The arguments of a running process, NUL-separated in /proc.
QStringList commandLine(int pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList args = QString::fromLocal8Bit(file.readAll()).split(QChar(0));
    if (!args.isEmpty() && args.last().isEmpty()) args.removeLast();
    return args;
}

class ShellViewTest : public testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setFontSize(9);
        GitStatus::shared().clearCache();
        GitStatus::shared().setGitProgram(QStringLiteral("/usr/bin/git"));
    }
    void TearDown() override {
        GitStatus::shared().waitForWorkers();
        QCoreApplication::processEvents();
    }

    // Reports the folder as a shell's OSC 7 would and waits for its git state.
    void report(ShellView& session, const QString& text, int expectedPosts) {
        StateRecorder recorder(session);
        session.terminal()->feed(QStringLiteral("\x1b]7;%1\x07").arg(text).toStdString());
        ASSERT_TRUE(spinUntil([&] { return recorder.heard.size() >= expectedPosts; }));
    }
};

} // namespace

TEST(ShellViewHelpers, ColoursConvertBySixteenBitTruncation) {
    struct Case {
        const char* name;
        RgbColor input;
        Tessaline::Color expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"orange", RgbColor::rgb(1.0, 0.5, 0.0), Tessaline::Color(65535, 32767, 0)},
        {"out of range is held", RgbColor::rgb(1.5, -0.2, 0.99999), Tessaline::Color(65535, 0, 65534)},
        {"alpha is dropped", RgbColor::rgb(0.25, 0.25, 0.25, 0.1), Tessaline::Color(16383, 16383, 16383)},
        {"not a number is black", RgbColor::rgb(nan, 1, 0), Tessaline::Color(0, 65535, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShellView::toTessalineColor(c.input), c.expected);
    }
}

TEST(ShellViewHelpers, DirectoryReportsGiveTheirPath) {
    struct Case {
        const char* name;
        const char* report;
        const char* expected;
    };
    const Case cases[] = {
        {"escaped space", "file://host/tmp/a%20b", "/tmp/a b"},
        {"no host", "file:///var/log", "/var/log"},
        {"plain path", "/home/me/src", "/home/me/src"},
        {"not a file URL", "https://example.com/x", "https://example.com/x"},
        {"scheme inside text", "x file://y", "x y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShellView::directoryFromReport(QString::fromUtf8(c.report)), QString::fromUtf8(c.expected));
    }
}

TEST(ShellViewHelpers, TheShellToStartFallsBackToShOnlyForTheConfiguredOne) {
    struct Case {
        const char* name;
        std::optional<QString> given;
        QString configured;
        QString expected;
        bool logs;
    };
    const Case cases[] = {
        {"given wins, even when missing", QStringLiteral("/no/such/shell"), QStringLiteral("/bin/bash"),
         QStringLiteral("/no/such/shell"), false},
        {"configured and present", std::nullopt, QStringLiteral("/bin/bash"), QStringLiteral("/bin/bash"),
         false},
        {"configured and missing", std::nullopt, QStringLiteral("/no/such/zsh"), QStringLiteral("/bin/sh"),
         true},
        {"configured folder", std::nullopt, QStringLiteral("/bin"), QStringLiteral("/bin/sh"), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        EXPECT_EQ(ShellView::shellToStart(c.given, c.configured), c.expected);
        EXPECT_EQ(log.lines().size(), c.logs ? 1 : 0);
    }
    EXPECT_EQ(ShellView::loginName(QStringLiteral("/bin/zsh")), QStringLiteral("-zsh"));
}

TEST(ShellViewHelpers, FontFamiliesResolveThroughTheirStandIns) {
    struct Case {
        const char* name;
        QString font;
        QStringList installed;
        std::optional<QString> expected;
    };
    const QString nerd = QStringLiteral("JetBrainsMono NF");
    const QString plain = QStringLiteral("JetBrains Mono");
    const QString dejavu = QStringLiteral("DejaVu Sans Mono");
    const Case cases[] = {
        {"installed as named", nerd, {dejavu, nerd, plain}, nerd},
        {"stand-in", nerd, {dejavu, plain}, plain},
        {"the plain family itself", plain, {dejavu, plain}, plain},
        {"neither", nerd, {dejavu}, std::nullopt},
        {"unknown", QStringLiteral("Nope Mono"), {dejavu, plain}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ShellView::familyFor(c.font, c.installed), c.expected);
    }
}

TEST(ShellViewHelpers, ResolvedFontsUseTheInstalledFamiliesOrTheFixedFont) {
    const QStringList families = QFontDatabase::families();
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    const QFont missing = ShellView::resolveFont(QStringLiteral("No Such Font 42"), 13);
    EXPECT_EQ(missing.family(), fixed.family());
    EXPECT_DOUBLE_EQ(missing.pointSizeF(), 13 * 72 / dpi);

    if (!families.contains(QStringLiteral("JetBrains Mono")) ||
        families.contains(QStringLiteral("JetBrainsMono NF")))
        GTEST_SKIP() << "needs JetBrains Mono without its Nerd Font build";
    for (const char* name : {"JetBrainsMono NF", "JetBrains Mono"}) {
        SCOPED_TRACE(name);
        const QFont font = ShellView::resolveFont(QString::fromLatin1(name), 9);
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("JetBrains Mono"));
    }
    const QFont bold = ShellView::resolveFont(QStringLiteral("JetBrainsMono-Bold"), 9);
    EXPECT_EQ(QFontInfo(bold).family(), QStringLiteral("JetBrains Mono"));
    EXPECT_TRUE(QFontInfo(bold).bold());
}

TEST(ShellViewColours, PalettesSetFourColoursAndOnlySixteenAnsiColours) {
    struct Case {
        const char* name;
        std::optional<SkinManifest::TerminalPalette> palette;
        QColor foreground;
        QColor caret;
        bool installsAnsi;
    };
    SkinManifest::TerminalPalette eight = greenPalette;
    eight.ansi = ansiColors(8);
    SkinManifest::TerminalPalette sixteen = greenPalette;
    sixteen.cursor.reset();
    sixteen.ansi = ansiColors(16);
    const QColor green = greenPalette.foreground.toQColor();
    const Case cases[] = {
        {"no palette", std::nullopt, QColor::fromRgbF(0.9f, 0.9f, 0.9f), QColor::fromRgbF(0.9f, 0.9f, 0.9f),
         false},
        {"eight ANSI colours", eight, green, QColor(Qt::red), false},
        {"sixteen, no cursor colour", sixteen, green, green, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tessaline::TerminalView view(QRect(0, 0, 200, 100), QuillabyTest::testFont());
        const Tessaline::Color engineColorOne = view.terminal().installedColors[1];
        ShellView::applyColors(view, c.palette);
        EXPECT_EQ(view.nativeForegroundColor(), c.foreground);
        EXPECT_EQ(view.caretColor(), c.caret);
        EXPECT_EQ(view.caretTextColor(), view.nativeBackgroundColor());
        EXPECT_EQ(view.terminal().installedColors[1],
                  c.installsAnsi ? ShellView::toTessalineColor(ansiColors(16)[1]) : engineColorOne);
    }
}

TEST_F(ShellViewTest, ALoginShellRunsInTheHomeFolderAndItsExitIsShownAndLogged) {
    ShellView session(QRect(0, 0, 640, 200));
    session.startSession(QStringLiteral("/bin/bash"), greenPalette);
    Tessaline::LocalProcessTerminalView* terminal = session.terminal();
    ASSERT_NE(terminal, nullptr);
    ASSERT_TRUE(
        spinUntil([&] { return terminal->process().running() && terminal->process().shellPid() > 0; }));
    const int pid = terminal->process().shellPid();
    // Its first prompt: the shell has replaced the forked copy of this program.
    ASSERT_TRUE(spinUntil([&] { return !screenText(*terminal).empty(); }));

    EXPECT_EQ(commandLine(pid), QStringList{QStringLiteral("-bash")});
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).symLinkTarget(), QDir::homePath());
    EXPECT_EQ(session.currentDirectory(), QDir::homePath());
    EXPECT_EQ(terminal->nativeForegroundColor(), greenPalette.foreground.toQColor());

    LogCapture log;
    terminal->send(std::string_view("exit 3\r"));
    ASSERT_TRUE(spinUntil([&] { return screenText(*terminal).find("exited") != std::string::npos; }));
    EXPECT_NE(screenText(*terminal).find("\n  [Process exited with code 3]"), std::string::npos);
    EXPECT_EQ(log.lines(), QStringList{QStringLiteral("[Quillaby] Shell exited with code 3")});
}

TEST_F(ShellViewTest, ADirectoryReportIsStoredThenItsGitStateFollows) {
    QTemporaryDir dir;
    const QString plain = dir.path() + QStringLiteral("/plain dir");
    const QString repo = dir.path() + QStringLiteral("/repo");
    QDir().mkpath(plain);
    makeRepository(repo);

    ShellView session;
    session.startSession(QStringLiteral("/bin/sh"), std::nullopt);
    {
        StateRecorder recorder(session);
        session.terminal()->feed(std::string_view("\x1b]7;file://host/no/such/dir\x07"));
        ASSERT_TRUE(spinUntil([&] { return recorder.heard.size() >= 2; }));
        EXPECT_EQ(recorder.heard, (QStringList{QStringLiteral("/no/such/dir||clean"),
                                               QStringLiteral("/no/such/dir||clean")}));
    }
    {
        StateRecorder recorder(session);
        session.terminal()->feed(QStringLiteral("\x1b]7;file://host%1\x07")
                                     .arg(QString::fromUtf8(QUrl::toPercentEncoding(plain, "/")))
                                     .toStdString());
        ASSERT_TRUE(spinUntil([&] { return recorder.heard.size() >= 2; }));
        EXPECT_EQ(recorder.heard.last(), plain + QStringLiteral("||clean"));
    }
    {
        StateRecorder recorder(session);
        session.terminal()->feed(QStringLiteral("\x1b]7;file://host%1\x07").arg(repo).toStdString());
        ASSERT_TRUE(spinUntil([&] { return recorder.heard.size() >= 2; }));
        // The folder first, with the previous folder's git state still in place.
        EXPECT_EQ(recorder.heard,
                  (QStringList{repo + QStringLiteral("||clean"), repo + QStringLiteral("|work|clean")}));
    }
    touch(repo + QStringLiteral("/untracked"));
    GitStatus::shared().clearCache();
    {
        StateRecorder recorder(session);
        session.terminal()->feed(QStringLiteral("\x1b]7;%1\x07").arg(repo).toStdString());
        ASSERT_TRUE(spinUntil([&] { return recorder.heard.size() >= 2; }));
        EXPECT_EQ(recorder.heard.last(), repo + QStringLiteral("|work|dirty"));
    }
}

TEST_F(ShellViewTest, ARepositorysMonitorHookNeverRuns) {
    QTemporaryDir dir;
    const QString repo = dir.path() + QStringLiteral("/repo");
    makeRepository(repo);
    const QString marker = dir.path() + QStringLiteral("/hook-ran");
    const QString hook = dir.path() + QStringLiteral("/hook.sh");
    {
        QFile file(hook);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(marker).toUtf8());
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    runCommand(QStringLiteral("/usr/bin/git"), {QStringLiteral("-C"), repo, QStringLiteral("config"),
                                                QStringLiteral("core.fsmonitor"), hook});
    // The fixture is real: a plain status runs the hook.
    runCommand(QStringLiteral("/usr/bin/git"), {QStringLiteral("-C"), repo, QStringLiteral("status")});
    ASSERT_TRUE(QFile::exists(marker));
    QFile::remove(marker);

    EXPECT_EQ(GitStatus::query(QStringLiteral("/usr/bin/git"), repo),
              (GitState{QStringLiteral("work"), false}));
    EXPECT_FALSE(QFile::exists(marker));
}

TEST_F(ShellViewTest, ReportsWithinFiveSecondsAreAnsweredFromTheCacheAndOneQueryRunsPerFolder) {
    QTemporaryDir dir;
    const QString calls = dir.path() + QStringLiteral("/calls");
    const QString fakeGit = dir.path() + QStringLiteral("/git");
    {
        QFile file(fakeGit);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("#!/bin/sh\necho \"$@\" >> '%1'\ncase \"$*\" in\n*rev-parse*) echo trunk ;;\n"
                           "*status*) echo ' M file' ;;\nesac\n")
                .arg(calls)
                .toUtf8());
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
    auto runs = [&] {
        QFile file(calls);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    };
    GitStatus::shared().setGitProgram(fakeGit);
    QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    ScopedAppHooks hooks;
    hooks->now = [&] { return now; };

    ShellView first;
    ShellView second;
    first.startSession(QStringLiteral("/bin/sh"), std::nullopt);
    second.startSession(QStringLiteral("/bin/sh"), std::nullopt);
    StateRecorder firstHeard(first);
    StateRecorder secondHeard(second);
    const std::string report = QStringLiteral("\x1b]7;file://h%1\x07").arg(dir.path()).toStdString();

    // Both while the first query runs: one query answers both.
    first.terminal()->feed(report);
    second.terminal()->feed(report);
    ASSERT_TRUE(spinUntil([&] { return firstHeard.heard.size() == 2 && secondHeard.heard.size() == 2; }));
    EXPECT_EQ(runs(), 2);
    EXPECT_EQ(firstHeard.heard.last(), dir.path() + QStringLiteral("|trunk|dirty"));
    EXPECT_EQ(secondHeard.heard.last(), dir.path() + QStringLiteral("|trunk|dirty"));

    now = now.addMSecs(4900);
    first.terminal()->feed(report);
    ASSERT_TRUE(spinUntil([&] { return firstHeard.heard.size() == 4; }));
    EXPECT_EQ(runs(), 2);

    now = now.addMSecs(100);
    first.terminal()->feed(report);
    ASSERT_TRUE(spinUntil([&] { return firstHeard.heard.size() == 6; }));
    EXPECT_EQ(runs(), 4);
}

TEST_F(ShellViewTest, FontSizeStepsStayWithinSixToTwentyFourAndOnlyChangesAreAnnounced) {
    struct Case {
        const char* name;
        double start;
        double delta;
        double expected;
        int posts;
    };
    const Case cases[] = {
        {"up", 9, 1, 10, 1},
        {"at the top", 24, 1, 24, 0},
        {"down to the floor", 6.5, -1, 6, 1},
        {"at the floor", 6, -1, 6, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsStore::shared().setFontSize(c.start);
        ShellView session;
        ShellView other;
        session.startSession(QStringLiteral("/bin/sh"), std::nullopt);
        other.startSession(QStringLiteral("/bin/sh"), std::nullopt);
        const QDateTime savedBefore = QFileInfo(SettingsStore::shared().settingsFile()).lastModified();
        int posts = 0;
        QObject owner;
        NotificationCenter::defaultCenter().addObserver(QString(SettingsStore::fontDidChange), &owner,
                                                        [&](const Notification&) { ++posts; });

        session.changeFontSize(c.delta);
        EXPECT_EQ(session.fontSize(), c.expected);
        EXPECT_EQ(SettingsStore::shared().fontSize(), c.expected);
        EXPECT_EQ(posts, c.posts);
        // Every session follows, and the terminal has the font of that size.
        EXPECT_EQ(other.fontSize(), c.expected);
        EXPECT_EQ(session.terminal()->font(), ShellView::resolveFont(session.fontName(), c.expected));
        if (c.posts == 0) {
            EXPECT_EQ(QFileInfo(SettingsStore::shared().settingsFile()).lastModified(), savedBefore);
        }
    }
}

// Two faults seen on a device's screen: the glyphs of the first column were cut by the screen's soft,
// rounded edge (the terminal touched the session's edge), and the scroll bar showed as a light strip at
// the right edge (it was filled with the desktop's window colour).
TEST(ShellViewLook, TheTerminalKeepsClearOfTheEdgesAndItsScrollBarTakesTheTerminalsColours) {
    ShellView session(QRect(0, 0, 320, 120));
    session.startSession(QStringLiteral("/bin/cat"), greenPalette);
    Tessaline::LocalProcessTerminalView* terminal = session.terminal();
    ASSERT_TRUE(terminal);
    EXPECT_EQ(terminal->geometry(), QRect(0, 0, 320, 120).marginsRemoved(ShellView::terminalMargins));
    terminal->feed(std::string("\x1b[H8888\r\n8888"));
    QTest::qWait(50);
    const QImage image = session.grab().toImage();
    const QColor background = greenPalette.background.toQColor();
    auto isBackground = [&](QRgb pixel) {
        return std::abs(qRed(pixel) - background.red()) <= 1 && std::abs(qGreen(pixel) - background.green()) <= 1 &&
               std::abs(qBlue(pixel) - background.blue()) <= 1;
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < ShellView::terminalMargins.left(); ++x)
            ASSERT_TRUE(isBackground(image.pixel(x, y))) << x << "," << y;

    const QRect bar = terminal->scroller()->geometry().translated(terminal->pos());
    ASSERT_TRUE(bar.isValid());
    const QColor track = image.pixelColor(bar.center());
    EXPECT_LT(std::abs(track.lightness() - background.lightness()), 40)
        << "track " << track.name().toStdString();
}

// The corner cells of the terminal stay inside the screen's rounding: the prompt's first letter sits in
// the top-left corner.
TEST(ShellViewLook, TheTerminalKeepsItsCornerCellsInsideARoundedScreen) {
    struct Case {
        double radius;
        QMargins margins;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Case& c : {Case{0, {4, 2, 4, 2}}, Case{-5, {4, 2, 4, 2}}, Case{nan, {4, 2, 4, 2}},
                          Case{10, {4, 3, 4, 3}}, Case{22, {7, 7, 7, 7}}, Case{44, {13, 13, 13, 13}}}) {
        const QMargins m = ShellView::terminalMarginsFor(c.radius);
        EXPECT_EQ(m, c.margins) << c.radius;
        if (c.radius > 0) {
            // The cell corner (left, top) is within the circle of the top-left rounding.
            const double dx = c.radius - m.left(), dy = c.radius - m.top();
            EXPECT_LE(dx * dx + dy * dy, c.radius * c.radius) << c.radius;
        }
    }

    ShellView session(QRect(0, 0, 320, 120));
    session.startSession(QStringLiteral("/bin/cat"), std::nullopt);
    ASSERT_TRUE(session.terminal());
    session.setScreenCornerRadius(22);
    EXPECT_EQ(session.terminal()->geometry(), QRect(7, 7, 306, 106));
    session.setScreenCornerRadius(0);
    EXPECT_EQ(session.terminal()->geometry(), QRect(0, 0, 320, 120).marginsRemoved(ShellView::terminalMargins));
}
