#pragma once

#include <functional>
#include <vector>

namespace nubo {

// Runs independent tasks on up to `workers` threads (the calling thread is one of them) and returns when all have
// run. Each task writes only its own results, so the order in which they run never shows in what they produce.
// Where no thread can be started the remaining tasks run on the calling thread.
void runTasks(const std::vector<std::function<void()>>& tasks, unsigned workers);

// The number of workers that keeps every core busy: the hardware's count, and at least 3, so that the three colour
// planes of the largest record share the cores evenly rather than leaving one plane to run alone at the end.
unsigned defaultWorkerCount();

} // namespace nubo
