#include "App/ClaudeStatuslineCleanup.h"

#include "App/AppPaths.h"
#include "App/AtomicFile.h"
#include "App/Log.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace Quillaby {

namespace {

// Settings files of Claude Code are small; a larger one is left alone rather than read whole.
constexpr qint64 maximumSettingsSize = 16 * 1024 * 1024;

bool isMarkedTrue(const QJsonObject& entry, const char* marker) {
    const QJsonValue value = entry.value(QLatin1String(marker));
    return value.isBool() && value.toBool();
}

} // namespace

void ClaudeStatuslineCleanup::uninstall() {
    QFile::remove(AppPaths::claudeStatuslineScript());
    QFile::remove(AppPaths::legacyClaudeStatuslineScript());

    const QString path = AppPaths::claudeSettings();
    // Only a regular file (or a link to one) is read: a pipe would block the launch.
    if (!QFileInfo(path).isFile()) return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maximumSettingsSize) return;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return;
    file.close();

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) return;
    QJsonObject settings = document.object();
    const QJsonValue statusLine = settings.value(QStringLiteral("statusLine"));
    if (!statusLine.isObject()) return;
    const QJsonObject entry = statusLine.toObject();
    if (!isMarkedTrue(entry, "_quillaby") && !isMarkedTrue(entry, "_zolvane")) return;

    const QJsonValue original = entry.value(QStringLiteral("_originalCommand"));
    if (original.isString() && !original.toString().isEmpty()) {
        settings.insert(QStringLiteral("statusLine"),
                        QJsonObject{{QStringLiteral("type"), QStringLiteral("command")},
                                    {QStringLiteral("command"), original.toString()}});
    } else {
        settings.remove(QStringLiteral("statusLine"));
    }
    const QByteArray rewritten = QJsonDocument(settings).toJson(QJsonDocument::Indented);
    if (!AtomicFile::replace(path, rewritten, QStringLiteral(".quillaby-tmp"))) return;
    Log::write(QStringLiteral("Removed statusLine shim from ~/.claude/settings.json"));
}

} // namespace Quillaby
