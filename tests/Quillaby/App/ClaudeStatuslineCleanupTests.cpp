#include "App/AppPaths.h"
#include "App/ClaudeStatuslineCleanup.h"
#include "App/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Quillaby;

namespace {

QString claudeDir() {
    return QFileInfo(AppPaths::claudeSettings()).absolutePath();
}

void write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QByteArray read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ClaudeStatuslineCleanupTest : public testing::Test {
protected:
    void SetUp() override { QDir(claudeDir()).removeRecursively(); }
    void TearDown() override { QDir(claudeDir()).removeRecursively(); }
};

const QString removedLine = QStringLiteral("[Quillaby] Removed statusLine shim from ~/.claude/settings.json");

} // namespace

TEST_F(ClaudeStatuslineCleanupTest, TheShimsEntryIsRestoredOrRemovedAndTheRestKept) {
    struct Case {
        const char* name;
        QJsonObject statusLine;
        std::optional<QJsonObject> expected; // nothing: removed
    };
    const Case cases[] = {
        {"restored exactly",
         {{"type", "command"},
          {"command", "~/.claude/quillaby-statusline.sh"},
          {"_quillaby", true},
          {"_originalCommand", "my-status --short"},
          {"padding", 2}},
         QJsonObject{{"type", "command"}, {"command", "my-status --short"}}},
        {"the earlier name's marker",
         {{"_zolvane", true}, {"_originalCommand", "x"}},
         QJsonObject{{"type", "command"}, {"command", "x"}}},
        {"empty original", {{"_quillaby", true}, {"_originalCommand", ""}}, std::nullopt},
        {"no original", {{"_quillaby", true}, {"_zolvane", false}}, std::nullopt},
        {"an original that is no text", {{"_quillaby", true}, {"_originalCommand", 5}}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject settings{{"statusLine", c.statusLine},
                             {"model", "opus"},
                             {"permissions", QJsonObject{{"allow", QJsonArray{"Bash(ls)"}}}}};
        write(AppPaths::claudeSettings(), QJsonDocument(settings).toJson(QJsonDocument::Compact));
        LogCapture log;
        ClaudeStatuslineCleanup::uninstall();
        EXPECT_EQ(log.lines(), QStringList{removedLine});
        if (c.expected)
            settings.insert("statusLine", *c.expected);
        else
            settings.remove("statusLine");
        const QByteArray after = read(AppPaths::claudeSettings());
        EXPECT_EQ(after, QJsonDocument(settings).toJson(QJsonDocument::Indented)); // pretty, sorted
        EXPECT_FALSE(QFileInfo::exists(AppPaths::claudeSettings() + QStringLiteral(".quillaby-tmp")));
    }
}

TEST_F(ClaudeStatuslineCleanupTest, AnythingElseLeavesTheFileAsItIsWhileTheScriptsGo) {
    const QByteArray cases[] = {
        R"({"statusLine": {"type": "command", "command": "mine"}})",
        R"({"statusLine": {"_quillaby": "true", "_originalCommand": "x"}})",
        R"({"statusLine": {"_quillaby": 1}})",
        R"({"statusLine": "text"})",
        R"({"other": 1})",
        R"([{"statusLine": {"_quillaby": true}}])",
        R"({"statusLine": {"_quillaby": true})",
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.toStdString());
        write(AppPaths::claudeSettings(), bytes);
        write(AppPaths::claudeStatuslineScript(), "#!/bin/sh\n");
        write(AppPaths::legacyClaudeStatuslineScript(), "#!/bin/sh\n");
        LogCapture log;
        ClaudeStatuslineCleanup::uninstall();
        EXPECT_TRUE(log.lines().isEmpty());
        EXPECT_EQ(read(AppPaths::claudeSettings()), bytes);
        EXPECT_FALSE(QFileInfo::exists(AppPaths::claudeStatuslineScript()));
        EXPECT_FALSE(QFileInfo::exists(AppPaths::legacyClaudeStatuslineScript()));
    }

    // No ".claude" folder at all.
    QDir(claudeDir()).removeRecursively();
    LogCapture log;
    ClaudeStatuslineCleanup::uninstall();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(claudeDir()));
}

// Fault: replacing the path itself would turn a linked settings file (kept with the user's dotfiles)
// into a plain copy and reset its permissions.
TEST_F(ClaudeStatuslineCleanupTest, ALinkedSettingsFileIsRewrittenAtItsTargetWithItsMode) {
    const QString dotfiles = claudeDir() + QStringLiteral("/dotfiles");
    const QString target = dotfiles + QStringLiteral("/claude-settings.json");
    write(target, R"({"statusLine": {"_quillaby": true, "_originalCommand": "mine"}, "theme": "dark"})");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("dotfiles/claude-settings.json"), AppPaths::claudeSettings()));

    LogCapture log;
    ClaudeStatuslineCleanup::uninstall();
    EXPECT_EQ(log.lines(), QStringList{removedLine});
    EXPECT_TRUE(QFileInfo(AppPaths::claudeSettings()).isSymLink());
    const QJsonObject after = QJsonDocument::fromJson(read(target)).object();
    EXPECT_EQ(after, (QJsonObject{{"statusLine", QJsonObject{{"type", "command"}, {"command", "mine"}}},
                                  {"theme", "dark"}}));
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral(".quillaby-tmp")));
}

TEST_F(ClaudeStatuslineCleanupTest, AFailedWriteLeavesTheFileAndLogsNothing) {
    const QByteArray bytes = R"({"statusLine": {"_quillaby": true}})";
    write(AppPaths::claudeSettings(), bytes);
    // A folder where the temporary file would go makes the write fail.
    QDir().mkpath(AppPaths::claudeSettings() + QStringLiteral(".quillaby-tmp"));
    LogCapture log;
    ClaudeStatuslineCleanup::uninstall();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(read(AppPaths::claudeSettings()), bytes);
}
