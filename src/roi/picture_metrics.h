#pragma once

#include "common/status.h"
#include "roi/pixel_selection.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

class RasterImage;
class RegionSet;

// The standard figures of a result picture against its source, beside the workbench's own MSE and SNR:
// - PSNR: 10 log10(255^2 / MSE) dB, with MSE the mean squared difference over the three channel samples of the
//   selected pixels (per channel for psnrRed, psnrGreen, psnrBlue); +infinity when the selected pixels are equal;
// - SSIM: the mean over R, G and B of the structural similarity of Wang et al. (2004): an 11 x 11 Gaussian window
//   of sigma 1.5 (the taps of exp(-d^2 / 4.5) for d = -5 ... 5, normalised to sum 1), K1 0.01, K2 0.03, L 255 and
//   population covariances, averaged over the pixels whose whole window lies inside the selection (and so inside
//   the picture). Over the whole picture this is scikit-image's structural_similarity(..., gaussian_weights=True,
//   sigma=1.5, use_sample_covariance=False, data_range=255). Restricted to a selection, each window still sees
//   only selected pixels: over one rectangle it is the SSIM of the two pictures cropped to that rectangle.
struct StandardMetrics {
    bool measured = false; // false: nothing selected, or pictures that cannot be compared
    std::string reason;    // why not, when !measured
    std::int64_t pixels = 0;
    double psnr = 0.0;
    double psnrRed = 0.0;
    double psnrGreen = 0.0;
    double psnrBlue = 0.0;

    bool ssimMeasured = false; // false when no window lies inside the selection (fewer than 11 x 11 pixels)
    std::string ssimReason;
    std::int64_t ssimWindows = 0; // window centres averaged
    double ssim = 0.0;
};

// Window of the SSIM: 2 x 5 + 1 taps of a Gaussian of sigma 1.5 (scikit-image's 11-tap choice).
inline constexpr int kSsimRadius = 5;
inline constexpr double kSsimSigma = 1.5;

// Compares one result picture with its source once, then answers for any selection of pixels. The SSIM of each
// pixel whose window lies inside the picture is worked out once (the mean over the three channels, kept as a float);
// each query then averages it over the windows inside the selection. The pictures must outlive this object.
class PictureMetrics {
public:
    // Refuses invalid pictures and pictures of different sizes; nothing is measured then.
    Status compare(const RasterImage& source, const RasterImage& result);

    StandardMetrics over(const PixelSelection& selection) const;
    StandardMetrics overWhole() const;

private:
    const RasterImage* source_ = nullptr;
    const RasterImage* result_ = nullptr;
    std::vector<float> ssimMap_; // top row first; only pixels at least kSsimRadius from every edge are filled
};

// The standard metrics over the pixels QualityMeasure::measure selects: every pixel when whole, otherwise those
// inside some region of `regions` (none when it is null).
StandardMetrics measureStandardMetrics(const RasterImage& source, const RasterImage& result, bool whole,
                                       const RegionSet* regions);

// "Result PSNR: %.3f dB (red %.3f, green %.3f, blue %.3f).\n\rResult SSIM: %.4f." ("inf" for identical pixels;
// the SSIM line says "not measured" and why, when no window fits). Empty when nothing was measured.
std::string standardMetricsStatistic(const StandardMetrics& metrics);

} // namespace nubo
