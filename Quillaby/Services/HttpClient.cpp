#include "Services/HttpClient.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace Quillaby {

namespace {

QPointer<QNetworkReply> watch(QNetworkReply* reply, QObject* context, HttpClient::Completion done) {
    QPointer<QObject> guard(context);
    const bool hasContext = context != nullptr;
    QObject::connect(reply, &QNetworkReply::finished, reply,
                     [reply, guard, hasContext, done = std::move(done)] {
                         HttpResponse response = HttpClient::responseOf(*reply);
                         reply->deleteLater();
                         if (hasContext && !guard) return;
                         if (done) done(response);
                     });
    return reply;
}

bool isTransportError(QNetworkReply::NetworkError error) {
    // Qt numbers the errors of the connection itself 1-99 and those of a proxy 101-199; the rest
    // describe an answer that did arrive.
    return error > QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

} // namespace

QNetworkRequest HttpClient::makeRequest(const QUrl& url, std::chrono::milliseconds timeout) {
    QNetworkRequest request(url);
    request.setTransferTimeout(int(timeout.count()));
    return request;
}

QNetworkRequest HttpClient::makeJsonRequest(const QUrl& url, std::chrono::milliseconds timeout) {
    QNetworkRequest request = makeRequest(url, timeout);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    return request;
}

QPointer<QNetworkReply> HttpClient::get(QNetworkAccessManager& manager, const QNetworkRequest& request,
                                        QObject* context, Completion done) {
    return watch(manager.get(request), context, std::move(done));
}

QPointer<QNetworkReply> HttpClient::post(QNetworkAccessManager& manager, const QNetworkRequest& request,
                                         const QByteArray& body, QObject* context, Completion done) {
    return watch(manager.post(request, body), context, std::move(done));
}

HttpResponse HttpClient::postAndWait(QNetworkAccessManager& manager, const QNetworkRequest& request,
                                     const QByteArray& body) {
    QNetworkReply* reply = manager.post(request, body);
    if (!reply->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    HttpResponse response = responseOf(*reply);
    delete reply;
    return response;
}

HttpResponse HttpClient::responseOf(QNetworkReply& reply) {
    HttpResponse response;
    QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    response.status = status.isValid() ? status.toInt() : 0;
    if (isTransportError(reply.error()) || response.status == 0) {
        response.outcome = HttpResponse::Outcome::NetworkError;
        return response;
    }
    response.body = reply.readAll();
    response.outcome = response.status >= 200 && response.status <= 299 ? HttpResponse::Outcome::Ok
                                                                        : HttpResponse::Outcome::BadResponse;
    return response;
}

} // namespace Quillaby
