#pragma once

#include <cstdint>

namespace nubo {

// What pricing reads of a three-symbol FrequencyModel, each symbol's count and the total, moved by an update exactly
// as the model moves them: one more for the symbol and the total, and once the total reaches the limit every
// nonzero count halved (a count of 1 stays 1) and the total made their sum. A symbol's count does not depend on the
// order in which the model keeps its positions, so this holds the same counts without that order and without the
// cumulative tree the arithmetic coder needs, in a quarter of the model's bytes.
struct PricingModel {
    std::int32_t counts[3];
    std::int32_t total;

    void update(int symbol, std::int32_t maxTotal)
    {
        ++counts[symbol];
        if (++total >= maxTotal)
            halve();
    }

    void halve()
    {
        std::int32_t sum = 0;
        for (std::int32_t& c : counts) {
            if (c != 0)
                c = c > 1 ? c / 2 : 1;
            sum += c;
        }
        total = sum;
    }
};

} // namespace nubo
