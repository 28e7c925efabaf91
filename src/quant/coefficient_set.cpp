#include "quant/coefficient_set.h"

#include "quant/quantizer.h"

#include <algorithm>
#include <utility>

namespace nubo {

void CoefficientSet::computeRateDistortion(int precisionCount, float minimumStep)
{
    beginRateDistortion(precisionCount, minimumStep);
    // Every subband of a plane is priced before the first is coded: only the tables stay.
    finishRateDistortion();
}

void CoefficientSet::beginRateDistortion(int precisionCount, float minimumStep)
{
    precisionCount_ = std::max(precisionCount, 0);
    rates_.assign(static_cast<std::size_t>(precisionCount_), 0.0f);
    distortions_.assign(static_cast<std::size_t>(precisionCount_), 0.0f);
    quantizer_->analyze(data_, count_);
    // Precision n - 1 needs layers 0 ... n - 2.
    quantizer_->priceLayersAhead(precisionCount_ - 1, minimumStep);
    tabulate(minimumStep);
}

void CoefficientSet::extendRateDistortion(float minimumStep) { tabulate(minimumStep); }

void CoefficientSet::finishRateDistortion() { quantizer_->endPricing(); }

void CoefficientSet::tabulate(float minimumStep)
{
    for (int p = 0; p < precisionCount_; ++p)
        quantizer_->rateDistortion(p, minimumStep, rates_[static_cast<std::size_t>(p)],
                                   distortions_[static_cast<std::size_t>(p)]);
}

void CoefficientSet::setTables(std::vector<float> rates, std::vector<float> distortions)
{
    const std::size_t n = std::min(rates.size(), distortions.size());
    rates.resize(n);
    distortions.resize(n);
    rates_ = std::move(rates);
    distortions_ = std::move(distortions);
    precisionCount_ = static_cast<int>(n);
}

} // namespace nubo
