#pragma once

#include "Skins/SkinManifest.h"

#include <QDateTime>
#include <QLatin1String>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class QFileSystemWatcher;
class QTimer;

namespace Quillaby {

// The one list of installed skins: the skin folders of the resource bundle's "Skins" folder, then those
// of the user's skins folder (each in the order the file system lists it), then each skin of
// SkinManifest::programmaticSkins() whose name no disk skin has. Main thread only.
//
// The user's skins folder is watched: the folder, each skin folder in it and the files directly inside
// those. A batch of file events is gathered for up to eventLatencyMs, a reload follows reloadDebounceMs
// after the last batch, and it reloads and posts skinsDidReload unless the application itself announced
// a change of the folder less than manualBroadcastQuietMs before (lastManualBroadcast).
class SkinLoader : public QObject {
    Q_OBJECT

public:
    static constexpr QLatin1String skinsDidReload{"ZolvSkinsDidReload"};
    static constexpr int eventLatencyMs = 300;
    static constexpr int reloadDebounceMs = 600;
    static constexpr qint64 manualBroadcastQuietMs = 1500;

    // The two skins folders. Without them the loader uses the resource bundle's "Skins" folder (when
    // the bundle has a resource folder) and AppPaths::skinsDir(), looked up at each load.
    struct Folders {
        std::optional<QString> bundleSkins;
        QString userSkins;
    };

    // Made on first use and kept for the life of the process.
    static SkinLoader& shared();

    explicit SkinLoader(std::optional<Folders> folders = std::nullopt, QObject* parent = nullptr);
    ~SkinLoader() override;

    // Empty before the first loadAll(); never empty after it.
    const QList<SkinManifest>& skins() const { return _skins; }
    // skins(), or [handheld, walkie] while it is empty: what every consumer shows.
    QList<SkinManifest> skinsOrFallback() const;

    // Writers of the user's skins folder that announce their change themselves stamp the current time
    // here first (AppHooks::now()); invalid means never.
    QDateTime lastManualBroadcast() const { return _lastManualBroadcast; }
    void setLastManualBroadcast(const QDateTime& when) { _lastManualBroadcast = when; }

    // Rebuilds skins() from disk, creating the user's skins folder when missing, and logs the count.
    // Posts nothing.
    void loadAll();
    // Starts the watch of the user's skins folder; a second call does nothing.
    void startWatching();
    bool isWatching() const { return _watcher != nullptr; }
    // One skin folder anywhere (a preview), with its frame image as an absolute path; nothing, with a
    // log line, when it holds no readable skin.json. Leaves skins() alone.
    std::optional<SkinManifest> loadSingle(const QString& folder) const;

    // The watch's timers, for tests to inspect and fire: the event batch (single shot, started by the
    // first event of a batch and not restarted by later ones) and the debounced reload (restarted by
    // each batch).
    QTimer* eventLatencyTimer() const { return _latencyTimer; }
    QTimer* reloadTimer() const { return _reloadTimer; }
    QStringList watchedPaths() const;

private:
    void fileEvent();
    void scheduleReload();
    void reloadFromWatch();
    void rearmWatch(const QString& userSkins);
    QList<SkinManifest> scanDirectory(const QString& folder, bool isBundled) const;
    static void ensureDirectory(const QString& folder);
    std::optional<QString> bundleSkinsFolder() const;
    QString userSkinsFolder() const;

    std::optional<Folders> _folders;
    QList<SkinManifest> _skins;
    QDateTime _lastManualBroadcast;
    QFileSystemWatcher* _watcher = nullptr;
    QTimer* _latencyTimer = nullptr;
    QTimer* _reloadTimer = nullptr;
};

} // namespace Quillaby
