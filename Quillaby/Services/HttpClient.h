#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QPointer>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QObject;

namespace Quillaby {

// How an exchange with the web service ended.
struct HttpResponse {
    enum class Outcome {
        // A status from 200 to 299.
        Ok,
        // No complete answer: refused, reset, timed out, cancelled, cut off mid-body.
        NetworkError,
        // An answer with any other status.
        BadResponse
    };
    Outcome outcome = Outcome::NetworkError;
    // The HTTP status; 0 when none arrived.
    int status = 0;
    QByteArray body;
};

// One request to the web service, shared by its clients (version check, feedback, crash upload).
// Requests go through a network manager that belongs to the calling thread, add no header but the ones
// named, and end when the server has been silent for the time-out.
class HttpClient {
public:
    using Completion = std::function<void(const HttpResponse&)>;

    // A GET, or a POST whose body is JSON ("Content-Type: application/json").
    static QNetworkRequest makeRequest(const QUrl& url, std::chrono::milliseconds timeout);
    static QNetworkRequest makeJsonRequest(const QUrl& url, std::chrono::milliseconds timeout);

    // Starts the request and returns at once; `done` runs on the manager's thread when it ends, unless
    // `context` is gone by then (the request still runs to its end). The reply may be aborted, which
    // ends it as a network error; it deletes itself afterwards.
    static QPointer<QNetworkReply> get(QNetworkAccessManager& manager, const QNetworkRequest& request,
                                       QObject* context, Completion done);
    static QPointer<QNetworkReply> post(QNetworkAccessManager& manager, const QNetworkRequest& request,
                                        const QByteArray& body, QObject* context, Completion done);

    // For worker threads without a running event loop: starts the POST and runs a local event loop
    // until it ends. The manager must belong to the calling thread.
    static HttpResponse postAndWait(QNetworkAccessManager& manager, const QNetworkRequest& request,
                                    const QByteArray& body);

    // The outcome of a finished reply: a transport failure is a network error even when a status line
    // came first; otherwise the status decides.
    static HttpResponse responseOf(QNetworkReply& reply);
};

} // namespace Quillaby
