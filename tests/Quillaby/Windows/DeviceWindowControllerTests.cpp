#include "App/AppHooks.h"
#include "App/NotificationCenter.h"
#include "Settings/CuratedPalettes.h"
#include "Settings/HexColor.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"
#include "Skins/SkinManifest.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/DevicePlacement.h"
#include "Windows/SessionManager.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "TerminalFindBarView.h"
#include "TerminalView.h"
#include "ViewTestSupport.h"

#include <QAction>
#include <QChildEvent>
#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace Quillaby;
using QuillabyTest::spinUntil;

namespace {

// Device windows on an injected 1440 x 900 screen, with /bin/sh as the shell and no stored settings
// for the skins they show.
class DeviceWindowTest : public testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().resetAll();
        SettingsStore::shared().setDefaultShell(QStringLiteral("/bin/sh"));
        hooks->screens = [] { return ScreenFrames{QRect(0, 0, 1440, 900), {QRect(0, 0, 1440, 900)}}; };
    }
    void TearDown() override { SettingsStore::shared().resetAll(); }

    // Lets the window system deliver the geometry changes a step made.
    static void settle() {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }

    ScopedAppHooks hooks;
};

// Counts the frame views a window is given (each is polished once, as it shows): each reload of the skin
// installs one.
class FrameViewCounter : public QObject {
public:
    int added = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ChildPolished &&
            qobject_cast<SkinFrameView*>(static_cast<QChildEvent*>(event)->child()))
            ++added;
        return false;
    }
};

} // namespace

// The terminal view leaves the Ctrl+Shift chord to its window, which runs Find on the active session
// (copy, paste and select all are the application menu's).
TEST_F(DeviceWindowTest, FindShortcutActsOnTheActiveSession) {
    DeviceWindowController controller(SkinManifest::handheld(), std::nullopt);
    ASSERT_TRUE(controller.window());
    QAction* find = nullptr;
    for (QAction* action : controller.window()->actions()) {
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)) find = action;
        EXPECT_NE(action->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    }
    ASSERT_TRUE(find);
    Tessaline::TerminalView* view = controller.terminalPanel()->manager().active()->terminal();
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->findBar() && view->findBar()->isVisible());
    find->trigger();
    ASSERT_TRUE(view->findBar());
    EXPECT_FALSE(view->findBar()->isHidden());
}

TEST_F(DeviceWindowTest, OpensAtTheLaunchPlacementOfTheInjectedScreen) {
    DeviceWindowController controller(SkinManifest::handheld(), std::nullopt);
    controller.showWindow();
    settle();
    EXPECT_EQ(controller.window()->geometry(), QRect(521, 173, 398, 555));
    EXPECT_DOUBLE_EQ(controller.currentScale(), 1);
}

TEST_F(DeviceWindowTest, MiniModeIsAPlainTerminalAndLeavingItRestoresTheExactFrame) {
    for (bool screenInFront : {false, true}) {
        SCOPED_TRACE(screenInFront ? "screen in front" : "frame in front");
        SkinManifest skin = SkinManifest::handheld();
        skin.screenInFront = screenInFront;
        SkinEffectsSettings scanlines;
        scanlines.scanlines = true;
        SettingsStore::shared().setSkinEffects({{skin.name, scanlines}});
        DeviceWindowController controller(skin, WindowState{skin.id, skin.name, 300, 120, 597, 833});
        controller.showWindow();
        settle();
        DeviceWindow* window = controller.window();
        const QRect device = window->geometry();
        ASSERT_EQ(device, QRect(300, 120, 597, 833));
        ASSERT_TRUE(controller.effectsLayer()->isVisibleTo(window));

        controller.enterMiniMode();
        settle();
        EXPECT_FALSE(controller.isDeviceMode());
        EXPECT_EQ(controller.deviceFrameBeforeMini(), device);
        EXPECT_EQ(window->geometry(), QRect(299, 327, 600, 420));
        EXPECT_EQ(window->minimumSize(), QSize(320, 200));
        EXPECT_FALSE(window->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_FALSE(controller.skinFrameView()->isVisibleTo(window));
        EXPECT_FALSE(controller.effectsLayer()->isVisibleTo(window));
        EXPECT_EQ(controller.screenContainer()->geometry(), window->rect());
        EXPECT_TRUE(window->mask().isEmpty());
        // Device scaling leaves a mini window alone.
        EXPECT_EQ(controller.savedFrame(), device);
        // A mini window the user (or a late window manager) resizes kept the screen at its first size.
        window->resize(700, 500);
        settle();
        EXPECT_EQ(controller.screenContainer()->geometry(), QRect(0, 0, 700, 500));

        controller.exitMiniMode();
        settle();
        EXPECT_TRUE(controller.isDeviceMode());
        EXPECT_EQ(window->geometry(), device);
        EXPECT_DOUBLE_EQ(controller.currentScale(), 597 / 398.0);
        EXPECT_EQ(window->minimumSize(), QSize(0, 0));
        EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
        EXPECT_TRUE(controller.skinFrameView()->isVisibleTo(window));
        EXPECT_TRUE(controller.effectsLayer()->isVisibleTo(window));
        EXPECT_FALSE(window->mask().isEmpty());
    }
}

TEST_F(DeviceWindowTest, AReloadInMiniModeIsAppliedOnceWhenMiniModeEnds) {
    SkinLoader::shared().loadAll();
    const SkinManifest skin = SkinLoader::shared().skins().first();
    DeviceWindowController controller(skin, std::nullopt);
    controller.showWindow();
    FrameViewCounter counter;
    controller.window()->installEventFilter(&counter);

    NotificationCenter::defaultCenter().post(SkinLoader::skinsDidReload);
    EXPECT_EQ(counter.added, 1) << "a reload in device mode applies at once";

    controller.enterMiniMode();
    NotificationCenter::defaultCenter().post(SkinLoader::skinsDidReload);
    NotificationCenter::defaultCenter().post(SkinLoader::skinsDidReload);
    EXPECT_EQ(counter.added, 1);
    EXPECT_TRUE(controller.skinReloadPendingWhileMini());

    controller.exitMiniMode();
    EXPECT_EQ(counter.added, 2);
    EXPECT_FALSE(controller.skinReloadPendingWhileMini());
    controller.enterMiniMode();
    controller.exitMiniMode();
    EXPECT_EQ(counter.added, 2);
    controller.window()->removeEventFilter(&counter);
}

// The desktop showed through the device: two rows above a keystoned screen taller than its bounding box,
// a column beside a screen scaled by 1.2, and a faint line where the soft edges of a warped screen and
// of the art's hole met. Down the middle and across the middle of the viewport, the frame art and the
// screen between them leave no pixel see-through, even in part.
TEST_F(DeviceWindowTest, TheScreenCoversTheViewportWithoutGaps) {
    SkinLoader::shared().loadAll();
    for (const SkinManifest& skin : SkinLoader::shared().skins()) {
        DeviceWindowController controller(skin, std::nullopt);
        controller.showWindow();
        settle();
        for (int step = 0; step < 2; ++step) {
            SCOPED_TRACE(QStringLiteral("%1 after %2 bigger steps").arg(skin.id).arg(step).toStdString());
            const QImage drawn = controller.window()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
            const double s = controller.currentScale();
            const QRectF viewport(skin.viewportRect.x() * s, skin.viewportRect.y() * s,
                                  std::abs(skin.viewportRect.width()) * s, std::abs(skin.viewportRect.height()) * s);
            const int cx = int(viewport.center().x()), cy = int(viewport.center().y());
            QStringList holes;
            for (int y = int(viewport.top()); y <= int(viewport.bottom()); ++y)
                if (qAlpha(drawn.pixel(cx, y)) < 255) holes << QStringLiteral("(%1,%2)").arg(cx).arg(y);
            for (int x = int(viewport.left()); x <= int(viewport.right()); ++x)
                if (qAlpha(drawn.pixel(x, cy)) < 255) holes << QStringLiteral("(%1,%2)").arg(x).arg(cy);
            EXPECT_TRUE(holes.isEmpty()) << holes.join(QLatin1Char(' ')).toStdString();
            controller.scaleDevice(DeviceWindowController::biggerFactor);
            settle();
        }
    }
}

TEST_F(DeviceWindowTest, FiveSmallerStepsGiveAboutTwoFifthsOfTheFrameRoundedEachStep) {
    DeviceWindowController controller(SkinManifest::handheld(), std::nullopt);
    controller.showWindow();
    settle();
    QRect expected = controller.window()->geometry();
    for (int i = 0; i < 5; ++i) {
        controller.scaleDevice(DeviceWindowController::smallerFactor);
        settle();
        const double w = std::round(expected.width() / 1.2), h = std::round(expected.height() / 1.2);
        expected = QRect(int(std::lround(expected.x() - (w - expected.width()) / 2)),
                         int(std::lround(expected.y() - (h - expected.height()) / 2)), int(w), int(h));
        EXPECT_EQ(controller.window()->geometry(), expected) << "step " << i + 1;
    }
    EXPECT_NEAR(controller.window()->width() / 398.0, 0.4019, 0.003);
    EXPECT_NEAR(controller.currentScale(), 0.4019, 0.003);
}

// Each "bigger" step once grew the window without end, to sizes no screen shows and backing stores of
// gigabytes. On the 1440x900 screen the handheld stops at the last step that still fits.
TEST_F(DeviceWindowTest, BiggerStepsStopBeforeTheDeviceOutgrowsTheScreen) {
    DeviceWindowController controller(SkinManifest::handheld(), std::nullopt);
    controller.showWindow();
    settle();
    for (int i = 0; i < 30; ++i) {
        controller.scaleDevice(DeviceWindowController::biggerFactor);
        settle();
    }
    const QRect frame = controller.window()->geometry();
    EXPECT_LE(frame.width(), 1440);
    EXPECT_LE(frame.height(), 900);
    const QRect next = DevicePlacement::scaledAboutCentre(frame, DeviceWindowController::biggerFactor);
    EXPECT_TRUE(next.width() > 1440 || next.height() > 900);
    EXPECT_NEAR(controller.currentScale(), frame.width() / 398.0, 0.003);
    // Smaller steps are never refused.
    controller.scaleDevice(DeviceWindowController::smallerFactor);
    settle();
    EXPECT_LT(controller.window()->width(), frame.width());
}

TEST_F(DeviceWindowTest, SettingsPostsNamingAnotherSkinAreIgnored) {
    const SkinManifest skin = SkinManifest::handheld();
    const CuratedPalette curated = CuratedPalettes::all().first();
    struct Case {
        const char* name;
        QVariant object;
        bool applies;
    };
    const Case cases[] = {
        {"another skin", QStringLiteral("Walkie MK-1"), false},
        {"its own name", skin.name, true},
        {"no object", QVariant(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsStore::shared().resetAll();
        SettingsStore::shared().setDefaultShell(QStringLiteral("/bin/sh"));
        DeviceWindowController controller(skin, std::nullopt);
        Tessaline::TerminalView* view = controller.terminalPanel()->manager().active()->terminal();
        const QColor before = view->nativeBackgroundColor();
        // Stored without a post: only the notification makes the window look again.
        SettingsStore::shared().setPaletteOverrides({{skin.name, curated.id}});
        SkinEffectsSettings glow;
        glow.glow = true;
        SettingsStore::shared().setSkinEffects({{skin.name, glow}});
        ASSERT_FALSE(controller.effectsLayer()->isVisibleTo(controller.window()));

        NotificationCenter::defaultCenter().post(SettingsStore::paletteDidChange, c.object);
        NotificationCenter::defaultCenter().post(SettingsStore::effectsDidChange, c.object);
        EXPECT_EQ(view->nativeBackgroundColor(), c.applies ? hexColorOrMagenta(curated.background).toQColor() : before);
        EXPECT_EQ(controller.effectsLayer()->isVisibleTo(controller.window()), c.applies);
    }
}

// A second close notification for the same window terminates nothing more.
TEST_F(DeviceWindowTest, ClosingEndsTheShellsOnce) {
    DeviceWindowController controller(SkinManifest::handheld(), std::nullopt);
    controller.showWindow();
    controller.window()->close();
    EXPECT_TRUE(controller.didTeardown());
    EXPECT_EQ(controller.terminalPanel()->manager().count(), 0);
    controller.windowWillClose();
    EXPECT_EQ(controller.terminalPanel()->manager().count(), 0);
}
