#include "Settings/SettingsStore.h"
#include "Windows/PillButton.h"
#include "Windows/SessionManager.h"
#include "Windows/SessionTabsView.h"
#include "Windows/ShellView.h"
#include "Windows/TerminalPanel.h"

#include "ViewTestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMenu>
#include <QWidget>

#include <gtest/gtest.h>

using namespace Quillaby;
using QuillabyTest::screenText;
using QuillabyTest::spinUntil;

namespace {

const SkinManifest::TerminalPalette amber{RgbColor::rgb(1.0, 0.7, 0.2), RgbColor::rgb(0.1, 0.05, 0.0),
                                          std::nullopt, std::nullopt};

QList<RgbColor> ansiColors(double blue) {
    QList<RgbColor> colors;
    for (int i = 0; i < 16; ++i)
        colors.append(RgbColor::rgb(i / 16.0, 0.25, blue));
    return colors;
}

// A panel inside a window, with its sessions running /bin/sh.
class PanelTest : public testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().setDefaultShell(QStringLiteral("/bin/sh"));
        window.resize(400, 300);
        window.show();
        resetPanel();
    }
    void TearDown() override { dropPanel(); }

    void resetPanel() {
        dropPanel();
        panel = std::make_unique<TerminalPanel>(amber);
        panel->container()->setParent(&window);
        panel->container()->setGeometry(0, 0, 400, 300);
        panel->container()->show();
    }
    void dropPanel() {
        if (!panel) return;
        QWidget* container = panel->container();
        panel.reset();
        delete container;
    }

    // n sessions with the given one active.
    void makeSessions(int n, int active) {
        panel->startSession(std::nullopt);
        while (panel->manager().count() < n)
            panel->addSession();
        panel->manager().switchTo(active);
    }

    QWidget window;
    std::unique_ptr<TerminalPanel> panel;
};

} // namespace

TEST_F(PanelTest, ANewPanelShowsOneActiveSessionWhoseTerminalHasFocus) {
    QList<int> changes;
    panel->onActiveSessionChanged = [&](int index) { changes << index; };
    panel->startSession(std::nullopt);

    SessionManager& manager = panel->manager();
    ASSERT_EQ(manager.count(), 1);
    EXPECT_EQ(manager.activeIndex(), 0);
    ShellView* session = manager.active();
    EXPECT_TRUE(session->isVisible());
    EXPECT_EQ(session->parentWidget(), panel->shellHost());
    EXPECT_EQ(session->geometry(), QRect(0, 0, 400, 300));
    EXPECT_EQ(window.focusWidget(), session->terminal());
    EXPECT_EQ(panel->focusView(), session->terminal());
    EXPECT_EQ(panel->tabsView()->pillViews().size(), 1);
    EXPECT_EQ(changes, QList<int>{0});
    EXPECT_EQ(panel->panelName(), QStringLiteral("Terminal"));
}

TEST_F(PanelTest, AddingMakesTheNewSessionActiveWithAPillAndFocus) {
    makeSessions(1, 0);
    ShellView* first = panel->manager().active();
    EXPECT_EQ(panel->addSession(), 1);
    ShellView* second = panel->manager().active();
    EXPECT_NE(first, second);
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(window.focusWidget(), second->terminal());
    EXPECT_EQ(panel->tabsView()->pillViews().size(), 2);
    EXPECT_TRUE(panel->tabsView()->pillViews()[1]->isActive());

    // The strip sits 4 points from the left and bottom edges; the hidden session keeps the host's size.
    EXPECT_EQ(panel->tabsView()->geometry(), QRect(4, 280, 16 * 3 + 3 * 2, 16));
    panel->container()->resize(500, 320);
    EXPECT_EQ(panel->tabsView()->geometry(), QRect(4, 300, 54, 16));
    EXPECT_EQ(first->geometry(), QRect(0, 0, 500, 320));
    EXPECT_EQ(first->terminal()->geometry(), QRect(0, 0, 500, 320).marginsRemoved(ShellView::terminalMargins));
}

TEST(TerminalPanelGeometry, TheStripHoldsThePillsAndThePlusPill) {
    struct Case {
        int sessions;
        int width;
    };
    for (const Case& c : {Case{1, 35}, Case{2, 54}, Case{3, 73}}) {
        SCOPED_TRACE(c.sessions);
        EXPECT_EQ(TerminalPanel::tabStripFrame(QSize(640, 480), c.sessions), QRect(4, 460, c.width, 16));
    }
}

TEST_F(PanelTest, ClosingFollowsTheTableOfCases) {
    struct Case {
        const char* name;
        int count;
        int active;
        int close;
        int expectedCount;
        // Position in the original list of the session active afterwards.
        int expectedActiveSession;
        int expectedActive;
        bool synchronises;
    };
    const Case cases[] = {
        {"before the active", 3, 1, 0, 2, 1, 0, true}, {"the active one", 3, 1, 1, 2, 2, 1, true},
        {"after the active", 3, 1, 2, 2, 1, 1, true},  {"the active last one", 3, 2, 2, 2, 1, 1, true},
        {"the only one", 1, 0, 0, 1, 0, 0, false},     {"index -1", 2, 0, -1, 2, 0, 0, false},
        {"index = count", 2, 0, 2, 2, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetPanel();
        makeSessions(c.count, c.active);
        const QList<ShellView*> before = panel->manager().sessions();
        int syncs = 0;
        panel->onActiveSessionChanged = [&](int) { ++syncs; };

        panel->manager().closeSession(c.close);
        EXPECT_EQ(panel->manager().count(), c.expectedCount);
        EXPECT_EQ(panel->manager().activeIndex(), c.expectedActive);
        EXPECT_EQ(panel->manager().active(), before[c.expectedActiveSession]);
        EXPECT_EQ(syncs, c.synchronises ? 1 : 0);
        EXPECT_EQ(panel->tabsView()->count(), c.expectedCount);
        EXPECT_TRUE(panel->manager().active()->isVisible());
        if (c.synchronises) {
            EXPECT_FALSE(panel->manager().sessions().contains(before[c.close]));
        }
    }
}

TEST_F(PanelTest, CyclingWrapsBothWaysAndIgnoresASingleSession) {
    makeSessions(1, 0);
    int syncs = 0;
    panel->onActiveSessionChanged = [&](int) { ++syncs; };
    panel->manager().cycle(true);
    panel->manager().cycle(false);
    EXPECT_EQ(syncs, 0);

    panel->addSession();
    panel->addSession();
    ASSERT_EQ(panel->manager().activeIndex(), 2);
    QList<int> visited;
    for (bool forward : {true, true, false, false, false}) {
        panel->manager().cycle(forward);
        visited << panel->manager().activeIndex();
    }
    EXPECT_EQ(visited, (QList<int>{0, 1, 0, 2, 1}));
    panel->manager().switchTo(1);
    panel->manager().switchTo(7);
    EXPECT_EQ(panel->manager().activeIndex(), 1);
}

TEST_F(PanelTest, AClosedRunningTabPrintsNothingAndLeavesNoZombie) {
    makeSessions(2, 1);
    ShellView* closing = panel->manager().active();
    Tessaline::LocalProcessTerminalView* terminal = closing->terminal();
    ASSERT_TRUE(
        spinUntil([&] { return terminal->process().running() && terminal->process().shellPid() > 0; }));
    const int pid = terminal->process().shellPid();
    QPointer<ShellView> watch(closing);

    panel->manager().closeSession(1);
    ASSERT_FALSE(watch.isNull());
    EXPECT_EQ(screenText(*terminal).find("exited"), std::string::npos);
    // Gone from the process table once reaped (a zombie keeps its entry).
    EXPECT_TRUE(spinUntil([&] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

TEST_F(PanelTest, PalettesReachRunningAndLaterSessionsAndKeepAnsiColoursWithoutNewOnes) {
    SkinManifest::TerminalPalette withAnsi = amber;
    withAnsi.ansi = ansiColors(0.5);
    panel->startSession(withAnsi);
    ShellView* first = panel->manager().active();
    EXPECT_EQ(first->terminal()->terminal().installedColors[3],
              ShellView::toTessalineColor(ansiColors(0.5)[3]));

    SkinManifest::TerminalPalette plain{RgbColor::rgb(0.1, 0.9, 0.1), RgbColor::rgb(0, 0, 0),
                                        RgbColor::rgb(1, 1, 1), std::nullopt};
    panel->applyPalette(plain);
    EXPECT_EQ(first->terminal()->nativeForegroundColor(), plain.foreground.toQColor());
    EXPECT_EQ(first->terminal()->caretColor(), QColor(Qt::white));
    EXPECT_EQ(first->terminal()->terminal().installedColors[3],
              ShellView::toTessalineColor(ansiColors(0.5)[3]));
    // The strip takes the palette at the next synchronisation.
    EXPECT_EQ(panel->tabsView()->palette(), withAnsi);

    panel->addSession();
    EXPECT_EQ(panel->manager().active()->terminal()->nativeForegroundColor(), plain.foreground.toQColor());
    EXPECT_EQ(panel->tabsView()->palette(), plain);
    EXPECT_EQ(panel->tabsView()->pillViews()[0]->paletteForeground(), plain.foreground.toQColor());
}

TEST_F(PanelTest, TheStripsGesturesDriveTheSessions) {
    makeSessions(3, 0);
    SessionTabsView* strip = panel->tabsView();

    strip->pillViews()[2]->onClick();
    EXPECT_EQ(panel->manager().activeIndex(), 2);
    strip->addButton()->onClick();
    EXPECT_EQ(panel->manager().count(), 4);
    EXPECT_EQ(panel->manager().activeIndex(), 3);

    std::unique_ptr<QMenu> menu = strip->pillViews()[1]->makeContextMenu();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Close Tab 2"));
    menu->actions()[0]->trigger();
    ASSERT_TRUE(spinUntil([&] { return panel->manager().count() == 3; }));
    EXPECT_EQ(panel->manager().activeIndex(), 2);
    EXPECT_EQ(strip->pillViews().size(), 3);
}

TEST_F(PanelTest, TerminateAllEmptiesTheListForGood) {
    makeSessions(2, 0);
    QList<QPointer<ShellView>> sessions;
    for (ShellView* session : panel->manager().sessions())
        sessions << session;
    int syncs = 0;
    panel->onActiveSessionChanged = [&](int) { ++syncs; };

    panel->manager().terminateAll();
    EXPECT_EQ(panel->manager().count(), 0);
    EXPECT_EQ(panel->manager().active(), nullptr);
    EXPECT_EQ(panel->manager().activeIndex(), 0);
    EXPECT_EQ(panel->focusView(), nullptr);
    EXPECT_EQ(syncs, 0);
    for (const QPointer<ShellView>& session : sessions)
        EXPECT_TRUE(session.isNull());
    panel->manager().cycle(true);
    panel->manager().closeSession(0);
    EXPECT_EQ(panel->manager().count(), 0);
}
