#include "ServiceTestSupport.h"

#include "App/AppPaths.h"
#include "Services/CrashReporter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Quillaby;
using namespace QuillabyTest;
using namespace std::chrono_literals;

namespace {

class CrashUploadTest : public WebServiceTest {
protected:
    void SetUp() override {
        WebServiceTest::SetUp();
        ASSERT_TRUE(_root.isValid());
        _pending = _root.path() + QStringLiteral("/pending");
        QDir().mkpath(_pending);
    }

    void put(const QString& name, const QByteArray& bytes) {
        QFile file(_pending + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QStringList files() const { return QDir(_pending).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    void upload(std::chrono::milliseconds timeout = CrashReporter::uploadTimeout) {
        CrashReporter::uploadAllPending(_pending, timeout);
    }

    QTemporaryDir _root;
    QString _pending;
};

} // namespace

TEST_F(CrashUploadTest, SendsTheLastTwentyInNameOrderAsTheyAre) {
    QStringList names;
    QList<QByteArray> bodies;
    for (int i = 0; i < 15; ++i)
        names << QStringLiteral("sig-17000000%1-4242.json").arg(i + 10);
    // Later in time, yet first by name.
    for (int i = 0; i < 10; ++i)
        names << QStringLiteral("exc-18000000%1.json").arg(i + 10);
    for (int i = 0; i < names.size(); ++i) {
        // Spacing and a final newline the uploader must keep.
        bodies << QStringLiteral("{ \"n\": %1,\"name\":\"%2\" }\n").arg(i).arg(names[i]).toUtf8();
        put(names[i], bodies.last());
    }
    put(QStringLiteral("notes.txt"), "not a record");
    for (int i = 0; i < 20; ++i)
        server.enqueue(ScriptedReply::empty(204));

    upload();

    QStringList sorted = names;
    sorted.sort();
    const QList<RecordedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 20);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const qsizetype index = names.indexOf(sorted[i + 5]);
        EXPECT_EQ(requests[i].method, "POST");
        EXPECT_EQ(requests[i].path, "/api/crash");
        EXPECT_EQ(requests[i].contentType, "application/json");
        EXPECT_EQ(requests[i].body, bodies[index]);
    }
    EXPECT_TRUE(sorted[5].startsWith(QStringLiteral("exc-")));
    EXPECT_EQ(files().join(' '), "notes.txt");
}

TEST_F(CrashUploadTest, FailedSendsCountAttemptsAndTheFifthDeletes) {
    const QStringList before = {QStringLiteral("sig-1-2.json"), QStringLiteral("sig-3-4.a1.json"),
                                QStringLiteral("x.a.json"),     QStringLiteral("x.abc.json"),
                                QStringLiteral("y.a2.json"),    QStringLiteral("z.a4.json")};
    for (int i = 0; i < before.size(); ++i) {
        put(before[i], "{}");
        server.enqueue(ScriptedReply::json(i % 2 ? 500 : 404, "{\"error\":true}"));
    }

    upload();

    EXPECT_EQ(server.requestCount(), before.size());
    EXPECT_EQ(files().join(' '), "sig-1-2.a1.json sig-3-4.a2.json x.a.a1.json x.abc.a1.json y.a3.json");
}

TEST_F(CrashUploadTest, NoAnswerCountsAnAttempt) {
    struct Case {
        const char* name;
        QUrl site;
    };
    const Case cases[] = {{"silent server", server.url()}, {"refused", LoopbackHttpServer::refusedUrl()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WebService::setSiteAddressForTesting(c.site);
        server.enqueue(ScriptedReply::silence());
        put(QStringLiteral("sig-5-6.json"), "{}");
        upload(300ms);
        EXPECT_EQ(files().join(' '), "sig-5-6.a1.json");
        QFile::remove(_pending + QStringLiteral("/sig-5-6.a1.json"));
    }
}

TEST_F(CrashUploadTest, UnreadableOrInvalidRecordsAreDeletedUnsent) {
    put(QStringLiteral("a-cut-short.json"), R"({"version":"1.0","stack":["0x1",)");
    put(QStringLiteral("b-empty.json"), "");
    put(QStringLiteral("c-scalar.json"), "42");
    put(QStringLiteral("d-huge.json"), "[" + QByteArray(1024 * 1024, ' ') + "]");
    put(QStringLiteral("e-good.json"), R"({"ok":true})");
    QDir(_pending).mkdir(QStringLiteral("g-folder.json"));
    server.enqueue(ScriptedReply::empty(204));

    upload();

    ASSERT_EQ(server.requestCount(), 1);
    EXPECT_EQ(server.requests()[0].body, R"({"ok":true})");
    // Only a folder is left: the uploader touches files alone.
    EXPECT_EQ(files().join(' '), "");
    EXPECT_TRUE(QDir(_pending).exists(QStringLiteral("g-folder.json")));
}

TEST_F(CrashUploadTest, WithoutAPendingFolderNothingHappens) {
    QDir(_pending).removeRecursively();
    upload();
    EXPECT_EQ(server.requestCount(), 0);
    EXPECT_FALSE(QDir(_pending).exists());
}

TEST_F(CrashUploadTest, FlushUploadsInTheBackground) {
    const QString pending = AppPaths::crashesPendingDir();
    QDir().mkpath(pending);
    for (const char* name : {"exc-1.json", "sig-2-3.json"}) {
        QFile file(pending + '/' + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("{}");
        server.enqueue(ScriptedReply::empty(204));
    }

    CrashReporter::flushPending();

    EXPECT_TRUE(waitUntil([&] { return QDir(pending).isEmpty(); }));
    EXPECT_EQ(server.requestCount(), 2);
    CrashReporter::stopUpload();
}

TEST_F(CrashUploadTest, StoppingLeavesTheRecordInFlightForNextTime) {
    const QString pending = AppPaths::crashesPendingDir();
    QDir().mkpath(pending);
    QFile file(pending + QStringLiteral("/sig-7-8.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{}");
    file.close();
    server.enqueue(ScriptedReply::silence());

    CrashReporter::flushPending();
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() == 1; }));
    // Returns long before the 15 s time-out, without counting an attempt.
    CrashReporter::stopUpload();

    EXPECT_EQ(QDir(pending).entryList(QDir::Files).join(' '), "sig-7-8.json");
    QFile::remove(file.fileName());
}
