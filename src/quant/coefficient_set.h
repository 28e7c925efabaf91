#pragma once

#include <cstdint>
#include <vector>

namespace nubo {

class Quantizer;

// One subband with its quantiser, and the rate and distortion of every precision once tabulated. The
// coefficients belong to the transform and the quantiser to the codec; the set owns only its tables.
class CoefficientSet {
public:
    CoefficientSet(float* data, std::int32_t count, Quantizer& quantizer)
        : count_(count), data_(data), quantizer_(&quantizer)
    {
    }

    // Analyses the subband, then asks precisions 0, 1, ..., n - 1 in that order, so the layered quantiser computes
    // every layer once and reuses it for the next precision.
    void computeRateDistortion(int precisionCount, float minimumStep);
    // computeRateDistortion in steps, for a quantiser that may stop pricing early: begin analyses the subband
    // and tabulates what the quantiser prices now, extend tabulates again (a quantiser that stopped goes on
    // as far as it will now), finish lets the quantiser free what pricing needed.
    void beginRateDistortion(int precisionCount, float minimumStep);
    void extendRateDistortion(float minimumStep);
    void finishRateDistortion();

    std::int32_t count() const { return count_; }
    float* data() const { return data_; }
    Quantizer& quantizer() const { return *quantizer_; }
    int precisionCount() const { return precisionCount_; }
    bool tabulated() const { return precisionCount_ > 0; }
    // Bits to code the subband at precision p, and the distortion left there; the caller keeps 0 <= p < n.
    float rate(int p) const { return rates_[static_cast<std::size_t>(p)]; }
    float distortion(int p) const { return distortions_[static_cast<std::size_t>(p)]; }

    // Tables given directly, for allocation on hand-made figures.
    void setTables(std::vector<float> rates, std::vector<float> distortions);

private:
    std::int32_t count_;
    float* data_;
    Quantizer* quantizer_;
    int precisionCount_ = 0;
    std::vector<float> rates_;
    std::vector<float> distortions_;

    void tabulate(float minimumStep);
};

} // namespace nubo
