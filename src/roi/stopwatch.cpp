#include "roi/stopwatch.h"

namespace nubo {

namespace {

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

void Stopwatch::reset()
{
    elapsed_ = 0.0;
    running_ = false;
}

void Stopwatch::start()
{
    running_ = true;
    start_ = Clock::now();
    elapsed_ = 0.0;
}

void Stopwatch::stop()
{
    if (!running_)
        return;
    running_ = false;
    elapsed_ += secondsSince(start_);
}

double Stopwatch::seconds() const { return running_ ? elapsed_ + secondsSince(start_) : elapsed_; }

} // namespace nubo
