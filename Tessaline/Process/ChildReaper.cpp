#include "ChildReaper.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

namespace Tessaline {

namespace {

// Answers true once the child is gone for good: reaped now, or reaped by someone else already.
bool tryReap(pid_t pid) {
    for (;;) {
        int status = 0;
        const pid_t result = waitpid(pid, &status, WNOHANG);
        if (result == pid) return true;
        if (result == 0) return false;
        if (errno != EINTR) return errno == ECHILD;
    }
}

// Without a pidfd there is nothing to wait on: look again this often.
constexpr int pollIntervalWithoutPidfdMs = 100;

} // namespace

ChildReaper& ChildReaper::shared() {
    // Never destroyed: its thread may still be waiting when the process exits.
    static ChildReaper* reaper = new ChildReaper();
    return *reaper;
}

ChildReaper::ChildReaper()
    : _wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void ChildReaper::adopt(pid_t pid, int pidfd) {
    if (pid <= 0 || tryReap(pid)) {
        if (pidfd >= 0) close(pidfd);
        return;
    }
    {
        std::lock_guard lock(_mutex);
        _children.push_back({pid, pidfd});
        if (!_started) {
            _started = true;
            std::thread([this] { loop(); }).detach();
        }
    }
    const uint64_t one = 1;
    if (_wakeFd >= 0 && write(_wakeFd, &one, sizeof one) < 0) {
        // The counter is already set: the thread wakes anyway.
    }
}

size_t ChildReaper::pendingCount() const {
    std::lock_guard lock(_mutex);
    return _children.size();
}

void ChildReaper::loop() {
    std::vector<pollfd> fds;
    for (;;) {
        bool withoutPidfd = _wakeFd < 0;
        fds.clear();
        if (_wakeFd >= 0) fds.push_back({_wakeFd, POLLIN, 0});
        {
            std::lock_guard lock(_mutex);
            for (const auto& child : _children) {
                if (child.pidfd >= 0)
                    fds.push_back({child.pidfd, POLLIN, 0});
                else
                    withoutPidfd = true;
            }
        }
        if (poll(fds.data(), fds.size(), withoutPidfd ? pollIntervalWithoutPidfdMs : -1) < 0 &&
            errno != EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(pollIntervalWithoutPidfdMs));
        uint64_t count;
        if (_wakeFd >= 0 && read(_wakeFd, &count, sizeof count) < 0) {
            // Nothing new was adopted.
        }

        std::lock_guard lock(_mutex);
        for (size_t i = 0; i < _children.size();) {
            if (tryReap(_children[i].pid)) {
                if (_children[i].pidfd >= 0) close(_children[i].pidfd);
                _children[i] = _children.back();
                _children.pop_back();
            } else {
                ++i;
            }
        }
    }
}

} // namespace Tessaline
