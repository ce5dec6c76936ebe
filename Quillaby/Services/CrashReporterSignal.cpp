// The signal path of the crash reporter: everything here after installation may run inside a signal
// handler, so it allocates nothing, takes no lock and calls only async-signal-safe functions (and
// backtrace(), which was used once at installation so that its library is already loaded).
#include "Services/CrashReporter.h"

#include "Services/CrashSignalWriter.h"

#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>

namespace Quillaby {

namespace {

// The re-entry guard: a second signal, on this thread or another, while a record is being written
// leaves at once. An atomic exchange, because a plain flag read and set from two threads is a race.
std::atomic<int> handling{0};
static_assert(std::atomic<int>::is_always_lock_free, "the guard must not take a lock");

// Prepared at installation and never freed. The signal handler only reads them.
const char* head = nullptr;
std::size_t headLength = 0;
const char* pendingDir = nullptr;
std::size_t pendingDirLength = 0;
void* frames[CrashReporter::maxSignalFrames];
char pathScratch[CrashReporter::pathCapacity];
CrashSignalWriter::NumScratch numScratch;

char* copyBytes(const QByteArray& bytes, bool terminate) {
    char* copy = new char[std::size_t(bytes.size()) + (terminate ? 1 : 0)];
    std::memcpy(copy, bytes.constData(), std::size_t(bytes.size()));
    if (terminate) copy[bytes.size()] = '\0';
    return copy;
}

} // namespace

void CrashReporter::handleSignal(int signal) {
    CrashReporter::handleSignalSafe(signal);
}

bool CrashReporter::prepareSignalRecords(const QByteArray& recordHead, const QByteArray& dir) {
    handling.store(0);
    headLength = 0;
    head = copyBytes(recordHead, false);
    headLength = std::size_t(recordHead.size());
    if (std::size_t(dir.size()) + signalFileNameRoom > pathCapacity) return false;
    pendingDir = copyBytes(dir, true);
    pendingDirLength = std::size_t(dir.size());
    return true;
}

void CrashReporter::warmUpBacktrace() {
    // The first backtrace() loads the unwinder, which allocates: do it now, not in a dying process.
    void* warmUp[4];
    (void)::backtrace(warmUp, 4);
}

void CrashReporter::installSignalHandlers() {
    struct sigaction action = {};
    action.sa_handler = handleSignal;
    sigemptyset(&action.sa_mask);
    // Back to the default as the handler is entered: each signal reaches us at most once.
    action.sa_flags = SA_RESETHAND;
    for (int signal : trappedSignals)
        ::sigaction(signal, &action, nullptr);
}

const char* CrashReporter::reasonName(int signal) {
    switch (signal) {
    case SIGILL:
        return "SIGILL";
    case SIGTRAP:
        return "SIGTRAP";
    case SIGABRT:
        return "SIGABRT";
    case SIGFPE:
        return "SIGFPE";
    case SIGBUS:
        return "SIGBUS";
    case SIGSEGV:
        return "SIGSEGV";
    default:
        return "SIGNAL";
    }
}

void CrashReporter::handleSignalSafe(int signal) {
    if (handling.exchange(1) != 0) return;
    if (head && pendingDir) {
        const std::int64_t seconds = std::int64_t(::time(nullptr));
        const std::int64_t pid = std::int64_t(::getpid());

        std::memcpy(pathScratch, pendingDir, pendingDirLength);
        std::size_t end = pendingDirLength;
        std::memcpy(pathScratch + end, "/sig-", 5);
        end = CrashSignalWriter::appendDec(pathScratch, end + 5, seconds, numScratch);
        pathScratch[end++] = '-';
        end = CrashSignalWriter::appendDec(pathScratch, end, pid, numScratch);
        std::memcpy(pathScratch + end, ".json", 6);

        const int fd = ::open(pathScratch, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd >= 0) {
            CrashSignalWriter::writeRaw(fd, head, headLength);
            CrashSignalWriter::writeDec(fd, seconds, numScratch);
            CrashSignalWriter::writeLit(fd, ",\"reason\":\"");
            CrashSignalWriter::writeLit(fd, reasonName(signal));
            CrashSignalWriter::writeLit(fd, "\",\"stack\":[");
            const int count = ::backtrace(frames, maxSignalFrames);
            for (int i = 0; i < count; ++i) {
                CrashSignalWriter::writeLit(fd, i == 0 ? "\"0x" : ",\"0x");
                CrashSignalWriter::writeHex(fd, reinterpret_cast<std::uintptr_t>(frames[i]), numScratch);
                CrashSignalWriter::writeLit(fd, "\"");
            }
            CrashSignalWriter::writeLit(fd, "]}");
            ::close(fd);
        }
    }
    // End the way the signal would have ended the process without us.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace Quillaby
