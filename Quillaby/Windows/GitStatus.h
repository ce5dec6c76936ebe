#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <chrono>
#include <functional>
#include <optional>

namespace Quillaby {

// The branch of a folder's git working tree and whether the tree has changes; an empty branch when the
// folder is not in a working tree (a detached HEAD reads "HEAD").
struct GitState {
    QString branch;
    bool dirty = false;

    bool operator==(const GitState&) const = default;
};

// Asks git about the folders shells report, off the main thread, and remembers the answers.
//
// The folder comes from a program's output, so git runs only on folders that exist, with the
// repository's file-system monitor hook switched off, without taking optional locks, with its error
// output going nowhere (a pipe nobody reads would stall it) and under a time-out. A folder has at most
// one query under way: a request while one runs waits for that one's answer.
//
// Requests, the cache and the answers live on the main thread; only the git commands run on the
// workers.
class GitStatus : public QObject {
    Q_OBJECT
public:
    struct CacheEntry {
        GitState state;
        // When the query finished.
        QDateTime timestamp;
    };

    // Answers younger than this are reused instead of asking git again.
    static constexpr std::chrono::seconds cacheLifetime{5};
    // Each git command is killed after this long and counts as failed.
    static constexpr int commandTimeoutMs = 5000;

    // The application's instance, made on first use (on the main thread, after the application object).
    static GitStatus& shared();

    explicit GitStatus(QString gitProgram = QStringLiteral("/usr/bin/git"), QObject* parent = nullptr);
    // Waits for the commands under way; their answers are dropped.
    ~GitStatus() override;

    QString gitProgram() const { return _gitProgram; }
    void setGitProgram(const QString& program) { _gitProgram = program; }

    // The cached answer for the folder when it finished less than cacheLifetime before `now`.
    std::optional<GitState> freshEntry(const QString& directory, const QDateTime& now) const;
    std::optional<CacheEntry> cacheEntry(const QString& directory) const;
    void clearCache() { _cache.clear(); }

    // Queries the folder on a worker. On the main thread the answer goes into the cache (stamped with
    // AppHooks' clock), then to `done` unless `context` has gone.
    void request(const QString& directory, QObject* context, std::function<void(const GitState&)> done);
    bool isQuerying(const QString& directory) const { return _inFlight.contains(directory); }
    // Blocks until the workers are idle (tests); answers still arrive through the event loop.
    void waitForWorkers();

    // The two commands, run here and now: the branch, then (only with a branch) the short status.
    static GitState query(const QString& gitProgram, const QString& directory);
    // One git command in the folder: its standard output, trimmed, or "" when git cannot start, fails,
    // times out or writes something that is not UTF-8.
    static QString run(const QString& gitProgram, const QString& directory, const QStringList& args);

private:
    struct Waiter {
        QPointer<QObject> context;
        std::function<void(const GitState&)> done;
    };

    void finish(const QString& directory, const GitState& state);

    QString _gitProgram;
    QThreadPool _workers;
    QHash<QString, CacheEntry> _cache;
    QHash<QString, QList<Waiter>> _inFlight;
};

} // namespace Quillaby
