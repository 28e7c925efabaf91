#pragma once

#include "common/worker_team.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace nubo {

// A task of the stream encoder or decoder, with the pixels it codes.
struct SizedTask {
    std::int64_t pixels = 0;
    std::function<void()> run;
};

// Runs the tasks the largest first (equal sizes in the order given), so that the cores stay busy to the end, on
// `workers` workers, by default (0) serialTaskWorkers() (each task codes or decodes one serial stream), or as the
// schedule below says.
void runLargestFirst(std::vector<SizedTask> tasks, unsigned workers = 0);

// How runLargestFirst schedules. The coded bytes must not depend on it; tests change it to show that they do not.
struct TaskSchedule {
    unsigned workers = 0;        // 0: as the caller asks
    bool shuffled = false;       // run in an order drawn from `seed` instead of the largest first
    std::uint32_t seed = 0;
};
void setTaskSchedule(const TaskSchedule& schedule);
TaskSchedule taskSchedule();

} // namespace nubo
