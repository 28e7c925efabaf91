#pragma once

#include "common/worker_team.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace nubo {

// A task of the stream encoder or decoder, with an estimate of its work: the pixels it codes, or for a plane
// decoder planeDecodeCost.
struct SizedTask {
    std::int64_t cost = 0;
    std::function<void()> run;
};

// The estimated work of decoding one wavelet plane of `pixels` pixels from `streamBytes` code bytes, in pixels:
// the transform and the passes take time by the pixel, the arithmetic decoder by the byte, one byte about as long
// as kPixelsPerCodeByte pixels (measured on 2-megapixel planes at 50 to 160 KB).
inline constexpr std::int64_t kPixelsPerCodeByte = 25;
inline std::int64_t planeDecodeCost(std::int64_t pixels, std::int64_t streamBytes)
{
    return pixels + kPixelsPerCodeByte * streamBytes;
}

// Runs the tasks the largest first (equal sizes in the order given), so that the cores stay busy to the end, on
// `workers` workers, by default (0) serialTaskWorkers() for their costs (each task codes or decodes one serial
// stream), or as the schedule below says.
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
