#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <optional>

namespace Quillaby {

// What every crash record says about the program and the machine it ran on.
struct CrashEnvironment {
    // The release version compiled in, "0.1" when the build gave none.
    QString version;
    // The system's name and kernel: "Debian GNU/Linux 12 (bookworm), linux 6.1.0-18-amd64".
    QString os;
    // The processor architecture the program was built for: "x86_64", "arm64", ...
    QString arch;
    QString machineId;

    static CrashEnvironment current();
};

// Records each fatal signal and each uncaught C++ exception as one small JSON file in the pending crash
// folder, and uploads the pending files to the web service at a later launch. No user interface.
//
// A fatal signal leaves "sig-<seconds>-<pid>.json" (mode 0600), written by a handler that allocates
// nothing and takes no lock: everything it needs is prepared when the handlers are installed. An uncaught
// exception leaves "exc-<seconds>.json", written atomically by the terminate handler, which then hands
// over to the handler installed before it (which ends the process).
//
// Start-up calls installHandlers() early (after the one-time move of the data folder, before anything
// that may crash) and flushPending() last, once the windows are open.
class CrashReporter {
public:
    static constexpr std::array<int, 6> trappedSignals{SIGABRT, SIGSEGV, SIGILL, SIGBUS, SIGFPE, SIGTRAP};
    // Only the last records by name are sent; the older ones are deleted unsent.
    static constexpr int maxPendingUploads = 20;
    // A record whose upload failed this many times is deleted.
    static constexpr int maxAttempts = 5;
    static constexpr std::chrono::milliseconds uploadTimeout{15000};
    // The signal handler builds its file path in a buffer of this size: the pending folder's path and at
    // most `signalFileNameRoom` more bytes ("/sig-", 19 digits, "-", 10 digits, ".json", NUL).
    static constexpr std::size_t pathCapacity = 1024;
    static constexpr std::size_t signalFileNameRoom = 41;
    static constexpr int maxSignalFrames = 128;

    // Creates the pending folder, prepares the signal handler's record head and buffers, and installs
    // the terminate handler and the handlers of trappedSignals. Once per process, on the main thread; a
    // later call does nothing. Never fails visibly: without its folder records simply fail to be written,
    // and a folder whose path leaves no room for a file name gets no signal records at all.
    static void installHandlers();
    static void installHandlers(const QString& pendingDir);

    // Uploads the pending records on a low-priority thread of its own and returns at once; does nothing
    // while an upload is running. The upload ends early, leaving the record in flight for next time,
    // when the application quits.
    static void flushPending();
    // Ends a running upload at once and waits for its thread; the record in flight is left as it was.
    static void stopUpload();

    // Sends the pending records one after the other in name order, on the calling thread (which needs no
    // running event loop), through a network manager of its own. Sent records are deleted; a failed send
    // renames the record with its attempt count, or deletes it at the last attempt; unreadable and
    // invalid records are deleted unsent. Files not named "*.json" are left alone.
    static void uploadAllPending();
    static void uploadAllPending(const QString& pendingDir, std::chrono::milliseconds timeout);

    // What the records are made of.

    // The text escaped for a JSON string value: quote, backslash, tab, line feed and carriage return by
    // their short escapes, other control characters as "\u00XX"; everything else unchanged.
    static QString esc(const QString& text);
    // "SIGSEGV" and the like for the trapped signals, "SIGNAL" for any other.
    static const char* reasonName(int signal);
    // The constant beginning of every signal record, up to the colon after "ts".
    static QByteArray signalRecordHead(const CrashEnvironment& environment);
    // "Uncaught exception: ", the type, ": ", the message (nothing when the exception has none).
    static QString exceptionReason(const QString& typeName, const std::optional<QString>& message);
    static QByteArray exceptionRecord(const CrashEnvironment& environment, const QString& reason,
                                      const QStringList& stack, qint64 ts);
    // The name a record takes after one more failed upload: "x.json" to "x.a1.json", "x.a1.json" to
    // "x.a2.json" and so on; empty when the record has failed for the last time and is to be deleted.
    static QString nextAttemptName(const QString& fileName);

private:
    // The signal path (CrashReporterSignal.cpp). False when the folder's path leaves no room.
    static bool prepareSignalRecords(const QByteArray& head, const QByteArray& pendingDir);
    static void installSignalHandlers();
    static void warmUpBacktrace();
    // The handler installed for every trapped signal; forwards to handleSignalSafe().
    static void handleSignal(int signal);
    static void handleSignalSafe(int signal);

    // The exception path.
    [[noreturn]] static void handleTerminate();
    static void writeException(const QString& reason, const QStringList& stack);
};

} // namespace Quillaby
