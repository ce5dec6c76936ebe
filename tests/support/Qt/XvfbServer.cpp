#include "XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <vector>

extern char** environ;

namespace QuillabyTest {

bool XvfbServer::start(int width, int height) {
    if (_pid > 0) return true;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        _error = "pipe failed";
        return false;
    }
    // -displayfd makes Xvfb choose a free display and write its number once it accepts connections.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"Xvfb", "-displayfd", "3", "-screen", "0", screen, "-nolisten", "tcp",
                                     "-noreset", "+extension", "GLX", "+extension", "Composite"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawnp(&_pid, "Xvfb", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        _pid = -1;
        _error = "Xvfb could not be started (is the xvfb package installed?)";
        return false;
    }
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) break;
        if (c == '\n') break;
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        stop();
        _error = "Xvfb did not report a display";
        return false;
    }
    _display = ":" + number;
    return true;
}

void XvfbServer::stop() {
    if (_pid <= 0) return;
    kill(_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50; ++i) {
        if (waitpid(_pid, &status, WNOHANG) == _pid) {
            _pid = -1;
            return;
        }
        usleep(20000);
    }
    kill(_pid, SIGKILL);
    waitpid(_pid, &status, 0);
    _pid = -1;
}

} // namespace QuillabyTest
