#pragma once

#include <functional>

namespace nubo {

// Runs `work` between the start and the stop of a stopwatch and returns the seconds it took. Every coding
// command is timed this way: around the whole worker, so the desktop's wait and nubo-cli's progress line count
// as the user sees them.
double secondsToRun(const std::function<void()>& work);

} // namespace nubo
