#include "ManualExecutor.h"

#include <algorithm>

namespace Tessaline {

void ManualExecutor::post(Task task) {
    std::lock_guard lock(_mutex);
    _ready.push_back(std::move(task));
}

Executor::TaskId ManualExecutor::postAfter(std::chrono::nanoseconds delay, Task task) {
    std::lock_guard lock(_mutex);
    const auto deadline = _now + std::max(delay, std::chrono::nanoseconds(0));
    const TaskId id = ++_lastId;
    _timers.emplace(std::make_pair(deadline, id), std::move(task));
    _timerDeadlines.emplace(id, deadline);
    return id;
}

void ManualExecutor::cancel(TaskId id) {
    std::lock_guard lock(_mutex);
    auto found = _timerDeadlines.find(id);
    if (found == _timerDeadlines.end()) return;
    _timers.erase(std::make_pair(found->second, id));
    _timerDeadlines.erase(found);
}

Executor::Clock::time_point ManualExecutor::now() const {
    std::lock_guard lock(_mutex);
    return _now;
}

void ManualExecutor::advanceClock(std::chrono::nanoseconds delta) {
    std::lock_guard lock(_mutex);
    _now += delta;
}

void ManualExecutor::moveDueTimers() {
    while (!_timers.empty() && _timers.begin()->first.first <= _now) {
        auto node = _timers.extract(_timers.begin());
        _timerDeadlines.erase(node.key().second);
        _ready.push_back(std::move(node.mapped()));
    }
}

bool ManualExecutor::runOne() {
    Task task;
    {
        std::lock_guard lock(_mutex);
        moveDueTimers();
        if (_ready.empty()) return false;
        task = std::move(_ready.front());
        _ready.pop_front();
    }
    task();
    return true;
}

size_t ManualExecutor::runDue() {
    size_t count = 0;
    while (runOne())
        ++count;
    return count;
}

void ManualExecutor::advance(std::chrono::nanoseconds delta) {
    Clock::time_point target;
    {
        std::lock_guard lock(_mutex);
        target = _now + delta;
    }
    for (;;) {
        runDue();
        std::lock_guard lock(_mutex);
        if (_timers.empty() || _timers.begin()->first.first > target) {
            _now = std::max(_now, target);
            break;
        }
        _now = std::max(_now, _timers.begin()->first.first);
    }
    runDue();
}

size_t ManualExecutor::queuedCount() const {
    std::lock_guard lock(_mutex);
    size_t due = 0;
    for (const auto& [key, task] : _timers)
        if (key.first <= _now) ++due;
    return _ready.size() + due;
}

size_t ManualExecutor::timerCount() const {
    std::lock_guard lock(_mutex);
    size_t later = 0;
    for (const auto& [key, task] : _timers)
        if (key.first > _now) ++later;
    return later;
}

} // namespace Tessaline
