#include "App/AppResources.h"

#include "App/Log.h"

#include <QDir>
#include <QFileInfo>

#ifndef QUILLABY_SOURCE_RESOURCES
#define QUILLABY_SOURCE_RESOURCES ""
#endif

namespace Quillaby {

std::optional<QString> ResourceBundle::resourcePath() const {
    if (!isValid()) return std::nullopt;
    return _path;
}

namespace {

std::optional<ResourceBundle>& cached() {
    static std::optional<ResourceBundle> bundle;
    return bundle;
}

QString executableDir() {
    QFileInfo exe(QStringLiteral("/proc/self/exe"));
    return QFileInfo(exe.symLinkTarget()).absolutePath();
}

} // namespace

QStringList AppResources::candidatePaths(const QString& executableDir, const QString& sourceResources) {
    const QString name = QString::fromLatin1(bundleName);
    QStringList paths{
        QDir::cleanPath(executableDir + QStringLiteral("/../share/quillaby/") + name),
        QDir::cleanPath(executableDir + QLatin1Char('/') + name),
    };
    if (!sourceResources.isEmpty()) paths.append(QDir::cleanPath(sourceResources));
    return paths;
}

ResourceBundle AppResources::locate(const QStringList& candidates) {
    for (const QString& path : candidates) {
        if (QFileInfo(path).isDir()) return ResourceBundle(path);
    }
    return ResourceBundle();
}

const ResourceBundle& AppResources::bundle() {
    if (!cached()) {
        QStringList candidates =
            candidatePaths(executableDir(), QString::fromUtf8(QUILLABY_SOURCE_RESOURCES));
        cached() = locate(candidates);
        if (!cached()->isValid()) {
            Log::write(QStringLiteral("Resource bundle %1 not found; looked in %2")
                           .arg(QString::fromLatin1(bundleName), candidates.join(QStringLiteral(", "))));
        }
    }
    return *cached();
}

void AppResources::setBundleForTesting(const std::optional<QString>& path) {
    if (path)
        cached() = path->isEmpty() ? ResourceBundle() : ResourceBundle(*path);
    else
        cached().reset();
}

} // namespace Quillaby
