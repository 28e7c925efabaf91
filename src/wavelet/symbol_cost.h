#pragma once

#include <cstdint>

namespace nubo {

// 1 / ln 2, stored as float: turns natural logarithms into bits.
inline constexpr float kInvLn2 = static_cast<float>(1.4426950408889634);

// Totals below this have their costs tabulated; the coder's models halve at 512, so every total it prices is here.
inline constexpr std::int32_t kCostTableTotals = 512;

// Cost in bits of a symbol of `count` out of `total`: -log2(count / total), formed as the natural logarithm of the
// double quotient times kInvLn2 and rounded to float. A count of 0 costs +infinity.
float symbolCostFormula(std::int32_t count, std::int32_t total);

// The formula's floats for 0 <= count <= total < kCostTableTotals, entry total * (total + 1) / 2 + count. Built on
// first use (thread-safe) and kept for the life of the process.
const float* symbolCostTable();

// symbolCostFormula(count, total), from the table when the pair is in it.
inline float symbolCost(const float* table, std::int32_t count, std::int32_t total)
{
    if (static_cast<std::uint32_t>(total) < static_cast<std::uint32_t>(kCostTableTotals)
        && static_cast<std::uint32_t>(count) <= static_cast<std::uint32_t>(total))
        return table[total * (total + 1) / 2 + count];
    return symbolCostFormula(count, total);
}

inline float symbolCost(std::int32_t count, std::int32_t total)
{
    return symbolCost(symbolCostTable(), count, total);
}

} // namespace nubo
