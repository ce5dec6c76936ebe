#include "Services/WebService.h"

#include "App/AppHooks.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QThread>

#include <mutex>

namespace Quillaby {

namespace {

std::mutex siteMutex;

QUrl& site() {
    static QUrl url(QString::fromLatin1(WebService::productionSite));
    return url;
}

} // namespace

QUrl WebService::siteAddress() {
    std::lock_guard lock(siteMutex);
    return site();
}

QString WebService::host() {
    return siteAddress().host();
}

QUrl WebService::address(const QString& path) {
    QUrl url = siteAddress();
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

bool WebService::openInBrowser(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
        url.host().isEmpty())
        return false;
    const auto& open = AppHooks::current().openUrl;
    return open && open(url);
}

QNetworkAccessManager* WebService::makeNetworkManager() {
    auto* manager = new QNetworkAccessManager;
    manager->setProxy(QNetworkProxy::NoProxy);
    return manager;
}

QNetworkAccessManager& WebService::mainThreadManager() {
    Q_ASSERT(!QCoreApplication::instance() ||
             QThread::currentThread() == QCoreApplication::instance()->thread());
    // Parented to the application, so it goes before the application's own teardown.
    static QNetworkAccessManager* manager = [] {
        QNetworkAccessManager* made = makeNetworkManager();
        made->setParent(QCoreApplication::instance());
        return made;
    }();
    return *manager;
}

void WebService::setSiteAddressForTesting(const QUrl& url) {
    std::lock_guard lock(siteMutex);
    site() = url.isValid() ? url : QUrl(QString::fromLatin1(productionSite));
}

} // namespace Quillaby
