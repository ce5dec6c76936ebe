// How fast the pseudo-terminal itself passes a file: runs `cat FILE` on a new 80x24 pseudo-terminal and
// reads its master side as a terminal's reader thread would (poll, then read until it would block),
// doing nothing with the bytes. Prints the milliseconds from the start of cat to the end of its output.
// No terminal can cat faster than this on the same machine at the same moment.
//
//   ptyfloor FILE
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

double monotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ptyfloor FILE\n");
        return 2;
    }
    winsize size{24, 80, 0, 0};
    int master = -1;
    const double start = monotonicMs();
    const pid_t child = forkpty(&master, nullptr, nullptr, &size);
    if (child < 0) {
        std::perror("forkpty");
        return 1;
    }
    if (child == 0) {
        execl("/bin/cat", "cat", argv[1], static_cast<char*>(nullptr));
        _exit(127);
    }
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    std::vector<char> buffer(131072);
    long long total = 0;
    for (bool open = true; open;) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, -1) < 0 && errno != EINTR) break;
        for (;;) {
            const ssize_t length = read(master, buffer.data(), buffer.size());
            if (length > 0) {
                total += length;
            } else if (length < 0 && errno == EINTR) {
                continue;
            } else {
                // EAGAIN: wait again; 0 or EIO: the child's side is closed.
                open = length < 0 && errno == EAGAIN;
                break;
            }
        }
    }
    const double elapsed = monotonicMs() - start;
    int status = 0;
    waitpid(child, &status, 0);
    if (total == 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "ptyfloor: cat failed\n");
        return 1;
    }
    std::printf("%.0f\n", elapsed);
    return 0;
}
