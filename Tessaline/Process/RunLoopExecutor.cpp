#include "RunLoopExecutor.h"

#include <algorithm>

namespace Tessaline {

void RunLoopExecutor::post(Task task) {
    {
        std::lock_guard lock(_mutex);
        _ready.push_back(std::move(task));
    }
    _wake.notify_one();
}

Executor::TaskId RunLoopExecutor::postAfter(std::chrono::nanoseconds delay, Task task) {
    const auto deadline = Clock::now() + std::max(delay, std::chrono::nanoseconds(0));
    TaskId id;
    {
        std::lock_guard lock(_mutex);
        id = ++_lastId;
        _timers.emplace(std::make_pair(deadline, id), std::move(task));
        _timerDeadlines.emplace(id, deadline);
    }
    _wake.notify_one();
    return id;
}

void RunLoopExecutor::cancel(TaskId id) {
    std::lock_guard lock(_mutex);
    auto found = _timerDeadlines.find(id);
    if (found == _timerDeadlines.end()) return;
    _timers.erase(std::make_pair(found->second, id));
    _timerDeadlines.erase(found);
}

bool RunLoopExecutor::takeDue(Task& task) {
    const auto current = Clock::now();
    while (!_timers.empty() && _timers.begin()->first.first <= current) {
        auto node = _timers.extract(_timers.begin());
        _timerDeadlines.erase(node.key().second);
        _ready.push_back(std::move(node.mapped()));
    }
    if (_ready.empty()) return false;
    task = std::move(_ready.front());
    _ready.pop_front();
    return true;
}

void RunLoopExecutor::run() {
    runUntil([] { return false; }, std::chrono::nanoseconds::max());
}

bool RunLoopExecutor::runUntil(const std::function<bool()>& predicate, std::chrono::nanoseconds timeout) {
    // A timeout too large for the clock means "no time limit".
    const auto start = Clock::now();
    const bool bounded = timeout < Clock::time_point::max() - start;
    const auto limit = bounded ? start + timeout : Clock::time_point::max();
    for (;;) {
        if (predicate()) return true;
        Task task;
        {
            std::unique_lock lock(_mutex);
            for (;;) {
                if (_stopRequested) {
                    _stopRequested = false;
                    lock.unlock();
                    return predicate();
                }
                // Before taking a task: a loop whose tasks keep posting more still ends on time.
                if (Clock::now() >= limit) {
                    lock.unlock();
                    return predicate();
                }
                if (takeDue(task)) break;
                auto wakeAt = limit;
                if (!_timers.empty()) wakeAt = std::min(wakeAt, _timers.begin()->first.first);
                if (wakeAt == Clock::time_point::max())
                    _wake.wait(lock);
                else
                    _wake.wait_until(lock, wakeAt);
            }
        }
        task();
    }
}

size_t RunLoopExecutor::runPending() {
    size_t count = 0;
    for (;;) {
        Task task;
        {
            std::unique_lock lock(_mutex);
            if (!takeDue(task)) return count;
        }
        task();
        ++count;
    }
}

void RunLoopExecutor::stop() {
    {
        std::lock_guard lock(_mutex);
        _stopRequested = true;
    }
    _wake.notify_one();
}

} // namespace Tessaline
