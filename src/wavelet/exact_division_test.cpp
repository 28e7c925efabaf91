#include "wavelet/exact_division.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace nubo {
namespace {

// For every tabulated divisor the multiplication agrees with integer division at the numerators where an error
// would show first (just below and at multiples of d, the largest numerator) and at random ones.
TEST(ExactDivisionTest, MatchesIntegerDivisionForEveryTabulatedDivisor)
{
    const Reciprocal* table = reciprocalTable();
    std::mt19937 random(3);
    constexpr std::int32_t kLargest = 0x7FFFFFFF;
    for (std::int32_t d = 1; d <= static_cast<std::int32_t>(kMaxDivisorTabulated); ++d) {
        const Reciprocal& r = table[d];
        const std::int32_t top = kLargest / d;
        for (std::int64_t q : {0, 1, 2, top / 2, top - 1, top}) {
            for (std::int64_t wide : {q * d - 1, q * d, q * d + d - 1}) {
                if (wide < 0 || wide > kLargest)
                    continue;
                const auto n = static_cast<std::int32_t>(wide);
                ASSERT_EQ(divideExactly(n, r), n / d) << n << " / " << d;
            }
        }
        ASSERT_EQ(divideExactly(kLargest, r), kLargest / d);
        for (int i = 0; i < 8; ++i) {
            const auto n = static_cast<std::int32_t>(random() & 0x7FFFFFFF);
            ASSERT_EQ(divideExactly(n, r), n / d) << n << " / " << d;
        }
    }
}

// The bound holds beyond the table too, up to the largest divisor.
TEST(ExactDivisionTest, HoldsForLargeDivisors)
{
    std::mt19937 random(4);
    for (int i = 0; i < 100000; ++i) {
        const auto d = static_cast<std::uint32_t>(random() & 0x7FFFFFFF) | 1u;
        const auto n = static_cast<std::int32_t>(random() & 0x7FFFFFFF);
        ASSERT_EQ(divideExactly(n, reciprocalOf(d)), n / static_cast<std::int32_t>(d)) << n << " / " << d;
    }
}

} // namespace
} // namespace nubo
