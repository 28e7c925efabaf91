#include "wavelet/symbol_cost.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace nubo {
namespace {

// The cost written out as the coder defines it, independent of the library's own formula.
float definedCost(std::int32_t count, std::int32_t total)
{
    const float invLn2 = static_cast<float>(1.0 / std::log(2.0));
    return static_cast<float>(-std::log(static_cast<double>(count) / static_cast<double>(total))
                              * static_cast<double>(invLn2));
}

// The constant is 1 / ln 2 rounded to float.
TEST(SymbolCostTest, InverseLn2IsRoundedToFloat)
{
    EXPECT_EQ(std::bit_cast<std::uint32_t>(kInvLn2),
              std::bit_cast<std::uint32_t>(static_cast<float>(1.0 / std::log(2.0))));
}

// Every tabulated pair gives bit for bit the float of the defined formula, so coded rates cannot drift.
TEST(SymbolCostTest, TableMatchesFormulaForEveryPair)
{
    for (std::int32_t total = 1; total < kCostTableTotals; ++total) {
        for (std::int32_t count = 0; count <= total; ++count) {
            const float expected = definedCost(count, total);
            ASSERT_EQ(std::bit_cast<std::uint32_t>(symbolCost(count, total)), std::bit_cast<std::uint32_t>(expected))
                << count << " / " << total;
            ASSERT_EQ(std::bit_cast<std::uint32_t>(symbolCostFormula(count, total)),
                      std::bit_cast<std::uint32_t>(expected));
        }
    }
}

// Known values: a certain symbol is free, halves cost one bit, an empty interval is infinitely dear.
TEST(SymbolCostTest, KnownValues)
{
    EXPECT_EQ(symbolCost(7, 7), 0.0f);
    EXPECT_FLOAT_EQ(symbolCost(1, 2), 1.0f);
    EXPECT_FLOAT_EQ(symbolCost(1, 8), 3.0f);
    EXPECT_FLOAT_EQ(symbolCost(3, 5), static_cast<float>(std::log2(5.0 / 3.0)));
    EXPECT_EQ(symbolCost(0, 5), std::numeric_limits<float>::infinity());
}

// Totals beyond the table fall back to the formula with the same result.
TEST(SymbolCostTest, PairsOutsideTableUseFormula)
{
    for (std::int32_t total : {512, 1000, 16384})
        for (std::int32_t count : {1, 2, total / 3, total})
            EXPECT_EQ(std::bit_cast<std::uint32_t>(symbolCost(count, total)),
                      std::bit_cast<std::uint32_t>(definedCost(count, total)));
}

} // namespace
} // namespace nubo
