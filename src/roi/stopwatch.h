#pragma once

#include <chrono>

namespace nubo {

// Times a command on the monotonic clock. Intervals between start and stop accumulate in seconds.
class Stopwatch {
public:
    void reset();
    // Starts a new interval and forgets the time accumulated before.
    void start();
    // Adds the running interval once; a stopped stopwatch ignores further stops.
    void stop();
    // The accumulated time, plus the running interval when running.
    double seconds() const;
    bool running() const { return running_; }

private:
    using Clock = std::chrono::steady_clock;
    Clock::time_point start_{};
    double elapsed_ = 0.0;
    bool running_ = false;
};

} // namespace nubo
