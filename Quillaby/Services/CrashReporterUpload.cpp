// The upload of pending crash records, at a launch after the crash.
#include "Services/CrashReporter.h"

#include "App/AppPaths.h"
#include "Services/HttpClient.h"
#include "Services/WebService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <optional>

namespace Quillaby {

namespace {

// No record we write comes near this; anything larger is not ours and is not read into memory.
constexpr qint64 maxRecordBytes = 1024 * 1024;

// The background upload and the flag that stops it; main thread only.
QPointer<QThread> uploadThread;
std::shared_ptr<std::atomic<bool>> uploadStop;

enum class Sent {
    Yes,
    No,
    // The upload was stopped while the record was in flight.
    Interrupted
};

Sent post(QNetworkAccessManager& manager, const QByteArray& record, std::chrono::milliseconds timeout,
          const std::atomic<bool>& stop) {
    // The record goes as it is: not parsed again, not re-encoded, not wrapped.
    const QNetworkRequest request = HttpClient::makeJsonRequest(WebService::crashEndpoint(), timeout);
    const HttpResponse response = HttpClient::postAndWait(manager, request, record);
    if (stop.load()) return Sent::Interrupted;
    return response.outcome == HttpResponse::Outcome::Ok ? Sent::Yes : Sent::No;
}

// The whole file when it can be read and holds a JSON object or array.
std::optional<QByteArray> readRecord(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxRecordBytes) return std::nullopt;
    const QByteArray bytes = file.read(maxRecordBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxRecordBytes) return std::nullopt;
    QJsonParseError error;
    QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) return std::nullopt;
    return bytes;
}

bool isRecordName(const QString& name) {
    return name.size() > 5 && name.endsWith(QLatin1String(".json"));
}

void bumpRetryOrDrop(QDir& dir, const QString& name) {
    const QString next = CrashReporter::nextAttemptName(name);
    if (next.isEmpty())
        dir.remove(name);
    else
        dir.rename(name, next);
}

void uploadPending(const QString& pendingDir, std::chrono::milliseconds timeout,
                   const std::atomic<bool>& stop) {
    QDir dir(pendingDir);
    if (!dir.exists()) return;
    QStringList names;
    // Regular files only: reading a pipe named like a record would wait for a writer forever.
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::NoSort))
        if (isRecordName(name)) names << name;
    std::sort(names.begin(), names.end());
    while (names.size() > CrashReporter::maxPendingUploads)
        dir.remove(names.takeFirst());

    std::unique_ptr<QNetworkAccessManager> manager(WebService::makeNetworkManager());
    for (const QString& name : names) {
        if (stop.load()) return;
        // A record cut short by the dying process is not valid JSON either.
        const std::optional<QByteArray> record = readRecord(dir.filePath(name));
        if (!record) {
            dir.remove(name);
            continue;
        }
        switch (post(*manager, *record, timeout, stop)) {
        case Sent::Yes:
            dir.remove(name);
            break;
        case Sent::No:
            bumpRetryOrDrop(dir, name);
            break;
        case Sent::Interrupted:
            return;
        }
    }
}

} // namespace

QString CrashReporter::nextAttemptName(const QString& fileName) {
    QString base = fileName.left(fileName.lastIndexOf(QLatin1Char('.')));
    qint64 attempts = 1;
    const qsizetype marker = base.lastIndexOf(QLatin1String(".a"));
    if (marker >= 0) {
        // A decimal integer as the text after the marker: an optional sign, then digits only.
        const QString count = base.mid(marker + 2);
        const QString digits =
            count.startsWith(QLatin1Char('+')) || count.startsWith(QLatin1Char('-')) ? count.mid(1) : count;
        bool ok = !digits.isEmpty() &&
                  std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        const qint64 k = ok ? count.toLongLong(&ok) : 0;
        if (ok) {
            base.truncate(marker);
            attempts = k == std::numeric_limits<qint64>::max() ? k : k + 1;
        }
    }
    if (attempts >= maxAttempts) return {};
    return base + QStringLiteral(".a") + QString::number(attempts) + QStringLiteral(".json");
}

void CrashReporter::uploadAllPending() {
    uploadAllPending(AppPaths::crashesPendingDir(), uploadTimeout);
}

void CrashReporter::uploadAllPending(const QString& pendingDir, std::chrono::milliseconds timeout) {
    const std::atomic<bool> never{false};
    uploadPending(pendingDir, timeout, never);
}

void CrashReporter::flushPending() {
    if (uploadThread) return;
    uploadStop = std::make_shared<std::atomic<bool>>(false);
    QThread* thread = QThread::create([pendingDir = AppPaths::crashesPendingDir(), stop = uploadStop] {
        uploadPending(pendingDir, uploadTimeout, *stop);
    });
    uploadThread = thread;
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    if (QCoreApplication* app = QCoreApplication::instance())
        QObject::connect(app, &QCoreApplication::aboutToQuit, thread, [] { stopUpload(); });
    thread->start(QThread::LowPriority);
}

void CrashReporter::stopUpload() {
    QThread* thread = uploadThread.data();
    if (!thread) return;
    uploadStop->store(true);
    // Ends the event loop that waits for the request in flight, and every later one at once.
    thread->quit();
    thread->wait();
    uploadThread = nullptr;
    delete thread;
}

} // namespace Quillaby
