#include "commands/timed_run.h"

#include "roi/stopwatch.h"

namespace nubo {

double secondsToRun(const std::function<void()>& work)
{
    Stopwatch stopwatch;
    stopwatch.reset();
    stopwatch.start();
    work();
    stopwatch.stop();
    return stopwatch.seconds();
}

} // namespace nubo
