#pragma once

#include <cstdint>

namespace nubo {

// Truncating division by a multiplication, for the arithmetic coder's divisions by a model total.
//
// For 0 <= n < 2^31 and 1 <= d < 2^31, let k = 31 + ceil(log2 d) and m = floor(2^k / d) + 1. Then
// n * m / 2^k exceeds n / d by less than n / 2^k < 1 / d, too little to reach the next integer, so
// (n * m) >> k == n / d exactly; and n * m < 2^31 * (2^32 + 1) fits in 64 bits.
struct Reciprocal {
    std::uint64_t multiplier;
    std::uint32_t shift;
};

Reciprocal reciprocalOf(std::uint32_t d);

// n / d for 0 <= n < 2^31, d the divisor of `reciprocal`.
inline std::int32_t divideExactly(std::int32_t n, const Reciprocal& reciprocal)
{
    return static_cast<std::int32_t>((static_cast<std::uint64_t>(n) * reciprocal.multiplier) >> reciprocal.shift);
}

// Reciprocals of 0 .. kMaxDivisorTabulated, built once (thread-safe); entry 0 is unused.
inline constexpr std::uint32_t kMaxDivisorTabulated = 16384;
const Reciprocal* reciprocalTable();

} // namespace nubo
