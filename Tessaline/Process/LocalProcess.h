#pragma once

#include "Executor.h"

#include <sys/ioctl.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace Tessaline {

class LocalProcess;
class PtyWriter;

// The one partner of a LocalProcess. Every call arrives on the process's executor thread, but for
// getWindowSize(), which is asked on the thread that starts the process.
class LocalProcessDelegate {
public:
    virtual ~LocalProcessDelegate() = default;

    // The child has ended, after all of its output was delivered. exitCode is its exit status (127 when
    // the program could not be executed), or 128 + the number of the signal that killed it.
    virtual void processTerminated(LocalProcess& source, std::optional<int32_t> exitCode) = 0;
    // One chunk of the child's output, in the order it was read.
    virtual void dataReceived(std::span<const uint8_t> slice) = 0;
    // The size of a new pseudo-terminal: rows, columns, pixel width and pixel height.
    virtual winsize getWindowSize() = 0;
};

// Runs one program on a new pseudo-terminal. A reader thread waits for the program's output and hands it
// to the delegate through the executor: with usesMainQueue (the usual case) in time-sliced batches, at
// most one drain job queued at a time; otherwise chunk by chunk, the reader waiting until the delegate
// has taken each. Input goes to the program in order through a writer thread, so send() never waits.
// The end of the program is reported once, after its last output.
//
// Every operation but send() belongs to the executor's thread, and the process must be destroyed there.
class LocalProcess {
public:
    // Length of every read.
    static constexpr size_t readSize = 131072;
    // Delivered entries leave the pending list in groups of this many.
    static constexpr size_t pendingChunkFlushThreshold = 32;
    // A drain job yields to the rest of the executor's work after this long.
    static constexpr uint64_t pendingTimeSliceNs = 4'000'000;
    // The reader stops reading while this much output waits for delivery, so that a program writing
    // faster than the host can parse holds the engine to a bounded backlog.
    static constexpr size_t maxPendingBytes = 32 * readSize;
    // While a program floods the terminal (reads of at least floodReadBytes), the reader wakes the
    // executor only once floodHandOffBytes wait or the oldest waiting byte is floodHoldLimit old: the
    // parse then runs in long stretches instead of fighting the program and the reader for the cores
    // on every read. Smaller reads, such as an echoed key, are handed over at once.
    static constexpr size_t floodReadBytes = 16 * 1024;
    static constexpr size_t floodHandOffBytes = 4 * readSize;
    static constexpr std::chrono::microseconds floodHoldLimit{4000};
    // A program that has ended while something it left behind holds the terminal open is reported once
    // the terminal has been quiet this long, and at the latest after endReportLimit; what is left
    // behind is still read and delivered until the terminal is closed or its last holder lets go.
    static constexpr std::chrono::milliseconds endOfInputGrace{100};
    static constexpr std::chrono::milliseconds endReportLimit{1000};
    // Input that waits for the program to read it: send() takes no more than this.
    static constexpr size_t maxQueuedInputBytes = 4 * 1024 * 1024;
    // A program hung up or sent SIGTERM gets this long to end before its process group is killed.
    static constexpr std::chrono::milliseconds terminationGrace{2000};

    // The delegate is not owned (set it to null before it goes away). Starts nothing.
    LocalProcess(LocalProcessDelegate* delegate, Executor& dispatchQueue, bool usesMainQueue = true);
    LocalProcess(const LocalProcess&) = delete;
    LocalProcess& operator=(const LocalProcess&) = delete;
    // Stops reading and writing and closes the terminal, which hangs up the child; a child still alive
    // after terminationGrace is killed with its process group. The child is reaped silently; nothing is
    // reported.
    virtual ~LocalProcess();

    // Does nothing while a child runs; otherwise startProcessWithForkpty().
    virtual void startProcess(const std::string& executable, const std::vector<std::string>& args = {},
                              const std::optional<std::vector<std::string>>& environment = std::nullopt,
                              const std::optional<std::string>& execName = std::nullopt,
                              const std::optional<std::string>& currentDirectory = std::nullopt);
    // Starts the executable (a path, no search along PATH) with argument 0 = execName or else the
    // executable, then args; with the environment when given (an empty list stays empty), else the
    // default one; in the directory when given. A failed start is silent: no child, no report. A program
    // that cannot be executed writes "cannot run PATH: REASON" on its terminal and ends with status 127.
    virtual void startProcessWithForkpty(const std::string& executable, const std::vector<std::string>& args,
                                         const std::optional<std::vector<std::string>>& environment,
                                         const std::optional<std::string>& execName,
                                         const std::optional<std::string>& currentDirectory);
    // Queues the bytes for the child and answers how many it took: all of them, or (when the program
    // does not read and maxQueuedInputBytes are waiting) only those that fit, the rest being refused.
    // Dropped silently (answering 0) when no child runs. Safe from any thread.
    virtual size_t send(std::span<const uint8_t> data);
    // Closes the terminal and signals the child (SIGTERM) unless it has been reaped; a child still alive
    // after the grace is killed (SIGKILL) with its process group, at once for a grace of zero. The child
    // is reaped silently. No report follows.
    virtual void terminate(std::chrono::milliseconds grace = terminationGrace);
    // A folder receiving a dump file of every chunk read ("log-0", "log-1", ...); nothing stops the dumps.
    virtual void setHostLogging(std::optional<std::string> directory);

    // From a successful start until the end of input, the child's end or terminate().
    bool running() const { return _running.load(); }
    // The master side of the terminal (for the window size); -1 when there is none.
    int32_t childfd() const { return _childfd.load(); }
    // The child's process id; 0 before the first start.
    int32_t shellPid() const { return _shellPid; }
    // Traces reads and writes to the diagnostics sink (kind processIO).
    bool debugIO() const { return _debugIO.load(); }
    void setDebugIO(bool value) { _debugIO = value; }
    // Writes accepted so far; numbers the debug lines of writes.
    int64_t sendCount() const { return _sendCount.load(); }
    // Bytes of completed writes, plus bytes read while debugIO is set.
    int64_t total() const { return _total.load(); }
    LocalProcessDelegate* delegate() const { return _delegate; }
    void setDelegate(LocalProcessDelegate* delegate) { _delegate = delegate; }
    Executor& dispatchQueue() const { return _dispatchQueue; }
    bool usesMainQueue() const { return _usesMainQueue; }
    int logFileCounter() const;
    std::optional<std::string> loggingDir() const;

    // The environment of a child started without one: the terminal's (getEnvironmentVariables).
    static std::vector<std::string> defaultEnvironment();

protected:
    // On the reader thread: appends a chunk and posts a drain job unless one is posted or running.
    virtual void enqueueReceivedData(std::vector<uint8_t> data);
    // On the executor: delivers pending chunks in order until none is left or the time slice is used up,
    // then posts its own continuation. Reports the end once the list is empty and the end has been seen.
    virtual void drainReceivedData();
    // On the executor, once the child has ended and its output was delivered: reaps it and reports.
    virtual void processTerminated();

    // The pending list as the drain sees it, for subclasses that watch delivery.
    struct PendingState {
        size_t chunkCount;
        size_t chunkIndex;
        bool scheduled;
        size_t capacity;
    };
    PendingState pendingState() const;

private:
    struct Session;
    struct SyncSlot;
    // What the reader has seen of the end, waiting to be handled after the chunks before it.
    struct EndEvents {
        bool inputEnded = false;
        bool childExited = false;
        bool any() const { return inputEnded || childExited; }
    };

    void readLoop(Session& session);
    // Answers whether the chunk was left waiting for a later hand-off (only when mayHold).
    bool childProcessRead(Session& session, std::span<const uint8_t> data, bool mayHold);
    // Adds a chunk for the executor, and wakes it unless a drain is posted already or, below `holdBelow`
    // bytes waiting, the chunk may wait; answers whether it was left waiting.
    bool appendReceivedData(std::vector<uint8_t> data, size_t holdBelow);
    // Posts a drain for chunks left waiting, unless one is posted or running.
    void releaseHeldData();
    void deliverSynchronously(Session& session, std::vector<uint8_t> bytes);
    void signalEnd(Session& session, EndEvents events);
    void postDrain();
    void handleEnd(EndEvents events);
    void writeCompleted(int64_t number, size_t size, int error);
    void dumpChunk(std::span<const uint8_t> data);
    // How a session ends: its program is done (reaped, or left to the reaper as it is), its terminal is
    // closed under it (hang-up, then SIGKILL after the grace), or it is asked to end (SIGTERM as well).
    enum class Ending {
        quiet,
        hangUp,
        terminate
    };
    // Stops the threads, closes the descriptors and leaves an unreaped child to the reaper.
    void teardownSession(Ending ending, std::chrono::milliseconds grace = terminationGrace);

    LocalProcessDelegate* _delegate;
    Executor& _dispatchQueue;
    const bool _usesMainQueue;

    std::atomic<int32_t> _childfd{-1};
    int32_t _shellPid = 0;
    std::atomic<bool> _debugIO{false};
    std::atomic<int64_t> _sendCount{0};
    std::atomic<int64_t> _total{0};
    std::atomic<bool> _running{false};

    mutable std::mutex _pendingLock;
    std::vector<std::vector<uint8_t>> _pendingChunks;
    size_t _pendingChunkIndex = 0;
    bool _pendingScheduled = false;
    size_t _pendingBytes = 0;
    EndEvents _pendingEnd;
    std::condition_variable _pendingSpace;

    mutable std::mutex _logLock;
    int _logFileCounter = 0;
    std::optional<std::string> _loggingDir;

    std::unique_ptr<Session> _session;
    uint64_t _generation = 0;
    std::mutex _writerLock;
    std::shared_ptr<PtyWriter> _writer;

    // Jobs on the executor hold this weakly: a job that outlives the process does nothing.
    std::shared_ptr<char> _lifetime = std::make_shared<char>();
};

} // namespace Tessaline
