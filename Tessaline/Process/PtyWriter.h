#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
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
    // must outlive stop().
    PtyWriter(int fd, Completion completion);
    PtyWriter(const PtyWriter&) = delete;
    PtyWriter& operator=(const PtyWriter&) = delete;
    ~PtyWriter();

    void enqueue(int64_t number, std::vector<uint8_t> bytes);
    // Drops what is not written yet and waits for the thread to end; no completion runs afterwards.
    void stop();

private:
    void loop();
    // Answers 0 once written, the errno of a failure, or -1 when stopped.
    int writeAll(const std::vector<uint8_t>& bytes);

    const int _fd;
    const Completion _completion;
    int _wakeFd = -1;
    std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<std::pair<int64_t, std::vector<uint8_t>>> _queue;
    bool _stopping = false;
    std::thread _thread;
};

} // namespace Tessaline
