#include "App/AppPaths.h"

#include "App/Log.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace Quillaby {

namespace {

struct Locations {
    QString appSupport;
    QString legacyAppSupport;
    QString settingsFile;
    QString skinsDir;
    QString crashesDir;
    QString crashesPendingDir;
    QString claudeSettings;
    QString claudeStatuslineScript;
    QString legacyClaudeStatuslineScript;
};

Locations compute() {
    // GenericDataLocation honours XDG_DATA_HOME and falls back to ~/.local/share.
    QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty()) dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    QString home = QDir::homePath();
    Locations l;
    l.appSupport = dataHome + QStringLiteral("/Quillaby");
    l.legacyAppSupport = dataHome + QStringLiteral("/Zolvane");
    l.settingsFile = l.appSupport + QStringLiteral("/settings.json");
    l.skinsDir = l.appSupport + QStringLiteral("/skins");
    l.crashesDir = l.appSupport + QStringLiteral("/crashes");
    l.crashesPendingDir = l.crashesDir + QStringLiteral("/pending");
    l.claudeSettings = home + QStringLiteral("/.claude/settings.json");
    l.claudeStatuslineScript = home + QStringLiteral("/.claude/quillaby-statusline.sh");
    l.legacyClaudeStatuslineScript = home + QStringLiteral("/.claude/zolvane-statusline.sh");
    return l;
}

std::optional<Locations>& cached() {
    static std::optional<Locations> locations;
    return locations;
}

const Locations& locations() {
    if (!cached()) cached() = compute();
    return *cached();
}

// Anything at all: a file, a folder, or a symbolic link that may dangle.
bool somethingExistsAt(const QString& path) {
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

QString AppPaths::appSupport() {
    return locations().appSupport;
}
QString AppPaths::legacyAppSupport() {
    return locations().legacyAppSupport;
}
QString AppPaths::settingsFile() {
    return locations().settingsFile;
}
QString AppPaths::skinsDir() {
    return locations().skinsDir;
}
QString AppPaths::crashesDir() {
    return locations().crashesDir;
}
QString AppPaths::crashesPendingDir() {
    return locations().crashesPendingDir;
}
QString AppPaths::claudeSettings() {
    return locations().claudeSettings;
}
QString AppPaths::claudeStatuslineScript() {
    return locations().claudeStatuslineScript;
}
QString AppPaths::legacyClaudeStatuslineScript() {
    return locations().legacyClaudeStatuslineScript;
}

void AppPaths::resetForTesting() {
    cached().reset();
}

void AppPaths::migrateLegacyAppSupportIfNeeded() {
    const QString target = appSupport();
    const QString legacy = legacyAppSupport();
    if (somethingExistsAt(target)) return;
    if (!somethingExistsAt(legacy)) return;
    QDir().mkpath(QFileInfo(target).absolutePath());
    // One rename moves settings, skins and crash reports together; both sit in the same folder.
    if (std::rename(QFile::encodeName(legacy).constData(), QFile::encodeName(target).constData()) == 0) {
        Log::write(QStringLiteral("Migrated legacy Application Support/Zolvane → Quillaby"));
    } else {
        Log::write(QStringLiteral("App Support migration skipped: ") +
                   QString::fromLocal8Bit(std::strerror(errno)));
    }
}

} // namespace Quillaby
