#pragma once

#include "Executor.h"

#include <QObject>

#include <mutex>
#include <unordered_map>

class QTimer;

namespace Tessaline {

// The engine's executor on a Qt event loop: tasks run on the thread the executor was made on (the GUI
// thread), posted from any thread through queued invocations, delayed ones on single-shot timers.
class QtExecutor final : public QObject, public Executor {
    Q_OBJECT
public:
    explicit QtExecutor(QObject* parent = nullptr);
    ~QtExecutor() override;

    void post(Task task) override;
    TaskId postAfter(std::chrono::nanoseconds delay, Task task) override;
    void cancel(TaskId id) override;
    Clock::time_point now() const override { return Clock::now(); }

    // The executor of the GUI thread, made on first use.
    static QtExecutor& main();

private:
    void startTimer(TaskId id, std::chrono::nanoseconds delay);

    std::mutex _mutex;
    std::unordered_map<TaskId, Task> _timed;
    std::unordered_map<TaskId, QTimer*> _timers;
    TaskId _lastId = 0;
};

} // namespace Tessaline
