#pragma once

#include <QString>
#include <QUrl>

class QNetworkAccessManager;

namespace Quillaby {

// The product's one web service and web site, reached over HTTPS at one host. Every address is the
// site address followed by a path; the clients that talk to it are VersionService, FeedbackService and
// the crash uploader.
class WebService {
public:
    static constexpr const char* productionSite = "https://quillaby.app";

    // "https://quillaby.app", or the address tests set.
    static QUrl siteAddress();
    // The host shown to the user ("Visit quillaby.app").
    static QString host();
    // The site address followed by a path that starts with "/".
    static QUrl address(const QString& path);

    static QUrl homePage() { return siteAddress(); }
    static QUrl downloadPage() { return address(QStringLiteral("/download")); }
    static QUrl privacyPage() { return address(QStringLiteral("/privacy")); }
    static QUrl termsPage() { return address(QStringLiteral("/terms")); }
    static QUrl crashEndpoint() { return address(QStringLiteral("/api/crash")); }

    // Opens a web address in the user's browser. Only an http or https address with a host is opened
    // (a download link comes from the network and could name any scheme); anything else opens nothing
    // and returns false, without a message.
    static bool openInBrowser(const QString& address);

    // The network manager of the main thread, made on first use, with no proxy: the service is never
    // reached through one. Threads other than the main thread make their own manager with
    // makeNetworkManager().
    static QNetworkAccessManager& mainThreadManager();
    static QNetworkAccessManager* makeNetworkManager();

    // Tests point the clients at a loopback server (an invalid URL restores the production site).
    static void setSiteAddressForTesting(const QUrl& site);
};

} // namespace Quillaby
