#include "roi/task_pool.h"

#include <algorithm>
#include <mutex>
#include <random>

namespace nubo {

namespace {

std::mutex scheduleMutex;
TaskSchedule schedule;

} // namespace

void setTaskSchedule(const TaskSchedule& next)
{
    std::lock_guard lock(scheduleMutex);
    schedule = next;
}

TaskSchedule taskSchedule()
{
    std::lock_guard lock(scheduleMutex);
    return schedule;
}

void runLargestFirst(std::vector<SizedTask> tasks, unsigned workers)
{
    const TaskSchedule chosen = taskSchedule();
    if (chosen.shuffled) {
        std::mt19937 random(chosen.seed);
        std::shuffle(tasks.begin(), tasks.end(), random);
    } else {
        std::stable_sort(tasks.begin(), tasks.end(),
                         [](const SizedTask& a, const SizedTask& b) { return a.cost > b.cost; });
    }
    std::vector<std::function<void()>> runs;
    std::vector<std::int64_t> costs;
    runs.reserve(tasks.size());
    costs.reserve(tasks.size());
    for (SizedTask& task : tasks) {
        runs.push_back(std::move(task.run));
        costs.push_back(task.cost);
    }
    if (workers == 0)
        workers = serialTaskWorkers(costs);
    runTasks(runs, chosen.workers > 0 ? chosen.workers : workers);
}

} // namespace nubo
