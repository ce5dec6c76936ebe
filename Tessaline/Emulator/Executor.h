#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace Tessaline {

// Where time and threads reach the engine. The host implements it: the Qt view on its event loop, the
// headless terminal and tests on a run loop of their own (with a manual clock in tests). Tasks run on
// the executor's one thread, the thread that feeds the terminal.
class Executor {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;
    // 0 is never a valid id.
    using TaskId = uint64_t;

    virtual ~Executor() = default;

    // Runs the task soon on the executor's thread. Safe to call from any thread.
    virtual void post(Task task) = 0;
    // Runs the task once the delay has passed on the executor's clock. Safe to call from any thread.
    virtual TaskId postAfter(std::chrono::nanoseconds delay, Task task) = 0;
    // A cancelled task never runs; an id that already ran or was cancelled is ignored.
    virtual void cancel(TaskId id) = 0;
    // The executor's clock (a manual one in tests).
    virtual Clock::time_point now() const = 0;
};

} // namespace Tessaline
