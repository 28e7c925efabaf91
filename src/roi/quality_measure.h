#pragma once

#include <cstdint>
#include <string>

namespace nubo {

class RasterImage;
class RegionSet;

// Compares a result picture with its source by mean squared error and signal-to-noise ratio, over every pixel
// or over the pixels inside a set of regions. The distance of two pixels is |dR| + |dG| + |dB| (0 ... 765); the
// MSE is the mean of its square over the selected pixels, the signal the mean square distance of the source's
// pixels from their mean colour, and the SNR 10 log10(signal / MSE) dB. All sums are 32-bit floats, pixels visited
// column by column; an MSE of exactly 0 counts as 0.00001.
class QualityMeasure {
public:
    // Measures source against result. whole: every pixel; otherwise only pixels inside some region of `regions`
    // (bounds included; none when regions is null). Returns false, with measured() false and a reason, when the
    // pictures are invalid or of different sizes, or when no pixel is selected (the averages would be 0 / 0).
    bool measure(const RasterImage& source, const RasterImage& result, bool whole, const RegionSet* regions);

    bool measured() const { return measured_; }
    float mse() const { return mse_; }
    float snr() const { return snr_; }
    std::int64_t pixelCount() const { return pixelCount_; }
    const std::string& reason() const { return reason_; }
    bool whole() const { return whole_; }

private:
    float snr_ = -1.0f;
    float mse_ = -1.0f;
    bool whole_ = true;
    bool measured_ = false;
    std::int64_t pixelCount_ = 0;
    std::string reason_;
};

} // namespace nubo
