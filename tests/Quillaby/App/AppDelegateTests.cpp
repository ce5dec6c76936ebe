// Start-up and shutdown: which windows a launch opens, the first-launch welcome, the debounced save of
// window positions, the single running copy and quitting.
#include "App/AppDelegate.h"
#include "App/AppHooks.h"
#include "App/AppResources.h"
#include "App/Log.h"
#include "App/SingleInstance.h"
#include "App/WelcomeWindowController.h"
#include "Picker/SkinPickerWindowController.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/SessionManager.h"
#include "Windows/TerminalPanel.h"

#include "ViewTestSupport.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace Quillaby;
using QuillabyTest::spinUntil;

namespace {

const QRect screen(0, 0, 1440, 900);

class AppDelegateTest : public testing::Test {
protected:
    void SetUp() override {
        store().resetAll();
        store().setDefaultShell(QStringLiteral("/bin/sh"));
        hooks->screens = [] { return ScreenFrames{screen, {screen}}; };
        SkinLoader::shared().loadAll();
    }
    void TearDown() override { store().resetAll(); }

    static SettingsStore& store() { return SettingsStore::shared(); }
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    // settings.json as it is on disk.
    static QJsonObject settingsOnDisk() {
        QFile file(store().settingsFile());
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    static QStringList skinNames(const AppDelegate& app) {
        QStringList names;
        for (const DeviceWindowController* controller : app.windowControllers)
            names.append(controller->skin().name);
        return names;
    }
    static SkinManifest loadedSkin(const QString& id) {
        for (const SkinManifest& skin : SkinLoader::shared().skins())
            if (skin.id == id) return skin;
        ADD_FAILURE() << "no loaded skin " << id.toStdString();
        return SkinManifest::handheld();
    }

    ScopedAppHooks hooks;
};

// Reads settings.json the moment a window with the given title is shown.
class ShowWatcher : public QObject {
public:
    explicit ShowWatcher(QString title)
        : _title(std::move(title)) {
        qApp->installEventFilter(this);
    }
    ~ShowWatcher() override { qApp->removeEventFilter(this); }
    std::optional<QJsonObject> settingsWhenShown;
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && widget && widget->isWindow() && widget->windowTitle() == _title &&
            !settingsWhenShown) {
            QFile file(SettingsStore::shared().settingsFile());
            if (file.open(QIODevice::ReadOnly)) settingsWhenShown = QJsonDocument::fromJson(file.readAll()).object();
        }
        return false;
    }

private:
    QString _title;
};

} // namespace

TEST_F(AppDelegateTest, AFirstLaunchSavesTheFlagBeforeTheWelcomeAndThreeReturnsOpenThePicker) {
    ShowWatcher watcher(QStringLiteral("Welcome to Quillaby"));
    AppDelegate app;
    app.continueLaunch();
    ASSERT_TRUE(app.welcomeController);
    ASSERT_TRUE(watcher.settingsWhenShown);
    EXPECT_TRUE(watcher.settingsWhenShown->value("hasLaunchedBefore").toBool());
    EXPECT_TRUE(app.windowControllers.isEmpty());
    EXPECT_FALSE(app.skinPickerController);

    QWidget* welcome = app.welcomeController->window();
    ASSERT_TRUE(welcome->isVisible());
    // The window once had minimise and maximise buttons, and titles in typographic points that the
    // second page's title filled from edge to edge.
    EXPECT_FALSE(welcome->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(app.welcomeController->view()->titleLabel()->font().pixelSize(), 22);
    // Return goes to the focused primary button, which leaves it to the page.
    for (int press = 1; press <= 3; ++press) {
        SCOPED_TRACE(press);
        EXPECT_EQ(app.welcomeController->view()->primaryButton()->text(),
                  press == 3 ? QStringLiteral("Pick a Skin") : QStringLiteral("Next"));
        QTest::keyClick(app.welcomeController->view()->primaryButton(), Qt::Key_Return);
        EXPECT_EQ(bool(app.skinPickerController), press == 3);
    }
    EXPECT_FALSE(welcome->isVisible());
    EXPECT_TRUE(app.skinPickerController->window()->isVisible());
    EXPECT_TRUE(app.windowControllers.isEmpty());
}

TEST_F(AppDelegateTest, ClosingTheWelcomeOpensNothingAndTheNextLaunchOpensTheDefaultSkin) {
    {
        AppDelegate app;
        app.continueLaunch();
        ASSERT_TRUE(app.welcomeController);
        app.welcomeController->window()->close();
        settle();
        EXPECT_FALSE(app.skinPickerController);
        EXPECT_TRUE(app.windowControllers.isEmpty());
    }
    EXPECT_TRUE(settingsOnDisk().value("hasLaunchedBefore").toBool());
    AppDelegate next;
    next.continueLaunch();
    EXPECT_FALSE(next.welcomeController);
    EXPECT_EQ(skinNames(next), QStringList{store().defaultSkin()});
}

TEST_F(AppDelegateTest, SavedWindowsReopenInOrderAndAnIdMatchBeatsANameMatch) {
    const SkinManifest handheld = loadedSkin("handheld"), crt = loadedSkin("desk-crt");
    store().setHasLaunchedBefore(true);
    store().setLastWindows({
        {crt.id, handheld.name, 100, 60, 300, 400}, // the id wins over the name
        {QString(), handheld.name, 500, 60, 320, 446}, // no id: the name decides
        {QStringLiteral("gone"), QStringLiteral("Gone Skin"), 900, 60, 300, 400}, // skipped
        {QStringLiteral("gone"), crt.name, 900, 200, 280, 440}, // an unknown id falls back to the name
    });
    AppDelegate app;
    app.continueLaunch();
    settle();
    ASSERT_EQ(skinNames(app), (QStringList{crt.name, handheld.name, crt.name}));
    EXPECT_EQ(app.windowControllers[0]->window()->geometry(), QRect(100, 60, 300, 400));
    EXPECT_EQ(app.windowControllers[1]->window()->geometry(), QRect(500, 60, 320, 446));
    EXPECT_EQ(app.windowControllers[2]->window()->geometry(), QRect(900, 200, 280, 440));

    // Every saved skin gone: the default skin opens instead.
    store().setLastWindows({{QStringLiteral("gone"), QStringLiteral("Gone Skin"), 100, 60, 300, 400}});
    AppDelegate later;
    later.continueLaunch();
    EXPECT_EQ(skinNames(later), QStringList{store().defaultSkin()});
}

TEST_F(AppDelegateTest, APreviewSkinOpensAloneAndLeavesTheFirstLaunchFlag) {
    const QString folder = *AppResources::bundle().resourcePath() + QStringLiteral("/Skins/desk-crt");
    store().setLastWindows({{QStringLiteral("handheld"), QStringLiteral("Handheld v1"), 100, 60, 300, 400}});
    {
        LogCapture log;
        AppDelegate app;
        app.arguments = {QStringLiteral("quillaby"), QStringLiteral("--preview-skin"), folder};
        app.continueLaunch();
        EXPECT_EQ(skinNames(app), QStringList{QStringLiteral("Desk CRT 80")});
        EXPECT_FALSE(app.welcomeController);
        EXPECT_FALSE(store().hasLaunchedBefore());
        EXPECT_TRUE(log.lines().contains(QStringLiteral("[Quillaby] Preview skin requested: ") + folder));
    }

    store().setLastWindows({});
    store().setHasLaunchedBefore(true);
    const QString missing = QStringLiteral("/nonexistent/quillaby-skin");
    struct Case {
        const char* name;
        QStringList arguments;
        QString logged;
    };
    const Case cases[] = {
        {"unreadable folder", {"quillaby", "--preview-skin", missing},
         QStringLiteral("[Quillaby] Failed to load preview skin from ") + missing},
        {"no folder after the option", {"quillaby", "--preview-skin"}, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        AppDelegate app;
        app.arguments = c.arguments;
        app.continueLaunch();
        EXPECT_EQ(skinNames(app), QStringList{store().defaultSkin()});
        if (c.logged.isEmpty())
            EXPECT_TRUE(log.lines().filter(QStringLiteral("review skin")).isEmpty()) << log.lines().join('\n').toStdString();
        else
            EXPECT_TRUE(log.lines().contains(c.logged)) << log.lines().join('\n').toStdString();
    }
}

TEST_F(AppDelegateTest, MovingAWindowSavesOnce500MillisecondsAfterItStops) {
    store().setHasLaunchedBefore(true);
    AppDelegate app;
    app.openNewWindow(SkinManifest::handheld());
    settle();
    DeviceWindow* window = app.windowControllers.first()->window();
    store().setLastWindows({});
    const QByteArray before = QJsonDocument(settingsOnDisk()).toJson();

    for (int step = 1; step <= 5; ++step) {
        window->move(window->x() + 10, window->y() + 4);
        settle();
    }
    QTimer* pending = app.pendingSnapshotTimer();
    ASSERT_TRUE(pending);
    EXPECT_TRUE(pending->isActive());
    EXPECT_TRUE(pending->isSingleShot());
    EXPECT_EQ(pending->interval(), 500);
    EXPECT_GT(pending->remainingTime(), 400) << "each move starts the wait again";
    EXPECT_EQ(QJsonDocument(settingsOnDisk()).toJson(), before) << "nothing is written while moving";

    QMetaObject::invokeMethod(pending, "timeout");
    EXPECT_FALSE(pending->isActive());
    const QList<WindowState> saved = store().lastWindows();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(QRect(int(saved[0].x), int(saved[0].y), int(saved[0].width), int(saved[0].height)),
              window->geometry());
    EXPECT_EQ(saved[0].skinName, QStringLiteral("Handheld v1"));
}

TEST_F(AppDelegateTest, ASecondLaunchShowsTheRunningCopy) {
    const QString name = QStringLiteral("quillaby-test-%1").arg(getpid());
    SingleInstance first(name);
    ASSERT_TRUE(first.listen());
    int activations = 0;
    first.onActivate = [&] { ++activations; };
    EXPECT_TRUE(SingleInstance(name).notifyRunning());
    EXPECT_TRUE(spinUntil([&] { return activations == 1; }));
    EXPECT_FALSE(SingleInstance(name + QStringLiteral("-none")).notifyRunning(200));

    store().setHasLaunchedBefore(true);
    AppDelegate app;
    // Nothing visible: the picker.
    app.handleReopen();
    ASSERT_TRUE(app.skinPickerController);
    EXPECT_TRUE(app.skinPickerController->window()->isVisible());
    app.skinPickerController->close();
    // A device window visible: it comes forward and no picker opens.
    app.openNewWindow(SkinManifest::handheld());
    settle();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(spinUntil([&] { return QApplication::activeWindow() == &other; }));
    app.handleReopen();
    EXPECT_FALSE(app.skinPickerController->window()->isVisible());
    EXPECT_TRUE(spinUntil([&] { return QApplication::activeWindow() == app.windowControllers.first()->window(); }));
}

TEST_F(AppDelegateTest, QuittingSavesEveryWindowInItsDeviceFrameAndSendsTheShellsSigterm) {
    QTemporaryDir dir;
    const QString shell = dir.filePath(QStringLiteral("shell.sh"));
    QFile script(shell);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\n"
                                // Closing the terminal also hangs up: only SIGTERM may end it here.
                                "trap '' HUP\n"
                                "trap 'echo $$ >> \"%1/terms\"; exit 0' TERM\n"
                                "echo $$ >> \"%1/ready\"\n"
                                "while :; do sleep 0.05; done\n")
                     .arg(dir.path())
                     .toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    store().setDefaultShell(shell);
    auto lines = [&](const char* file) {
        QFile f(dir.filePath(QString::fromLatin1(file)));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts)
                                           : QStringList();
    };

    AppDelegate app;
    app.openNewWindow(loadedSkin("handheld"));
    app.openNewWindow(loadedSkin("desk-crt"), WindowState{"desk-crt", "Desk CRT 80", 700, 80, 340, 400});
    settle();
    ASSERT_TRUE(spinUntil([&] { return lines("ready").size() == 2; }));
    DeviceWindowController* mini = app.windowControllers[1];
    mini->enterMiniMode();
    settle();
    const QRect first = app.windowControllers[0]->window()->geometry();

    app.applicationWillTerminate();
    const QList<WindowState> saved = store().lastWindows();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0].id, QStringLiteral("handheld"));
    EXPECT_EQ(QRect(int(saved[0].x), int(saved[0].y), int(saved[0].width), int(saved[0].height)), first);
    EXPECT_EQ(saved[1].id, QStringLiteral("desk-crt"));
    EXPECT_EQ(QRect(int(saved[1].x), int(saved[1].y), int(saved[1].width), int(saved[1].height)),
              QRect(700, 80, 340, 400));
    for (DeviceWindowController* controller : app.windowControllers) {
        EXPECT_TRUE(controller->didTeardown());
        EXPECT_EQ(controller->terminalPanel()->manager().count(), 0);
    }
    EXPECT_TRUE(spinUntil([&] { return lines("terms").size() == 2; })) << lines("terms").join(' ').toStdString();
    QStringList terms = lines("terms"), ready = lines("ready");
    terms.sort();
    ready.sort();
    EXPECT_EQ(terms, ready) << "each shell heard SIGTERM";
}
