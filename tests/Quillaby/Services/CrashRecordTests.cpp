#include "Services/CrashReporter.h"
#include "Services/CrashSignalWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

using namespace Quillaby;

namespace {

// What a writer put on a descriptor.
std::string written(const std::function<void(int)>& write) {
    int fds[2];
    EXPECT_EQ(::pipe(fds), 0);
    write(fds[1]);
    ::close(fds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, std::size_t(n));
    ::close(fds[0]);
    return out;
}

CrashEnvironment sampleEnvironment() {
    return {QStringLiteral("1.2.3"), QStringLiteral("Debian GNU/Linux 12, linux 6.1"),
            QStringLiteral("x86_64"), QStringLiteral("0123abcd")};
}

} // namespace

TEST(CrashRecord, EscapesQuotesBackslashesAndControlCharacters) {
    struct Case {
        const char* name;
        QString input;
        QString expected;
    };
    const Case cases[] = {
        {"plain", QStringLiteral("Debian 12"), QStringLiteral("Debian 12")},
        {"quote and backslash", QStringLiteral("a\"b\\c"), QStringLiteral("a\\\"b\\\\c")},
        {"short escapes", QStringLiteral("\t\n\r"), QStringLiteral("\\t\\n\\r")},
        {"other controls", QString::fromUtf8("\x01\x0c\x1f"), QStringLiteral("\\u0001\\u000c\\u001f")},
        {"nul", QString(QChar(0)), QStringLiteral("\\u0000")},
        {"delete and beyond ASCII unchanged", QString::fromUtf8("\x7f é ✓"), QString::fromUtf8("\x7f é ✓")},
        {"slash unchanged", QStringLiteral("a/b"), QStringLiteral("a/b")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CrashReporter::esc(c.input), c.expected);
    }
}

TEST(CrashRecord, SignalNames) {
    struct Case {
        int signal;
        const char* name;
    };
    const Case cases[] = {{SIGILL, "SIGILL"}, {SIGTRAP, "SIGTRAP"}, {SIGABRT, "SIGABRT"}, {SIGFPE, "SIGFPE"},
                          {SIGBUS, "SIGBUS"}, {SIGSEGV, "SIGSEGV"}, {SIGTERM, "SIGNAL"},  {0, "SIGNAL"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(CrashReporter::reasonName(c.signal), c.name);
    }
}

TEST(CrashRecord, SignalHeadIsCompactInMemberOrderWithEscapedValues) {
    CrashEnvironment environment = sampleEnvironment();
    environment.os = QString::fromUtf8("odd \"os\" \\ \x01");
    EXPECT_EQ(CrashReporter::signalRecordHead(environment),
              QByteArray(R"({"version":"1.2.3","os":"odd \"os\" \\ \u0001","arch":"x86_64",)"
                         R"("machineId":"0123abcd","ts":)"));
}

TEST(CrashRecord, EnvironmentNamesTheRealSystem) {
    const CrashEnvironment environment = CrashEnvironment::current();
    EXPECT_FALSE(environment.version.isEmpty());
    EXPECT_TRUE(environment.os.contains(QStringLiteral("linux"))) << environment.os.toStdString();
    EXPECT_EQ(environment.arch, QSysInfo::buildCpuArchitecture());
    EXPECT_EQ(environment.machineId.size(), 32);
}

TEST(CrashRecord, ExceptionRecordIsCompactJsonInMemberOrder) {
    const QString reason =
        CrashReporter::exceptionReason(QStringLiteral("std::runtime_error"), QStringLiteral("boom"));
    EXPECT_EQ(reason, QStringLiteral("Uncaught exception: std::runtime_error: boom"));
    const QByteArray record = CrashReporter::exceptionRecord(
        sampleEnvironment(), reason, {QStringLiteral("app(main+0x1) [0x1]"), QStringLiteral("tab\there")},
        1700000000);
    EXPECT_EQ(record,
              QByteArray(R"({"version":"1.2.3","os":"Debian GNU/Linux 12, linux 6.1","arch":"x86_64",)"
                         R"("machineId":"0123abcd","reason":"Uncaught exception: std::runtime_error: boom",)"
                         R"("stack":["app(main+0x1) [0x1]","tab\there"],"ts":1700000000})"));
    EXPECT_TRUE(QJsonDocument::fromJson(record).isObject());

    // An exception without a message still names its type.
    EXPECT_EQ(CrashReporter::exceptionReason(QStringLiteral("int"), std::nullopt),
              QStringLiteral("Uncaught exception: int: "));
    EXPECT_TRUE(CrashReporter::exceptionRecord(sampleEnvironment(), QString(), {}, 0)
                    .endsWith(R"("stack":[],"ts":0})"));
}

TEST(CrashRecord, SignalSafeWritersSpellNumbers) {
    CrashSignalWriter::NumScratch scratch;
    struct Case {
        const char* name;
        std::function<void(int)> write;
        std::string expected;
    };
    const Case cases[] = {
        {"zero", [&](int fd) { CrashSignalWriter::writeDec(fd, 0, scratch); }, "0"},
        {"negative", [&](int fd) { CrashSignalWriter::writeDec(fd, -42, scratch); }, "-42"},
        {"largest",
         [&](int fd) { CrashSignalWriter::writeDec(fd, std::numeric_limits<std::int64_t>::max(), scratch); },
         "9223372036854775807"},
        {"smallest",
         [&](int fd) { CrashSignalWriter::writeDec(fd, std::numeric_limits<std::int64_t>::min(), scratch); },
         "-9223372036854775808"},
        {"hex zero", [&](int fd) { CrashSignalWriter::writeHex(fd, 0, scratch); }, "0"},
        {"hex lowercase", [&](int fd) { CrashSignalWriter::writeHex(fd, 0x7f00DEADbeef, scratch); },
         "7f00deadbeef"},
        {"hex widest",
         [&](int fd) {
             CrashSignalWriter::writeHex(fd, std::numeric_limits<std::uintptr_t>::max(), scratch);
         },
         std::string(sizeof(std::uintptr_t) * 2, 'f')},
        {"texts in order",
         [&](int fd) {
             CrashSignalWriter::writeLit(fd, "[");
             CrashSignalWriter::writeRaw(fd, "abc", 2);
             CrashSignalWriter::writeLit(fd, "]");
         },
         "[ab]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(written(c.write), c.expected);
    }

    char path[32] = "sig-";
    std::size_t end = CrashSignalWriter::appendDec(path, 4, 1700000000, scratch);
    path[end++] = '-';
    end = CrashSignalWriter::appendDec(path, end, 0, scratch);
    EXPECT_EQ(std::string(path, end), "sig-1700000000-0");
}

TEST(CrashRecord, AttemptNames) {
    struct Case {
        const char* name;
        QString expected;
    };
    const Case cases[] = {
        {"sig-1700000000-42.json", QStringLiteral("sig-1700000000-42.a1.json")},
        {"sig-1700000000-42.a1.json", QStringLiteral("sig-1700000000-42.a2.json")},
        {"exc-1700000000.a3.json", QStringLiteral("exc-1700000000.a4.json")},
        {"exc-1700000000.a4.json", QString()},
        {"x.a7.json", QString()},
        {"x.abc.json", QStringLiteral("x.abc.a1.json")},
        {"x.a.json", QStringLiteral("x.a.a1.json")},
        {"x.a1b.json", QStringLiteral("x.a1b.a1.json")},
        {"x.a+2.json", QStringLiteral("x.a3.json")},
        {"x.a 2.json", QStringLiteral("x.a 2.a1.json")},
        {"x.a99999999999999999999.json", QStringLiteral("x.a99999999999999999999.a1.json")},
        {"x.a9223372036854775807.json", QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CrashReporter::nextAttemptName(QString::fromLatin1(c.name)), c.expected);
    }
}
