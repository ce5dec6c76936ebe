#include "ServiceTestSupport.h"

#include "App/AppResources.h"
#include "Services/AboutViewModel.h"
#include "Services/ChangelogParser.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace Quillaby;
using namespace QuillabyTest;
using namespace std::chrono_literals;
using Field = AboutViewModel::Field;
using FeedbackState = AboutViewModel::FeedbackState;
using LoadState = AboutViewModel::LoadState;
using NotesSource = AboutViewModel::NotesSource;

TEST(AboutViewModel, ComponentsOfVersionStrings) {
    struct Case {
        QString version;
        QList<qint64> expected;
    };
    const Case cases[] = {
        {"1.2.3", {1, 2, 3}},
        {"V2.10", {2, 10}},
        {"1.4.0-beta.2", {1, 4, 0}},
        {"2.0rc1", {2, 1}},
        {"1..2", {1, 2}},
        {"-1.2", {1, 2}},
        {"beta", {0}},
        {"", {}},
        {"---", {0}},
        {"...", {}},
        {"1.99999999999999999999", {1, 0}},
        {"9223372036854775807", {9223372036854775807}},
        {"1.٣", {1, 0}}, // an Arabic-Indic three: a numeral, but not an ASCII digit
        {"1.Ⅻ", {1, 0}}, // a Roman numeral twelve
        {"1.x", {1, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version.toStdString());
        EXPECT_EQ(AboutViewModel::components(c.version), c.expected);
    }
}

TEST(AboutViewModel, IsNewerComparesComponentsWithMissingOnesAsZero) {
    struct Case {
        QString version;
        QString than;
        bool newer;
    };
    const Case cases[] = {
        {"1.2.10", "1.2.9", true},  {"1.2.9", "1.2.10", false},
        {"1.3", "1.2.9", true},     {"1.2", "1.2.0", false},
        {"1.2.0", "1.2", false},    {"2.0-beta", "2.0", false},
        {"2.0", "2.0-beta", false}, {"1.2.1", "1.2", true},
        {"", "0.0.1", false},       {"", "", false},
        {"0.0.1", "", true},        {"v1.0", "1.0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.version + " vs " + c.than).toStdString());
        EXPECT_EQ(AboutViewModel::isNewer(c.version, c.than), c.newer);
    }
}

namespace {

// The model against a loopback server, with a change log of our own in a fixture resource folder.
class AboutViewModelTest : public WebServiceTest {
protected:
    void SetUp() override {
        WebServiceTest::SetUp();
        QDir().mkpath(bundle.path() + "/Resources");
        QFile log(bundle.path() + "/Resources/CHANGELOG.md");
        ASSERT_TRUE(log.open(QIODevice::WriteOnly));
        log.write("## [1.0.0]\n- Bundled note\n");
        log.close();
        AppResources::setBundleForTesting(bundle.path());
        QObject::connect(&vm, &AboutViewModel::changed, [this](Field field) { changes.append(field); });
        vm.setTimeoutsForTesting(400ms, 400ms);
    }
    void TearDown() override {
        AppResources::setBundleForTesting(std::nullopt);
        WebServiceTest::TearDown();
    }

    void loadAndWait() {
        vm.load();
        ASSERT_TRUE(waitUntil([&] { return vm.loadState() != LoadState::Loading; }));
    }
    void sendAndWait() {
        vm.sendFeedback();
        ASSERT_TRUE(waitUntil([&] { return vm.feedbackState().kind != FeedbackState::Kind::Sending; }));
    }

    QTemporaryDir bundle;
    AboutViewModel vm;
    QList<Field> changes;
};

} // namespace

TEST_F(AboutViewModelTest, StartsLoadingWithNothingAndDoesNotLoadByItself) {
    AboutViewModel fresh;
    EXPECT_FALSE(fresh.remoteVersion());
    EXPECT_TRUE(fresh.notes().isEmpty());
    EXPECT_EQ(fresh.notesSource(), NotesSource::Bundled);
    EXPECT_EQ(fresh.loadState(), LoadState::Loading);
    EXPECT_EQ(fresh.feedbackState(), FeedbackState::idle());
    QTest::qWait(0);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(AboutViewModelTest, LoadTakesTheServiceNotesElseTheChangeLogs) {
    server.enqueue(ScriptedReply::json(200, R"({"version":"9.0","notes":["Remote note"]})"));
    loadAndWait();
    EXPECT_EQ(vm.remoteVersion()->version, "9.0");
    EXPECT_EQ(vm.notes(), QStringList{"Remote note"});
    EXPECT_EQ(vm.notesSource(), NotesSource::Remote);
    EXPECT_EQ(vm.loadState(), LoadState::Loaded);
    EXPECT_EQ(changes, (QList<Field>{Field::LoadState, Field::RemoteVersion, Field::Notes, Field::NotesSource,
                                     Field::LoadState}));

    // No notes from the service: the change log's, and still loaded, not offline.
    server.enqueue(ScriptedReply::json(200, R"({"version":"9.0","notes":[]})"));
    loadAndWait();
    EXPECT_TRUE(vm.remoteVersion());
    EXPECT_EQ(vm.notes(), QStringList{"Bundled note"});
    EXPECT_EQ(vm.notesSource(), NotesSource::Bundled);
    EXPECT_EQ(vm.loadState(), LoadState::Loaded);

    // A failure after a success clears the version.
    server.enqueue(ScriptedReply::json(500, R"({"version":"9.0"})"));
    changes.clear();
    loadAndWait();
    EXPECT_FALSE(vm.remoteVersion());
    EXPECT_EQ(vm.notes(), QStringList{"Bundled note"});
    EXPECT_EQ(vm.loadState(), LoadState::Offline);
    EXPECT_EQ(changes, (QList<Field>{Field::LoadState, Field::RemoteVersion, Field::Notes, Field::NotesSource,
                                     Field::LoadState}));
}

TEST_F(AboutViewModelTest, ASilentServerAndACancelledLoadEndOffline) {
    server.enqueue(ScriptedReply::silence());
    loadAndWait();
    EXPECT_EQ(vm.loadState(), LoadState::Offline);

    server.enqueue(ScriptedReply::silence());
    vm.setTimeoutsForTesting(10s, 10s);
    vm.load();
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() == 2; }));
    vm.cancelLoads();
    EXPECT_EQ(vm.loadState(), LoadState::Offline);
    EXPECT_EQ(vm.notes(), QStringList{"Bundled note"});
}

TEST_F(AboutViewModelTest, ABlankMessageFailsWithoutARequest) {
    for (const QString& message : {QString(), QString(" \n\t \r\n "), QString("\u2003\u2028")}) {
        vm.setMessage(message);
        changes.clear();
        vm.sendFeedback();
        EXPECT_EQ(vm.feedbackState(), FeedbackState::failed("Message can't be empty."));
        EXPECT_EQ(changes, QList<Field>{Field::FeedbackState});
    }
    QTest::qWait(0);
    EXPECT_EQ(server.requestCount(), 0);
}

TEST_F(AboutViewModelTest, SendTrimsAndJoinsSubjectAndMessageThenEmptiesThem) {
    struct Case {
        const char* name;
        QString email, subject, message;
        QJsonObject expected;
    };
    const Case cases[] = {
        {"all three",
         "  me@x.org ",
         "  Idea ",
         "\n  Add tabs. \n",
         {{"email", "me@x.org"}, {"message", "Idea\n\nAdd tabs."}}},
        {"blank subject and email", "   ", " \t ", "Just this", {{"message", "Just this"}}},
        {"inner blanks kept", "", "A  b", "line 1\n\nline 2", {{"message", "A  b\n\nline 1\n\nline 2"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.enqueue(ScriptedReply::empty(204));
        vm.setEmail(c.email);
        vm.setSubject(c.subject);
        vm.setMessage(c.message);
        changes.clear();
        sendAndWait();
        EXPECT_EQ(vm.feedbackState(), FeedbackState::sent());
        EXPECT_EQ(changes,
                  (QList<Field>{Field::FeedbackState, Field::FeedbackState, Field::Subject, Field::Message}));
        EXPECT_EQ(vm.subject(), "");
        EXPECT_EQ(vm.message(), "");
        EXPECT_EQ(vm.email(), c.email);

        QJsonObject body = QJsonDocument::fromJson(server.requests().last().body).object();
        body.remove("version");
        body.remove("machine_id");
        EXPECT_EQ(body, c.expected);
    }
}

TEST_F(AboutViewModelTest, AFailedSendKeepsTheForm) {
    server.enqueue(ScriptedReply::json(500, "{}"));
    vm.setEmail("me@x.org");
    vm.setSubject("S");
    vm.setMessage("M");
    sendAndWait();
    EXPECT_EQ(vm.feedbackState(),
              FeedbackState::failed("Couldn't send — check your connection and try again."));
    EXPECT_EQ(vm.email(), "me@x.org");
    EXPECT_EQ(vm.subject(), "S");
    EXPECT_EQ(vm.message(), "M");

    server.enqueue(ScriptedReply::silence());
    sendAndWait();
    EXPECT_EQ(vm.feedbackState().kind, FeedbackState::Kind::Failed);
}
