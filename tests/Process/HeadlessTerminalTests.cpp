// Real programs on a real pseudo-terminal, their output parsed by a headless terminal.
#include "HeadlessTerminal.h"
#include "RunLoopExecutor.h"
#include "TerminalOptions.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

using namespace Tessaline;
using namespace std::chrono_literals;

namespace {

// Generous: CI machines are small and busy. Waits end as soon as their condition holds.
constexpr auto patience = 60s;

TerminalOptions sized(int cols, int rows, int scrollback = 100) {
    TerminalOptions options;
    options.cols = cols;
    options.rows = rows;
    options.scrollback = scrollback;
    return options;
}

// The ring rows from..to as text, one line per row up to its last non-blank cell, blank rows at the end
// left out.
std::string rowsText(HeadlessTerminal& headless, int from, int to) {
    Terminal& terminal = headless.terminal();
    const Buffer& buffer = terminal.buffer();
    const auto character = [&](const CharData& cell) {
        return cell.code == 0 ? std::string(" ") : terminal.getCharacter(cell);
    };
    std::vector<std::string> rows;
    for (int row = from; row < std::min(to, buffer.lines().count()); ++row) {
        const BufferLinePtr& line = buffer.lines().peek(row);
        rows.push_back(line ? line->translateToString(true, 0, -1, true, character) : std::string());
    }
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    std::string text;
    for (const auto& row : rows)
        text += row + "\n";
    return text;
}

// Records every byte the terminal is given.
class TappedTerminal : public HeadlessTerminal {
public:
    using HeadlessTerminal::HeadlessTerminal;

    void dataReceived(std::span<const uint8_t> slice) override {
        received.append(slice.begin(), slice.end());
        HeadlessTerminal::dataReceived(slice);
    }

    std::string received;
};

// A headless terminal served by a run loop on the test's thread.
struct Session {
    explicit Session(const TerminalOptions& options = sized(80, 25))
        : headless(executor, options, [this](std::optional<int32_t> code) { exits.push_back(code); }) {}

    void start(const std::string& executable, const std::vector<std::string>& args = {}) {
        headless.process().startProcess(executable, args);
    }
    bool waitFor(const std::function<bool()>& condition) { return executor.runUntil(condition, patience); }
    bool waitForScreen(const std::string& text) {
        return waitFor([&] { return screen().find(text) != std::string::npos; });
    }
    bool waitForEnd() {
        return waitFor([&] { return !exits.empty(); });
    }

    std::string screen() {
        const Buffer& buffer = headless.terminal().buffer();
        return rowsText(headless, buffer.yBase(), buffer.yBase() + headless.terminal().rows());
    }
    std::string everything() { return rowsText(headless, 0, headless.terminal().buffer().lines().count()); }

    RunLoopExecutor executor;
    std::vector<std::optional<int32_t>> exits;
    TappedTerminal headless;
};

} // namespace

TEST(HeadlessTerminal, ProgramSeesTheTerminalSizeOnAFixedPixelWindow) {
    struct Case {
        const char* name;
        int cols;
        int rows;
        std::string expected;
    };
    const Case cases[] = {
        {"default size", 80, 25, "25 80\n"},
        {"large", 200, 60, "60 200\n"},
        {"small", 10, 3, "3 10\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session session(sized(c.cols, c.rows));
        session.start("/bin/sh", {"-c", "stty size; read line"});
        ASSERT_TRUE(session.waitForScreen(c.expected));

        // The child's side of the terminal has the same window as the master.
        winsize seen{};
        ASSERT_EQ(ioctl(session.headless.process().childfd(), TIOCGWINSZ, &seen), 0);
        EXPECT_EQ(seen.ws_col, c.cols);
        EXPECT_EQ(seen.ws_row, c.rows);
        EXPECT_EQ(seen.ws_xpixel, 16);
        EXPECT_EQ(seen.ws_ypixel, 16);

        session.headless.send("\n");
        ASSERT_TRUE(session.waitForEnd());
        // The typed line is echoed as an empty row.
        EXPECT_EQ(session.screen(), c.expected);
        EXPECT_EQ(session.exits, std::vector<std::optional<int32_t>>{0});
    }
}

TEST(HeadlessTerminal, ProgramGetsTheTerminalsEnvironmentInOrder) {
    const auto environment = getEnvironmentVariables("xterm-256color", true);
    ASSERT_GE(environment.size(), 3u);
    EXPECT_EQ(environment[0], "TERM=xterm-256color");
    EXPECT_EQ(environment[1], "COLORTERM=truecolor");
    EXPECT_TRUE(environment[2].starts_with("LANG=")) << environment[2];
    EXPECT_EQ(LocalProcess::defaultEnvironment(), environment);

    std::string expected;
    for (const auto& entry : environment)
        expected += entry + "\n";
    // Wide enough that no entry wraps.
    Session session(sized(2000, 40));
    session.start("/usr/bin/env");
    ASSERT_TRUE(session.waitForEnd());
    EXPECT_EQ(session.screen(), expected);
    EXPECT_EQ(session.exits, std::vector<std::optional<int32_t>>{0});
}

TEST(HeadlessTerminal, DirectoryReportUpdatesDir) {
    Session session;
    EXPECT_EQ(session.headless.dir(), std::nullopt);
    session.start("/bin/sh", {"-c", "printf '\\033]7;file://localhost/tmp\\033\\\\'; "
                                    "printf '\\033]7;file://localhost/var/tmp\\007'"});
    ASSERT_TRUE(session.waitForEnd());
    EXPECT_EQ(session.headless.dir(), std::optional<std::string>("file://localhost/var/tmp"));
    EXPECT_EQ(session.headless.terminal().hostCurrentDirectory(), session.headless.dir());
}

TEST(HeadlessTerminal, OutputArrivesWholeAndInOrderThroughTheTerminal) {
    constexpr int count = 200000;
    std::string expectedBytes;
    std::string expectedRows;
    for (int i = 1; i <= count; ++i) {
        expectedBytes += std::to_string(i) + "\r\n";
        expectedRows += std::to_string(i) + "\n";
    }
    // Narrow rows keep the scroll-back that holds every line small.
    Session session(sized(8, 4, count));
    session.start("/usr/bin/seq", {"1", std::to_string(count)});
    ASSERT_TRUE(session.waitForEnd());
    EXPECT_EQ(session.exits, std::vector<std::optional<int32_t>>{0});
    EXPECT_TRUE(session.headless.received == expectedBytes)
        << "received " << session.headless.received.size() << " bytes of " << expectedBytes.size();
    EXPECT_TRUE(session.everything() == expectedRows) << "the scroll-back and screen differ";
    EXPECT_EQ(session.screen(), "199998\n199999\n200000\n");
}

TEST(HeadlessTerminal, EndReachesOnEndWithTheStatus) {
    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> args;
        int32_t expected;
    };
    const Case cases[] = {
        {"exit status", "/bin/sh", {"-c", "exit 5"}, 5},
        {"program that cannot be executed", "/nonexistent", {}, 127},
        {"killed by SIGKILL", "/bin/sh", {"-c", "kill -KILL $$"}, 137},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session session;
        session.start(c.executable, c.args);
        ASSERT_TRUE(session.waitForEnd());
        EXPECT_EQ(session.exits, std::vector<std::optional<int32_t>>{c.expected});
    }
}

// What the terminal hands its delegate, without a program.
// 13 KB of Sixel (a 10,000-pixel square raster, 1,666 bands of "!10000~") used to cost 785 MB at its
// peak, thirty in a row 1.18 GB: now each is refused before its bitmap is made.
TEST(HeadlessTerminal, SixelImagesOverTheByteBudgetAreDropped) {
    RunLoopExecutor executor;
    HeadlessTerminal headless(executor, sized(80, 25), [](std::optional<int32_t>) {});
    std::string sixel = "\x1bPq\"1;1;10000;10000#0;2;100;0;0#0";
    for (int band = 0; band < 1666; ++band)
        sixel += "!10000~-";
    sixel += "\x1b\\";
    const std::string small = "\x1bPq#1;2;100;0;0#1~~\x1b\\";
    for (int i = 0; i < 30; ++i)
        headless.dataReceived(std::span(reinterpret_cast<const uint8_t*>(sixel.data()), sixel.size()));
    headless.dataReceived(std::span(reinterpret_cast<const uint8_t*>(small.data()), small.size()));
    ASSERT_EQ(headless.images().size(), 1u) << "only the picture within the budget";
    EXPECT_EQ(headless.images()[0].width, 2);
}

TEST(HeadlessTerminal, KeepsImagesAndScrollbackSettings) {
    RunLoopExecutor executor;
    HeadlessTerminal headless(executor, sized(20, 5), [](std::optional<int32_t>) {});

    // Two columns of six red pixels, then one of six green.
    const std::string red = "\x1bPq#1;2;100;0;0#1~~\x1b\\";
    const std::string green = "\x1bPq#2;2;0;100;0#2~\x1b\\";
    const auto feed = [&](const std::string& bytes) {
        headless.dataReceived(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    };
    feed(red);
    feed(green);
    ASSERT_EQ(headless.images().size(), 2u);
    const auto& first = headless.images()[0];
    EXPECT_EQ(first.width, 2);
    EXPECT_EQ(first.height, 6);
    ASSERT_EQ(first.bytes.size(), 2u * 6u * 4u);
    EXPECT_EQ(std::vector<uint8_t>(first.bytes.begin(), first.bytes.begin() + 4),
              (std::vector<uint8_t>{255, 0, 0, 255}));
    EXPECT_EQ(headless.images()[1].width, 1);
    EXPECT_EQ(headless.takeImages().size(), 2u);
    EXPECT_TRUE(headless.images().empty());

    // A program that sends images without end: the oldest go, the newest always stays.
    headless.imageByteLimit = 2 * 6 * 4 + 6 * 4;
    for (const auto* sixel : {&green, &red, &green, &red})
        feed(*sixel);
    ASSERT_EQ(headless.images().size(), 2u);
    EXPECT_EQ(headless.images()[0].width, 1);
    EXPECT_EQ(headless.images()[1].width, 2);
    headless.imageByteLimit = 1;
    feed(red);
    ASSERT_EQ(headless.images().size(), 1u);
    EXPECT_EQ(headless.images()[0].width, 2);

    Terminal& terminal = headless.terminal();
    struct Case {
        const char* name;
        std::optional<int> lines;
        int capacity;
    };
    const Case cases[] = {{"some lines", 1000, 1005}, {"none", std::nullopt, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        terminal.clearUpdateRange();
        headless.changeScrollback(c.lines);
        EXPECT_EQ(terminal.options.scrollback, c.lines);
        EXPECT_EQ(terminal.normalBuffer().lines().maxLength(), c.capacity);
        EXPECT_EQ(terminal.refreshStart, 0);
        EXPECT_EQ(terminal.refreshEnd, 4);
    }

    // No program: bytes for it are dropped.
    headless.send("dropped");
    EXPECT_EQ(headless.process().sendCount(), 0);
    const winsize size = headless.getWindowSize();
    EXPECT_EQ(size.ws_row, 5);
    EXPECT_EQ(size.ws_col, 20);
}

// The test driver: screens, statuses and errors as a test suite sees them.

namespace {

// A program in raw mode asks for the cursor position and shows the reply it reads (ESC as "E"); it
// gives up after a while rather than wait for ever (in the foreground: a background group may not read
// the terminal).
const std::string cursorReportProgram =
    "stty raw -echo; printf 'ab\\033[6n'; timeout --foreground 30 head -c 6 | tr '\\033' E";

struct ToolRun {
    std::string output;
    std::string errors;
    int status = -1;
};

std::string readToEnd(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t length = read(fd, buffer, sizeof buffer);
        if (length > 0)
            text.append(buffer, size_t(length));
        else if (length < 0 && errno == EINTR)
            continue;
        else
            return text;
    }
}

ToolRun runHeadlessRun(const std::vector<std::string>& arguments) {
    std::vector<std::string> words = {TESSALINE_HEADLESS_RUN};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    ToolRun run;
    if (spawned == 0) {
        // Errors are a few lines: they fit the pipe while the screen is read.
        run.output = readToEnd(out[0]);
        run.errors = readToEnd(err[0]);
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    close(out[0]);
    close(err[0]);
    return run;
}

} // namespace

TEST(HeadlessRun, PrintsTheScreenAndExitsWithTheProgramsStatus) {
    // The position report comes back after the terminal took the request before it.
    const std::string resizeThenSize =
        "stty raw -echo; printf '\\033[8;5;33t\\033[6n'; head -c 6 >/dev/null; stty size";
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string output;
        int status;
    };
    const Case cases[] = {
        {"screen and status",
         {"--cols", "20", "--rows", "5", "--", "/bin/sh", "-c", "printf 'one\\n\\ntwo\\n'; exit 3"},
         "one\n\ntwo\n",
         3},
        {"the program sees the size", {"--cols=33", "--rows=7", "--", "stty", "size"}, "7 33\n", 0},
        {"resize requests are carried out when asked",
         {"--allow-resize", "--", "/bin/sh", "-c", resizeThenSize},
         "5 33\n",
         0},
        {"and refused otherwise", {"--", "/bin/sh", "-c", resizeThenSize}, "25 80\n", 0},
        {"a huge request is held to the largest size",
         {"--allow-resize", "--", "/bin/sh", "-c",
          "stty raw -echo; printf '\\033[8;99999;99999t\\033[6n'; head -c 6 >/dev/null; stty size"},
         "1024 2048\n",
         0},
        {"the terminal takes UTF-8 input",
         {"--", "/bin/sh", "-c", "stty -a | tr ' ' '\\n' | grep -x -- '-*iutf8'"},
         "iutf8\n",
         0},
        {"rows wrap at the width",
         {"--cols", "4", "--", "/usr/bin/printf", "abcdefghij"},
         "abcd\nefgh\nij\n",
         0},
        {"the screen only", {"--rows", "3", "--", "/usr/bin/seq", "1", "6"}, "5\n6\n", 0},
        {"the scroll-back too",
         {"--rows", "3", "--all", "--", "/usr/bin/seq", "1", "6"},
         "1\n2\n3\n4\n5\n6\n",
         0},
        {"a bounded scroll-back",
         {"--rows", "3", "--scrollback", "2", "--all", "--", "/usr/bin/seq", "1", "6"},
         "3\n4\n5\n6\n",
         0},
        {"wide characters",
         {"--", "/usr/bin/printf", "\xe4\xb8\x96\xe7\x95\x8c!"},
         "\xe4\xb8\x96\xe7\x95\x8c!\n",
         0},
        {"stopped by a signal",
         {"--", "/bin/sh", "-c", "echo started; kill -INT $PPID; sleep 100"},
         "started\n",
         130},
        {"killed", {"--", "/bin/sh", "-c", "echo bye; kill -KILL $$"}, "bye\n", 137},
        // Used to end with 127 and no word of why.
        {"a program that cannot be started", {"--", "/etc"}, "cannot run /etc: Permission denied\n", 127},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = runHeadlessRun(c.arguments);
        EXPECT_EQ(run.output, c.output);
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.errors, "");
    }
}

// A program deaf to SIGHUP and SIGTERM used to outlive the run, and a run behind on output parsed all of
// it before it stopped.
TEST(HeadlessRun, StopsADeafFloodingProgramAndLeavesNothingBehind) {
    const auto pidFile =
        std::filesystem::temp_directory_path() / ("headless-run-deaf-" + std::to_string(getpid()));
    std::filesystem::remove(pidFile);
    const ToolRun run = runHeadlessRun({"--", "/bin/sh", "-c",
                                        "trap '' HUP TERM; echo $$ >" + pidFile.string() +
                                            "; kill -TERM $PPID; while :; do seq 1 100000; done"});
    EXPECT_EQ(run.status, 128 + SIGTERM);
    std::ifstream file(pidFile);
    pid_t pid = 0;
    file >> pid;
    ASSERT_GT(pid, 0);
    // Its parent is gone: something else reaps it, in its own time.
    bool ended = false;
    for (int i = 0; i < 1000 && !ended; ++i) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        ended = !std::getline(stat, line) || line.substr(line.rfind(')') + 2, 1) == "Z";
        if (!ended) std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(ended);
    std::filesystem::remove(pidFile);
}

TEST(HeadlessRun, RefusesWhatItCannotRun) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string firstErrorLine;
        int status;
    };
    const Case cases[] = {
        {"no program", {"--cols", "20"}, "headless-run: no program given", 2},
        {"not a number",
         {"--cols", "x", "--", "/bin/true"},
         "headless-run: --cols takes a whole number from 1 to 65535, not \"x\"",
         2},
        {"too many rows",
         {"--rows", "70000", "/bin/true"},
         "headless-run: --rows takes a whole number from 1 to 65535, not \"70000\"",
         2},
        {"missing value", {"--scrollback"}, "headless-run: --scrollback needs a value", 2},
        {"unknown option", {"--colour", "/bin/true"}, "headless-run: unknown option \"--colour\"", 2},
        {"unknown program",
         {"--", "no-such-program-here"},
         "headless-run: no-such-program-here: command not found",
         127},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolRun run = runHeadlessRun(c.arguments);
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(run.status, c.status);
        EXPECT_EQ(run.errors.substr(0, run.errors.find('\n')), c.firstErrorLine);
    }
}

// The terminal's reply goes back to the program, which reads it without waiting for a line.
TEST(HeadlessTerminal, RawModeProgramGetsTheCursorPositionReport) {
    Session session;
    session.start("/bin/sh", {"-c", cursorReportProgram});
    ASSERT_TRUE(session.waitForEnd());
    EXPECT_EQ(session.screen(), "abE[1;3R\n");
    EXPECT_EQ(session.exits, std::vector<std::optional<int32_t>>{0});

    const ToolRun run = runHeadlessRun({"--", "/bin/sh", "-c", cursorReportProgram});
    EXPECT_EQ(run.output, "abE[1;3R\n");
    EXPECT_EQ(run.status, 0);
}
