#include "wavelet/exact_division.h"

#include <cstddef>
#include <vector>

namespace nubo {

Reciprocal reciprocalOf(std::uint32_t d)
{
    std::uint32_t log2Ceiling = 0;
    while ((std::uint64_t{1} << log2Ceiling) < d)
        ++log2Ceiling;
    const std::uint32_t shift = 31 + log2Ceiling;
    return {((std::uint64_t{1} << shift) / d) + 1, shift};
}

const Reciprocal* reciprocalTable()
{
    static const std::vector<Reciprocal> table = [] {
        std::vector<Reciprocal> entries(static_cast<std::size_t>(kMaxDivisorTabulated) + 1, Reciprocal{0, 0});
        for (std::uint32_t d = 1; d <= kMaxDivisorTabulated; ++d)
            entries[d] = reciprocalOf(d);
        return entries;
    }();
    return table.data();
}

} // namespace nubo
