#pragma once

#include <cstddef>
#include <functional>
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

// One worker per core the process may run on (its affinity; else the hardware's count; at least 1). No more for tasks that can be cut into pieces: every
// plane being coded holds its working set, so more workers than cores would add memory without adding speed.
unsigned defaultWorkerCount();

// Workers for `tasks` tasks that are mostly one serial pass each (a plane's arithmetic code cannot be cut): one per
// core, and one more when the tasks outnumber the cores, so that the task left over (three colour planes on two
// cores) shares the cores with the others from the start instead of running alone at the end with a core idle.
// On one core, one worker: never slower than the single-threaded program.
unsigned serialTaskWorkers(std::size_t tasks);

} // namespace nubo
