#pragma once

#include "Executor.h"

#include <deque>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace Tessaline {

// An executor on a clock that moves only when the test says so. Nothing runs until the test asks, on
// the test's thread; post and postAfter may come from any thread (a reader thread, for instance).
class ManualExecutor final : public Executor {
public:
    void post(Task task) override;
    TaskId postAfter(std::chrono::nanoseconds delay, Task task) override;
    void cancel(TaskId id) override;
    Clock::time_point now() const override;

    // Moves the clock without running anything: a task that "takes" time calls this.
    void advanceClock(std::chrono::nanoseconds delta);
    // Moves the clock forward by delta, stopping at each timer's deadline to run what is due there.
    void advance(std::chrono::nanoseconds delta);
    // Runs the next due task (posted tasks first, in order, then timers due by now); false when none.
    bool runOne();
    // Runs due tasks, including the ones they post, until none is left; answers how many ran.
    size_t runDue();

    // Tasks posted and not yet run, plus timers already due.
    size_t queuedCount() const;
    // Timers not yet due.
    size_t timerCount() const;

private:
    void moveDueTimers();

    mutable std::mutex _mutex;
    Clock::time_point _now{std::chrono::hours(1)};
    std::deque<Task> _ready;
    std::map<std::pair<Clock::time_point, TaskId>, Task> _timers;
    std::unordered_map<TaskId, Clock::time_point> _timerDeadlines;
    TaskId _lastId = 0;
};

} // namespace Tessaline
