#include "Services/CrashReporter.h"

#include "App/AppInfo.h"
#include "App/AppPaths.h"
#include "Services/MachineIdentifier.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSysInfo>

#include <cxxabi.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <exception>
#include <typeinfo>

#ifndef QUILLABY_VERSION
#define QUILLABY_VERSION ""
#endif

namespace Quillaby {

namespace {

std::atomic<bool> installed{false};
std::terminate_handler previousTerminate = nullptr;
// The exception path writes here; set once, before the terminate handler is installed, and never freed
// so that an exception thrown while the process tears its statics down still finds it.
const QString* exceptionDir = nullptr;

QString demangled(const char* name) {
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    QString text = QString::fromUtf8(status == 0 && readable ? readable : name);
    std::free(readable);
    return text;
}

QStringList currentStack() {
    void* frames[CrashReporter::maxSignalFrames];
    const int count = ::backtrace(frames, CrashReporter::maxSignalFrames);
    QStringList stack;
    if (char** symbols = ::backtrace_symbols(frames, count)) {
        for (int i = 0; i < count; ++i)
            stack << QString::fromLocal8Bit(symbols[i]);
        std::free(symbols);
    }
    return stack;
}

void appendMember(QString& json, const char* key, const QString& value) {
    json += QLatin1Char('"') + QLatin1String(key) + QLatin1String("\":\"") + CrashReporter::esc(value) +
            QLatin1Char('"');
}

} // namespace

CrashEnvironment CrashEnvironment::current() {
    CrashEnvironment environment;
    environment.version = AppInfo::valueOr(QUILLABY_VERSION, "0.1");
    environment.os = QSysInfo::prettyProductName() + QStringLiteral(", ") + QSysInfo::kernelType() +
                     QLatin1Char(' ') + QSysInfo::kernelVersion();
    environment.arch = QSysInfo::buildCpuArchitecture();
    environment.machineId = MachineIdentifier::value();
    return environment;
}

QString CrashReporter::esc(const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + 8);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\t':
            escaped += QLatin1String("\\t");
            break;
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        case '"':
            escaped += QLatin1String("\\\"");
            break;
        case '\\':
            escaped += QLatin1String("\\\\");
            break;
        default:
            if (c.unicode() < 0x20)
                escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                escaped += c;
        }
    }
    return escaped;
}

QByteArray CrashReporter::signalRecordHead(const CrashEnvironment& environment) {
    QString head = QStringLiteral("{");
    appendMember(head, "version", environment.version);
    head += QLatin1Char(',');
    appendMember(head, "os", environment.os);
    head += QLatin1Char(',');
    appendMember(head, "arch", environment.arch);
    head += QLatin1Char(',');
    appendMember(head, "machineId", environment.machineId);
    head += QLatin1String(",\"ts\":");
    return head.toUtf8();
}

QString CrashReporter::exceptionReason(const QString& typeName, const std::optional<QString>& message) {
    return QStringLiteral("Uncaught exception: ") + typeName + QStringLiteral(": ") +
           message.value_or(QString());
}

QByteArray CrashReporter::exceptionRecord(const CrashEnvironment& environment, const QString& reason,
                                          const QStringList& stack, qint64 ts) {
    QString json = QStringLiteral("{");
    appendMember(json, "version", environment.version);
    json += QLatin1Char(',');
    appendMember(json, "os", environment.os);
    json += QLatin1Char(',');
    appendMember(json, "arch", environment.arch);
    json += QLatin1Char(',');
    appendMember(json, "machineId", environment.machineId);
    json += QLatin1Char(',');
    appendMember(json, "reason", reason);
    json += QLatin1String(",\"stack\":[");
    for (qsizetype i = 0; i < stack.size(); ++i) {
        if (i > 0) json += QLatin1Char(',');
        json += QLatin1Char('"') + esc(stack[i]) + QLatin1Char('"');
    }
    json += QLatin1String("],\"ts\":") + QString::number(ts) + QLatin1Char('}');
    return json.toUtf8();
}

void CrashReporter::installHandlers() {
    installHandlers(AppPaths::crashesPendingDir());
}

void CrashReporter::installHandlers(const QString& pendingDir) {
    if (installed.exchange(true)) return;
    QDir().mkpath(pendingDir);
    const CrashEnvironment environment = CrashEnvironment::current();
    prepareSignalRecords(signalRecordHead(environment), QFile::encodeName(pendingDir));
    warmUpBacktrace();
    exceptionDir = new QString(pendingDir);
    previousTerminate = std::set_terminate(handleTerminate);
    installSignalHandlers();
}

void CrashReporter::handleTerminate() {
    // One record per process: a second thread, or a fault inside the record's writing, goes straight on.
    static std::atomic<bool> entered{false};
    if (!entered.exchange(true)) {
        try {
            // Without an exception in flight (std::terminate() called directly) there is nothing to
            // tell; the abort that follows leaves its signal record.
            if (std::exception_ptr current = std::current_exception()) {
                const std::type_info* type = abi::__cxa_current_exception_type();
                std::optional<QString> message;
                try {
                    std::rethrow_exception(current);
                } catch (const std::exception& exception) {
                    message = QString::fromUtf8(exception.what());
                } catch (...) {
                }
                writeException(
                    exceptionReason(type ? demangled(type->name()) : QStringLiteral("unknown"), message),
                    currentStack());
            }
        } catch (...) {
        }
    }
    if (previousTerminate) previousTerminate();
    std::abort();
}

void CrashReporter::writeException(const QString& reason, const QStringList& stack) {
    const qint64 ts = QDateTime::currentSecsSinceEpoch();
    const QByteArray record = exceptionRecord(CrashEnvironment::current(), reason, stack, ts);
    if (!exceptionDir) return;
    QSaveFile file(*exceptionDir + QStringLiteral("/exc-") + QString::number(ts) + QStringLiteral(".json"));
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(record);
    file.commit();
}

} // namespace Quillaby
