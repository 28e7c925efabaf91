#include "roi/stopwatch.h"

#include <gtest/gtest.h>

#include <thread>

namespace nubo {
namespace {

void pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

// seconds() while running includes the running interval; stop freezes it; a second stop adds nothing.
TEST(Stopwatch, StopAddsTheIntervalOnce)
{
    Stopwatch watch;
    EXPECT_EQ(watch.seconds(), 0.0);
    watch.start();
    pause();
    const double running = watch.seconds();
    EXPECT_GE(running, 0.019);
    watch.stop();
    const double stopped = watch.seconds();
    EXPECT_GE(stopped, running);
    pause();
    watch.stop();
    EXPECT_EQ(watch.seconds(), stopped);
    EXPECT_FALSE(watch.running());
}

// start forgets the earlier time; reset clears it and stops.
TEST(Stopwatch, StartAndResetBeginAgain)
{
    Stopwatch watch;
    watch.start();
    pause();
    pause();
    watch.stop();
    const double first = watch.seconds();
    watch.start();
    watch.stop();
    EXPECT_LT(watch.seconds(), first);
    watch.start();
    watch.reset();
    EXPECT_FALSE(watch.running());
    EXPECT_EQ(watch.seconds(), 0.0);
}

} // namespace
} // namespace nubo
