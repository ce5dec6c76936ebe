#include "DiagnosticsCapture.h"
#include "LocalProcess.h"
#include "ManualExecutor.h"
#include "PseudoTerminalHelpers.h"
#include "RunLoopExecutor.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using namespace Tessaline;
using Tessaline::Testing::DiagnosticsCapture;
using namespace std::chrono_literals;

namespace {

// Generous: CI machines are small and busy. Waits end as soon as their condition holds.
constexpr auto patience = 60s;

const std::vector<std::string> plainEnvironment = {"PATH=/usr/bin:/bin", "LC_ALL=C"};

std::vector<uint8_t> bytesOf(std::string_view text) {
    return {text.begin(), text.end()};
}

// Logs what the process tells it, in arrival order.
class RecordingDelegate : public LocalProcessDelegate {
public:
    winsize size{25, 80, 0, 0};
    std::string output;
    size_t chunks = 0;
    std::vector<std::optional<int32_t>> exits;
    // Output already delivered when the end was reported.
    size_t outputAtExit = 0;
    std::function<void(std::span<const uint8_t>)> onData;

    void processTerminated(LocalProcess&, std::optional<int32_t> exitCode) override {
        exits.push_back(exitCode);
        outputAtExit = output.size();
    }
    void dataReceived(std::span<const uint8_t> slice) override {
        output.append(slice.begin(), slice.end());
        ++chunks;
        if (onData) onData(slice);
    }
    winsize getWindowSize() override { return size; }
};

// A process on a real pseudo-terminal, served by a run loop on the test's thread.
struct Session {
    explicit Session(bool usesMainQueue = true)
        : process(&delegate, executor, usesMainQueue) {}

    bool waitFor(const std::function<bool()>& condition) { return executor.runUntil(condition, patience); }
    bool waitForOutput(std::string_view text) {
        return waitFor([&] { return delegate.output.find(text) != std::string::npos; });
    }
    bool waitForEnd() {
        return waitFor([&] { return !delegate.exits.empty(); });
    }

    RunLoopExecutor executor;
    RecordingDelegate delegate;
    LocalProcess process;
};

// True once the process is gone for good: no longer even a zombie.
bool isGone(pid_t pid) {
    return kill(pid, 0) != 0 && errno == ESRCH;
}

// Nothing on the run loop says when the reaper is done: look now and then, serving the loop meanwhile.
bool waitUntilGone(RunLoopExecutor& executor, pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!isGone(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        executor.runUntil([] { return false; }, 5ms);
    }
    return true;
}

std::string linesOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

std::set<std::string> descriptorsOf(pid_t pid) {
    std::set<std::string> names;
    const auto path = "/proc/" + std::to_string(pid) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(path))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

TEST(LocalProcess, ChildSeesItsArgumentsEnvironmentAndDirectory) {
    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> args;
        std::optional<std::vector<std::string>> environment;
        std::optional<std::string> execName;
        std::optional<std::string> directory;
        std::string expected;
    };
    const std::string here = std::filesystem::current_path().string();
    const Case cases[] = {
        {"argument 0 is the executable",
         "/bin/sh",
         {"-c", "echo $0"},
         plainEnvironment,
         {},
         {},
         "/bin/sh\r\n"},
        {"argument 0 is the exec name", "/bin/sh", {"-c", "echo $0"}, plainEnvironment, "-sh", {}, "-sh\r\n"},
        {"arguments in order",
         "/bin/sh",
         {"-c", "echo \"$1|$2\"", "x", "a b", "c"},
         plainEnvironment,
         {},
         {},
         "a b|c\r\n"},
        {"empty environment stays empty", "/usr/bin/env", {}, std::vector<std::string>{}, {}, {}, ""},
        {"environment as given",
         "/usr/bin/env",
         {},
         std::vector<std::string>{"B=2", "A=1"},
         {},
         {},
         "B=2\r\nA=1\r\n"},
        {"default environment",
         "/usr/bin/env",
         {},
         std::nullopt,
         {},
         {},
         linesOf(LocalProcess::defaultEnvironment())},
        {"working directory", "/bin/pwd", {}, plainEnvironment, {}, "/", "/\r\n"},
        {"directory that cannot be entered is ignored",
         "/bin/pwd",
         {},
         plainEnvironment,
         {},
         "/nonexistent-dir",
         here + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.process.startProcess(c.executable, c.args, c.environment, c.execName, c.directory);
        ASSERT_TRUE(session.waitForEnd());
        EXPECT_EQ(session.delegate.output, c.expected);
        EXPECT_EQ(session.delegate.exits, std::vector<std::optional<int32_t>>{0});
    }
    EXPECT_EQ(LocalProcess::defaultEnvironment().at(0), "TERM=xterm-256color");
}

TEST(LocalProcess, ReportsTheEndOnceWithTheExitStatus) {
    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> args;
        int32_t expected;
    };
    const Case cases[] = {
        {"exit status", "/bin/sh", {"-c", "exit 3"}, 3},
        {"program that cannot be executed", "/nonexistent", {}, 127},
        // A killed child used to be reported as a success (0).
        {"killed by SIGKILL", "/bin/sh", {"-c", "kill -KILL $$"}, 137},
        {"killed by SIGTERM", "/bin/sh", {"-c", "kill -TERM $$"}, 143},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.process.startProcess(c.executable, c.args, plainEnvironment);
        EXPECT_TRUE(session.process.running());
        EXPECT_GT(session.process.shellPid(), 0);
        ASSERT_TRUE(session.waitForEnd());
        EXPECT_EQ(session.delegate.exits, std::vector<std::optional<int32_t>>{c.expected});
        EXPECT_FALSE(session.process.running());
        EXPECT_EQ(session.process.childfd(), -1);
        EXPECT_TRUE(isGone(session.process.shellPid())) << "reaped before the report";
        // Nothing else is reported, and a terminate() afterwards has no one to signal.
        session.process.terminate();
        session.executor.runUntil([] { return false; }, 2 * LocalProcess::endOfInputGrace);
        EXPECT_EQ(session.delegate.exits.size(), 1u);
    }
}

TEST(LocalProcess, WindowSizeReachesTheTerminal) {
    Session session;
    session.delegate.size = {30, 100, 1600, 480};
    session.process.startProcess("/bin/sh", {"-c", "stty size; read line; stty size"}, plainEnvironment);
    ASSERT_TRUE(session.process.running());

    winsize seen{};
    ASSERT_EQ(ioctl(session.process.childfd(), TIOCGWINSZ, &seen), 0);
    EXPECT_EQ(seen.ws_row, 30);
    EXPECT_EQ(seen.ws_col, 100);
    EXPECT_EQ(seen.ws_xpixel, 1600);
    EXPECT_EQ(seen.ws_ypixel, 480);
    ASSERT_TRUE(session.waitForOutput("30 100\r\n"));

    EXPECT_EQ(PseudoTerminalHelpers::setWinSize(session.process.childfd(), {40, 120, 1920, 640}), 0);
    const auto go = bytesOf("go\n");
    session.process.send(go);
    ASSERT_TRUE(session.waitForEnd());
    EXPECT_EQ(session.delegate.output, "30 100\r\ngo\r\n40 120\r\n");
    EXPECT_EQ(session.delegate.exits, std::vector<std::optional<int32_t>>{0});
}

TEST(LocalProcess, SecondStartChangesNothing) {
    Session session;
    session.process.startProcess("/bin/cat", {}, plainEnvironment);
    const auto pid = session.process.shellPid();
    const auto fd = session.process.childfd();
    session.process.startProcess("/bin/echo", {"second"}, plainEnvironment);
    EXPECT_EQ(session.process.shellPid(), pid);
    EXPECT_EQ(session.process.childfd(), fd);
    EXPECT_TRUE(session.process.running());

    session.process.send(bytesOf("first\n"));
    ASSERT_TRUE(session.waitForOutput("first\r\nfirst\r\n"));
    EXPECT_EQ(session.delegate.output, "first\r\nfirst\r\n");
    session.process.terminate();
    EXPECT_TRUE(waitUntilGone(session.executor, pid));
}

// Every byte arrives, in order, before the end is reported (which used to overtake the last output);
// whether delivery is batched or chunk by chunk.
TEST(LocalProcess, OutputArrivesWholeAndInOrderBeforeTheEnd) {
    std::string expected;
    for (int i = 1; i <= 200000; ++i)
        expected += std::to_string(i) + "\r\n";
    for (const bool usesMainQueue : {true, false}) {
        SCOPED_TRACE(usesMainQueue ? "batched" : "chunk by chunk");
        Session session(usesMainQueue);
        session.process.startProcess("/usr/bin/seq", {"1", "200000"}, plainEnvironment);
        ASSERT_TRUE(session.waitForEnd());
        EXPECT_EQ(session.delegate.exits, std::vector<std::optional<int32_t>>{0});
        EXPECT_EQ(session.delegate.outputAtExit, expected.size());
        EXPECT_TRUE(session.delegate.output == expected)
            << "received " << session.delegate.output.size() << " bytes of " << expected.size();
        EXPECT_GT(session.delegate.chunks, 1u);
    }
}

// A flood's reads may wait for more before the executor is woken; a flood that stops must still arrive
// while its program lives on, and a key echoed after it at once.
TEST(LocalProcess, OutputHeldDuringAFloodArrivesWhenTheFloodStops) {
    Session session;
    session.process.startProcess("/bin/sh", {"-c", "head -c 300000 /dev/zero | tr '\\0' x; read -r line"},
                                 plainEnvironment);
    ASSERT_TRUE(session.process.running());
    const auto flooded = [&] {
        return std::count(session.delegate.output.begin(), session.delegate.output.end(), 'x') == 300000;
    };
    ASSERT_TRUE(session.executor.runUntil(flooded, 5s));
    EXPECT_TRUE(session.delegate.exits.empty());
    session.process.send(bytesOf("k"));
    ASSERT_TRUE(session.executor.runUntil([&] { return session.delegate.output.back() == 'k'; }, 5s));
    session.process.terminate(0ms);
}

// terminate() used to leave a zombie per closed session.
TEST(LocalProcess, TerminateReportsNothingAndLeavesNoZombie) {
    Session session;
    session.process.startProcess("/bin/sh", {"-c", "echo ready; exec /bin/sleep 1000"}, plainEnvironment);
    ASSERT_TRUE(session.waitForOutput("ready"));
    const auto pid = session.process.shellPid();
    session.process.terminate();
    EXPECT_FALSE(session.process.running());
    EXPECT_EQ(session.process.childfd(), -1);
    session.process.send(bytesOf("dropped\n"));
    EXPECT_EQ(session.process.sendCount(), 0);

    EXPECT_TRUE(waitUntilGone(session.executor, pid));
    session.executor.runUntil([] { return false; }, 2 * LocalProcess::endOfInputGrace);
    EXPECT_TRUE(session.delegate.exits.empty());
}

// Without close-on-exec and closing inherited descriptors, every shell held the other sessions'
// masters, and closing a session did not hang up its shell.
TEST(LocalProcess, ClosingOneOfTwoSessionsHangsUpItsShell) {
    Session first;
    Session second;
    // Deaf to SIGTERM: only the hang-up can end it.
    first.process.startProcess("/bin/sh", {"-c", "trap '' TERM; echo ready; exec /bin/sleep 1000"},
                               plainEnvironment);
    ASSERT_TRUE(first.waitForOutput("ready"));
    second.process.startProcess("/bin/cat", {}, plainEnvironment);
    // Once cat answers, the child has executed it.
    second.process.send(bytesOf("x\n"));
    ASSERT_TRUE(second.waitForOutput("x\r\nx\r\n"));
    EXPECT_EQ(descriptorsOf(second.process.shellPid()), (std::set<std::string>{"0", "1", "2"}));

    const auto pid = first.process.shellPid();
    first.process.terminate();
    EXPECT_TRUE(waitUntilGone(first.executor, pid));
    EXPECT_TRUE(second.process.running());
    EXPECT_FALSE(isGone(second.process.shellPid()));
    EXPECT_TRUE(first.delegate.exits.empty());
}

TEST(LocalProcess, ChildStartsWithDefaultSignalsAndNoInheritedDescriptors) {
    // What a host may well have: an ignored signal, a blocked one, a descriptor without close-on-exec.
    struct sigaction ignore {};
    struct sigaction previousAction {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGUSR1, &ignore, &previousAction);
    sigset_t blocked;
    sigset_t previousMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    const int inherited = open("/dev/null", O_RDONLY);

    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> args;
        std::string expected;
    };
    const Case cases[] = {
        {"signals",
         "/bin/grep",
         {"-E", "^Sig(Blk|Ign)", "/proc/self/status"},
         "SigBlk:\t0000000000000000\r\nSigIgn:\t0000000000000000\r\n"},
        // 3 is the directory ls reads.
        {"descriptors", "/bin/ls", {"-1", "/proc/self/fd"}, "0\r\n1\r\n2\r\n3\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.process.startProcess(c.executable, c.args, plainEnvironment);
        ASSERT_TRUE(session.waitForEnd());
        EXPECT_EQ(session.delegate.output, c.expected);
    }

    close(inherited);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    sigaction(SIGUSR1, &previousAction, nullptr);
}

TEST(LocalProcess, InputCanEndBeforeTheChild) {
    Session session;
    session.process.startProcess(
        "/bin/sh",
        {"-c", "trap 'exit 4' USR1; exec </dev/null >/dev/null 2>&1; while :; do sleep 0.02; done"},
        plainEnvironment);
    ASSERT_TRUE(session.waitFor([&] { return !session.process.running(); }));
    EXPECT_EQ(session.process.childfd(), -1);
    EXPECT_TRUE(session.delegate.exits.empty()) << "the child is still running";
    session.process.send(bytesOf("dropped"));
    EXPECT_EQ(session.process.sendCount(), 0);

    kill(session.process.shellPid(), SIGUSR1);
    ASSERT_TRUE(session.waitForEnd());
    EXPECT_EQ(session.delegate.exits, std::vector<std::optional<int32_t>>{4});
}

TEST(LocalProcess, EndIsReportedWhileSomethingLeftBehindHoldsTheTerminal) {
    Session session;
    // The holder ignores the hang-up and keeps the terminal open after the shell has gone; the shell
    // waits until the holder is in place.
    session.process.startProcess(
        "/bin/sh",
        {"-c",
         "(trap '' HUP; exec /bin/sh -c 'echo \"holder $$\"; exec /bin/sleep 1000') & read line; exit 3"},
        plainEnvironment);
    ASSERT_TRUE(session.waitForOutput("\r\n"));
    std::istringstream words(session.delegate.output);
    std::string word;
    pid_t holder = 0;
    words >> word >> holder;
    ASSERT_EQ(word, "holder");
    ASSERT_GT(holder, 0);
    session.process.send(bytesOf("\n"));

    ASSERT_TRUE(session.waitForEnd());
    EXPECT_EQ(session.delegate.exits, std::vector<std::optional<int32_t>>{3});
    EXPECT_FALSE(isGone(holder)) << "the end came while the terminal was still held";
    kill(holder, SIGKILL);
}

TEST(LocalProcess, DebugLinesAndDumpFiles) {
    const auto folder =
        std::filesystem::temp_directory_path() / ("local-process-dumps-" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);

    const auto count = [](const std::vector<DiagnosticsCapture::Entry>& entries,
                          DiagnosticSeverity severity) {
        return std::count_if(entries.begin(), entries.end(), [&](const DiagnosticsCapture::Entry& e) {
            return e.kind == DiagnosticKind::processIO && e.severity == severity;
        });
    };
    DiagnosticsCapture capture;
    {
        Session session;
        session.process.setDebugIO(true);
        session.process.setHostLogging(folder.string());
        session.process.startProcess("/bin/cat", {}, plainEnvironment);
        session.process.send(bytesOf("ab\n"));
        const bool echoed = session.waitForOutput("ab\r\nab\r\n");
        session.process.terminate();
        ASSERT_TRUE(echoed);

        std::string dumped;
        for (int i = 0; i < session.process.logFileCounter(); ++i) {
            std::ifstream file(folder / ("log-" + std::to_string(i)), std::ios::binary);
            dumped.append(std::istreambuf_iterator<char>(file), {});
        }
        EXPECT_EQ(dumped, session.delegate.output);
        EXPECT_EQ(session.process.sendCount(), 1);
    }
    // The send queued, the send completed, at least one read: traces, never failures.
    auto entries = capture.takeEntries();
    EXPECT_GE(count(entries, DiagnosticSeverity::info), 3);
    EXPECT_EQ(count(entries, DiagnosticSeverity::error), 0);

    {
        Session session;
        session.process.setHostLogging("/nonexistent-dir");
        session.process.startProcess("/bin/echo", {"hi"}, plainEnvironment);
        ASSERT_TRUE(session.waitForEnd());
        EXPECT_EQ(session.delegate.output, "hi\r\n") << "delivery goes on";
        EXPECT_EQ(session.process.logFileCounter(), 0);
    }
    entries = capture.takeEntries();
    EXPECT_GE(count(entries, DiagnosticSeverity::error), 1) << "the failed dump is reported";
    EXPECT_EQ(count(entries, DiagnosticSeverity::info), 0) << "no traces without debugIO";
    std::filesystem::remove_all(folder);
}

// Delivery on a manual clock: the test plays the reader thread (enqueueReceivedData) and the executor.

namespace {

class QueuedProcess : public LocalProcess {
public:
    using LocalProcess::enqueueReceivedData;
    using LocalProcess::LocalProcess;
    using LocalProcess::pendingState;
};

struct Delivery {
    std::string chunk;
    size_t pendingCount;
    size_t pendingIndex;
};

struct DrainBench {
    DrainBench() {
        delegate.onData = [this](std::span<const uint8_t> slice) {
            const auto state = process.pendingState();
            deliveries.push_back(
                {std::string(slice.begin(), slice.end()), state.chunkCount, state.chunkIndex});
            log += std::string(slice.begin(), slice.end()) + " ";
            executor.advanceClock(costPerChunk);
        };
    }
    void enqueue(int first, int last) {
        for (int i = first; i <= last; ++i)
            process.enqueueReceivedData(bytesOf("c" + std::to_string(i)));
    }

    ManualExecutor executor;
    RecordingDelegate delegate;
    QueuedProcess process{&delegate, executor};
    std::vector<Delivery> deliveries;
    std::string log;
    std::chrono::nanoseconds costPerChunk{0};
};

} // namespace

TEST(LocalProcessDrain, OneJobDeliversManyReadsInOrderAndCompactsEvery32) {
    DrainBench bench;
    bench.enqueue(1, 40);
    EXPECT_EQ(bench.executor.queuedCount(), 1u) << "one drain job for all the reads";
    EXPECT_TRUE(bench.process.pendingState().scheduled);

    EXPECT_EQ(bench.executor.runDue(), 1u);
    ASSERT_EQ(bench.deliveries.size(), 40u);
    for (size_t i = 0; i < 40; ++i)
        EXPECT_EQ(bench.deliveries[i].chunk, "c" + std::to_string(i + 1));
    // The list is compacted as the 32nd chunk is taken, before it is delivered.
    EXPECT_EQ(bench.deliveries[30].pendingCount, 40u);
    EXPECT_EQ(bench.deliveries[30].pendingIndex, 31u);
    EXPECT_EQ(bench.deliveries[31].pendingCount, 8u);
    EXPECT_EQ(bench.deliveries[31].pendingIndex, 0u);
    EXPECT_EQ(bench.deliveries[32].pendingCount, 8u);
    EXPECT_EQ(bench.deliveries[32].pendingIndex, 1u);

    const auto state = bench.process.pendingState();
    EXPECT_EQ(state.chunkCount, 0u);
    EXPECT_EQ(state.chunkIndex, 0u);
    EXPECT_FALSE(state.scheduled);
    EXPECT_GE(state.capacity, 8u) << "the emptied list keeps its storage";

    // Idle again: the next read posts a new job.
    bench.enqueue(41, 41);
    EXPECT_EQ(bench.executor.queuedCount(), 1u);
}

TEST(LocalProcessDrain, YieldsAfterFourMillisecondsAndResumesInOrder) {
    DrainBench bench;
    bench.costPerChunk = 1ms;
    bench.enqueue(1, 10);
    bench.executor.post([&] { bench.log += "other "; });

    EXPECT_TRUE(bench.executor.runOne());
    EXPECT_EQ(bench.log, "c1 c2 c3 c4 ");
    EXPECT_EQ(bench.executor.queuedCount(), 2u) << "the other job and the continuation";
    bench.enqueue(11, 11);
    EXPECT_EQ(bench.executor.queuedCount(), 2u) << "no second drain job while one is queued";

    bench.executor.runDue();
    EXPECT_EQ(bench.log, "c1 c2 c3 c4 other c5 c6 c7 c8 c9 c10 c11 ");
    EXPECT_FALSE(bench.process.pendingState().scheduled);

    // A chunk slower than the slice still goes out, one per job; the last job finds the list empty.
    DrainBench slow;
    slow.costPerChunk = 10ms;
    slow.enqueue(1, 3);
    for (const char* expected : {"c1 ", "c1 c2 ", "c1 c2 c3 ", "c1 c2 c3 "}) {
        EXPECT_TRUE(slow.executor.runOne());
        EXPECT_EQ(slow.log, expected);
    }
    EXPECT_FALSE(slow.executor.runOne());
}

TEST(LocalProcessDrain, ChunksWithoutADelegateAreDropped) {
    DrainBench bench;
    bench.enqueue(1, 5);
    bench.process.setDelegate(nullptr);
    bench.executor.runDue();
    EXPECT_TRUE(bench.deliveries.empty());
    EXPECT_EQ(bench.process.pendingState().chunkCount, 0u);

    // A job that outlives its process does nothing.
    auto executor = std::make_unique<ManualExecutor>();
    RecordingDelegate delegate;
    {
        QueuedProcess process(&delegate, *executor);
        process.enqueueReceivedData(bytesOf("late"));
    }
    EXPECT_EQ(executor->runDue(), 1u);
    EXPECT_TRUE(delegate.output.empty());
}

// Programs that misbehave towards their host.

namespace {

// Ended: gone, or a zombie of a parent that is not us (what init reaps in its own time).
bool hasEnded(pid_t pid) {
    if (isGone(pid)) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close == std::string::npos || line.substr(close + 2, 1) == "Z";
}

bool waitUntilEnded(RunLoopExecutor& executor, pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!hasEnded(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        executor.runUntil([] { return false; }, 5ms);
    }
    return true;
}

// The first whole number after the word in the text, or 0.
pid_t numberAfter(const std::string& text, std::string_view word) {
    const auto at = text.find(word);
    if (at == std::string::npos) return 0;
    return pid_t(std::atoi(text.c_str() + at + word.size()));
}

} // namespace

// Used to hold all of it: 1,000 MiB sent to a program that does not read were 1,005 MiB resident.
TEST(LocalProcess, InputForAProgramThatDoesNotReadIsBounded) {
    DiagnosticsCapture capture;
    Session session;
    session.process.startProcess("/bin/sh", {"-c", "stty raw -echo; echo ready; exec /bin/sleep 1000"},
                                 plainEnvironment);
    ASSERT_TRUE(session.waitForOutput("ready"));
    const std::vector<uint8_t> mebibyte(1024 * 1024, 'x');
    size_t taken = 0;
    size_t lastTaken = 0;
    for (int i = 0; i < 8; ++i)
        taken += lastTaken = session.process.send(mebibyte);
    EXPECT_LE(taken, LocalProcess::maxQueuedInputBytes + mebibyte.size()) << "the terminal takes some";
    EXPECT_GE(taken, LocalProcess::maxQueuedInputBytes);
    EXPECT_EQ(lastTaken, 0u) << "a send past the bound says it could not take the bytes";

    session.process.terminate(0ms);
    bool droppedReported = false;
    for (const auto& entry : capture.takeEntries())
        droppedReported |= entry.kind == DiagnosticKind::processIO &&
                           entry.severity == DiagnosticSeverity::warning && entry.text.find("Dropped ") == 0;
    EXPECT_TRUE(droppedReported) << "what the program never read is logged with its count";
}

// A program deaf to the hang-up and to SIGTERM used to outlive its terminal.
TEST(LocalProcess, TerminateKillsAProgramThatIgnoresItsSignals) {
    Session session;
    session.process.startProcess(
        "/bin/sh",
        {"-c", "trap '' HUP TERM; /bin/sleep 1000 & echo \"sleeper $!\"; while :; do sleep 0.05; done"},
        plainEnvironment);
    ASSERT_TRUE(session.waitForOutput("\r\n"));
    const pid_t shell = session.process.shellPid();
    const pid_t sleeper = numberAfter(session.delegate.output, "sleeper ");
    ASSERT_GT(sleeper, 0);
    session.process.terminate(100ms);
    EXPECT_TRUE(waitUntilGone(session.executor, shell)) << "killed after the grace and reaped";
    EXPECT_TRUE(waitUntilEnded(session.executor, sleeper)) << "its process group goes with it";
    EXPECT_TRUE(session.delegate.exits.empty());
}

// Used to be reported only after 100 ms of quiet, so never while something left behind kept writing.
TEST(LocalProcess, EndIsReportedWhileSomethingLeftBehindKeepsWriting) {
    pid_t writer = 0;
    {
        Session session;
        // The shell waits until the writer is in place and deaf to the hang-up.
        session.process.startProcess(
            "/bin/sh",
            {"-c",
             "(trap '' HUP; exec /bin/sh -c 'echo \"writer $$\"; while :; do echo tick; sleep 0.05; done') & "
             "read line; exit 5"},
            plainEnvironment);
        ASSERT_TRUE(session.waitForOutput("writer "));
        ASSERT_TRUE(session.waitForOutput("\r\n"));
        writer = numberAfter(session.delegate.output, "writer ");
        ASSERT_GT(writer, 0);
        session.process.send(bytesOf("\n"));
        ASSERT_TRUE(session.waitForEnd());
        EXPECT_EQ(session.delegate.exits, std::vector<std::optional<int32_t>>{5});
        EXPECT_FALSE(session.process.running());
        const size_t atEnd = session.delegate.output.size();
        EXPECT_TRUE(session.waitFor([&] { return session.delegate.output.size() > atEnd + 10; }))
            << "what it writes later is still shown";
        EXPECT_FALSE(hasEnded(writer));
    }
    // Closing the terminal ends what was left behind.
    RunLoopExecutor idle;
    EXPECT_TRUE(waitUntilEnded(idle, writer));
}
