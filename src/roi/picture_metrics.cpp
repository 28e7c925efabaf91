#include "roi/picture_metrics.h"

#include "common/diagnostics.h"
#include "image/raster_image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace nubo {

namespace {

constexpr int kTaps = 2 * kSsimRadius + 1;
constexpr double kPeak = 255.0;
constexpr double kC1 = (0.01 * kPeak) * (0.01 * kPeak);
constexpr double kC2 = (0.03 * kPeak) * (0.03 * kPeak);

// scipy.ndimage's Gaussian kernel: exp(-d^2 / (2 sigma^2)) for d = -radius ... radius, divided by its sum.
std::array<double, kTaps> gaussianTaps()
{
    std::array<double, kTaps> taps{};
    double sum = 0.0;
    for (int i = 0; i < kTaps; ++i) {
        const double d = i - kSsimRadius;
        taps[static_cast<std::size_t>(i)] = std::exp(-0.5 / (kSsimSigma * kSsimSigma) * d * d);
        sum += taps[static_cast<std::size_t>(i)];
    }
    for (double& tap : taps)
        tap /= sum;
    return taps;
}

double psnrOf(std::int64_t squaredErrors, std::int64_t samples)
{
    if (squaredErrors == 0)
        return std::numeric_limits<double>::infinity();
    const double mse = static_cast<double>(squaredErrors) / static_cast<double>(samples);
    return 10.0 * std::log10(kPeak * kPeak / mse);
}

// The five windowed sums of one channel: x, y, x^2, y^2 and x y.
constexpr int kMoments = 5;

} // namespace

Status PictureMetrics::compare(const RasterImage& source, const RasterImage& result)
{
    source_ = nullptr;
    result_ = nullptr;
    ssimMap_.clear();
    if (!source.isValid() || !result.isValid())
        return failure("a picture is missing");
    if (source.width() != result.width() || source.height() != result.height())
        return failure(formatText("the pictures differ in size (%d x %d and %d x %d)", source.width(),
                                  source.height(), result.width(), result.height()));
    source_ = &source;
    result_ = &result;
    const int width = source.width();
    const int height = source.height();
    ssimMap_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0.0f);
    if (width < kTaps || height < kTaps)
        return Status();

    // Rows are filtered across as they come; the last kTaps filtered rows are kept in a ring, and once it is full
    // the column filter gives the SSIM of the row kSsimRadius above the newest one.
    const std::array<double, kTaps> taps = gaussianTaps();
    const int inner = width - 2 * kSsimRadius;
    std::vector<double> ring(static_cast<std::size_t>(3 * kMoments * kTaps) * static_cast<std::size_t>(inner));
    const auto slot = [&](int channel, int moment, int row) {
        const int index = (channel * kMoments + moment) * kTaps + row % kTaps;
        return ring.data() + static_cast<std::size_t>(index) * static_cast<std::size_t>(inner);
    };
    std::vector<double> x(static_cast<std::size_t>(width));
    std::vector<double> y(static_cast<std::size_t>(width));
    for (int row = 0; row < height; ++row) {
        const std::size_t rowStart = static_cast<std::size_t>(width) * static_cast<std::size_t>(height - 1 - row) * 3;
        for (int channel = 0; channel < 3; ++channel) {
            const int byte = 2 - channel; // R, G, B are bytes 2, 1, 0
            for (int i = 0; i < width; ++i) {
                x[static_cast<std::size_t>(i)] = source.data()[rowStart + static_cast<std::size_t>(i) * 3 + byte];
                y[static_cast<std::size_t>(i)] = result.data()[rowStart + static_cast<std::size_t>(i) * 3 + byte];
            }
            double* sx = slot(channel, 0, row);
            double* sy = slot(channel, 1, row);
            double* sxx = slot(channel, 2, row);
            double* syy = slot(channel, 3, row);
            double* sxy = slot(channel, 4, row);
            for (int c = 0; c < inner; ++c) {
                double mx = 0.0, my = 0.0, mxx = 0.0, myy = 0.0, mxy = 0.0;
                for (int k = 0; k < kTaps; ++k) {
                    const double g = taps[static_cast<std::size_t>(k)];
                    const double a = x[static_cast<std::size_t>(c + k)];
                    const double b = y[static_cast<std::size_t>(c + k)];
                    mx += g * a;
                    my += g * b;
                    mxx += g * (a * a);
                    myy += g * (b * b);
                    mxy += g * (a * b);
                }
                sx[c] = mx;
                sy[c] = my;
                sxx[c] = mxx;
                syy[c] = myy;
                sxy[c] = mxy;
            }
        }
        if (row < kTaps - 1)
            continue;
        const int centreRow = row - kSsimRadius;
        float* out = ssimMap_.data() + static_cast<std::size_t>(centreRow) * static_cast<std::size_t>(width)
            + kSsimRadius;
        for (int c = 0; c < inner; ++c) {
            double total = 0.0;
            for (int channel = 0; channel < 3; ++channel) {
                double m[kMoments] = {};
                for (int moment = 0; moment < kMoments; ++moment) {
                    for (int k = 0; k < kTaps; ++k)
                        m[moment] += taps[static_cast<std::size_t>(k)] * slot(channel, moment, row - kTaps + 1 + k)[c];
                }
                const double ux = m[0], uy = m[1];
                const double vx = m[2] - ux * ux;
                const double vy = m[3] - uy * uy;
                const double vxy = m[4] - ux * uy;
                total += ((2.0 * ux * uy + kC1) * (2.0 * vxy + kC2)) / ((ux * ux + uy * uy + kC1) * (vx + vy + kC2));
            }
            out[c] = static_cast<float>(total / 3.0);
        }
    }
    return Status();
}

StandardMetrics PictureMetrics::overWhole() const
{
    if (!source_)
        return over(PixelSelection());
    return over(PixelSelection::everything(source_->width(), source_->height()));
}

StandardMetrics PictureMetrics::over(const PixelSelection& selection) const
{
    StandardMetrics metrics;
    if (!source_) {
        metrics.reason = "the pictures were not compared";
        return metrics;
    }
    const int width = source_->width();
    const int height = source_->height();
    if (selection.width() != width || selection.height() != height) {
        metrics.reason = "the selection does not fit the picture";
        return metrics;
    }

    // PSNR: exact integer sums of squared differences per channel.
    std::int64_t squared[3] = {};
    std::int64_t pixels = 0;
    for (int row = 0; row < height; ++row) {
        const std::size_t rowStart = static_cast<std::size_t>(width) * static_cast<std::size_t>(height - 1 - row) * 3;
        for (int col = 0; col < width; ++col) {
            if (!selection.isSelected(col, row))
                continue;
            ++pixels;
            const std::size_t at = rowStart + static_cast<std::size_t>(col) * 3;
            for (int channel = 0; channel < 3; ++channel) {
                const int d = static_cast<int>(source_->data()[at + 2 - static_cast<std::size_t>(channel)])
                    - static_cast<int>(result_->data()[at + 2 - static_cast<std::size_t>(channel)]);
                squared[channel] += d * d;
            }
        }
    }
    if (pixels == 0) {
        metrics.reason = "no pixel was selected";
        return metrics;
    }
    metrics.measured = true;
    metrics.pixels = pixels;
    metrics.psnrRed = psnrOf(squared[0], pixels);
    metrics.psnrGreen = psnrOf(squared[1], pixels);
    metrics.psnrBlue = psnrOf(squared[2], pixels);
    metrics.psnr = psnrOf(squared[0] + squared[1] + squared[2], 3 * pixels);

    // SSIM: the centres whose whole window is selected. Along each row, `run` counts the selected pixels ending
    // here; a centre whose row of the window is selected counts up in `rows` down the picture.
    std::vector<int> rows(static_cast<std::size_t>(width), 0);
    double sum = 0.0;
    std::int64_t windows = 0;
    for (int row = 0; row < height; ++row) {
        int run = 0;
        for (int col = 0; col < width; ++col) {
            run = selection.isSelected(col, row) ? run + 1 : 0;
            if (col < kTaps - 1)
                continue;
            const int centre = col - kSsimRadius;
            int& down = rows[static_cast<std::size_t>(centre)];
            down = run >= kTaps ? down + 1 : 0;
            if (down >= kTaps) {
                sum += ssimMap_[static_cast<std::size_t>(row - kSsimRadius) * static_cast<std::size_t>(width)
                                + static_cast<std::size_t>(centre)];
                ++windows;
            }
        }
    }
    if (windows == 0) {
        metrics.ssimReason = "no 11 x 11 window lies inside the measured pixels";
        return metrics;
    }
    metrics.ssimMeasured = true;
    metrics.ssimWindows = windows;
    metrics.ssim = sum / static_cast<double>(windows);
    return metrics;
}

StandardMetrics measureStandardMetrics(const RasterImage& source, const RasterImage& result, bool whole,
                                       const RegionSet* regions)
{
    PictureMetrics metrics;
    if (const Status compared = metrics.compare(source, result); !compared) {
        StandardMetrics none;
        none.reason = compared.reason();
        return none;
    }
    const int width = source.width();
    const int height = source.height();
    if (whole)
        return metrics.overWhole();
    return metrics.over(regions ? PixelSelection::insideRegions(width, height, *regions)
                                : PixelSelection::nothing(width, height));
}

std::string standardMetricsStatistic(const StandardMetrics& metrics)
{
    if (!metrics.measured)
        return {};
    std::string text = formatText("Result PSNR: %.3f dB (red %.3f, green %.3f, blue %.3f).", metrics.psnr,
                                  metrics.psnrRed, metrics.psnrGreen, metrics.psnrBlue);
    if (metrics.ssimMeasured)
        text += formatText("\n\rResult SSIM: %.4f.", metrics.ssim);
    else
        text += "\n\rResult SSIM: not measured (" + metrics.ssimReason + ").";
    return text;
}

} // namespace nubo
