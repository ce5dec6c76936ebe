#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <span>
#include <thread>
#include <utility>
#include <vector>

namespace Tessaline {

// Writes chunks to a non-blocking descriptor, whole and in order, on a thread of its own: the caller
// never waits for the program on the other side to read.
class PtyWriter {
public:
    // Runs on the writer's thread after each chunk: its number, its size, and 0 or the errno that stopped
    // it (the rest of that chunk is lost; later chunks are still tried).
    using Completion = std::function<void(int64_t number, size_t size, int error)>;

    // Starts the thread; throws std::system_error when it cannot. The descriptor stays the caller's and
    // must outlive stop(). At most maxQueued bytes wait to be written.
    PtyWriter(int fd, size_t maxQueued, Completion completion);
    PtyWriter(const PtyWriter&) = delete;
    PtyWriter& operator=(const PtyWriter&) = delete;
    ~PtyWriter();

    // Queues as many of the bytes as fit under the bound, in front, and answers how many.
    size_t enqueue(int64_t number, std::span<const uint8_t> bytes);
    // Drops what is not written yet and waits for the thread to end; no completion runs afterwards.
    // Answers how many bytes were dropped (the first call only).
    size_t stop();

private:
    void loop();
    // Answers 0 once written, the errno of a failure, or -1 when stopped.
    int writeAll(const std::vector<uint8_t>& bytes, size_t& done);

    const int _fd;
    const size_t _maxQueued;
    const Completion _completion;
    int _wakeFd = -1;
    std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<std::pair<int64_t, std::vector<uint8_t>>> _queue;
    // Queued bytes and the unwritten rest of the chunk being written.
    size_t _queuedBytes = 0;
    bool _stopping = false;
    bool _stopped = false;
    std::thread _thread;
};

} // namespace Tessaline
