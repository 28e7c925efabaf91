#include "roi/task_pool.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>

namespace nubo {

void runTasks(const std::vector<std::function<void()>>& tasks, unsigned workers)
{
    std::atomic<std::size_t> next{0};
    const auto work = [&tasks, &next] {
        for (std::size_t i = next++; i < tasks.size(); i = next++)
            tasks[i]();
    };
    std::vector<std::thread> threads;
    const std::size_t extra = workers > 1 ? std::min<std::size_t>(workers - 1, tasks.size() > 0 ? tasks.size() - 1 : 0)
                                          : 0;
    for (std::size_t i = 0; i < extra; ++i) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& thread : threads)
        thread.join();
}

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

void runLargestFirst(std::vector<SizedTask> tasks)
{
    const TaskSchedule chosen = taskSchedule();
    if (chosen.shuffled) {
        std::mt19937 random(chosen.seed);
        std::shuffle(tasks.begin(), tasks.end(), random);
    } else {
        std::stable_sort(tasks.begin(), tasks.end(),
                         [](const SizedTask& a, const SizedTask& b) { return a.pixels > b.pixels; });
    }
    std::vector<std::function<void()>> runs;
    runs.reserve(tasks.size());
    for (SizedTask& task : tasks)
        runs.push_back(std::move(task.run));
    runTasks(runs, chosen.workers > 0 ? chosen.workers : defaultWorkerCount());
}

unsigned defaultWorkerCount()
{
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Under a fuzzer every task runs on the calling thread: an input then always takes the same path (libFuzzer
    // needs repeatable coverage) and no time goes into starting threads. The sanitizer builds test the threads.
    return 1;
#else
    const unsigned cores = std::thread::hardware_concurrency();
    return cores < 1 ? 1 : cores;
#endif
}

} // namespace nubo
