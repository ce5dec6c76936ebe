#include "App/Log.h"
#include "Settings/DirtyStartSweep.h"
#include "Settings/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace Quillaby;

namespace {

const QRectF desktop(0, 0, 1440, 900);

DirtyStartSweep::Screens oneScreen() {
    return {{desktop}, desktop};
}

SkinManifest diskSkin(const char* id, const char* name, QSizeF frame) {
    SkinManifest skin;
    skin.id = QString::fromLatin1(id);
    skin.name = QString::fromLatin1(name);
    skin.frameSize = frame;
    return skin;
}

WindowState window(const char* id, const char* name, double x, double y, double width, double height) {
    return WindowState{QString::fromLatin1(id), QString::fromLatin1(name), x, y, width, height};
}

class DirtyStartSweepTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(_dir.isValid()); }
    QString file() const { return _dir.path() + QStringLiteral("/settings.json"); }
    std::unique_ptr<SettingsStore> store() { return std::make_unique<SettingsStore>(file()); }
    // The skins a typical launch has: the built-in handheld and a disk skin.
    QList<SkinManifest> skins() const {
        return {SkinManifest::handheld(), diskSkin("crt", "Desk CRT", {680, 800})};
    }

    QTemporaryDir _dir;
};

} // namespace

TEST_F(DirtyStartSweepTest, SavedWindowsAreDroppedResizedOrRecentredToFitTheSkinsAndScreens) {
    struct Case {
        const char* name;
        WindowState saved;
        std::optional<WindowState> expected; // nothing: dropped
    };
    const Case cases[] = {
        {"fits and on screen", window("handheld", "Handheld v1", 100, 100, 420, 580),
         window("handheld", "Handheld v1", 100, 100, 420, 580)},
        {"the wrong shape takes the frame size, centred", window("handheld", "Handheld v1", 10, 10, 800, 600),
         window("handheld", "Handheld v1", 720 - 199, 450 - 277.5, 398, 555)},
        {"on a display that is gone: centred, size kept",
         window("handheld", "Handheld v1", 3000, 200, 420, 580),
         window("handheld", "Handheld v1", 720 - 210, 450 - 290, 420, 580)},
        {"15 points on screen count as off it", window("handheld", "Handheld v1", 1425, 100, 420, 580),
         window("handheld", "Handheld v1", 510, 160, 420, 580)},
        {"25 points on screen stay", window("handheld", "Handheld v1", 1415, 100, 420, 580),
         window("handheld", "Handheld v1", 1415, 100, 420, 580)},
        {"a deleted skin's window found by name", window("gone", "Desk CRT", 0, 0, 800, 600),
         window("gone", "Desk CRT", 720 - 340, 450 - 400, 680, 800)},
        {"neither id nor name", window("gone", "Gone", 0, 0, 400, 500), std::nullopt},
        {"height 0", window("handheld", "Handheld v1", 0, 0, 400, 0), std::nullopt},
        {"negative width", window("crt", "", 0, 0, -680, 800), std::nullopt},
        {"the id wins over the name", window("crt", "Handheld v1", 100, 50, 680, 800),
         window("crt", "Handheld v1", 100, 50, 680, 800)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(file());
        auto settings = store();
        settings->setLastWindows({c.saved, window("crt", "Desk CRT", 200, 50, 680, 800)});
        DirtyStartSweep::run(*settings, skins(), oneScreen());
        QList<WindowState> expected;
        if (c.expected) expected.append(*c.expected);
        expected.append(window("crt", "Desk CRT", 200, 50, 680, 800)); // order kept
        EXPECT_EQ(settings->lastWindows(), expected);
        EXPECT_EQ(store()->lastWindows(), expected); // saved
    }
}

TEST_F(DirtyStartSweepTest, WithoutAMainScreenAResizedWindowGoesToTheOriginAndAnOffScreenOneStays) {
    auto settings = store();
    settings->setLastWindows(
        {window("handheld", "", 500, 500, 800, 600), window("handheld", "", 5000, 5000, 398, 555)});
    DirtyStartSweep::run(*settings, skins(), DirtyStartSweep::Screens{});
    EXPECT_EQ(settings->lastWindows(), (QList<WindowState>{window("handheld", "", 0, 0, 398, 555),
                                                           window("handheld", "", 5000, 5000, 398, 555)}));
}

TEST_F(DirtyStartSweepTest, NothingToRepairWritesNothing) {
    auto settings = store();
    settings->setLastWindows({window("handheld", "Handheld v1", 100, 100, 398, 555)});
    settings->setPaletteOverrides({{QStringLiteral("Handheld v1"), QStringLiteral("tarnholm")}});
    // Any save would bring the file back.
    ASSERT_TRUE(QFile::remove(file()));
    LogCapture log;
    DirtyStartSweep::run(*settings, skins(), oneScreen());
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file()));
}

TEST_F(DirtyStartSweepTest, DanglingPaletteOverridesArePrunedAndAMissingDefaultSkinReplaced) {
    auto settings = store();
    settings->setPaletteOverrides({{QStringLiteral("Handheld v1"), QStringLiteral("tarnholm")},
                                   {QStringLiteral("Desk CRT"), QStringLiteral("no-such-palette")},
                                   {QStringLiteral("Removed skin"), QStringLiteral("also-gone")}});
    settings->setDefaultSkin(QStringLiteral("Removed skin"));
    LogCapture log;
    DirtyStartSweep::run(*settings, {diskSkin("crt", "Desk CRT", {680, 800}), SkinManifest::handheld()},
                         oneScreen());
    EXPECT_EQ(
        log.lines(),
        (QStringList{
            "[Quillaby] DirtyStartSweep: pruned 2 dangling palette override(s)",
            "[Quillaby] DirtyStartSweep: defaultSkin 'Removed skin' missing — resetting to 'Desk CRT'"}));
    EXPECT_EQ(settings->paletteOverrides(),
              (QMap<QString, QString>{{QStringLiteral("Handheld v1"), QStringLiteral("tarnholm")}}));
    EXPECT_EQ(store()->defaultSkin(), QStringLiteral("Desk CRT")); // written at once
}

TEST_F(DirtyStartSweepTest, AnEmptyLoaderListMeansTheTwoBuiltInSkins) {
    auto settings = store();
    settings->setLastWindows({window("walkie", "Walkie MK-1", 100, 100, 421, 661)});
    settings->setDefaultSkin(QStringLiteral("Walkie MK-1"));
    LogCapture log;
    DirtyStartSweep::run(*settings, {}, oneScreen());
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(settings->lastWindows().size(), 1);
    EXPECT_EQ(settings->defaultSkin(), QStringLiteral("Walkie MK-1"));
}

TEST_F(DirtyStartSweepTest, AStaleTemporarySettingsFileIsDeleted) {
    auto settings = store();
    QFile tmp(file() + QStringLiteral(".tmp"));
    ASSERT_TRUE(tmp.open(QIODevice::WriteOnly));
    tmp.write("{\"half\": ");
    tmp.close();
    DirtyStartSweep::run(*settings, skins(), oneScreen());
    EXPECT_FALSE(QFileInfo::exists(file() + QStringLiteral(".tmp")));
}

TEST(DirtyStartSweep, OnScreenMeansMoreThanTwentyPointsInsideSomeScreen) {
    const DirtyStartSweep::Screens two{{desktop, QRectF(1440, 0, 1920, 1080)}, desktop};
    struct Case {
        const char* name;
        WindowState state;
        bool onScreen;
    };
    const Case cases[] = {
        {"inside", window("", "", 10, 10, 100, 100), true},
        {"on the second screen", window("", "", 2000, 500, 100, 100), true},
        {"across both", window("", "", 1400, 10, 100, 100), true},
        {"below everything", window("", "", 10, 1100, 100, 100), false},
        {"20 points in", window("", "", -80, 10, 100, 100), false},
        {"21 points in", window("", "", -79, 10, 100, 100), true},
        {"40 points wide", window("", "", 100, 100, 40, 300), false},
        {"41 points wide", window("", "", 100, 100, 41, 300), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DirtyStartSweep::isOnScreen(c.state, two), c.onScreen);
    }
}
