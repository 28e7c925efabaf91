#include "wavelet/symbol_cost.h"

#include <cmath>
#include <cstddef>
#include <vector>

namespace nubo {

float symbolCostFormula(std::int32_t count, std::int32_t total)
{
    return static_cast<float>(-std::log(static_cast<double>(count) / static_cast<double>(total))
                              * static_cast<double>(kInvLn2));
}

const float* symbolCostTable()
{
    static const std::vector<float> table = [] {
        std::vector<float> entries(static_cast<std::size_t>(kCostTableTotals) * (kCostTableTotals + 1) / 2);
        std::size_t index = 0;
        for (std::int32_t total = 0; total < kCostTableTotals; ++total)
            for (std::int32_t count = 0; count <= total; ++count)
                entries[index++] = symbolCostFormula(count, total);
        return entries;
    }();
    return table.data();
}

} // namespace nubo
