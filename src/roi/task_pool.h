#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace nubo {

// Runs independent tasks on up to `workers` threads (the calling thread is one of them) and returns when all have
// run. Each task writes only its own results, so the order in which they run never shows in what they produce.
// Where no thread can be started the remaining tasks run on the calling thread.
void runTasks(const std::vector<std::function<void()>>& tasks, unsigned workers);

// One worker per core (the hardware's count, at least 1). No more: every plane being coded holds its working set,
// so more workers than cores would add memory without adding speed.
unsigned defaultWorkerCount();

// A task of the stream encoder or decoder, with the pixels it codes.
struct SizedTask {
    std::int64_t pixels = 0;
    std::function<void()> run;
};

// Runs the tasks the largest first (equal sizes in the order given), so that the cores stay busy to the end, on
// defaultWorkerCount() workers, or as the schedule below says.
void runLargestFirst(std::vector<SizedTask> tasks);

// How runLargestFirst schedules. The coded bytes must not depend on it; tests change it to show that they do not.
struct TaskSchedule {
    unsigned workers = 0;        // 0: defaultWorkerCount()
    bool shuffled = false;       // run in an order drawn from `seed` instead of the largest first
    std::uint32_t seed = 0;
};
void setTaskSchedule(const TaskSchedule& schedule);
TaskSchedule taskSchedule();

} // namespace nubo
