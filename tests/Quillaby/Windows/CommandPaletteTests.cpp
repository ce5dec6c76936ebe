#include "ViewTestSupport.h"

#include "App/AppDelegate.h"
#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/Log.h"
#include "Settings/SettingsStore.h"
#include "Skins/SkinLoader.h"
#include "Windows/CommandPaletteController.h"
#include "Windows/CommandPaletteView.h"
#include "Windows/DeviceWindowController.h"
#include "Windows/PaletteState.h"
#include "Windows/SessionManager.h"
#include "Windows/TerminalPanel.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace Quillaby;
using namespace QuillabyTest;

namespace {

QStringList titles(const QList<PaletteEntry>& entries) {
    QStringList result;
    for (const PaletteEntry& entry : entries) result << entry.title;
    return result;
}

void writeUserSkin(const QString& folder, const QString& name) {
    const QString path = AppPaths::skinsDir() + QLatin1Char('/') + folder;
    QDir().mkpath(path);
    QFile file(path + QStringLiteral("/skin.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{
                                 {"name", name},
                                 {"frame", QJsonObject{{"image", "frame@2x.png"}, {"width", 400}, {"height", 600}}},
                                 {"viewport", QJsonObject{{"x", 40}, {"y", 50}, {"width", 320}, {"height", 200}}},
                                 {"palette", QJsonObject{{"foreground", "#33FF66"}, {"background", "#000000"}}},
                                 {"buttons", QJsonArray{}},
                             })
                   .toJson());
}

class CommandPaletteTest : public testing::Test {
protected:
    void SetUp() override {
        SettingsStore::shared().resetAll();
        QDir(AppPaths::skinsDir()).removeRecursively();
        SkinLoader::shared().loadAll();
    }
    void TearDown() override {
        for (QWidget* window : QApplication::topLevelWidgets()) window->hide();
    }

    ScopedAppHooks _hooks;
    LogCapture _log;
};

} // namespace

TEST(PaletteState, ListsSkinsThenSessionsThenTheFourCommands) {
    PaletteState state;
    state.setSelectedIndex(3);
    state.reload(SkinManifest::fallbackSkins(), 2);
    EXPECT_EQ(titles(state.results()),
              (QStringList{"Handheld v1", "Walkie MK-1", "Session 1", "Session 2", "New Session", "Cycle Skin",
                           "Open Skin Picker", QString::fromUtf8("Settings\u2026")}));
    EXPECT_EQ(state.selectedIndex(), 0);
    const QList<PaletteEntry>& all = state.allEntries();
    QStringList rows;
    for (const PaletteEntry& entry : all) rows << entry.subtitle + " " + entry.icon;
    EXPECT_EQ(rows, (QStringList{"Skin paintbrush.fill", "Skin paintbrush.fill", "Terminal tab terminal",
                                 "Terminal tab terminal", "Ctrl+Shift+T plus",
                                 "Ctrl+Shift+L arrow.triangle.2.circlepath", "Ctrl+Shift+N rectangle.stack",
                                 "Ctrl+Shift+, gear"}));
    using Kind = PaletteEntry::Action::Kind;
    EXPECT_EQ(all[1].action, (PaletteEntry::Action{Kind::changeSkin, "Walkie MK-1", 0}));
    EXPECT_EQ(all[3].action, (PaletteEntry::Action{Kind::switchSession, {}, 1}));
    EXPECT_EQ(all[7].action.kind, Kind::openSettings);
    EXPECT_NE(all[0].id, all[1].id);
    const QUuid firstId = all[0].id;
    state.reload(SkinManifest::fallbackSkins(), -1);
    EXPECT_NE(state.allEntries()[0].id, firstId);
    EXPECT_EQ(state.allEntries().size(), 6) << "no anchor: no sessions";
}

TEST(PaletteState, RanksByTheFuzzyScoreAndKeepsListOrderForTies) {
    PaletteState state;
    state.reload(SkinManifest::fallbackSkins(), 2);
    state.setQuery("se");
    EXPECT_EQ(titles(state.results()), (QStringList{"Session 1", "Session 2", QString::fromUtf8("Settings\u2026"),
                                                    "New Session", "Open Skin Picker"}));
    // Spaces and tabs around the query and capitals in it do not matter; a line break does.
    state.setQuery(" \tSET  ");
    EXPECT_EQ(titles(state.results()), (QStringList{QString::fromUtf8("Settings\u2026")}));
    state.setQuery("set\n");
    EXPECT_TRUE(state.results().isEmpty());

    struct Case {
        const char* query;
        QString target;
        int score;
    };
    const Case cases[] = {
        {"se", "session 1", 1000},
        {"se", "new session", 500},
        {"se", "open skin picker", 284},
        {"se", "cycle skin", 0},
        {"", "anything", 0},
        {"ab", "a" + QString(150, 'x') + "b", 148},
        {"ab", "a" + QString(250, 'x') + "b", 100},
        // One user-perceived character each, whatever its code units.
        {"e", QString::fromUtf8("caf\u00e9 e"), 500},
        {"ce", QString::fromUtf8("c\U0001F600e"), 297},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_EQ(PaletteState::fuzzyScore(c.query, c.target), c.score) << c.target.toStdString();
    }
}

TEST_F(CommandPaletteTest, KeysMoveTheSelectionRunTheRowAndEscapeCloses) {
    CommandPaletteController palette;
    palette.open(nullptr);
    CommandPaletteView* view = palette.view();
    QLineEdit* field = view->searchField();
    ASSERT_TRUE(palette.window()->isVisible());
    EXPECT_EQ(field->placeholderText(), QString::fromUtf8("Jump to\u2026"));
    QList<QString> ran;
    view->onRun = [&](const PaletteEntry& entry) { ran << entry.title; };

    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(palette.state().selectedIndex(), 2);
    QTest::keyClick(field, Qt::Key_Up);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(ran, QList<QString>{palette.state().results()[1].title});

    // Typing resets the selection; with no result Return runs nothing, Down goes to -1, Up back to 0.
    QTest::keyClicks(field, "zzqq");
    EXPECT_EQ(palette.state().query(), "zzqq");
    EXPECT_TRUE(palette.state().results().isEmpty());
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(ran.size(), 1);
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(palette.state().selectedIndex(), -1);
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(palette.state().selectedIndex(), 0);

    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(palette.window()->isVisible());
    // Opening again starts over, and the panel is the same one.
    QWidget* panel = palette.window();
    palette.open(nullptr);
    EXPECT_EQ(palette.window(), panel);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(palette.state().results().size(), palette.state().allEntries().size());
}

TEST_F(CommandPaletteTest, HoverSelectsARowAndAClickRunsIt) {
    CommandPaletteController palette;
    palette.open(nullptr);
    PaletteRowsView* rows = palette.view()->rowsView();
    QList<QString> ran;
    palette.view()->onRun = [&](const PaletteEntry& entry) { ran << entry.title; };
    const QPoint third = rows->rowRect(2).center();
    QMouseEvent move(QEvent::MouseMove, third, rows->mapToGlobal(third), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(rows, &move);
    EXPECT_EQ(palette.state().selectedIndex(), 2);
    QTest::mouseClick(rows, Qt::LeftButton, Qt::NoModifier, rows->rowRect(1).center());
    EXPECT_EQ(ran, QList<QString>{palette.state().results()[1].title});
}

TEST_F(CommandPaletteTest, WithoutAnAnchorThePanelIsCentredAndWindowActionsDoNothing) {
    CommandPaletteController palette;
    palette.open(nullptr);
    EXPECT_EQ(palette.window()->size(), CommandPaletteController::panelSize);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_LE((palette.window()->geometry().center() - screen.center()).manhattanLength(), 2);
    for (const PaletteEntry& entry : palette.state().allEntries())
        EXPECT_NE(entry.action.kind, PaletteEntry::Action::Kind::switchSession);
    palette.run(palette.state().allEntries()[0]);
    EXPECT_FALSE(palette.window()->isVisible());
}

TEST_F(CommandPaletteTest, OverADeviceWindowItListsItsSessionsAndActsOnIt) {
    AppDelegate delegate;
    delegate.openNewWindow(SkinManifest::handheld(), std::nullopt);
    DeviceWindowController* anchor = delegate.windowControllers.first();
    anchor->terminalPanel()->addSession();
    delegate.openCommandPalette();
    CommandPaletteController& palette = *delegate.commandPalette;
    palette.open(anchor);
    EXPECT_EQ(palette.anchorController(), anchor);

    const QRect device = anchor->window()->frameGeometry();
    const QRect panel = palette.window()->geometry();
    EXPECT_LE(std::abs(panel.center().x() - device.center().x()), 1);
    EXPECT_LE(std::abs(panel.center().y() - (device.center().y() - CommandPaletteController::anchorLift)), 1);

    PaletteState& state = palette.state();
    state.setQuery("session");
    EXPECT_EQ(titles(state.results()), (QStringList{"Session 1", "Session 2", "New Session"}));
    SessionManager& sessions = anchor->terminalPanel()->manager();
    palette.run(state.results()[0]);
    EXPECT_EQ(sessions.activeIndex(), 0);
    palette.run(state.results()[2]);
    EXPECT_EQ(sessions.count(), 3);

    // Cycle Skin acts on the window the palette was opened over, not on the panel that was in front.
    const std::optional<SkinManifest> expected =
        AppDelegate::nextSkin(SkinLoader::shared().skinsOrFallback(), anchor->skin());
    ASSERT_TRUE(expected);
    palette.open(anchor);
    state.setQuery("cycle skin");
    ASSERT_EQ(state.results().size(), 1);
    palette.run(state.results()[0]);
    EXPECT_EQ(anchor->skin().id, expected->id);
    EXPECT_FALSE(palette.window()->isVisible());
}

TEST_F(CommandPaletteTest, ASkinNameSharedByTwoSkinsChangesToTheFirst) {
    writeUserSkin("one", "Twin");
    writeUserSkin("two", "Twin");
    SkinLoader::shared().loadAll();
    QString firstId;
    for (const SkinManifest& skin : SkinLoader::shared().skins())
        if (skin.name == "Twin" && firstId.isEmpty()) firstId = skin.id;
    ASSERT_FALSE(firstId.isEmpty()) << _log.lines().join('\n').toStdString();

    DeviceWindowController anchor(SkinManifest::handheld(), std::nullopt);
    CommandPaletteController palette;
    palette.open(&anchor);
    palette.state().setQuery("twin");
    const QList<PaletteEntry> twins = palette.state().results();
    ASSERT_EQ(twins.size(), 2);
    palette.run(twins[1]);
    EXPECT_EQ(anchor.skin().id, firstId);
    EXPECT_EQ(anchor.skin().name, "Twin");
}
