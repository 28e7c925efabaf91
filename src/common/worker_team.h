#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace nubo {

// Runs independent tasks on up to `workers` threads (the calling thread is one of them) and returns when all have
// run. Each task writes only its own results, so the order in which they run never shows in what they produce.
// Where no thread can be started the remaining tasks run on the calling thread.
//
// The threads form a team for the length of the call: a task may hand out smaller tasks of its own with
// runTeamTasks, which the team's idle threads then take up, so that a core whose tasks are done helps a core still
// busy with a large one instead of waiting for it.
void runTasks(const std::vector<std::function<void()>>& tasks, unsigned workers);

// Runs tasks inside a task of runTasks, shared with whichever threads of its team are idle (the calling thread
// runs any not taken up and returns when all have run); outside runTasks, one after another on the calling thread.
// A thread waiting here runs only these tasks, never another of its team's, so it is back as soon as they are.
void runTeamTasks(const std::vector<std::function<void()>>& tasks);

// The threads of the calling thread's team (itself included), 1 outside runTasks: how many ways work handed to
// runTeamTasks can usefully be cut.
unsigned teamSize();

// Fewest samples worth a piece of their own in runInPieces: below this, handing a piece to another thread costs
// more than it saves.
inline constexpr std::int64_t kSamplesPerPiece = 16384;

// Runs body(first, last) over ranges covering 0 ... count - 1, where each item stands for `itemSamples` samples:
// in pieces shared with the idle threads of the caller's team (runTeamTasks), or in one piece. The pieces must
// touch disjoint data; then every item goes through the same operations however the range is cut.
template <typename Body>
void runInPieces(int count, std::int64_t itemSamples, const Body& body)
{
    const std::int64_t worth = std::int64_t{count} * itemSamples / kSamplesPerPiece;
    const int pieces = static_cast<int>(std::min<std::int64_t>({worth, std::int64_t{2} * teamSize(), count}));
    if (pieces <= 1) {
        body(0, count);
        return;
    }
    std::vector<std::function<void()>> tasks;
    tasks.reserve(static_cast<std::size_t>(pieces));
    for (int p = 0; p < pieces; ++p) {
        const int first = static_cast<int>(std::int64_t{count} * p / pieces);
        const int last = static_cast<int>(std::int64_t{count} * (p + 1) / pieces);
        tasks.emplace_back([&body, first, last] { body(first, last); });
    }
    runTeamTasks(tasks);
}

// One worker per core the process may run on (its affinity; else the hardware's count; at least 1). No more for tasks that can be cut into pieces: every
// plane being coded holds its working set, so more workers than cores would add memory without adding speed.
unsigned defaultWorkerCount();

// Workers for tasks that are mostly one serial pass each (a plane's arithmetic code cannot be cut), given their
// estimated costs: one per core, or one more when the tasks outnumber the cores and sharing the cores evenly among
// the extra worker's tasks finishes sooner than running them largest first (three equal planes on two cores; not
// a large plane with two small ones, which are better left to take turns on the core the large one leaves).
// On one core, one worker: never slower than the single-threaded program.
unsigned serialTaskWorkers(std::span<const std::int64_t> costs);

// When tasks of these costs, handed out largest first to `workers` threads that share `cores` cores evenly,
// have all finished, in units of cost.
double sharedFinishTime(std::span<const std::int64_t> costs, unsigned workers, unsigned cores);

} // namespace nubo
