#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkReply;
class QObject;

namespace Quillaby {

enum class FeedbackError {
    // No answer: no connection, time-out, cancellation, any transport error.
    Network,
    // An answer with a status outside 200-299.
    BadResponse
};

// Posts a message from the user to the web service ("POST /api/feedback"). The texts go as given:
// trimming and checking are the caller's. Keeps no state, never retries, logs nothing.
class FeedbackService {
public:
    static constexpr std::chrono::milliseconds timeout{15'000};

    static QUrl endpoint();
    static QNetworkRequest makeRequest(std::chrono::milliseconds silence = timeout);
    // The compact JSON object: "message", "version", "machine_id", and "email" when one is given and
    // not empty.
    static QByteArray body(const std::optional<QString>& email, const QString& message);

    // Starts the request on the main thread's network manager and returns at once; `done` runs on the
    // main thread, with nothing on success, unless `context` is gone by then.
    static QPointer<QNetworkReply> send(const std::optional<QString>& email, const QString& message,
                                        QObject* context,
                                        std::function<void(std::optional<FeedbackError>)> done,
                                        std::chrono::milliseconds silence = timeout);
};

} // namespace Quillaby
