#include "ServiceTestSupport.h"

#include "App/AppHooks.h"
#include "App/AppInfo.h"
#include "Services/FeedbackService.h"
#include "Services/HttpClient.h"
#include "Services/MachineIdentifier.h"
#include "Services/VersionService.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>

#include <thread>

using namespace Quillaby;
using namespace QuillabyTest;
using namespace std::chrono_literals;

namespace {

std::optional<VersionResult> fetchVersion(std::chrono::milliseconds silence = VersionService::timeout) {
    std::optional<VersionResult> result;
    VersionService::fetch(
        nullptr, [&](const VersionResult& r) { result = r; }, silence);
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
    return result;
}

// The error of a send that ended; nothing for success.
std::optional<FeedbackError> sendFeedback(const std::optional<QString>& email, const QString& message,
                                          std::chrono::milliseconds silence = FeedbackService::timeout) {
    std::optional<std::optional<FeedbackError>> result;
    FeedbackService::send(
        email, message, nullptr, [&](std::optional<FeedbackError> e) { result = e; }, silence);
    EXPECT_TRUE(waitUntil([&] { return result.has_value(); }));
    return result.value_or(FeedbackError::Network);
}

QJsonObject jsonOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

} // namespace

TEST(WebService, AddressesAreOneHostOverHttps) {
    EXPECT_EQ(WebService::siteAddress(), QUrl("https://quillaby.app"));
    EXPECT_EQ(WebService::host(), QStringLiteral("quillaby.app"));
    EXPECT_EQ(VersionService::endpoint(), QUrl("https://quillaby.app/api/version.json"));
    EXPECT_EQ(FeedbackService::endpoint(), QUrl("https://quillaby.app/api/feedback"));
    EXPECT_EQ(WebService::crashEndpoint(), QUrl("https://quillaby.app/api/crash"));
    EXPECT_EQ(WebService::homePage(), QUrl("https://quillaby.app"));
    EXPECT_EQ(WebService::downloadPage(), QUrl("https://quillaby.app/download"));
    EXPECT_EQ(WebService::privacyPage(), QUrl("https://quillaby.app/privacy"));
    EXPECT_EQ(WebService::termsPage(), QUrl("https://quillaby.app/terms"));
}

TEST(WebService, ProductionRequestsWaitTenAndFifteenSecondsOfSilence) {
    QNetworkRequest version = VersionService::makeRequest();
    EXPECT_EQ(version.transferTimeout(), 10'000);
    EXPECT_FALSE(version.header(QNetworkRequest::ContentTypeHeader).isValid());
    QNetworkRequest feedback = FeedbackService::makeRequest();
    EXPECT_EQ(feedback.transferTimeout(), 15'000);
    EXPECT_EQ(feedback.header(QNetworkRequest::ContentTypeHeader).toString(),
              QStringLiteral("application/json"));
    EXPECT_EQ(WebService::mainThreadManager().proxy().type(), QNetworkProxy::NoProxy);
}

TEST(WebService, OnlyWebAddressesOpenInTheBrowser) {
    ScopedAppHooks hooks;
    QList<QUrl> opened;
    hooks->openUrl = [&](const QUrl& url) {
        opened.append(url);
        return true;
    };
    struct Case {
        const char* name;
        QString address;
        bool opens;
    };
    const Case cases[] = {
        {"https", "https://quillaby.app/download", true},
        {"http", "http://example.org/q.tar.gz", true},
        {"upper-case scheme", "HTTPS://quillaby.app/", true},
        {"file", "file:///etc/passwd", false},
        {"javascript", "javascript:alert(1)", false},
        {"custom scheme", "x-terminal-emulator://run", false},
        {"no scheme", "quillaby.app/download", false},
        {"empty", "", false},
        {"not a url", "http://exa mple.org", false},
        {"no host", "https://", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        opened.clear();
        EXPECT_EQ(WebService::openInBrowser(c.address), c.opens);
        EXPECT_EQ(opened.size(), c.opens ? 1 : 0);
    }
}

TEST(MachineIdentifier, IsAStableHashNotTheRawId) {
    const QString id = MachineIdentifier::value();
    EXPECT_EQ(id.size(), 32);
    EXPECT_EQ(id, MachineIdentifier::value());
    EXPECT_EQ(MachineIdentifier::fromMachineId("abc\n"), MachineIdentifier::fromMachineId("abc"));
    EXPECT_NE(MachineIdentifier::fromMachineId("abc"), MachineIdentifier::fromMachineId("abd"));
    EXPECT_FALSE(id.contains(QString::fromLatin1(QSysInfo::machineUniqueId())));
}

using VersionServiceTest = WebServiceTest;

TEST_F(VersionServiceTest, ReadsTheVersionDocument) {
    const QString downloadPage = WebService::downloadPage().toString();
    struct Case {
        const char* name;
        ScriptedReply reply;
        VersionResult expected;
    };
    const Case cases[] = {
        {"whole document",
         ScriptedReply::json(200,
                             R"({"version":"1.4.0","notes":["Faster","Tabs"],"download_url":"https://x.org/q",
                                      "extra":true})"),
         RemoteVersion{"1.4.0", {"Faster", "Tabs"}, "https://x.org/q"}},
        {"version only", ScriptedReply::json(200, R"({"version":"1.4.0"})"),
         RemoteVersion{"1.4.0", {}, downloadPage}},
        {"empty version accepted", ScriptedReply::json(200, R"({"version":""})"),
         RemoteVersion{"", {}, downloadPage}},
        {"a number among the notes voids them",
         ScriptedReply::json(200, R"({"version":"2","notes":["a",1,"b"]})"),
         RemoteVersion{"2", {}, downloadPage}},
        {"notes not a list", ScriptedReply::json(200, R"({"version":"2","notes":"a"})"),
         RemoteVersion{"2", {}, downloadPage}},
        {"null notes and link",
         ScriptedReply::json(200, R"({"version":"2","notes":null,"download_url":null})"),
         RemoteVersion{"2", {}, downloadPage}},
        {"empty link kept", ScriptedReply::json(200, R"({"version":"2","download_url":""})"),
         RemoteVersion{"2", {}, ""}},
        {"link that is no URL kept",
         ScriptedReply::json(200, R"({"version":"2","download_url":"not a url"})"),
         RemoteVersion{"2", {}, "not a url"}},
        {"numeric version", ScriptedReply::json(200, R"({"version":1.2})"), VersionServiceError::BadResponse},
        {"no version", ScriptedReply::json(200, R"({"notes":["a"]})"), VersionServiceError::BadResponse},
        {"array", ScriptedReply::json(200, R"([{"version":"1.0"}])"), VersionServiceError::BadResponse},
        {"not JSON", ScriptedReply::text(200, "<html>maintenance</html>"), VersionServiceError::BadResponse},
        {"empty body", ScriptedReply::empty(200), VersionServiceError::BadResponse},
        {"404 with a valid body", ScriptedReply::json(404, R"({"version":"9.9"})"),
         VersionServiceError::BadResponse},
        {"500 with a valid body", ScriptedReply::json(500, R"({"version":"9.9"})"),
         VersionServiceError::BadResponse},
    };
    for (const Case& c : cases)
        server.enqueue(c.reply);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<VersionResult> result = fetchVersion();
        ASSERT_TRUE(result);
        EXPECT_EQ(*result, c.expected);
    }
    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), qsizetype(std::size(cases)));
    for (const RecordedRequest& request : requests) {
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.path, "/api/version.json");
        EXPECT_EQ(request.contentType, "");
        EXPECT_EQ(request.body, "");
    }
}

TEST_F(VersionServiceTest, ASilentServerOrARefusedPortIsANetworkError) {
    server.enqueue(ScriptedReply::silence());
    EXPECT_EQ(fetchVersion(300ms), VersionResult(VersionServiceError::Network));
    EXPECT_EQ(server.requestCount(), 1);

    WebService::setSiteAddressForTesting(LoopbackHttpServer::refusedUrl());
    EXPECT_EQ(fetchVersion(), VersionResult(VersionServiceError::Network));
}

TEST_F(VersionServiceTest, AnAbortedRequestIsANetworkErrorAndAGoneContextHearsNothing) {
    server.enqueue(ScriptedReply::silence());
    std::optional<VersionResult> result;
    QPointer<QNetworkReply> reply =
        VersionService::fetch(nullptr, [&](const VersionResult& r) { result = r; });
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() == 1; }));
    reply->abort();
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, VersionResult(VersionServiceError::Network));

    server.enqueue(ScriptedReply::json(200, R"({"version":"1"})"));
    bool called = false;
    auto context = std::make_unique<QObject>();
    QPointer<QNetworkReply> second =
        VersionService::fetch(context.get(), [&](const VersionResult&) { called = true; });
    context.reset();
    ASSERT_TRUE(waitUntil([&] { return second.isNull(); }));
    EXPECT_FALSE(called);
}

using FeedbackServiceTest = WebServiceTest;

TEST_F(FeedbackServiceTest, PostsCompactJsonAndLeavesAnEmptyEmailOut) {
    server.enqueue(ScriptedReply::empty(204));
    server.enqueue(ScriptedReply::json(200, "whatever"));
    server.enqueue(ScriptedReply::empty(200));
    EXPECT_EQ(sendFeedback(std::nullopt, "Hi"), std::nullopt);
    EXPECT_EQ(sendFeedback(QString(""), "Two\n\nlines"), std::nullopt);
    EXPECT_EQ(sendFeedback(QString(" "), " as typed "), std::nullopt);

    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    for (const RecordedRequest& request : requests) {
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.path, "/api/feedback");
        EXPECT_EQ(request.contentType, "application/json");
        EXPECT_FALSE(request.body.contains('\n')) << request.body.toStdString();
        EXPECT_FALSE(request.body.contains(": ")) << request.body.toStdString();
    }
    const QJsonObject common{{"version", AppInfo::shortVersion()},
                             {"machine_id", MachineIdentifier::value()}};
    auto with = [&](QJsonObject extra) {
        for (auto it = common.begin(); it != common.end(); ++it)
            extra.insert(it.key(), it.value());
        return extra;
    };
    EXPECT_EQ(jsonOf(requests[0].body), with({{"message", "Hi"}}));
    EXPECT_EQ(jsonOf(requests[1].body), with({{"message", "Two\n\nlines"}}));
    EXPECT_EQ(jsonOf(requests[2].body), with({{"message", " as typed "}, {"email", " "}}));
}

TEST_F(FeedbackServiceTest, FailuresAreNetworkOrBadResponse) {
    server.enqueue(ScriptedReply::json(404, "{}"));
    server.enqueue(ScriptedReply::json(500, "{}"));
    server.enqueue(ScriptedReply::silence());
    EXPECT_EQ(sendFeedback("a@b.c", "m"), FeedbackError::BadResponse);
    EXPECT_EQ(sendFeedback("a@b.c", "m"), FeedbackError::BadResponse);
    EXPECT_EQ(sendFeedback("a@b.c", "m", 300ms), FeedbackError::Network);
    WebService::setSiteAddressForTesting(LoopbackHttpServer::refusedUrl());
    EXPECT_EQ(sendFeedback("a@b.c", "m"), FeedbackError::Network);
}

// The crash uploader posts from a thread of its own, with its own network manager.
TEST_F(FeedbackServiceTest, AWorkerThreadPostsAndWaitsWithItsOwnManager) {
    server.enqueue(ScriptedReply::empty(204));
    server.enqueue(ScriptedReply::json(500, "{}"));
    QList<HttpResponse::Outcome> outcomes;
    const QUrl crash = WebService::crashEndpoint();
    std::thread worker([&] {
        std::unique_ptr<QNetworkAccessManager> manager(WebService::makeNetworkManager());
        for (const char* record : {R"({"reason":"SIGSEGV"})", R"({"reason":"SIGABRT"})"}) {
            HttpResponse response =
                HttpClient::postAndWait(*manager, HttpClient::makeJsonRequest(crash, 15s), record);
            outcomes.append(response.outcome);
        }
    });
    worker.join();
    EXPECT_EQ(outcomes,
              (QList<HttpResponse::Outcome>{HttpResponse::Outcome::Ok, HttpResponse::Outcome::BadResponse}));
    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests[0].method, "POST");
    EXPECT_EQ(requests[0].path, "/api/crash");
    EXPECT_EQ(requests[0].contentType, "application/json");
    EXPECT_EQ(requests[0].body, R"({"reason":"SIGSEGV"})");
}

TEST(LoopbackHttpServer, StopsAfterItsRequestBound) {
    LoopbackHttpServer bounded(2);
    ASSERT_TRUE(bounded.start());
    WebService::setSiteAddressForTesting(bounded.url());
    bounded.enqueue(ScriptedReply::json(200, R"({"version":"1"})"));
    EXPECT_TRUE(std::holds_alternative<RemoteVersion>(*fetchVersion()));
    // Unscripted: 503.
    EXPECT_EQ(fetchVersion(), VersionResult(VersionServiceError::BadResponse));
    EXPECT_FALSE(bounded.isListening());
    EXPECT_EQ(fetchVersion(), VersionResult(VersionServiceError::Network));
    EXPECT_EQ(bounded.requestCount(), 2);
    WebService::setSiteAddressForTesting(QUrl());
}
