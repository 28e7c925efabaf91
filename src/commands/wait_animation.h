#pragma once

namespace nubo {

// The bar both programs animate while coding runs (the desktop's wait dialog, nubo-cli's progress line on a
// terminal): one step every kWaitAnimationPeriodMs, kWaitAnimationSteps steps to a round.
inline constexpr int kWaitAnimationPeriodMs = 400;
inline constexpr int kWaitAnimationSteps = 10;

// The bar at a step counter, taken modulo the steps: "|", "||", "|||", "||||", "|||||", "||||", "|||", "||", "|",
// then " ".
inline const char* waitAnimationFrame(int step)
{
    static const char* const frames[kWaitAnimationSteps] = {"|",   "||", "|||", "||||", "|||||",
                                                            "||||", "|||", "||",  "|",    " "};
    return frames[((step % kWaitAnimationSteps) + kWaitAnimationSteps) % kWaitAnimationSteps];
}

} // namespace nubo
