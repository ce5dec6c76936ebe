#include "PseudoTerminalHelpers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

namespace Tessaline {

namespace {

// Opens a new pseudo-terminal pair, both ends close-on-exec from the start: a descriptor made without the
// flag could leak into a child that another thread starts before we could set it.
bool openPair(int& master, int& slave) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return false;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        close(master);
        return false;
    }
    slave = ioctl(master, TIOCGPTPEER, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        // Kernels before 4.13 have no TIOCGPTPEER: open the slave by name.
        char name[128];
        if (ptsname_r(master, name, sizeof name) == 0) slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    if (slave < 0) {
        close(master);
        return false;
    }
    return true;
}

// Appends text to the buffer at at, as far as it fits.
void appendBounded(char* buffer, size_t size, size_t& at, const char* text) {
    for (; *text != 0 && at < size; ++text)
        buffer[at++] = *text;
}

// The one word a program that cannot be started leaves on its terminal: "cannot run PATH: REASON", the
// system's text for the error. In the vforked child: no allocation, no locale.
void writeExecFailure(const char* executable, int error) {
    char line[1024];
    size_t at = 0;
    const char* reason = strerrordesc_np(error);
    appendBounded(line, sizeof line - 2, at, "cannot run ");
    appendBounded(line, sizeof line - 2, at, executable);
    appendBounded(line, sizeof line - 2, at, ": ");
    appendBounded(line, sizeof line - 2, at, reason != nullptr ? reason : "unknown error");
    // A new terminal's line discipline puts the carriage return in front.
    line[at++] = '\n';
    for (size_t done = 0; done < at;) {
        const ssize_t written = write(STDERR_FILENO, line + done, at - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        done += size_t(written);
    }
}

// Everything here runs in the vforked child of a possibly multi-threaded parent, on the parent's memory
// until execve: async-signal-safe calls only, no allocation, nothing written that the parent reads.
[[noreturn]] void execInChild(int slave, const char* executable, char* const* argv, char* const* envp,
                              const char* directory) {
    setsid();
    ioctl(slave, TIOCSCTTY, 0);
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);

    // Without this every shell would hold the descriptors of the host, the other sessions' masters among
    // them, and closing a session would not hang up its shell.
    if (close_range(3, ~0U, 0) != 0) {
        rlimit limit{};
        const rlim_t last =
            getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY ? limit.rlim_cur : 65536;
        for (rlim_t fd = 3; fd < last && fd <= rlim_t(INT_MAX); ++fd)
            close(int(fd));
    }

    // The host's handlers and ignored signals are no business of the program; the mask stays full
    // until the dispositions are default, so no host handler runs here.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    for (int number = 1; number < NSIG; ++number)
        sigaction(number, &defaultAction, nullptr);
    sigset_t empty;
    sigemptyset(&empty);
    sigprocmask(SIG_SETMASK, &empty, nullptr);

    // A directory that cannot be entered is no reason not to start.
    if (directory && chdir(directory) != 0) {
    }
    execve(executable, argv, envp);
    writeExecFailure(executable, errno);
    _exit(127);
}

struct ChildSetup {
    int slave;
    const char* executable;
    char* const* argv;
    char* const* envp;
    const char* directory;
};

// Apart from the caller, so that no variable of the caller lives across vfork, where the child's use of
// the shared stack could clobber it.
[[gnu::noinline]] pid_t spawnChild(const ChildSetup& setup) {
    const pid_t pid = vfork();
    if (pid == 0) execInChild(setup.slave, setup.executable, setup.argv, setup.envp, setup.directory);
    return pid;
}

} // namespace

PseudoTerminalHelpers::CStringArray::CStringArray(const std::vector<std::string>& strings)
    : _strings(strings) {
    _pointers.reserve(_strings.size() + 1);
    for (auto& string : _strings)
        _pointers.push_back(string.data());
    _pointers.push_back(nullptr);
}

std::optional<PseudoTerminalHelpers::CStringArray>
PseudoTerminalHelpers::allocateCStringArray(const std::vector<std::string>& strings) {
    try {
        return std::optional<CStringArray>(std::in_place, strings);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<PseudoTerminalHelpers::ForkResult> PseudoTerminalHelpers::fork(
    const std::string& executable, const std::vector<std::string>& args, const std::vector<std::string>& env,
    const std::optional<std::string>& currentDirectory, const winsize& desiredWindowSize) {
    auto argv = allocateCStringArray(args);
    auto envp = allocateCStringArray(env);
    if (!argv || !envp) return std::nullopt;
    const char* directory = currentDirectory ? currentDirectory->c_str() : nullptr;

    int master = -1;
    int slave = -1;
    if (!openPair(master, slave)) return std::nullopt;
    winsize size = desiredWindowSize;
    ioctl(slave, TIOCSWINSZ, &size);
    // The terminal reads UTF-8 and the child's environment says so: the line discipline must know, or
    // erasing in a shell's line editor takes one byte of a character at a time.
    termios modes{};
    if (tcgetattr(slave, &modes) == 0) {
        modes.c_iflag |= IUTF8;
        tcsetattr(slave, TCSANOW, &modes);
    }

    // Block every signal across the fork so that none reaches a host handler in the child before its
    // dispositions are reset: on the parent's memory, a handler would corrupt it.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    // Not fork: copying the page tables of a large host took milliseconds, and left every page of the
    // host copy-on-write, so that it then faulted on each page it wrote while drawing its first screen.
    const pid_t pid =
        spawnChild(ChildSetup{slave, executable.c_str(), argv->data(), envp->data(), directory});
    const int forkError = errno;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);

    close(slave);
    if (pid < 0) {
        close(master);
        errno = forkError;
        return std::nullopt;
    }
    return ForkResult{pid, master};
}

int32_t PseudoTerminalHelpers::setWinSize(int32_t masterPtyDescriptor, const winsize& windowSize) {
    winsize size = windowSize;
    return ioctl(masterPtyDescriptor, TIOCSWINSZ, &size);
}

PseudoTerminalHelpers::AvailableBytes PseudoTerminalHelpers::availableBytes(int32_t fd) {
    int size = 0;
    const int status = ioctl(fd, FIONREAD, &size);
    return {status, size};
}

} // namespace Tessaline
