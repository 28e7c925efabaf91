#include "quant/bit_allocator.h"

#include <cmath>
#include <limits>

namespace nubo {

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The first high slope of the bracketing.
constexpr float kFirstHighSlope = 1e6f;

} // namespace

void BitAllocator::reset(int setCount)
{
    precisions_.assign(static_cast<std::size_t>(setCount > 0 ? setCount : 0), 0);
}

void BitAllocator::allocateForSlope(std::span<const CoefficientSet> sets, float slope, float& totalRate,
                                    float& totalDistortion, std::span<const float> weights)
{
    slopesTried_.push_back(slope);
    totalRate = 0.0f;
    totalDistortion = 0.0f;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const CoefficientSet& set = sets[i];
        const float weight = weights[i];
        float bestCost = kInfinity;
        float chosenRate = kInfinity;
        float chosenDistortion = kInfinity;
        for (int j = 0; j < set.precisionCount(); ++j) {
            const float cost = slope * set.rate(j) + set.distortion(j) * weight;
            // NaN (slope 0 times an infinite rate) and +infinity never win.
            if (cost < bestCost) {
                bestCost = cost;
                chosenRate = set.rate(j);
                chosenDistortion = set.distortion(j) * weight;
                precisions_[i] = j;
            }
        }
        totalRate += chosenRate;
        totalDistortion += chosenDistortion;
    }
    ratesTried_.push_back(totalRate);
}

void BitAllocator::allocateToBudget(std::span<const CoefficientSet> sets, std::int32_t budgetBytes,
                                    bool spendRemainder, std::span<const float> weights,
                                    DiagnosticSink& diagnostics)
{
    reset(static_cast<int>(sets.size()));
    slopesTried_.clear();
    ratesTried_.clear();
    remainderSpent_ = false;

    if (budgetBytes < 0) {
        printWarning(diagnostics, "Bit budget = %d is below zero: every set is coded at precision 0", budgetBytes);
        return;
    }

    const float budget = static_cast<float>(std::int64_t{budgetBytes} * 8);
    float rate = 0.0f;
    float distortion = 0.0f;

    allocateForSlope(sets, 0.0f, rate, distortion, weights);
    if (rate < budget)
        return;

    // Bracketing: the high slope grows tenfold until its choice fits.
    float lowSlope = 0.0f;
    float lowRate = rate;
    float highSlope = kFirstHighSlope;
    float highRate = 0.0f;
    for (;;) {
        allocateForSlope(sets, highSlope, highRate, distortion, weights);
        if (highRate <= budget)
            break;
        const float next = highSlope * 10;
        if (std::isinf(next)) {
            // No finite slope fits (possible only with non-finite tables): the choice at highSlope stands.
            printError(diagnostics, "Failed to bracket bit budget = %d: rateLow = %g rateHigh = %g\n", budgetBytes,
                       static_cast<double>(lowRate), static_cast<double>(highRate));
            return;
        }
        lowSlope = highSlope;
        lowRate = highRate;
        highSlope = next;
    }
    if (lowRate < budget)
        printError(diagnostics, "Failed to bracket bit budget = %d: rateLow = %g rateHigh = %g\n", budgetBytes,
                   static_cast<double>(lowRate), static_cast<double>(highRate));

    // Bisection; it also ends when no float lies strictly between the ends (slopes above 131072).
    float middleRate = highRate;
    float lastRate = highRate;
    while (static_cast<double>(highSlope - lowSlope) > 0.01) {
        const float middleSlope = static_cast<float>(static_cast<double>(highSlope + lowSlope) * 0.5);
        if (middleSlope == lowSlope || middleSlope == highSlope)
            break;
        allocateForSlope(sets, middleSlope, middleRate, distortion, weights);
        lastRate = middleRate;
        if (middleRate > budget)
            lowSlope = middleSlope;
        else
            highSlope = middleSlope;
    }
    if (middleRate > budget) {
        allocateForSlope(sets, highSlope, lastRate, distortion, weights);
    }

    if (spendRemainder) {
        remainderSpent_ = true;
        this->spendRemainder(sets, budget - lastRate, weights);
    }
}

void BitAllocator::spendRemainder(std::span<const CoefficientSet> sets, float remainingBits,
                                  std::span<const float> weights)
{
    remainderBits_ = remainingBits;
    // Every step raises one precision, so the loop ends after at most sets x precisions steps.
    for (;;) {
        float bestSlope = 0.0f;
        std::size_t bestSet = sets.size();
        int bestPrecision = 0;
        float bestDeltaRate = 0.0f;
        for (std::size_t i = 0; i < sets.size(); ++i) {
            const CoefficientSet& set = sets[i];
            const int k = precisions_[i];
            for (int j = k + 1; j < set.precisionCount(); ++j) {
                const float deltaRate = set.rate(j) - set.rate(k);
                if (deltaRate == 0.0f || deltaRate > remainingBits)
                    continue;
                const float slope = (-(set.distortion(j) - set.distortion(k)) * weights[i]) / deltaRate;
                if (slope > bestSlope) {
                    bestSlope = slope;
                    bestSet = i;
                    bestPrecision = j;
                    bestDeltaRate = deltaRate;
                }
            }
        }
        if (bestSet == sets.size())
            return;
        remainingBits -= bestDeltaRate;
        precisions_[bestSet] = bestPrecision;
    }
}

std::string BitAllocator::allocationTable(std::span<const CoefficientSet> sets) const
{
    std::string text = "Set  Precision     Rate                Distortion\n";
    float rateSum = 0.0f;
    float distortionSum = 0.0f;
    std::int32_t countSum = 0;
    for (std::size_t i = 0; i < sets.size() && i < precisions_.size(); ++i) {
        const CoefficientSet& set = sets[i];
        const int p = precisions_[i];
        const float rate = set.rate(p);
        const float distortion = set.distortion(p);
        const float count = static_cast<float>(set.count());
        text += formatText("%2d:     %2d       %9.2f   %5.2f   %11.2f   %7.2f\n", static_cast<int>(i), p,
                           static_cast<double>(rate), static_cast<double>(rate / count),
                           static_cast<double>(distortion), static_cast<double>(distortion / count));
        rateSum += rate;
        distortionSum += distortion;
        countSum += set.count();
    }
    const float rms = static_cast<float>(
        std::sqrt(static_cast<double>(distortionSum / static_cast<float>(countSum))));
    const double psnr = 20 * std::log10(static_cast<double>(255.0f / rms));
    text += "\n";
    text += formatText("total rate = %g\n", static_cast<double>(rateSum) * 0.125);
    text += formatText("total dist = %g\n", static_cast<double>(distortionSum));
    text += formatText("total coeffs = %d\n", countSum);
    text += formatText("RMS error = %g\n", static_cast<double>(rms));
    text += formatText("PSNR (transform domain) = %g\n", psnr);
    return text;
}

} // namespace nubo
