#include "PtyWriter.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

namespace Tessaline {

PtyWriter::PtyWriter(int fd, size_t maxQueued, Completion completion)
    : _fd(fd)
    , _maxQueued(maxQueued)
    , _completion(std::move(completion))
    , _wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (_wakeFd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    try {
        _thread = std::thread([this] { loop(); });
    } catch (...) {
        close(_wakeFd);
        throw;
    }
}

PtyWriter::~PtyWriter() {
    stop();
    close(_wakeFd);
}

size_t PtyWriter::enqueue(int64_t number, std::span<const uint8_t> bytes) {
    size_t taken = 0;
    {
        std::lock_guard lock(_mutex);
        if (_stopping) return 0;
        taken = std::min(bytes.size(), _maxQueued - std::min(_maxQueued, _queuedBytes));
        if (taken == 0) return 0;
        _queue.emplace_back(number, std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(taken)));
        _queuedBytes += taken;
    }
    _wake.notify_one();
    return taken;
}

size_t PtyWriter::stop() {
    {
        std::lock_guard lock(_mutex);
        if (_stopped) return 0;
        _stopping = true;
        _queue.clear();
    }
    _wake.notify_one();
    // Never read back: once set, every later poll of the writer sees it.
    const uint64_t one = 1;
    if (write(_wakeFd, &one, sizeof one) < 0) {
        // Already set.
    }
    if (_thread.joinable()) _thread.join();
    std::lock_guard lock(_mutex);
    _stopped = true;
    // What the thread did not write: the cleared queue and the rest of the chunk it was writing.
    return std::exchange(_queuedBytes, 0);
}

void PtyWriter::loop() {
    pthread_setname_np(pthread_self(), "pty-writer");
    for (;;) {
        std::pair<int64_t, std::vector<uint8_t>> chunk;
        {
            std::unique_lock lock(_mutex);
            _wake.wait(lock, [this] { return _stopping || !_queue.empty(); });
            if (_stopping) return;
            chunk = std::move(_queue.front());
            _queue.pop_front();
        }
        size_t done = 0;
        const int error = writeAll(chunk.second, done);
        {
            std::lock_guard lock(_mutex);
            _queuedBytes -= error < 0 ? done : chunk.second.size();
        }
        if (error < 0) return;
        _completion(chunk.first, chunk.second.size(), error);
    }
}

int PtyWriter::writeAll(const std::vector<uint8_t>& bytes, size_t& done) {
    while (done < bytes.size()) {
        const ssize_t written = write(_fd, bytes.data() + done, bytes.size() - done);
        if (written > 0) {
            done += size_t(written);
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && errno != EAGAIN) return errno;
        // The program is not reading (or its output is stopped): wait until it takes more, or until we
        // are stopped.
        pollfd fds[2] = {{_fd, POLLOUT, 0}, {_wakeFd, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return errno;
        if (fds[1].revents & POLLIN) return -1;
        if (fds[0].revents & POLLNVAL) return EBADF;
    }
    return 0;
}

} // namespace Tessaline
