#include "roi/task_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

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
    if (std::thread::hardware_concurrency() > 0) {
        EXPECT_EQ(defaultWorkerCount(), std::thread::hardware_concurrency());
    }
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
