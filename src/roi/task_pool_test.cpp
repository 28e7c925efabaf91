#include "roi/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>

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
    EXPECT_GE(defaultWorkerCount(), 3u);
}

} // namespace
} // namespace nubo
