#include "Skins/SkinLoader.h"

#include "App/AppHooks.h"
#include "App/AppPaths.h"
#include "App/AppResources.h"
#include "App/Log.h"
#include "App/NotificationCenter.h"
#include "Skins/SkinManifestFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QTimer>

namespace Quillaby {

namespace {

const QString skinFileName = QStringLiteral("skin.json");

// The skin folders of a skins folder in listing order, hidden ones included. Only real folders count:
// a symbolic link is not followed, so deleting a skin never reaches outside the skins folder.
QStringList subfolders(const QString& folder) {
    QStringList result;
    QDirIterator it(folder,
                    QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (it.hasNext())
        result.append(it.next());
    return result;
}

// Any entry of that name, a dangling link included (reading it then fails and is logged).
bool hasSkinFile(const QString& folder) {
    QFileInfo info(folder + QLatin1Char('/') + skinFileName);
    return info.exists() || info.isSymLink();
}

} // namespace

SkinLoader& SkinLoader::shared() {
    // Never destroyed: the watch lives as long as the application, and no Qt object outlives the
    // application object in a static destructor.
    static SkinLoader* loader = new SkinLoader();
    return *loader;
}

SkinLoader::SkinLoader(std::optional<Folders> folders, QObject* parent)
    : QObject(parent)
    , _folders(std::move(folders))
    , _latencyTimer(new QTimer(this))
    , _reloadTimer(new QTimer(this)) {
    _latencyTimer->setSingleShot(true);
    _latencyTimer->setInterval(eventLatencyMs);
    _reloadTimer->setSingleShot(true);
    _reloadTimer->setInterval(reloadDebounceMs);
    connect(_latencyTimer, &QTimer::timeout, this, &SkinLoader::scheduleReload);
    connect(_reloadTimer, &QTimer::timeout, this, &SkinLoader::reloadFromWatch);
}

SkinLoader::~SkinLoader() = default;

QList<SkinManifest> SkinLoader::skinsOrFallback() const {
    return _skins.isEmpty() ? SkinManifest::fallbackSkins() : _skins;
}

std::optional<QString> SkinLoader::bundleSkinsFolder() const {
    if (_folders) return _folders->bundleSkins;
    std::optional<QString> resources = AppResources::bundle().resourcePath();
    if (!resources) return std::nullopt;
    return *resources + QStringLiteral("/Skins");
}

QString SkinLoader::userSkinsFolder() const {
    return _folders ? _folders->userSkins : AppPaths::skinsDir();
}

void SkinLoader::ensureDirectory(const QString& folder) {
    QDir().mkpath(folder);
}

void SkinLoader::loadAll() {
    QList<SkinManifest> list;
    if (std::optional<QString> bundled = bundleSkinsFolder()) list += scanDirectory(*bundled, true);
    const QString user = userSkinsFolder();
    ensureDirectory(user);
    // Armed before the scan, so a change made while scanning is either read now or reported later.
    if (_watcher) rearmWatch(user);
    list += scanDirectory(user, false);

    const qsizetype fromDisk = list.size();
    QSet<QString> names;
    for (const SkinManifest& skin : list)
        names.insert(skin.name);
    for (const SkinManifest& skin : SkinManifest::programmaticSkins()) {
        if (!names.contains(skin.name)) list.append(skin);
    }
    _skins = list;
    Log::write(QStringLiteral("Loaded %1 skins (%2 from disk)").arg(_skins.size()).arg(fromDisk));
}

QList<SkinManifest> SkinLoader::scanDirectory(const QString& folder, bool isBundled) const {
    QList<SkinManifest> result;
    for (const QString& skinFolder : subfolders(folder)) {
        if (!hasSkinFile(skinFolder)) continue;
        QString error;
        std::optional<SkinManifestFile> file =
            SkinManifestFile::load(skinFolder + QLatin1Char('/') + skinFileName, &error);
        if (!file) {
            Log::write(QStringLiteral("Failed to load skin at ") + skinFolder + QStringLiteral(": ") + error);
            continue;
        }
        SkinManifest skin = file->toSkinManifest(skinFolder, isBundled);
        Log::write(QStringLiteral("Loaded skin: ") + skin.name + QStringLiteral(" from ") +
                   QFileInfo(skinFolder).fileName());
        result.append(std::move(skin));
    }
    return result;
}

std::optional<SkinManifest> SkinLoader::loadSingle(const QString& folder) const {
    if (!hasSkinFile(folder)) {
        Log::write(QStringLiteral("No skin.json at ") + folder);
        return std::nullopt;
    }
    QString error;
    std::optional<SkinManifestFile> file =
        SkinManifestFile::load(folder + QLatin1Char('/') + skinFileName, &error);
    if (!file) {
        Log::write(QStringLiteral("Failed to parse preview skin: ") + error);
        return std::nullopt;
    }
    SkinManifest skin = file->toSkinManifest(folder, false);
    Log::write(QStringLiteral("Loaded preview skin: ") + skin.name);
    return skin;
}

void SkinLoader::startWatching() {
    if (_watcher) return;
    const QString user = userSkinsFolder();
    ensureDirectory(user);
    _watcher = new QFileSystemWatcher(this);
    if (!_watcher->addPath(user)) {
        // No watch: explicit reloads still work.
        delete _watcher;
        _watcher = nullptr;
        return;
    }
    connect(_watcher, &QFileSystemWatcher::directoryChanged, this, &SkinLoader::fileEvent);
    connect(_watcher, &QFileSystemWatcher::fileChanged, this, &SkinLoader::fileEvent);
    rearmWatch(user);
}

void SkinLoader::rearmWatch(const QString& userSkins) {
    // New skin folders are not watched until added, and a replaced file drops its watch: bring the
    // watched set in line with what is on disk now.
    QStringList wanted{userSkins};
    for (const QString& skinFolder : subfolders(userSkins)) {
        wanted.append(skinFolder);
        QDirIterator files(skinFolder, QDir::Files | QDir::Hidden | QDir::NoSymLinks);
        while (files.hasNext())
            wanted.append(files.next());
    }
    const QStringList current = watchedPaths();
    const QSet<QString> wantedSet(wanted.begin(), wanted.end());
    const QSet<QString> currentSet(current.begin(), current.end());
    QStringList stale;
    for (const QString& path : current) {
        if (!wantedSet.contains(path)) stale.append(path);
    }
    QStringList fresh;
    for (const QString& path : wanted) {
        if (!currentSet.contains(path)) fresh.append(path);
    }
    if (!stale.isEmpty()) _watcher->removePaths(stale);
    if (!fresh.isEmpty()) _watcher->addPaths(fresh);
}

QStringList SkinLoader::watchedPaths() const {
    if (!_watcher) return {};
    return _watcher->directories() + _watcher->files();
}

void SkinLoader::fileEvent() {
    // The first event of a batch starts the wait; later ones join the batch.
    if (!_latencyTimer->isActive()) _latencyTimer->start();
}

void SkinLoader::scheduleReload() {
    _reloadTimer->start();
}

void SkinLoader::reloadFromWatch() {
    if (_lastManualBroadcast.isValid()) {
        const qint64 elapsed = _lastManualBroadcast.msecsTo(AppHooks::current().now());
        // A stamp in the future (the clock was set back) must not silence the watch until the clock
        // catches up with it.
        if (elapsed >= 0 && elapsed < manualBroadcastQuietMs) return;
    }
    loadAll();
    NotificationCenter::defaultCenter().post(QString(skinsDidReload));
}

} // namespace Quillaby
