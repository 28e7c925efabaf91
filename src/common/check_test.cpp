#include "common/check.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace nubo {
namespace {

struct LoudDestructor {
    ~LoudDestructor() { std::fputs("static destructor ran\n", stderr); }
};

using FatalDeathTest = ::testing::Test;

// fatalExit writes its message as it stands, ends with the given status, and runs no static destructor.
TEST_F(FatalDeathTest, ExitsWithStatusAndMessageOnly)
{
    EXPECT_EXIT(
        {
            static LoudDestructor loud;
            std::fputs("pending output", stdout);
            fatalExit("\n -> stopped\n", 1);
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq("\n -> stopped\n"));
    EXPECT_EXIT(fatalExit("", 3), ::testing::ExitedWithCode(3), ::testing::StrEq(""));
}

// A failed check names the file, the line, the condition and the explanation; a passing one does nothing.
TEST_F(FatalDeathTest, CheckReportsFileAndLine)
{
    int evaluations = 0;
    NUBO_CHECK(++evaluations == 1, "evaluated once");
    EXPECT_EQ(evaluations, 1);
    EXPECT_DEATH(NUBO_CHECK(evaluations > 1, "needs a second pass"),
                 "check_test\\.cpp:[0-9]+: check failed: evaluations > 1: needs a second pass");
}

} // namespace
} // namespace nubo
