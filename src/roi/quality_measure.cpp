#include "roi/quality_measure.h"

#include "common/diagnostics.h"
#include "image/raster_image.h"
#include "regions/region_set.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace nubo {

namespace {

// (|dR| + |dG|) + |dB| in float, in that order.
float colourDistance(const PixelColour& a, const PixelColour& b)
{
    return (std::fabs(a.r - b.r) + std::fabs(a.g - b.g)) + std::fabs(a.b - b.b);
}

// Which pixels of a width x height picture are measured, column-major to match the visiting order.
std::vector<bool> selectedPixels(int width, int height, bool whole, const RegionSet* regions)
{
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (whole)
        return std::vector<bool>(count, true);
    std::vector<bool> selected(count, false);
    if (!regions)
        return selected;
    // A pixel is selected when the one-pixel rectangle (x, y, x, y) intersects a region, bounds included: the
    // regions' rectangles clipped to the picture mark the same pixels.
    for (int i = 0; i < regions->count(); ++i) {
        const Region& region = regions->at(i);
        const int x0 = std::max(region.left, 0);
        const int x1 = std::min(region.right, width - 1);
        const int y0 = std::max(region.top, 0);
        const int y1 = std::min(region.bottom, height - 1);
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y)
                selected[static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y)] = true;
    }
    return selected;
}

} // namespace

bool QualityMeasure::measure(const RasterImage& source, const RasterImage& result, bool whole,
                             const RegionSet* regions)
{
    whole_ = whole;
    measured_ = false;
    pixelCount_ = 0;
    mse_ = -1.0f;
    snr_ = -1.0f;
    if (!source.isValid() || !result.isValid()) {
        reason_ = "a picture is missing";
        return false;
    }
    if (source.width() != result.width() || source.height() != result.height()) {
        reason_ = formatText("the pictures differ in size (%d x %d and %d x %d)", source.width(), source.height(),
                             result.width(), result.height());
        return false;
    }

    const int width = source.width();
    const int height = source.height();
    const std::vector<bool> selected = selectedPixels(width, height, whole, regions);
    const auto isSelected = [&](int x, int y) {
        return selected[static_cast<std::size_t>(x) * static_cast<std::size_t>(height) + static_cast<std::size_t>(y)];
    };

    PixelColour mean;
    std::int64_t count = 0;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (!isSelected(x, y))
                continue;
            mean += source.pixel(x, y);
            ++count;
        }
    }
    if (count == 0) {
        reason_ = "no pixel was selected";
        return false;
    }
    mean.divideBy(static_cast<int>(count));

    float signalSum = 0.0f;
    float errorSum = 0.0f;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (!isSelected(x, y))
                continue;
            const PixelColour original = source.pixel(x, y);
            const float spread = colourDistance(original, mean);
            signalSum += spread * spread;
            const float error = colourDistance(result.pixel(x, y), original);
            errorSum += error * error;
        }
    }
    const float pixels = static_cast<float>(count);
    const float signal = signalSum / pixels;
    float mse = errorSum / pixels;
    if (mse == 0.0f)
        mse = 0.00001f;
    mse_ = mse;
    snr_ = static_cast<float>(10.0 * std::log10(static_cast<double>(signal / mse)));
    pixelCount_ = count;
    measured_ = true;
    reason_.clear();
    return true;
}

} // namespace nubo
