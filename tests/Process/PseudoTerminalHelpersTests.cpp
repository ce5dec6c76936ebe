#include "PseudoTerminalHelpers.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

using namespace Tessaline;
using namespace std::chrono_literals;

namespace {

constexpr int patienceMs = 60'000;
const winsize smallSize{24, 80, 0, 0};

// Everything the child writes, up to the end of input (EIO once its side is closed).
std::string readAll(int fd) {
    std::string text;
    char buffer[4096];
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, patienceMs) <= 0) break;
        const ssize_t length = read(fd, buffer, sizeof buffer);
        if (length > 0)
            text.append(buffer, size_t(length));
        else if (length < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return text;
}

int exitStatusOf(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(PseudoTerminalHelpers, ForkRunsTheVectorsAsGiven) {
    struct Case {
        const char* name;
        std::string executable;
        std::vector<std::string> args;
        std::vector<std::string> env;
        std::optional<std::string> directory;
        std::string expectedOutput;
        int expectedStatus;
    };
    const Case cases[] = {
        {"argument 0 as given",
         "/bin/cat",
         {"custom0", "/proc/self/cmdline"},
         {},
         {},
         std::string("custom0\0/proc/self/cmdline\0", 27),
         0},
        {"environment as given, no default", "/usr/bin/env", {"env"}, {"ONLY=1"}, {}, "ONLY=1\r\n", 0},
        {"directory", "/bin/pwd", {"pwd"}, {}, "/", "/\r\n", 0},
        // Its own session (pid 1 and session 6 of stat), with the new terminal as its controlling one.
        {"session leader on its terminal",
         "/bin/sh",
         {"sh", "-c", "set -- $(cat /proc/$$/stat); [ \"$1\" = \"$6\" ] && : >/dev/tty && echo leader"},
         {},
         {},
         "leader\r\n",
         0},
        // These used to end with 127 and no word of why.
        {"missing program",
         "/nonexistent",
         {"x"},
         {},
         {},
         "cannot run /nonexistent: No such file or directory\r\n",
         127},
        {"a directory", "/", {"x"}, {}, {}, "cannot run /: Permission denied\r\n", 127},
        {"not executable",
         "/etc/passwd",
         {"x"},
         {},
         {},
         "cannot run /etc/passwd: Permission denied\r\n",
         127},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto child = PseudoTerminalHelpers::fork(c.executable, c.args, c.env, c.directory, smallSize);
        ASSERT_TRUE(child);
        EXPECT_EQ(readAll(child->masterFd), c.expectedOutput);
        EXPECT_EQ(exitStatusOf(child->pid), c.expectedStatus);
        close(child->masterFd);
    }
}

TEST(PseudoTerminalHelpers, AvailableBytesCountsWhatWaits) {
    auto child = PseudoTerminalHelpers::fork("/bin/sh", {"sh", "-c", "printf hello; read line"}, {},
                                             std::nullopt, smallSize);
    ASSERT_TRUE(child);
    // The bytes reach the master's side asynchronously: look until all five are there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    PseudoTerminalHelpers::AvailableBytes available{};
    do {
        pollfd ready{child->masterFd, POLLIN, 0};
        poll(&ready, 1, 100);
        available = PseudoTerminalHelpers::availableBytes(child->masterFd);
    } while (available.size < 5 && std::chrono::steady_clock::now() < deadline);
    EXPECT_EQ(available.status, 0);
    EXPECT_EQ(available.size, 5);

    ASSERT_EQ(write(child->masterFd, "\n", 1), 1);
    EXPECT_EQ(readAll(child->masterFd), "hello\r\n");
    EXPECT_EQ(exitStatusOf(child->pid), 0);
    close(child->masterFd);

    EXPECT_EQ(PseudoTerminalHelpers::availableBytes(-1).status, -1);
    EXPECT_EQ(PseudoTerminalHelpers::setWinSize(-1, smallSize), -1);
}
