#include "Windows/GitStatus.h"

#include "App/AppHooks.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

namespace Quillaby {

GitStatus& GitStatus::shared() {
    Q_ASSERT(QCoreApplication::instance());
    // Owned by the application object: its workers are waited for before the application goes.
    static GitStatus* instance = new GitStatus(QStringLiteral("/usr/bin/git"), QCoreApplication::instance());
    return *instance;
}

GitStatus::GitStatus(QString gitProgram, QObject* parent)
    : QObject(parent)
    , _gitProgram(std::move(gitProgram)) {
    _workers.setMaxThreadCount(4);
    _workers.setThreadPriority(QThread::LowPriority);
}

GitStatus::~GitStatus() {
    _workers.waitForDone();
}

std::optional<GitStatus::CacheEntry> GitStatus::cacheEntry(const QString& directory) const {
    const auto it = _cache.constFind(directory);
    if (it == _cache.constEnd()) return std::nullopt;
    return *it;
}

std::optional<GitState> GitStatus::freshEntry(const QString& directory, const QDateTime& now) const {
    const auto it = _cache.constFind(directory);
    if (it == _cache.constEnd()) return std::nullopt;
    const qint64 age = it->timestamp.msecsTo(now);
    if (age < 0 || age >= std::chrono::milliseconds(cacheLifetime).count()) return std::nullopt;
    return it->state;
}

void GitStatus::request(const QString& directory, QObject* context,
                        std::function<void(const GitState&)> done) {
    auto it = _inFlight.find(directory);
    if (it != _inFlight.end()) {
        it->append({context, std::move(done)});
        return;
    }
    _inFlight.insert(directory, {{context, std::move(done)}});
    const QString git = _gitProgram;
    _workers.start([this, git, directory] {
        const GitState state = query(git, directory);
        QMetaObject::invokeMethod(
            this, [this, directory, state] { finish(directory, state); }, Qt::QueuedConnection);
    });
}

void GitStatus::finish(const QString& directory, const GitState& state) {
    _cache.insert(directory, {state, AppHooks::current().now()});
    const QList<Waiter> waiters = _inFlight.take(directory);
    for (const Waiter& waiter : waiters)
        if (waiter.context && waiter.done) waiter.done(state);
}

void GitStatus::waitForWorkers() {
    _workers.waitForDone();
}

GitState GitStatus::query(const QString& gitProgram, const QString& directory) {
    // A folder that vanished (or never was one) is no working tree; git is not asked.
    if (directory.isEmpty() || !QFileInfo(directory).isDir()) return {};
    const QString branch =
        run(gitProgram, directory,
            {QStringLiteral("rev-parse"), QStringLiteral("--abbrev-ref"), QStringLiteral("HEAD")});
    if (branch.isEmpty()) return {};
    const QString status =
        run(gitProgram, directory, {QStringLiteral("status"), QStringLiteral("--porcelain")});
    return {branch, !status.isEmpty()};
}

QString GitStatus::run(const QString& gitProgram, const QString& directory, const QStringList& args) {
    QProcess git;
    git.setProgram(gitProgram);
    // A repository's config may name a monitor hook that git would run for a status; the folder is
    // whatever a program printed, so no hook of it runs.
    git.setArguments(QStringList{QStringLiteral("-c"), QStringLiteral("core.fsmonitor=false"),
                                 QStringLiteral("--no-optional-locks"), QStringLiteral("-C"), directory} +
                     args);
    git.setStandardInputFile(QProcess::nullDevice());
    git.setStandardErrorFile(QProcess::nullDevice());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GIT_TERMINAL_PROMPT"), QStringLiteral("0"));
    git.setProcessEnvironment(environment);

    const QDeadlineTimer deadline(commandTimeoutMs);
    git.start(QIODevice::ReadOnly);
    if (!git.waitForStarted(int(deadline.remainingTime()))) return {};
    if (!git.waitForFinished(int(deadline.remainingTime()))) {
        git.kill();
        git.waitForFinished(1000);
        return {};
    }
    if (git.exitStatus() != QProcess::NormalExit || git.exitCode() != 0) return {};

    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder(git.readAllStandardOutput());
    if (decoder.hasError()) return {};
    return text.trimmed();
}

} // namespace Quillaby
