#include "commands/timed_run.h"
#include "commands/wait_animation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace nubo {
namespace {

// The bar grows to five strokes, shrinks back, rests one step blank, and repeats for any step counter.
TEST(WaitAnimation, FramesRepeatEveryTenSteps)
{
    const char* const expected[] = {"|", "||", "|||", "||||", "|||||", "||||", "|||", "||", "|", " "};
    for (int step = 0; step < kWaitAnimationSteps; ++step) {
        EXPECT_EQ(std::string(waitAnimationFrame(step)), expected[step]);
        EXPECT_EQ(std::string(waitAnimationFrame(step + 3 * kWaitAnimationSteps)), expected[step]);
        EXPECT_EQ(std::string(waitAnimationFrame(step - kWaitAnimationSteps)), expected[step]);
    }
}

// The time of a run covers the work and returns once it has ended.
TEST(TimedRun, CoversTheWork)
{
    bool ran = false;
    const double seconds = secondsToRun([&ran] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ran = true;
    });
    EXPECT_TRUE(ran);
    EXPECT_GE(seconds, 0.029);
    EXPECT_LT(seconds, 30.0);
}

} // namespace
} // namespace nubo
