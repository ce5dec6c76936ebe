// The handlers run in a fresh copy of this test binary that installs them and crashes before main():
// no test framework, no application object and no sanitizer handlers of its own in the way.
#include "Services/CrashReporter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

using namespace Quillaby;

// Outside any anonymous namespace and never inlined, so the names show on the crash stacks.
__attribute__((noinline, no_sanitize_address, no_sanitize_undefined)) void crashByNullPointer() {
    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;
}

__attribute__((noinline)) void crashByThrowing() {
    throw std::runtime_error("boom");
}

namespace {

constexpr const char* modeVariable = "QUILLABY_CRASH_CHILD";
constexpr const char* dirVariable = "QUILLABY_CRASH_DIR";

// In the copy started by runChild(): install the handlers and crash as asked, before main().
const bool crashChild = [] {
    const char* mode = std::getenv(modeVariable);
    const char* dir = std::getenv(dirVariable);
    if (!mode || !dir) return false;
    CrashReporter::installHandlers(QString::fromLocal8Bit(dir));
    if (std::strcmp(mode, "segv") == 0) crashByNullPointer();
    if (std::strcmp(mode, "throw") == 0) crashByThrowing();
    std::_Exit(97);
}();

struct ChildEnd {
    // The signal that ended the child; 0 when it exited.
    int signal = 0;
    QByteArray output;
};

ChildEnd runChild(const char* mode, const QString& dir, const QString& logPath) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        std::string text = *entry;
        if (text.rfind("ASAN_OPTIONS=", 0) != 0) environment.push_back(text);
    }
    environment.push_back(std::string(modeVariable) + "=" + mode);
    environment.push_back(std::string(dirVariable) + "=" + dir.toStdString());
    // The sanitizers' own handlers would take these signals first (a release build ignores this).
    environment.push_back("ASAN_OPTIONS=handle_segv=0:handle_abort=0:handle_sigill=0:handle_sigbus=0:"
                          "handle_sigfpe=0:detect_leaks=0");
    std::vector<char*> envp;
    for (std::string& text : environment)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    char name[] = "crash-child";
    char* argv[] = {name, nullptr};

    const std::string log = logPath.toStdString();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ChildEnd end;
    if (spawned != 0) return end;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    QFile output(logPath);
    if (output.open(QIODevice::ReadOnly)) end.output = output.readAll();
    return end;
}

class CrashHandlerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(_root.isValid());
        _pending = _root.path() + QStringLiteral("/crashes/pending");
    }

    ChildEnd crash(const char* mode, const QString& pending) {
        _before = QDateTime::currentSecsSinceEpoch();
        ChildEnd end = runChild(mode, pending, _root.path() + QStringLiteral("/child.log"));
        _after = QDateTime::currentSecsSinceEpoch();
        return end;
    }

    QStringList records(const QString& pending) const {
        return QDir(pending).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir _root;
    QString _pending;
    qint64 _before = 0;
    qint64 _after = 0;
};

} // namespace

TEST_F(CrashHandlerTest, NullPointerLeavesOneSignalRecord) {
    const ChildEnd end = crash("segv", _pending);
    ASSERT_EQ(end.signal, SIGSEGV) << end.output.toStdString();

    const QStringList names = records(_pending);
    ASSERT_EQ(names.size(), 1) << names.join(' ').toStdString();
    const QRegularExpressionMatch name =
        QRegularExpression(QStringLiteral("^sig-(\\d+)-(\\d+)\\.json$")).match(names[0]);
    ASSERT_TRUE(name.hasMatch()) << names[0].toStdString();
    const qint64 ts = name.captured(1).toLongLong();
    EXPECT_GE(ts, _before);
    EXPECT_LE(ts, _after);

    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(_pending + '/' + names[0]).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    // Compact, in member order, no newline at the end.
    const QByteArray record = read(_pending + '/' + names[0]);
    const QByteArray start = CrashReporter::signalRecordHead(CrashEnvironment::current()) +
                             QByteArray::number(ts) + R"(,"reason":"SIGSEGV","stack":[)";
    EXPECT_TRUE(record.startsWith(start)) << record.toStdString();
    EXPECT_TRUE(record.endsWith("]}")) << record.toStdString();

    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(record, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << record.toStdString();
    const QJsonArray stack = object.value(QStringLiteral("stack")).toArray();
    EXPECT_GE(stack.size(), 3);
    EXPECT_LE(stack.size(), CrashReporter::maxSignalFrames);
    const QRegularExpression frame(QStringLiteral("^0x[0-9a-f]+$"));
    for (const QJsonValue& value : stack)
        EXPECT_TRUE(frame.match(value.toString()).hasMatch()) << value.toString().toStdString();
}

TEST_F(CrashHandlerTest, UncaughtExceptionLeavesItsRecordThenAborts) {
    const ChildEnd end = crash("throw", _pending);
    // The handler that was there before ours reports the exception and aborts.
    ASSERT_EQ(end.signal, SIGABRT) << end.output.toStdString();
    EXPECT_TRUE(end.output.contains("boom")) << end.output.toStdString();

    const QStringList names = records(_pending);
    ASSERT_EQ(names.size(), 2) << names.join(' ').toStdString();
    ASSERT_TRUE(QRegularExpression(QStringLiteral("^exc-\\d+\\.json$")).match(names[0]).hasMatch());
    // The abort is a fatal signal of its own.
    EXPECT_TRUE(read(_pending + '/' + names[1]).contains(R"("reason":"SIGABRT")"));

    const QByteArray record = read(_pending + '/' + names[0]);
    const QJsonObject object = QJsonDocument::fromJson(record).object();
    const qint64 ts = object.value(QStringLiteral("ts")).toInteger();
    EXPECT_EQ(names[0], QStringLiteral("exc-%1.json").arg(ts));
    EXPECT_GE(ts, _before);
    EXPECT_LE(ts, _after);
    const QString reason = object.value(QStringLiteral("reason")).toString();
    EXPECT_EQ(reason, QStringLiteral("Uncaught exception: std::runtime_error: boom"));

    QStringList stack;
    for (const QJsonValue& value : object.value(QStringLiteral("stack")).toArray())
        stack << value.toString();
    EXPECT_TRUE(stack.filter(QStringLiteral("crashByThrowing")).size() == 1)
        << stack.join('\n').toStdString();
    // Compact and in member order: exactly what the record's writer makes of these values.
    EXPECT_EQ(record, CrashReporter::exceptionRecord(CrashEnvironment::current(), reason, stack, ts));
}

TEST_F(CrashHandlerTest, FolderPathTooLongForTheSignalPathWritesNothing) {
    struct Case {
        const char* name;
        std::size_t length;
        int records;
    };
    const std::size_t room = CrashReporter::pathCapacity - CrashReporter::signalFileNameRoom;
    const Case cases[] = {{"just fits", room, 1}, {"one byte over", room + 1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Folders of at most 200 bytes each, the last one filling up to the length.
        QString pending = _root.path() + QStringLiteral("/") + QString::fromLatin1(c.name).replace(' ', '-');
        while (std::size_t(pending.size()) + 201 < c.length)
            pending += QLatin1Char('/') + QString(199, QLatin1Char('d'));
        pending += QLatin1Char('/') + QString(qsizetype(c.length) - pending.size() - 1, QLatin1Char('e'));
        ASSERT_EQ(std::size_t(QFile::encodeName(pending).size()), c.length);

        const ChildEnd end = crash("segv", pending);
        EXPECT_EQ(end.signal, SIGSEGV) << end.output.toStdString();
        EXPECT_EQ(records(pending).size(), c.records);
    }
}
