#include "quant/bit_allocator.h"

#include "quant/quantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace nubo {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Sets with hand-made tables need a quantiser to point at; it is never asked anything.
class UnusedQuantizer final : public Quantizer {
public:
    UnusedQuantizer() : Quantizer(nullptr) {}
    void analyze(const float*, std::int32_t) override {}
    void prepareDecode(float*, std::int32_t) override {}
    void rateDistortion(int, float, float&, float&) override {}
    void encode(EncoderStream&, int) override {}
    bool decode(DecoderStream&, int) override { return true; }
    void writeHeader(EncoderStream&, int) override {}
    bool readHeader(DecoderStream&, int&) override { return true; }
};

class BitAllocatorTest : public ::testing::Test {
protected:
    void addSet(std::int32_t count, std::vector<float> rates, std::vector<float> distortions)
    {
        sets.emplace_back(nullptr, count, quantizer);
        sets.back().setTables(std::move(rates), std::move(distortions));
        weights.push_back(1.0f);
    }

    UnusedQuantizer quantizer;
    std::vector<CoefficientSet> sets;
    std::vector<float> weights;
    StringSink diagnostics;
};

// At slope 0 every set takes its least distortion, the lowest precision among equals; an infinite rate (NaN
// cost) is never chosen.
TEST_F(BitAllocatorTest, SlopeZeroTakesLeastDistortion)
{
    addSet(4, {0, 8, 16, 24}, {100, 50, 20, 20});
    addSet(4, {0, 8, kInfinity}, {60, 30, kInfinity});
    BitAllocator allocator;
    allocator.reset(2);
    float rate = 0;
    float distortion = 0;
    allocator.allocateForSlope(sets, 0.0f, rate, distortion, weights);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{2, 1}));
    EXPECT_EQ(rate, 24.0f);
    EXPECT_EQ(distortion, 50.0f);
}

// Equal Lagrangian costs keep the lower precision; weights scale the distortion.
TEST_F(BitAllocatorTest, EqualCostsKeepTheLowerPrecision)
{
    addSet(4, {0, 10, 20}, {30, 20, 10}); // slope 1: costs 30, 30, 30
    addSet(4, {0, 10, 20}, {30, 20, 10});
    weights[1] = 3.0f;                    // slope 1: costs 90, 70, 50
    BitAllocator allocator;
    allocator.reset(2);
    float rate = 0;
    float distortion = 0;
    allocator.allocateForSlope(sets, 1.0f, rate, distortion, weights);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{0, 2}));
    EXPECT_EQ(rate, 20.0f);
    EXPECT_EQ(distortion, 30.0f + 30.0f);
}

// A set with nothing to choose keeps its earlier precision and adds +infinity to both totals.
TEST_F(BitAllocatorTest, SetWithoutChoiceKeepsItsPrecision)
{
    addSet(4, {kInfinity, kInfinity}, {kInfinity, kInfinity});
    BitAllocator allocator;
    allocator.reset(1);
    float rate = 0;
    float distortion = 0;
    allocator.allocateForSlope(sets, 2.0f, rate, distortion, weights);
    EXPECT_EQ(allocator.precision(0), 0);
    EXPECT_EQ(rate, kInfinity);
    EXPECT_EQ(distortion, kInfinity);
}

// A budget that the least-distortion choice already fits ends the search at once, remainder unspent.
TEST_F(BitAllocatorTest, FittingMinimumDistortionStopsAtOnce)
{
    addSet(4, {0, 8, 16}, {100, 50, 10});
    BitAllocator allocator;
    allocator.allocateToBudget(sets, 3, true, weights, diagnostics); // 24 bits > 16
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{2}));
    EXPECT_EQ(allocator.slopesTried(), (std::vector<float>{0.0f}));
    EXPECT_FALSE(allocator.remainderSpent());
}

// A minimum-distortion rate exactly at the budget does not count as fitting and goes on to the bracketing.
TEST_F(BitAllocatorTest, RateEqualToBudgetGoesToBracketing)
{
    addSet(4, {0, 8, 16}, {100, 50, 10});
    BitAllocator allocator;
    allocator.allocateToBudget(sets, 2, true, weights, diagnostics); // 16 bits
    ASSERT_GE(allocator.slopesTried().size(), 3u);
    EXPECT_EQ(allocator.slopesTried()[1], 1e6f);
    EXPECT_TRUE(allocator.remainderSpent());
    // Every slope's choice fits, so the bisection closes in on 0 and ends at precision 2.
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{2}));
}

// When slope 1e6 already fits, the bisection runs between 0 and 1e6.
TEST_F(BitAllocatorTest, BisectionStartsBetweenZeroAndFirstHighSlope)
{
    addSet(4, {0, 8, 16}, {1000, 500, 100});
    BitAllocator allocator;
    allocator.allocateToBudget(sets, 1, false, weights, diagnostics); // 8 bits
    const std::vector<float>& slopes = allocator.slopesTried();
    ASSERT_GE(slopes.size(), 4u);
    EXPECT_EQ(slopes[0], 0.0f);
    EXPECT_EQ(slopes[1], 1e6f);
    EXPECT_EQ(slopes[2], 5e5f);
    EXPECT_EQ(slopes[3], 2.5e5f);
    // Precision 1 (8 bits) wins between slopes 50 and 62.5 and is the best choice that fits.
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{1}));
    EXPECT_NEAR(slopes.back(), 50.0f, 0.02f); // precision 2 (16 bits) wins below 50
    EXPECT_FALSE(allocator.remainderSpent());
}

// Bracketing multiplies the high slope by ten until the choice fits.
TEST_F(BitAllocatorTest, BracketingGrowsTenfold)
{
    addSet(4, {0, 1}, {1e9f, 0}); // precision 1 is worth it up to slope 1e9
    BitAllocator allocator;
    allocator.allocateToBudget(sets, 0, true, weights, diagnostics);
    const std::vector<float>& slopes = allocator.slopesTried();
    ASSERT_GE(slopes.size(), 5u);
    EXPECT_EQ(slopes[1], 1e6f);
    EXPECT_EQ(slopes[2], 1e7f);
    EXPECT_EQ(slopes[3], 1e8f);
    EXPECT_EQ(slopes[4], static_cast<float>(1e8f * 10));
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{0}));
    EXPECT_EQ(diagnostics.text(), "");
}

// Above slope 131072 float spacing exceeds 0.01; the bisection still ends, when no float lies between its ends.
TEST_F(BitAllocatorTest, BisectionEndsAtFloatSpacing)
{
    addSet(4, {0, 8, 16}, {3e9f, 1e9f, 0}); // worth 2.5e8 and 1.25e8 per bit
    addSet(4, {0, 8}, {2.5e9f, 0});         // worth 3.125e8 per bit
    BitAllocator allocator;
    allocator.allocateToBudget(sets, 0, false, weights, diagnostics);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{0, 0}));
    EXPECT_LT(allocator.slopesTried().size(), 100u);
    // One byte buys the steepest single step.
    allocator.allocateToBudget(sets, 1, true, weights, diagnostics);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{0, 1}));
    EXPECT_GT(allocator.slopesTried().back(), 2.49e8f); // float costs tie a little below 2.5e8
    EXPECT_LT(allocator.slopesTried().back(), 3.125e8f);
    EXPECT_LT(allocator.slopesTried().size(), 100u);
    EXPECT_EQ(diagnostics.text(), "");
}

// A negative budget cannot be met by any slope: every set stays at precision 0 and the report says so.
TEST_F(BitAllocatorTest, NegativeBudgetCodesEverySetAtPrecisionZero)
{
    addSet(4, {0, 8, 16}, {100, 50, 10});
    addSet(4, {0, 8, 16}, {100, 50, 10});
    BitAllocator allocator;
    allocator.allocateToBudget(sets, -3, true, weights, diagnostics);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{0, 0}));
    EXPECT_TRUE(allocator.slopesTried().empty());
    EXPECT_EQ(diagnostics.text(), "Warning: Bit budget = -3 is below zero: every set is coded at precision 0\n");
}

// Tables that no finite slope can bring under the budget end the bracketing before the slope overflows.
TEST_F(BitAllocatorTest, BracketingStopsBeforeTheSlopeOverflows)
{
    addSet(4, {0, 8}, {kInfinity, kInfinity});
    addSet(4, {0, 8}, {5, 1});
    BitAllocator allocator;
    allocator.allocateToBudget(sets, 0, true, weights, diagnostics);
    EXPECT_TRUE(std::isfinite(allocator.slopesTried().back()));
    EXPECT_GT(allocator.slopesTried().back(), 3.4e37f);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{0, 0}));
    EXPECT_EQ(diagnostics.text(), "Error: Failed to bracket bit budget = 0: rateLow = inf rateHigh = inf\n\n");
}

// The remainder goes to the steepest drop that fits; equal slopes favour the earlier set, then the lower
// precision; only strictly positive slopes are taken.
TEST_F(BitAllocatorTest, SpendRemainderTakesSteepestFirstAndBreaksTiesEarly)
{
    addSet(4, {0, 10, 20}, {100, 80, 60}); // slope 2 per step, 2 to precision 2
    addSet(4, {0, 10, 20}, {100, 80, 0});  // slope 2, then 8 (precision 2 at 5 per bit from 0)
    addSet(4, {0, 5}, {10, 10});           // slope 0: never taken
    BitAllocator allocator;
    allocator.reset(3);
    allocator.spendRemainder(sets, 20.0f, weights);
    // Step 1: best is set 1 to precision 2 (slope 5, 20 bits). Nothing else fits.
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{0, 2, 0}));

    allocator.reset(3);
    allocator.spendRemainder(sets, 10.0f, weights);
    // Only 10-bit steps fit: sets 0 and 1 tie at slope 2, the earlier wins.
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{1, 0, 0}));
}

// Within one set, equal slopes keep the lower precision.
TEST_F(BitAllocatorTest, SpendRemainderPrefersTheLowerPrecisionOnEqualSlopes)
{
    addSet(4, {0, 10, 20}, {100, 80, 60});
    BitAllocator allocator;
    allocator.reset(1);
    allocator.spendRemainder(sets, 15.0f, weights);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{1}));
    allocator.reset(1);
    allocator.spendRemainder(sets, 25.0f, weights);
    EXPECT_EQ(allocator.precisions(), (std::vector<int>{2})); // 1 first, then 2 with the 15 bits left
}

// The table prints per-set rates in bits and the total rate in bytes, with unweighted distortions.
TEST_F(BitAllocatorTest, AllocationTableText)
{
    addSet(4, {0, 10, 25}, {100, 40, 10});
    addSet(16, {0, 3.5f}, {64, 8});
    weights[1] = 2.0f;
    BitAllocator allocator;
    allocator.reset(2);
    allocator.spendRemainder(sets, 28.5f, weights);
    ASSERT_EQ(allocator.precisions(), (std::vector<int>{2, 1}));
    EXPECT_EQ(allocator.allocationTable(sets),
              "Set  Precision     Rate                Distortion\n"
              " 0:      2           25.00    6.25         10.00      2.50\n"
              " 1:      1            3.50    0.22          8.00      0.50\n"
              "\n"
              "total rate = 3.5625\n"
              "total dist = 18\n"
              "total coeffs = 20\n"
              "RMS error = 0.948683\n"
              "PSNR (transform domain) = 48.5884\n");
}

// An empty subband prints its per-coefficient columns as 0 / 0.
TEST_F(BitAllocatorTest, EmptySetPrintsNotANumber)
{
    addSet(0, {0}, {0});
    BitAllocator allocator;
    allocator.reset(1);
    const std::string table = allocator.allocationTable(sets);
    EXPECT_NE(table.find(" 0:      0            0.00    -nan          0.00      -nan\n"), std::string::npos) << table;
}

} // namespace
} // namespace nubo
