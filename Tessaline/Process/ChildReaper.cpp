#include "ChildReaper.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// The child has ended (it is a zombie now, or gone already).
bool hasEnded(pid_t pid) {
    siginfo_t info{};
    const int result = waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT);
    return result == 0 ? info.si_pid != 0 : errno == ECHILD;
}

// The child and everything left in its process group, as long as the child is still ours and unreaped
// (running or a zombie), so that its number, and its group's, cannot belong to anyone else.
void killGroup(pid_t pid) {
    siginfo_t info{};
    if (waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return;
    killpg(pid, SIGKILL);
    kill(pid, SIGKILL);
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

void ChildReaper::adopt(pid_t pid, int pidfd, std::optional<std::chrono::milliseconds> grace) {
    const bool killsGroup = grace.has_value();
    const auto graceTime = grace.value_or(std::chrono::milliseconds(0));
    bool groupKilled = false;
    if (pid > 0 && killsGroup && (graceTime <= std::chrono::milliseconds(0) || hasEnded(pid))) {
        killGroup(pid);
        groupKilled = true;
    }
    if (pid <= 0 || tryReap(pid)) {
        if (pidfd >= 0) close(pidfd);
        return;
    }
    {
        std::lock_guard lock(_mutex);
        std::optional<std::chrono::steady_clock::time_point> killAt;
        if (killsGroup && !groupKilled) killAt = std::chrono::steady_clock::now() + graceTime;
        _children.push_back({pid, pidfd, killAt});
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
        std::optional<std::chrono::steady_clock::time_point> nextKill;
        fds.clear();
        if (_wakeFd >= 0) fds.push_back({_wakeFd, POLLIN, 0});
        {
            std::lock_guard lock(_mutex);
            for (const auto& child : _children) {
                if (child.pidfd >= 0)
                    fds.push_back({child.pidfd, POLLIN, 0});
                else
                    withoutPidfd = true;
                if (child.killAt && (!nextKill || *child.killAt < *nextKill)) nextKill = child.killAt;
            }
        }
        int timeout = withoutPidfd ? pollIntervalWithoutPidfdMs : -1;
        if (nextKill) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*nextKill - std::chrono::steady_clock::now());
            const int leftMs = int(std::clamp<int64_t>(left.count(), 0, 60'000));
            timeout = timeout < 0 ? leftMs : std::min(timeout, leftMs);
        }
        if (poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(pollIntervalWithoutPidfdMs));
        uint64_t count;
        if (_wakeFd >= 0 && read(_wakeFd, &count, sizeof count) < 0) {
            // Nothing new was adopted.
        }

        std::lock_guard lock(_mutex);
        const auto current = std::chrono::steady_clock::now();
        for (size_t i = 0; i < _children.size();) {
            Child& child = _children[i];
            if (child.killAt && (current >= *child.killAt || hasEnded(child.pid))) {
                killGroup(child.pid);
                child.killAt.reset();
            }
            if (tryReap(child.pid)) {
                if (child.pidfd >= 0) close(child.pidfd);
                _children[i] = _children.back();
                _children.pop_back();
            } else {
                ++i;
            }
        }
    }
}

} // namespace Tessaline
