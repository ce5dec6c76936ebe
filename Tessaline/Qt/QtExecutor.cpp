#include "QtExecutor.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace Tessaline {

QtExecutor::QtExecutor(QObject* parent) : QObject(parent) {}

QtExecutor::~QtExecutor() = default;

QtExecutor& QtExecutor::main() {
    // Parented to the application so it goes with it; tasks still queued then never run.
    static QtExecutor* executor = [] {
        auto* e = new QtExecutor();
        if (auto* app = QCoreApplication::instance()) {
            e->moveToThread(app->thread());
            e->setParent(app);
        }
        return e;
    }();
    return *executor;
}

void QtExecutor::post(Task task) {
    QMetaObject::invokeMethod(this, [task = std::move(task)] { task(); }, Qt::QueuedConnection);
}

Executor::TaskId QtExecutor::postAfter(std::chrono::nanoseconds delay, Task task) {
    TaskId id;
    {
        std::lock_guard lock(_mutex);
        id = ++_lastId;
        _timed.emplace(id, std::move(task));
    }
    if (QThread::currentThread() == thread()) {
        startTimer(id, delay);
    } else {
        QMetaObject::invokeMethod(this, [this, id, delay] { startTimer(id, delay); }, Qt::QueuedConnection);
    }
    return id;
}

void QtExecutor::startTimer(TaskId id, std::chrono::nanoseconds delay) {
    {
        std::lock_guard lock(_mutex);
        if (!_timed.contains(id)) return; // cancelled before the timer started
    }
    auto* timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    // Qt timers count whole milliseconds; round up so a task never runs before its delay has passed.
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(delay);
    timer->setInterval(std::chrono::milliseconds(std::max<int64_t>(0, ms.count())));
    connect(timer, &QTimer::timeout, this, [this, id, timer] {
        Task task;
        {
            std::lock_guard lock(_mutex);
            auto it = _timed.find(id);
            if (it != _timed.end()) {
                task = std::move(it->second);
                _timed.erase(it);
            }
            _timers.erase(id);
        }
        timer->deleteLater();
        if (task) task();
    });
    {
        std::lock_guard lock(_mutex);
        _timers.emplace(id, timer);
    }
    timer->start();
}

void QtExecutor::cancel(TaskId id) {
    QTimer* timer = nullptr;
    {
        std::lock_guard lock(_mutex);
        _timed.erase(id);
        if (auto it = _timers.find(id); it != _timers.end()) {
            timer = it->second;
            _timers.erase(it);
        }
    }
    if (!timer) return;
    if (QThread::currentThread() == thread()) {
        timer->stop();
        timer->deleteLater();
    } else {
        QMetaObject::invokeMethod(timer, [timer] { timer->stop(); timer->deleteLater(); }, Qt::QueuedConnection);
    }
}

} // namespace Tessaline
