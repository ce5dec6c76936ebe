#include "App/AppPaths.h"
#include "App/Log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace Quillaby;

namespace {

// Points HOME and XDG_DATA_HOME into a fresh folder for one test and restores both afterwards.
class AppPathsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(_root.isValid());
        _savedHome = qgetenv("HOME");
        _savedData = qgetenv("XDG_DATA_HOME");
        QDir(_root.path()).mkpath(QStringLiteral("data"));
        qputenv("HOME", _root.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", dataHome().toLocal8Bit());
        AppPaths::resetForTesting();
    }
    void TearDown() override {
        qputenv("HOME", _savedHome);
        qputenv("XDG_DATA_HOME", _savedData);
        AppPaths::resetForTesting();
    }
    QString dataHome() const { return _root.path() + QStringLiteral("/data"); }

    QTemporaryDir _root;
    QByteArray _savedHome;
    QByteArray _savedData;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(AppPathsTest, LocationsLieUnderTheDataHomeAndTheHomeFolder) {
    const QString app = dataHome() + QStringLiteral("/Quillaby");
    EXPECT_EQ(AppPaths::appSupport(), app);
    EXPECT_EQ(AppPaths::legacyAppSupport(), dataHome() + QStringLiteral("/Zolvane"));
    EXPECT_EQ(AppPaths::settingsFile(), app + QStringLiteral("/settings.json"));
    EXPECT_EQ(AppPaths::skinsDir(), app + QStringLiteral("/skins"));
    EXPECT_EQ(AppPaths::crashesDir(), app + QStringLiteral("/crashes"));
    EXPECT_EQ(AppPaths::crashesPendingDir(), app + QStringLiteral("/crashes/pending"));
    EXPECT_EQ(AppPaths::claudeSettings(), _root.path() + QStringLiteral("/.claude/settings.json"));
    EXPECT_EQ(AppPaths::claudeStatuslineScript(),
              _root.path() + QStringLiteral("/.claude/quillaby-statusline.sh"));
    EXPECT_EQ(AppPaths::legacyClaudeStatuslineScript(),
              _root.path() + QStringLiteral("/.claude/zolvane-statusline.sh"));
    // Reading a location creates nothing.
    EXPECT_FALSE(QFileInfo::exists(app));
}

TEST_F(AppPathsTest, LocationsAreWorkedOutOnceAndKept) {
    const QString before = AppPaths::settingsFile();
    qputenv("XDG_DATA_HOME", (_root.path() + QStringLiteral("/elsewhere")).toLocal8Bit());
    qputenv("HOME", "/nonexistent");
    EXPECT_EQ(AppPaths::settingsFile(), before);
    EXPECT_TRUE(AppPaths::claudeSettings().startsWith(_root.path()));
}

TEST_F(AppPathsTest, LegacyFolderMovesOnlyWhenNothingIsInItsPlace) {
    enum class Present {
        Nothing,
        Folder,
        File
    };
    struct Case {
        const char* name;
        Present quillaby;
        bool zolvane;
        bool moves;
    };
    const Case cases[] = {
        {"only the earlier folder", Present::Nothing, true, true},
        {"both folders", Present::Folder, true, false},
        {"a file named Quillaby", Present::File, true, false},
        {"neither", Present::Nothing, false, false},
        {"only the new folder", Present::Folder, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(dataHome()).removeRecursively();
        QDir().mkpath(dataHome());
        const QString quillaby = AppPaths::appSupport();
        const QString zolvane = AppPaths::legacyAppSupport();
        if (c.quillaby == Present::Folder) QDir().mkpath(quillaby);
        if (c.quillaby == Present::File) writeFile(quillaby, "not a folder");
        if (c.zolvane) {
            QDir().mkpath(zolvane + QStringLiteral("/skins/retro"));
            writeFile(zolvane + QStringLiteral("/settings.json"), "{\"fontSize\": 12}");
        }

        LogCapture log;
        AppPaths::migrateLegacyAppSupportIfNeeded();

        if (c.moves) {
            EXPECT_EQ(log.lines(), QStringList{QStringLiteral(
                                       "[Quillaby] Migrated legacy Application Support/Zolvane → Quillaby")});
            EXPECT_FALSE(QFileInfo::exists(zolvane));
            EXPECT_EQ(readFile(quillaby + QStringLiteral("/settings.json")), "{\"fontSize\": 12}");
            EXPECT_TRUE(QFileInfo(quillaby + QStringLiteral("/skins/retro")).isDir());
        } else {
            EXPECT_TRUE(log.lines().isEmpty());
            EXPECT_EQ(QFileInfo::exists(zolvane), c.zolvane);
            if (c.zolvane) {
                EXPECT_EQ(readFile(zolvane + QStringLiteral("/settings.json")), "{\"fontSize\": 12}");
            }
            if (c.quillaby == Present::File) {
                EXPECT_EQ(readFile(quillaby), "not a folder");
            }
        }
    }
}
