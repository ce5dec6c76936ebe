#include "ManualExecutor.h"
#include "RunLoopExecutor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace Tessaline;
using namespace std::chrono_literals;

TEST(RunLoopExecutor, RunsPostsInOrderAndTimersByDeadline) {
    RunLoopExecutor executor;
    std::string posts;
    std::string timers;
    executor.postAfter(20ms, [&] { timers += "late "; });
    executor.postAfter(1ms, [&] { timers += "early "; });
    const auto cancelled = executor.postAfter(1ms, [&] { timers += "cancelled "; });
    executor.postAfter(1ms, [&] { timers += "tie "; });
    executor.post([&] {
        posts += "first ";
        executor.post([&] { posts += "nested "; });
    });
    executor.post([&] { posts += "second "; });
    executor.cancel(cancelled);
    executor.cancel(cancelled);
    executor.cancel(12345);

    EXPECT_TRUE(executor.runUntil([&] { return timers.find("late") != std::string::npos; }, 30s));
    EXPECT_EQ(posts, "first second nested ");
    EXPECT_EQ(timers, "early tie late ");
}

TEST(RunLoopExecutor, TakesPostsFromOtherThreadsAndStops) {
    RunLoopExecutor executor;
    constexpr int perThread = 1000;
    std::vector<std::vector<int>> seen(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i)
                executor.post([&, t, i] { seen[size_t(t)].push_back(i); });
        });
    std::thread stopper([&] {
        for (auto& thread : threads)
            thread.join();
        executor.post([&] { executor.stop(); });
    });
    executor.run();
    stopper.join();
    for (const auto& list : seen) {
        ASSERT_EQ(list.size(), size_t(perThread));
        for (int i = 0; i < perThread; ++i)
            ASSERT_EQ(list[size_t(i)], i) << "posts of one thread run in posting order";
    }
}

TEST(RunLoopExecutor, RunUntilTimesOutAndKeepsAnEarlyStop) {
    RunLoopExecutor executor;
    bool ran = false;
    executor.postAfter(1h, [&] { ran = true; });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(executor.runUntil([] { return false; }, 10ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 10ms);
    EXPECT_FALSE(ran);

    // A stop with no loop running ends the next loop at once.
    executor.stop();
    executor.run();
    EXPECT_EQ(executor.runPending(), 0u);
}

TEST(RunLoopExecutor, RunUntilEndsWhileTasksKeepPostingMore) {
    RunLoopExecutor executor;
    int ran = 0;
    std::function<void()> repost = [&] {
        ++ran;
        executor.post(repost);
    };
    executor.post(repost);
    EXPECT_FALSE(executor.runUntil([] { return false; }, 20ms));
    EXPECT_GT(ran, 0);
}

TEST(ManualExecutor, RunsTimersOnlyWhenTheClockReachesThem) {
    ManualExecutor executor;
    const auto start = executor.now();
    std::vector<std::string> log;
    executor.postAfter(5ms,
                       [&] { log.push_back("5ms at " + std::to_string((executor.now() - start) / 1ms)); });
    executor.postAfter(2ms, [&] {
        log.push_back("2ms");
        executor.postAfter(1ms, [&] { log.push_back("3ms"); });
    });
    executor.post([&] { log.push_back("posted"); });

    EXPECT_EQ(executor.queuedCount(), 1u);
    EXPECT_EQ(executor.timerCount(), 2u);
    EXPECT_EQ(executor.runDue(), 1u);
    executor.advanceClock(2ms);
    EXPECT_EQ(executor.queuedCount(), 1u) << "due, not run until asked";
    executor.advance(10ms);
    EXPECT_EQ(log, (std::vector<std::string>{"posted", "2ms", "3ms", "5ms at 5"}));
    EXPECT_EQ(executor.now() - start, 12ms);
}
