#include "Services/VersionService.h"

#include "Services/WebService.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Quillaby {

namespace {

QStringList stringsOnly(const QJsonValue& value) {
    if (!value.isArray()) return {};
    QStringList strings;
    for (const QJsonValue& element : value.toArray()) {
        // One stray element voids the list: notes are shown whole or not at all.
        if (!element.isString()) return {};
        strings.append(element.toString());
    }
    return strings;
}

} // namespace

QUrl VersionService::endpoint() {
    return WebService::address(QStringLiteral("/api/version.json"));
}

QNetworkRequest VersionService::makeRequest(std::chrono::milliseconds silence) {
    return HttpClient::makeRequest(endpoint(), silence);
}

QPointer<QNetworkReply> VersionService::fetch(QObject* context,
                                              std::function<void(const VersionResult&)> done,
                                              std::chrono::milliseconds silence) {
    return HttpClient::get(WebService::mainThreadManager(), makeRequest(silence), context,
                           [done = std::move(done)](const HttpResponse& response) { done(parse(response)); });
}

VersionResult VersionService::parse(const HttpResponse& response) {
    switch (response.outcome) {
    case HttpResponse::Outcome::NetworkError:
        return VersionServiceError::Network;
    case HttpResponse::Outcome::BadResponse:
        return VersionServiceError::BadResponse;
    case HttpResponse::Outcome::Ok:
        break;
    }
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(response.body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return VersionServiceError::BadResponse;
    QJsonObject object = document.object();
    QJsonValue version = object.value(QLatin1String("version"));
    if (!version.isString()) return VersionServiceError::BadResponse;
    QJsonValue download = object.value(QLatin1String("download_url"));
    return RemoteVersion{
        version.toString(),
        stringsOnly(object.value(QLatin1String("notes"))),
        download.isString() ? download.toString() : WebService::downloadPage().toString(),
    };
}

} // namespace Quillaby
