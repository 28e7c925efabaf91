#include "cli/progress_line.h"

#include "commands/wait_animation.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <unistd.h>

namespace nubo::cli {

namespace {

std::mutex wakeMutex;
std::condition_variable wake;

} // namespace

const char* ProgressLine::bar(int step) { return waitAnimationFrame(step); }

ProgressLine::ProgressLine(std::string message) : message_(std::move(message))
{
    if (::isatty(STDERR_FILENO) != 1)
        return;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        // No animation when no thread can be had; the work goes on.
    }
}

ProgressLine::~ProgressLine() { stop(); }

void ProgressLine::stop()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(wakeMutex);
        stopping_ = true;
    }
    wake.notify_all();
    thread_.join();
    if (shown_) {
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(message_.size()) + 8, "");
        std::fflush(stderr);
    }
}

void ProgressLine::run()
{
    // The first step shows after a moment, so quick work never flickers a line.
    int step = 1;
    std::unique_lock lock(wakeMutex);
    while (!wake.wait_for(lock, std::chrono::milliseconds(kWaitAnimationPeriodMs), [this] { return stopping_.load(); })) {
        std::fprintf(stderr, "\r%s %-5s", message_.c_str(), bar(step));
        std::fflush(stderr);
        shown_ = true;
        step = (step + 1) % kWaitAnimationSteps;
    }
}

} // namespace nubo::cli
