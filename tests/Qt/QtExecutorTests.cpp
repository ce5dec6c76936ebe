#include "QtExecutor.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace Tessaline;

namespace {
// Processes events until the predicate holds or the timeout passes.
bool spinUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return done();
}
} // namespace

TEST(QtExecutor, PostedTasksRunInOrderOnTheGuiThreadEvenFromOtherThreads) {
    QtExecutor executor;
    std::vector<int> ran;
    std::vector<bool> onGuiThread;
    auto gui = std::this_thread::get_id();
    std::thread other([&] {
        for (int i = 0; i < 5; ++i) {
            executor.post([&, i] {
                ran.push_back(i);
                onGuiThread.push_back(std::this_thread::get_id() == gui);
            });
        }
    });
    other.join();
    ASSERT_TRUE(spinUntil([&] { return ran.size() == 5; }));
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(onGuiThread, std::vector<bool>(5, true));
}

TEST(QtExecutor, DelayedTasksRunAfterTheirDelayAndCancelledOnesNever) {
    QtExecutor executor;
    std::vector<int> ran;
    auto start = Executor::Clock::now();
    Executor::Clock::time_point ranAt{};
    executor.postAfter(std::chrono::milliseconds(30), [&] {
        ran.push_back(2);
        ranAt = Executor::Clock::now();
    });
    auto cancelled = executor.postAfter(std::chrono::milliseconds(10), [&] { ran.push_back(99); });
    executor.postAfter(std::chrono::milliseconds(1), [&] { ran.push_back(1); });
    executor.cancel(cancelled);
    executor.cancel(cancelled); // a second cancel is ignored
    ASSERT_TRUE(spinUntil([&] { return ran.size() == 2; }));
    spinUntil([] { return false; }, 40);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_GE(ranAt - start, std::chrono::milliseconds(30));
}

TEST(QtExecutor, CancelFromAnotherThreadBeforeTheTimerStarts) {
    QtExecutor executor;
    bool ran = false;
    std::thread other([&] {
        auto id = executor.postAfter(std::chrono::milliseconds(1), [&] { ran = true; });
        executor.cancel(id);
    });
    other.join();
    spinUntil([] { return false; }, 30);
    EXPECT_FALSE(ran);
}
