#pragma once

#include "Executor.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace Tessaline {

// A run loop of our own for hosts without an event loop (the headless terminal, tests, tools). Tasks
// run on the thread that calls run() or runUntil(); post, postAfter, cancel and stop may be called from
// any thread. Posted tasks run in posting order; timers run in deadline order, ties in posting order.
class RunLoopExecutor final : public Executor {
public:
    RunLoopExecutor() = default;
    RunLoopExecutor(const RunLoopExecutor&) = delete;
    RunLoopExecutor& operator=(const RunLoopExecutor&) = delete;
    // Tasks still queued are destroyed without running.
    ~RunLoopExecutor() override = default;

    void post(Task task) override;
    TaskId postAfter(std::chrono::nanoseconds delay, Task task) override;
    void cancel(TaskId id) override;
    Clock::time_point now() const override { return Clock::now(); }

    // Runs tasks until stop() is called.
    void run();
    // Runs tasks until the predicate holds (checked before waiting and after every task), stop() is called
    // or the timeout passes (looked at before every task, so tasks that keep posting more cannot hold it
    // past its time); answers whether the predicate held.
    bool runUntil(const std::function<bool()>& predicate, std::chrono::nanoseconds timeout);
    // Runs what is due now, including what those tasks post, without waiting; answers how many ran.
    size_t runPending();
    // Makes the running loop return after its current task. A stop that finds no loop running is kept
    // for the next one.
    void stop();

private:
    // Takes the next task that is due, moving due timers to the ready queue first. Called with _mutex held.
    bool takeDue(Task& task);

    mutable std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<Task> _ready;
    // Keyed by deadline, then id, so that equal deadlines keep posting order.
    std::map<std::pair<Clock::time_point, TaskId>, Task> _timers;
    std::unordered_map<TaskId, Clock::time_point> _timerDeadlines;
    TaskId _lastId = 0;
    bool _stopRequested = false;
};

} // namespace Tessaline
