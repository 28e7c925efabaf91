#include "roi/task_pool.h"

#include <algorithm>
#include <atomic>
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

unsigned defaultWorkerCount()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores < 3 ? 3 : cores;
}

} // namespace nubo
