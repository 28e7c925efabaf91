#include "roi/task_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#if defined(__linux__)
#include <sched.h>
#endif

namespace nubo {
namespace {

// Every task runs exactly once, whatever the number of workers, also with more workers than tasks and none.
TEST(TaskPool, RunsEveryTaskOnce)
{
    for (unsigned workers : {0u, 1u, 3u, 16u}) {
        std::vector<int> runs(50, 0);
        std::vector<std::function<void()>> tasks;
        for (std::size_t i = 0; i < runs.size(); ++i)
            tasks.push_back([&runs, i] { ++runs[i]; });
        runTasks(tasks, workers);
        for (int count : runs)
            EXPECT_EQ(count, 1);
    }
    runTasks({}, 4);
    EXPECT_GE(defaultWorkerCount(), 1u);
}

#if defined(__linux__)
// Workers follow the cores the process may run on: pinned to one core, one worker whatever the tasks, so a pinned
// run is the single-threaded program; on several, one per core and one more for serial tasks that outnumber them.
TEST(TaskPool, WorkersFollowTheAllowedCores)
{
    cpu_set_t original;
    ASSERT_EQ(sched_getaffinity(0, sizeof original, &original), 0);
    const unsigned allowed = static_cast<unsigned>(CPU_COUNT(&original));
    EXPECT_EQ(defaultWorkerCount(), allowed);
    const std::vector<std::int64_t> asMany(allowed, 100);
    const std::vector<std::int64_t> oneMore(allowed + 1, 100);
    EXPECT_EQ(serialTaskWorkers(asMany), allowed);
    EXPECT_EQ(serialTaskWorkers(oneMore), allowed > 1 ? allowed + 1 : 1u);

    int first = 0;
    while (!CPU_ISSET(first, &original))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(defaultWorkerCount(), 1u);
    EXPECT_EQ(serialTaskWorkers(std::vector<std::int64_t>{100, 100, 100}), 1u);
    ASSERT_EQ(sched_setaffinity(0, sizeof original, &original), 0);
}
#endif

// The extra worker shares the cores among tasks of equal cost, which no order of them balances; a large task
// with small ones finishes sooner on a core of its own while the small ones take turns on the other, and four
// equal tasks on two cores sooner two after two.
TEST(TaskPool, SharedFinishTimes)
{
    const std::vector<std::int64_t> equal{100, 100, 100};
    EXPECT_DOUBLE_EQ(sharedFinishTime(equal, 2, 2), 200.0);
    EXPECT_DOUBLE_EQ(sharedFinishTime(equal, 3, 2), 150.0);
    const std::vector<std::int64_t> lumaAndChroma{38, 72, 48}; // a colour record's planes
    EXPECT_DOUBLE_EQ(sharedFinishTime(lumaAndChroma, 2, 2), 86.0);
    EXPECT_DOUBLE_EQ(sharedFinishTime(lumaAndChroma, 3, 2), 91.0);
    const std::vector<std::int64_t> four(4, 100);
    EXPECT_DOUBLE_EQ(sharedFinishTime(four, 2, 2), 200.0);
    EXPECT_DOUBLE_EQ(sharedFinishTime(four, 3, 2), 250.0);
    EXPECT_DOUBLE_EQ(sharedFinishTime(std::vector<std::int64_t>{}, 2, 2), 0.0);
    EXPECT_DOUBLE_EQ(sharedFinishTime(std::vector<std::int64_t>{0, -5, 30}, 1, 1), 30.0);
}

// Tasks handed out from inside a task are taken up by an idle thread of the team: two that each wait for the
// other to start finish only when they run at once. Nested hand-outs run every task once, outside a team in turn,
// and a task's exception reaches the caller after the others have run.
TEST(TaskPool, TeamTasksAreSharedWithIdleThreads)
{
    std::atomic<int> started{0};
    bool together = true;
    const auto waitForBoth = [&started, &together] {
        ++started;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (started.load() < 2) {
            if (std::chrono::steady_clock::now() > deadline) {
                together = false;
                return;
            }
            std::this_thread::yield();
        }
    };
    std::vector<std::function<void()>> pair{waitForBoth, waitForBoth};
    runTasks({[&pair] { runTeamTasks(pair); }}, 2);
    EXPECT_TRUE(together);
    EXPECT_EQ(teamSize(), 1u);

    std::vector<std::atomic<int>> runs(64);
    std::vector<std::function<void()>> outer;
    for (int i = 0; i < 8; ++i) {
        outer.push_back([&runs, i] {
            EXPECT_EQ(teamSize(), 3u);
            std::vector<std::function<void()>> inner;
            for (int j = 0; j < 8; ++j)
                inner.push_back([&runs, i, j] { ++runs[static_cast<std::size_t>(8 * i + j)]; });
            runTeamTasks(inner);
        });
    }
    runTasks(outer, 3);
    for (const std::atomic<int>& count : runs)
        EXPECT_EQ(count.load(), 1);

    std::vector<int> order;
    runTeamTasks({[&order] { order.push_back(0); }, [&order] { order.push_back(1); }});
    EXPECT_EQ(order, (std::vector<int>{0, 1}));

    std::atomic<int> finished{0};
    std::vector<std::function<void()>> throwing{[] { throw std::runtime_error("task failed"); },
                                                [&finished] { ++finished; }, [&finished] { ++finished; }};
    EXPECT_THROW(runTasks({[&throwing] { runTeamTasks(throwing); }}, 2), std::runtime_error);
    EXPECT_EQ(finished.load(), 2);
}

// With one worker the tasks run largest first, equal sizes in the order given; a shuffled schedule runs every task
// once in another order.
TEST(TaskPool, LargestFirstAndShuffledSchedules)
{
    const auto runOrder = [](const TaskSchedule& schedule) {
        setTaskSchedule(schedule);
        std::vector<int> order;
        std::vector<SizedTask> tasks;
        const std::int64_t sizes[] = {5, 9, 5, 1, 9, 7, 3, 8, 2, 6};
        for (int i = 0; i < 10; ++i)
            tasks.push_back({sizes[i], [&order, i] { order.push_back(i); }});
        runLargestFirst(std::move(tasks));
        setTaskSchedule({});
        return order;
    };
    EXPECT_EQ(runOrder({1, false, 0}), (std::vector<int>{1, 4, 7, 5, 9, 0, 2, 6, 8, 3}));
    const std::vector<int> shuffled = runOrder({1, true, 7});
    std::vector<int> sorted = shuffled;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_NE(shuffled, runOrder({1, false, 0}));
    EXPECT_EQ(taskSchedule().workers, 0u);
}

} // namespace
} // namespace nubo
