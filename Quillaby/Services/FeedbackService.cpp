#include "Services/FeedbackService.h"

#include "App/AppInfo.h"
#include "Services/HttpClient.h"
#include "Services/MachineIdentifier.h"
#include "Services/WebService.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace Quillaby {

QUrl FeedbackService::endpoint() {
    return WebService::address(QStringLiteral("/api/feedback"));
}

QNetworkRequest FeedbackService::makeRequest(std::chrono::milliseconds silence) {
    return HttpClient::makeJsonRequest(endpoint(), silence);
}

QByteArray FeedbackService::body(const std::optional<QString>& email, const QString& message) {
    QJsonObject object{
        {QStringLiteral("message"), message},
        {QStringLiteral("version"), AppInfo::shortVersion()},
        {QStringLiteral("machine_id"), MachineIdentifier::value()},
    };
    if (email && !email->isEmpty()) object.insert(QStringLiteral("email"), *email);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QPointer<QNetworkReply> FeedbackService::send(const std::optional<QString>& email, const QString& message,
                                              QObject* context,
                                              std::function<void(std::optional<FeedbackError>)> done,
                                              std::chrono::milliseconds silence) {
    return HttpClient::post(WebService::mainThreadManager(), makeRequest(silence), body(email, message),
                            context, [done = std::move(done)](const HttpResponse& response) {
                                switch (response.outcome) {
                                case HttpResponse::Outcome::Ok:
                                    done(std::nullopt);
                                    break;
                                case HttpResponse::Outcome::NetworkError:
                                    done(FeedbackError::Network);
                                    break;
                                case HttpResponse::Outcome::BadResponse:
                                    done(FeedbackError::BadResponse);
                                    break;
                                }
                            });
}

} // namespace Quillaby
