#pragma once

#include "Services/HttpClient.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <chrono>
#include <functional>
#include <variant>

class QNetworkReply;
class QObject;

namespace Quillaby {

// The latest released version as the web service describes it.
struct RemoteVersion {
    // As the service writes it; compared with AboutViewModel::isNewer.
    QString version;
    // In the service's order; may be empty.
    QStringList notes;
    // Taken as it stands, neither parsed nor checked; the download page when the service gave none.
    QString downloadURL;

    bool operator==(const RemoteVersion&) const = default;
};

enum class VersionServiceError {
    // No answer: no connection, time-out, cancellation, any transport error.
    Network,
    // An answer with a status outside 200-299, or a body that is not a version document.
    BadResponse
};

using VersionResult = std::variant<RemoteVersion, VersionServiceError>;

// Asks the web service for the latest version ("GET /api/version.json"). Keeps no state between calls,
// never retries and logs nothing: the caller chooses what the user sees.
class VersionService {
public:
    static constexpr std::chrono::milliseconds timeout{10'000};

    static QUrl endpoint();
    static QNetworkRequest makeRequest(std::chrono::milliseconds silence = timeout);

    // Starts the request on the main thread's network manager and returns at once; `done` runs on the
    // main thread unless `context` is gone by then. Aborting the returned reply ends it as Network.
    static QPointer<QNetworkReply> fetch(QObject* context, std::function<void(const VersionResult&)> done,
                                         std::chrono::milliseconds silence = timeout);

    // The version document of an answer: an object with a string "version", optional "notes" (a list
    // of strings, else none) and "download_url" (a string, else the download page).
    static VersionResult parse(const HttpResponse& response);
};

} // namespace Quillaby
