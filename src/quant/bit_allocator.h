#pragma once

#include "common/diagnostics.h"
#include "quant/coefficient_set.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace nubo {

// Chooses one precision per coefficient set so that the sets' rates meet a byte budget with the least weighted
// distortion: a Lagrangian slope is bracketed and bisected, then the bits left over are spent greedily. All
// rates are bits, all sums 32-bit floats.
class BitAllocator {
public:
    // Frees the old choice and starts from precision 0 for each of setCount sets.
    void reset(int setCount);

    // Leaves the chosen precision of set i in precision(i). A negative budget cannot be met by any slope: every
    // set stays at precision 0 and a warning says so. The bracketing ends when the next high slope would be
    // infinite (the choice at the last finite one stands), the bisection when no float lies between its ends,
    // so no budget can keep the search going. Messages go to `diagnostics`.
    void allocateToBudget(std::span<const CoefficientSet> sets, std::int32_t budgetBytes, bool spendRemainder,
                          std::span<const float> weights, DiagnosticSink& diagnostics);

    // One Lagrangian choice at `slope`: per set the precision of least slope * rate + weighted distortion (ties
    // keep the lower precision); a set where nothing can be chosen keeps its earlier precision and adds +infinity.
    void allocateForSlope(std::span<const CoefficientSet> sets, float slope, float& totalRate,
                          float& totalDistortion, std::span<const float> weights);

    // Raises precisions one step at a time, always the strictly steepest distortion drop per bit that still fits
    // in remainingBits (ties keep the earlier set and the lower precision).
    void spendRemainder(std::span<const CoefficientSet> sets, float remainingBits, std::span<const float> weights);

    // The table of the current choice, with its totals, as printAllocation writes it.
    std::string allocationTable(std::span<const CoefficientSet> sets) const;
    void printAllocation(std::span<const CoefficientSet> sets, DiagnosticSink& diagnostics) const
    {
        diagnostics.write(allocationTable(sets));
    }

    const std::vector<int>& precisions() const { return precisions_; }
    int precision(int set) const { return precisions_[static_cast<std::size_t>(set)]; }

    // How the last allocateToBudget went: every slope chosen at, in order, the total rate of each choice, and
    // whether the remainder was spent.
    const std::vector<float>& slopesTried() const { return slopesTried_; }
    const std::vector<float>& ratesTried() const { return ratesTried_; }
    bool remainderSpent() const { return remainderSpent_; }
    // The bits the last spendRemainder started with.
    float remainderBits() const { return remainderBits_; }

private:
    std::vector<int> precisions_;
    std::vector<float> slopesTried_;
    std::vector<float> ratesTried_;
    bool remainderSpent_ = false;
    float remainderBits_ = 0.0f;
};

} // namespace nubo
