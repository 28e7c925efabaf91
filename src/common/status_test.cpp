#include "common/status.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace nubo {
namespace {

Status checkedHalf(int value, int& half)
{
    if (value % 2 != 0)
        return failure("odd value " + std::to_string(value));
    half = value / 2;
    return {};
}

// Adds the reason of the first failing step to the caller's context, and stops at it.
Status halveTwice(int value, int& result)
{
    int half = 0;
    NUBO_RETURN_IF_ERROR(checkedHalf(value, half).withContext("first halving"));
    NUBO_RETURN_IF_ERROR(checkedHalf(half, result).withContext("second halving"));
    return {};
}

StatusOr<std::unique_ptr<int>> boxed(int value)
{
    if (value < 0)
        return failure("negative");
    return std::make_unique<int>(value);
}

// A default status is success with no reason; a failure keeps its reason, and context goes in front of it.
TEST(Status, SuccessFailureAndContext)
{
    const Status success;
    EXPECT_TRUE(success.ok());
    EXPECT_EQ(success.reason(), "");
    EXPECT_TRUE(success.withContext("header").ok());

    const Status failed = failure("zero width");
    EXPECT_FALSE(failed.ok());
    EXPECT_EQ(failed.reason(), "zero width");
    EXPECT_EQ(failed.withContext("header").reason(), "header: zero width");

    // A failure stays a failure even without words.
    EXPECT_FALSE(failure("").ok());

    // Both read as conditions.
    EXPECT_TRUE(static_cast<bool>(success));
    EXPECT_FALSE(static_cast<bool>(failed));

    // A bad argument is a failure that keeps its kind through context and through a StatusOr.
    EXPECT_FALSE(failed.isBadArgument());
    const Status bad = Status::badArgument("region 2 leaves the picture").withContext("in.bmp");
    EXPECT_FALSE(bad.ok());
    EXPECT_TRUE(bad.isBadArgument());
    EXPECT_EQ(bad.reason(), "in.bmp: region 2 leaves the picture");
    EXPECT_TRUE(StatusOr<int>(bad).status().isBadArgument());
}

// NUBO_RETURN_IF_ERROR passes the first failure up and lets success through.
TEST(Status, ReturnIfErrorStopsAtFirstFailure)
{
    int result = -1;
    EXPECT_TRUE(halveTwice(12, result).ok());
    EXPECT_EQ(result, 3);

    result = -1;
    EXPECT_EQ(halveTwice(7, result).reason(), "first halving: odd value 7");
    EXPECT_EQ(result, -1);
    EXPECT_EQ(halveTwice(6, result).reason(), "second halving: odd value 3");
}

// A StatusOr holds either its value (move-only values too) or the failure.
TEST(StatusOr, HoldsValueOrFailure)
{
    StatusOr<std::unique_ptr<int>> good = boxed(5);
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(**good, 5);
    const std::unique_ptr<int> taken = std::move(good).value();
    EXPECT_EQ(*taken, 5);

    const StatusOr<std::unique_ptr<int>> bad = boxed(-1);
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.reason(), "negative");
    EXPECT_EQ(bad.status().reason(), "negative");

    const StatusOr<std::string> text = std::string("abc");
    EXPECT_EQ(text->size(), 3u);
}

using StatusOrDeathTest = ::testing::Test;

// Reading the value of a failure, or making a StatusOr from a success, is a programming error caught with its
// place in the source.
TEST_F(StatusOrDeathTest, MisuseIsCaught)
{
    EXPECT_DEATH(
        {
            const StatusOr<int> bad = failure("no value");
            (void)bad.value();
        },
        "status\\.h:[0-9]+: check failed: ok\\(\\)");
    EXPECT_DEATH({ const StatusOr<int> wrong = Status(); (void)wrong; }, "check failed: !status_\\.ok\\(\\)");
}

} // namespace
} // namespace nubo
