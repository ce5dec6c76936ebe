#include "LocalProcess.h"

#include "ChildReaper.h"
#include "Diagnostics.h"
#include "ListFormat.h"
#include "PseudoTerminalHelpers.h"
#include "PtyWriter.h"
#include "TerminalOptions.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

namespace Tessaline {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Without a pidfd the reader looks for the child's end this often.
constexpr int exitPollIntervalWithoutPidfdMs = 50;

int openPidfd(pid_t pid) {
#ifdef SYS_pidfd_open
    return int(syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int signalThroughPidfd(int pidfd, int number) {
#ifdef SYS_pidfd_send_signal
    return int(syscall(SYS_pidfd_send_signal, pidfd, number, nullptr, 0));
#else
    (void)pidfd;
    (void)number;
    errno = ENOSYS;
    return -1;
#endif
}

// The child has ended, for hosts without pidfds: it is a zombie (left for the executor to reap), or it
// is no child of ours any more (a host that ignores SIGCHLD has it reaped by the system).
bool hasExitedWithoutReaping(pid_t pid) {
    siginfo_t info{};
    const int result = waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    return result == 0 ? info.si_pid != 0 : errno == ECHILD;
}

// The program's input and output, traced while debugIO is on.
void trace(const std::string& line) {
    Diagnostics::report(DiagnosticSeverity::info, DiagnosticKind::processIO, line);
}

void reportFailure(const std::string& line) {
    Diagnostics::report(DiagnosticSeverity::error, DiagnosticKind::processIO, line);
}

void closeIfOpen(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

} // namespace

// A slot through which the reader waits for one synchronous delivery. Jobs hold it, so it outlives the
// process when a job does.
struct LocalProcess::SyncSlot {
    std::mutex mutex;
    std::condition_variable delivered;
    uint64_t deliveredCount = 0;
    bool stopping = false;
};

// One child on one terminal: what a start makes and the end or terminate() takes down.
struct LocalProcess::Session {
    uint64_t generation = 0;
    pid_t pid = 0;
    int master = -1;
    int pidfd = -1;
    // Set once, never read back: every later poll of the reader sees it.
    int stopFd = -1;
    std::atomic<bool> stopping{false};
    std::shared_ptr<SyncSlot> sync = std::make_shared<SyncSlot>();
    uint64_t postedCount = 0;
    std::thread reader;
    // On the executor.
    bool inputEnded = false;
    bool reaped = false;
    // The end was reported while something the child left behind still holds its terminal: the child
    // stays unreaped (its number then still names its process group) and the reader goes on.
    bool exitReported = false;
};

LocalProcess::LocalProcess(LocalProcessDelegate* delegate, Executor& dispatchQueue, bool usesMainQueue)
    : _delegate(delegate)
    , _dispatchQueue(dispatchQueue)
    , _usesMainQueue(usesMainQueue) {}

LocalProcess::~LocalProcess() {
    teardownSession(Ending::hangUp);
}

std::vector<std::string> LocalProcess::defaultEnvironment() {
    return getEnvironmentVariables("xterm-256color", true);
}

void LocalProcess::startProcess(const std::string& executable, const std::vector<std::string>& args,
                                const std::optional<std::vector<std::string>>& environment,
                                const std::optional<std::string>& execName,
                                const std::optional<std::string>& currentDirectory) {
    if (_running) return;
    startProcessWithForkpty(executable, args, environment, execName, currentDirectory);
}

void LocalProcess::startProcessWithForkpty(const std::string& executable,
                                           const std::vector<std::string>& args,
                                           const std::optional<std::vector<std::string>>& environment,
                                           const std::optional<std::string>& execName,
                                           const std::optional<std::string>& currentDirectory) {
    winsize size{};
    if (_delegate) size = _delegate->getWindowSize();

    std::vector<std::string> argv;
    std::vector<std::string> env;
    try {
        argv.reserve(args.size() + 1);
        argv.push_back(execName.value_or(executable));
        argv.insert(argv.end(), args.begin(), args.end());
        env = environment ? *environment : defaultEnvironment();
    } catch (const std::bad_alloc&) {
        return;
    }

    // A previous child whose input has ended is no longer watched: it is reaped silently.
    teardownSession(Ending::quiet);

    auto forked = PseudoTerminalHelpers::fork(executable, argv, env, currentDirectory, size);
    if (!forked) return;

    auto session = std::make_unique<Session>();
    session->generation = ++_generation;
    session->pid = forked->pid;
    session->master = forked->masterFd;
    session->pidfd = openPidfd(forked->pid);
    session->stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    // The reader and the writer share the descriptor and never block on it.
    const int flags = fcntl(session->master, F_GETFL);
    const bool nonBlocking = flags >= 0 && fcntl(session->master, F_SETFL, flags | O_NONBLOCK) == 0;

    std::shared_ptr<PtyWriter> writer;
    if (nonBlocking && session->stopFd >= 0) {
        try {
            writer = std::make_shared<PtyWriter>(
                session->master, maxQueuedInputBytes,
                [this](int64_t number, size_t bytes, int error) { writeCompleted(number, bytes, error); });
            Session& started = *session;
            session->reader = std::thread([this, &started] { readLoop(started); });
        } catch (const std::exception&) {
            if (writer) writer->stop();
            writer.reset();
        }
    }
    if (!session->reader.joinable()) {
        // Without its threads the child cannot be served: end it, silently.
        if (session->pidfd >= 0)
            signalThroughPidfd(session->pidfd, SIGKILL);
        else
            kill(session->pid, SIGKILL);
        closeIfOpen(session->master);
        closeIfOpen(session->stopFd);
        ChildReaper::shared().adopt(session->pid, session->pidfd);
        return;
    }

    {
        std::lock_guard lock(_writerLock);
        _writer = std::move(writer);
    }
    _shellPid = session->pid;
    _childfd = session->master;
    _session = std::move(session);
    _running = true;
}

size_t LocalProcess::send(std::span<const uint8_t> data) {
    if (!_running) return 0;
    const int64_t number = _sendCount++;
    if (_debugIO) {
        trace("[SEND-" + std::to_string(number) + "] Queuing data to client: " + bracketedList(data) + " ");
    }
    std::shared_ptr<PtyWriter> writer;
    {
        std::lock_guard lock(_writerLock);
        writer = _writer;
    }
    return writer ? writer->enqueue(number, data) : 0;
}

void LocalProcess::writeCompleted(int64_t number, size_t size, int error) {
    if (error == 0) _total += int64_t(size);
    if (_debugIO)
        trace("[SEND-" + std::to_string(number) + "] completed bytes=" + std::to_string(_total.load()));
    if (error != 0) reportFailure("Error writing data to the child, errno=" + std::to_string(error));
}

void LocalProcess::terminate(std::chrono::milliseconds grace) {
    teardownSession(Ending::terminate, grace);
}

void LocalProcess::setHostLogging(std::optional<std::string> directory) {
    std::lock_guard lock(_logLock);
    _loggingDir = std::move(directory);
}

int LocalProcess::logFileCounter() const {
    std::lock_guard lock(_logLock);
    return _logFileCounter;
}

std::optional<std::string> LocalProcess::loggingDir() const {
    std::lock_guard lock(_logLock);
    return _loggingDir;
}

void LocalProcess::dumpChunk(std::span<const uint8_t> data) {
    std::lock_guard lock(_logLock);
    if (!_loggingDir) return;
    const std::string path = *_loggingDir + "/log-" + std::to_string(_logFileCounter);
    int error = 0;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errno;
    } else {
        size_t done = 0;
        while (done < data.size()) {
            const ssize_t written = write(fd, data.data() + done, data.size() - done);
            if (written < 0 && errno == EINTR) continue;
            if (written <= 0) {
                error = written < 0 ? errno : EIO;
                break;
            }
            done += size_t(written);
        }
        if (close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    }
    if (error != 0) {
        reportFailure("Got error while logging data dump to " + path + ": " + std::strerror(error));
        return;
    }
    ++_logFileCounter;
}

void LocalProcess::teardownSession(Ending ending, std::chrono::milliseconds grace) {
    std::unique_ptr<Session> session = std::move(_session);
    _running = false;
    _childfd = -1;
    if (!session) return;

    session->stopping = true;
    const uint64_t one = 1;
    if (write(session->stopFd, &one, sizeof one) < 0) {
        // Already set.
    }
    {
        std::lock_guard lock(session->sync->mutex);
        session->sync->stopping = true;
    }
    session->sync->delivered.notify_all();
    {
        // Taken so that a reader about to wait for space sees the flag or gets the notification.
        std::lock_guard lock(_pendingLock);
    }
    _pendingSpace.notify_all();
    session->reader.join();
    {
        // Whatever the reader saw of this child's end no longer concerns anyone.
        std::lock_guard lock(_pendingLock);
        _pendingEnd = {};
    }

    std::shared_ptr<PtyWriter> writer;
    {
        std::lock_guard lock(_writerLock);
        writer = std::move(_writer);
    }
    if (writer) {
        if (const size_t dropped = writer->stop())
            Diagnostics::report(DiagnosticSeverity::warning, DiagnosticKind::processIO,
                                "Dropped " + std::to_string(dropped) +
                                    " bytes of input the program did not read");
    }

    // Closing the master hangs up the child's terminal.
    closeIfOpen(session->master);
    closeIfOpen(session->stopFd);
    if (session->reaped) {
        closeIfOpen(session->pidfd);
        return;
    }
    if (ending == Ending::terminate && !session->exitReported) {
        // Through the pidfd, or by a pid that cannot have been reused: the child is not reaped yet.
        if (session->pidfd < 0 || signalThroughPidfd(session->pidfd, SIGTERM) != 0)
            kill(session->pid, SIGTERM);
    }
    std::optional<std::chrono::milliseconds> killAfter;
    if (ending != Ending::quiet) killAfter = grace;
    ChildReaper::shared().adopt(session->pid, session->pidfd, killAfter);
    session->pidfd = -1;
}

void LocalProcess::handleEnd(EndEvents events) {
    if (!_session) return;
    if (events.inputEnded && !_session->inputEnded) {
        _session->inputEnded = true;
        _running = false;
        _childfd = -1;
    }
    if (events.childExited)
        processTerminated();
    else if (events.inputEnded && _session->exitReported)
        // The last holder of the terminal has let go of it.
        teardownSession(Ending::quiet);
}

void LocalProcess::processTerminated() {
    if (!_session || _session->exitReported) return;
    if (!_session->inputEnded) {
        // Something the child left behind holds the terminal: report the end and go on reading, leaving
        // the child a zombie until the terminal closes.
        siginfo_t info{};
        int32_t exitCode = 0;
        if (waitid(P_PID, id_t(_session->pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0)
            exitCode = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
        _session->exitReported = true;
        _running = false;
        _childfd = -1;
        if (_delegate) _delegate->processTerminated(*this, exitCode);
        return;
    }
    int status = 0;
    pid_t reaped;
    do {
        reaped = waitpid(_session->pid, &status, WNOHANG);
    } while (reaped < 0 && errno == EINTR);

    int32_t exitCode = 0;
    if (reaped == _session->pid) {
        _session->reaped = true;
        if (WIFEXITED(status))
            exitCode = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            exitCode = 128 + WTERMSIG(status);
    } else if (reaped < 0 && errno == ECHILD) {
        // Someone else reaped it; its status is lost.
        _session->reaped = true;
    }
    teardownSession(Ending::quiet);
    // Last: the delegate may start another child or destroy this process.
    if (_delegate) _delegate->processTerminated(*this, exitCode);
}

LocalProcess::PendingState LocalProcess::pendingState() const {
    std::lock_guard lock(_pendingLock);
    return {_pendingChunks.size(), _pendingChunkIndex, _pendingScheduled, _pendingChunks.capacity()};
}

// Reading and delivery.

void LocalProcess::readLoop(Session& session) {
    pthread_setname_np(pthread_self(), "sender");
    std::vector<uint8_t> buffer(readSize);
    const bool hasPidfd = session.pidfd >= 0;
    bool readingMaster = true;
    bool exitSeen = false;
    bool exitReported = false;
    auto quietSince = SteadyClock::now();
    auto exitedAt = quietSince;
    // Once the child has ended: after a moment of quiet, or after endReportLimit however busy the
    // terminal is.
    const auto reportDeadline = [&] {
        return std::min(quietSince + endOfInputGrace, exitedAt + endReportLimit);
    };

    // Output appended without waking the executor, and since when.
    bool holding = false;
    auto heldSince = quietSince;
    struct ReleaseOnExit {
        LocalProcess& process;
        const bool& held;
        ~ReleaseOnExit() {
            if (held) process.releaseHeldData();
        }
    } releaseOnExit{*this, holding};

    for (;;) {
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {session.stopFd, POLLIN, 0};
        const nfds_t masterIndex = readingMaster ? count : 0;
        if (readingMaster) fds[count++] = {session.master, POLLIN, 0};
        const nfds_t pidfdIndex = hasPidfd && !exitSeen ? count : 0;
        if (pidfdIndex) fds[count++] = {session.pidfd, POLLIN, 0};

        std::optional<SteadyClock::time_point> wakeAt;
        if (exitSeen && !exitReported)
            wakeAt = reportDeadline();
        else if (!hasPidfd && !exitSeen)
            wakeAt = SteadyClock::now() + std::chrono::milliseconds(exitPollIntervalWithoutPidfdMs);
        if (holding)
            wakeAt = std::min(wakeAt.value_or(SteadyClock::time_point::max()), heldSince + floodHoldLimit);
        timespec timeout{};
        if (wakeAt) {
            const auto left = std::max<int64_t>(
                0,
                std::chrono::duration_cast<std::chrono::nanoseconds>(*wakeAt - SteadyClock::now()).count());
            timeout = {time_t(left / 1'000'000'000), long(left % 1'000'000'000)};
        }
        const int ready = ppoll(fds, count, wakeAt ? &timeout : nullptr, nullptr);
        if (ready < 0) {
            if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (fds[0].revents) return;
        if (holding && (ready == 0 || SteadyClock::now() >= heldSince + floodHoldLimit)) {
            // Quiet, or held long enough: whatever waits goes to the executor now.
            releaseHeldData();
            holding = false;
        }

        if (!exitSeen && (pidfdIndex ? fds[pidfdIndex].revents != 0 : hasExitedWithoutReaping(session.pid))) {
            exitSeen = true;
            quietSince = exitedAt = SteadyClock::now();
            if (!readingMaster) {
                signalEnd(session, {false, true});
                return;
            }
        }

        if (masterIndex && fds[masterIndex].revents) {
            // A read hands over at most the line discipline's few kilobytes. Reading on until the
            // terminal is empty or the buffer full, rather than polling before every read, keeps a
            // flood moving with far fewer sleeps and wake-ups, and the executor gets one batch.
            size_t filled = 0;
            bool inputEnded = false;
            while (filled < readSize) {
                const ssize_t length = read(session.master, buffer.data() + filled, readSize - filled);
                if (length > 0) {
                    filled += size_t(length);
                } else if (length < 0 && errno == EINTR) {
                    continue;
                } else {
                    // 0, or EIO once every descriptor of the child's side is closed (Linux).
                    inputEnded = length == 0 || errno != EAGAIN;
                    break;
                }
            }
            if (filled > 0) {
                const bool mayHold = filled >= floodReadBytes && !inputEnded;
                if (childProcessRead(session, std::span<const uint8_t>(buffer.data(), filled), mayHold)) {
                    if (!holding) heldSince = SteadyClock::now();
                    holding = true;
                } else {
                    holding = false;
                }
                quietSince = SteadyClock::now();
            }
            if (inputEnded) {
                readingMaster = false;
                signalEnd(session, {true, exitSeen && !exitReported});
                if (exitSeen) return;
                continue;
            }
        }

        if (exitSeen && !exitReported && SteadyClock::now() >= reportDeadline()) {
            // The child has ended, and what it left behind holds the terminal open: report the end, and
            // keep showing what the holder writes.
            exitReported = true;
            signalEnd(session, {false, true});
        }
    }
}

bool LocalProcess::childProcessRead(Session& session, std::span<const uint8_t> data, bool mayHold) {
    if (_debugIO) {
        const int64_t total = _total += int64_t(data.size());
        trace("[READ] count=" + std::to_string(data.size()) +
              " received from host total=" + std::to_string(total));
    }
    std::vector<uint8_t> bytes(data.begin(), data.end());
    dumpChunk(bytes);
    if (!_usesMainQueue) {
        deliverSynchronously(session, std::move(bytes));
        return false;
    }
    {
        std::unique_lock lock(_pendingLock);
        _pendingSpace.wait(lock, [&] { return _pendingBytes < maxPendingBytes || session.stopping; });
    }
    if (mayHold) return appendReceivedData(std::move(bytes), floodHandOffBytes);
    enqueueReceivedData(std::move(bytes));
    return false;
}

void LocalProcess::releaseHeldData() {
    {
        std::lock_guard lock(_pendingLock);
        if (_pendingScheduled || _pendingChunkIndex >= _pendingChunks.size()) return;
        _pendingScheduled = true;
    }
    postDrain();
}

void LocalProcess::deliverSynchronously(Session& session, std::vector<uint8_t> bytes) {
    auto slot = session.sync;
    const uint64_t number = ++session.postedCount;
    auto chunk = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    _dispatchQueue.post([this, alive = std::weak_ptr<char>(_lifetime), slot, number, chunk] {
        if (!alive.expired() && _delegate) _delegate->dataReceived(*chunk);
        {
            std::lock_guard lock(slot->mutex);
            slot->deliveredCount = number;
        }
        slot->delivered.notify_all();
    });
    std::unique_lock lock(slot->mutex);
    slot->delivered.wait(lock, [&] { return slot->deliveredCount >= number || slot->stopping; });
}

void LocalProcess::signalEnd(Session& session, EndEvents events) {
    if (!_usesMainQueue) {
        // Every chunk before it has been delivered already.
        _dispatchQueue.post(
            [this, alive = std::weak_ptr<char>(_lifetime), generation = session.generation, events] {
                if (!alive.expired() && _session && _session->generation == generation) handleEnd(events);
            });
        return;
    }
    {
        std::lock_guard lock(_pendingLock);
        _pendingEnd.inputEnded |= events.inputEnded;
        _pendingEnd.childExited |= events.childExited;
        if (_pendingScheduled) return;
        _pendingScheduled = true;
    }
    postDrain();
}

void LocalProcess::enqueueReceivedData(std::vector<uint8_t> data) {
    appendReceivedData(std::move(data), 0);
}

bool LocalProcess::appendReceivedData(std::vector<uint8_t> data, size_t holdBelow) {
    {
        std::lock_guard lock(_pendingLock);
        _pendingBytes += data.size();
        _pendingChunks.push_back(std::move(data));
        // A drain posted or running takes it anyway.
        if (_pendingScheduled) return false;
        if (_pendingBytes < holdBelow) return true;
        _pendingScheduled = true;
    }
    postDrain();
    return false;
}

void LocalProcess::postDrain() {
    _dispatchQueue.post([this, alive = std::weak_ptr<char>(_lifetime)] {
        if (!alive.expired()) drainReceivedData();
    });
}

void LocalProcess::drainReceivedData() {
    const std::weak_ptr<char> alive = _lifetime;
    const auto start = _dispatchQueue.now();
    for (;;) {
        std::unique_lock lock(_pendingLock);
        if (_pendingChunkIndex >= _pendingChunks.size()) {
            _pendingChunks.clear();
            _pendingChunkIndex = 0;
            _pendingScheduled = false;
            const EndEvents end = _pendingEnd;
            _pendingEnd = {};
            lock.unlock();
            if (end.any()) handleEnd(end);
            return;
        }
        // Moved out, so that compaction below cannot pull it from under the delivery.
        std::vector<uint8_t> chunk = std::move(_pendingChunks[_pendingChunkIndex]);
        ++_pendingChunkIndex;
        const bool hadNoSpace = _pendingBytes >= maxPendingBytes;
        _pendingBytes -= chunk.size();
        const bool readerMayGoOn = hadNoSpace && _pendingBytes < maxPendingBytes;
        if (_pendingChunkIndex == pendingChunkFlushThreshold) {
            _pendingChunks.erase(_pendingChunks.begin(), _pendingChunks.begin() + pendingChunkFlushThreshold);
            _pendingChunkIndex = 0;
        }
        lock.unlock();
        if (readerMayGoOn) _pendingSpace.notify_all();

        if (auto* delegate = _delegate) {
            delegate->dataReceived(chunk);
            if (alive.expired()) return;
        }
        if (_dispatchQueue.now() - start >= std::chrono::nanoseconds(pendingTimeSliceNs)) {
            // The flag stays set: readers keep appending without posting.
            postDrain();
            return;
        }
    }
}

} // namespace Tessaline
