#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace nubo::cli {

// While long work runs, shows the message and the wait dialog's bar animation ("|" ... "|||||", one step every
// 400 ms) on standard error, and only when standard error is a terminal, so that nothing reaches pipes, files or
// standard output. The line is erased when the object is destroyed or stop() is called.
class ProgressLine {
public:
    explicit ProgressLine(std::string message);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void stop();

    // The animation text for a step counter 0 ... 9.
    static const char* bar(int step);

private:
    void run();

    std::string message_;
    std::atomic<bool> stopping_{false};
    bool shown_ = false; // written by the animation thread only, read after joining it
    std::thread thread_;
};

} // namespace nubo::cli
