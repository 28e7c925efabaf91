#include "wavelet/wavelet_transform.h"

#include "common/limits.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace nubo {

WaveletTransform::WaveletTransform(const Wavelet& wavelet, const FloatImage& source, int steps, int symmetric,
                                   DiagnosticSink& diagnostics)
    : wavelet_(&wavelet), symmetric_(symmetric)
{
    const bool sourceWhole = source.width >= 0 && source.height >= 0
        && source.data.size() == static_cast<std::size_t>(source.width) * static_cast<std::size_t>(source.height);
    if (!sourceWhole || !buildBandTable(source.width, source.height, steps))
        return;
    try {
        std::vector<float> plane(source.data);
        wavelet.transform2d(plane.data(), plane.data(), width_, height_, steps_, symmetric_, diagnostics);
        splitIntoBands(plane.data());
    } catch (const std::bad_alloc&) {
        subbands_.clear();
        data_.clear();
    }
}

WaveletTransform::WaveletTransform(const Wavelet& wavelet, FloatImage&& source, int steps, int symmetric,
                                   DiagnosticSink& diagnostics)
    : wavelet_(&wavelet), symmetric_(symmetric)
{
    FloatImage plane = std::move(source);
    source = FloatImage();
    const bool sourceWhole = plane.width >= 0 && plane.height >= 0
        && plane.data.size() == static_cast<std::size_t>(plane.width) * static_cast<std::size_t>(plane.height);
    if (!sourceWhole || !layOutBands(plane.width, plane.height, steps))
        return;
    wavelet.transform2d(plane.data.data(), plane.data.data(), width_, height_, steps_, symmetric_, diagnostics);
    // The bands are laid out in the plane itself: a second plane-sized buffer held beside it for the copy would
    // add to the peak memory of every plane prepared at once.
    try {
        splitIntoBandsInPlace(plane.data);
    } catch (const std::bad_alloc&) {
        subbands_.clear();
        return;
    }
    data_ = std::move(plane.data);
}

WaveletTransform::WaveletTransform(const Wavelet& wavelet, int width, int height, int steps, int symmetric)
    : wavelet_(&wavelet), symmetric_(symmetric)
{
    buildBandTable(width, height, steps);
}

std::vector<SubbandRect> subbandLayout(int width, int height, int steps)
{
    std::vector<SubbandRect> bands;
    if (steps < kMinStages || steps > kMaxStages || !imageSizeAllowed(width, height))
        return bands;

    // Level sizes: the low-pass half of an odd length keeps the extra sample.
    std::vector<int> widths{width};
    std::vector<int> heights{height};
    for (int k = 1; k <= steps; ++k) {
        widths.push_back((widths.back() + 1) / 2);
        heights.push_back((heights.back() + 1) / 2);
    }

    bands.reserve(static_cast<std::size_t>(3 * steps + 1));
    const auto last = static_cast<std::size_t>(steps);
    bands.push_back({0, 0, widths[last], heights[last]});
    for (int k = steps; k >= 1; --k) {
        const auto level = static_cast<std::size_t>(k);
        const int lowWidth = widths[level];
        const int lowHeight = heights[level];
        const int highWidth = widths[level - 1] - lowWidth;
        const int highHeight = heights[level - 1] - lowHeight;
        bands.push_back({lowWidth, 0, highWidth, lowHeight});
        bands.push_back({0, lowHeight, lowWidth, highHeight});
        bands.push_back({lowWidth, lowHeight, highWidth, highHeight});
    }
    return bands;
}

bool WaveletTransform::buildBandTable(int width, int height, int steps)
{
    if (!layOutBands(width, height, steps))
        return false;
    try {
        data_.assign(bandSamples(), 0.0f);
    } catch (const std::bad_alloc&) {
        data_.clear();
        subbands_.clear();
        return false;
    }
    return true;
}

std::size_t WaveletTransform::bandSamples() const
{
    if (subbands_.empty())
        return 0;
    const Subband& last = subbands_.back();
    return last.offset + static_cast<std::size_t>(last.width) * static_cast<std::size_t>(last.height);
}

bool WaveletTransform::layOutBands(int width, int height, int steps)
{
    const std::vector<SubbandRect> layout = subbandLayout(width, height, steps);
    if (layout.empty())
        return false;
    std::vector<Subband> bands;
    bands.reserve(layout.size());
    for (const SubbandRect& rect : layout)
        bands.push_back({rect.x, rect.y, rect.width, rect.height, 0});
    std::size_t offset = 0;
    for (Subband& band : bands) {
        band.offset = offset;
        offset += static_cast<std::size_t>(band.width) * static_cast<std::size_t>(band.height);
    }
    subbands_ = std::move(bands);
    width_ = width;
    height_ = height;
    steps_ = steps;
    return true;
}

void WaveletTransform::splitIntoBands(const float* plane)
{
    const auto rowLength = static_cast<std::size_t>(width_);
    for (const Subband& band : subbands_) {
        float* target = data_.data() + band.offset;
        for (int r = 0; r < band.height; ++r) {
            const float* row
                = plane + static_cast<std::size_t>(band.y + r) * rowLength + static_cast<std::size_t>(band.x);
            target = std::copy(row, row + band.width, target);
        }
    }
}

void WaveletTransform::splitIntoBandsInPlace(std::vector<float>& plane)
{
    // Level by level from the finest: the level's region is the first regionWidth x regionHeight samples, in
    // rows of regionWidth. Its low quadrant is packed to the front (it is the next level's region), then its
    // three high bands follow it packed. Every packed row lands at or before where it was read, so only the
    // bands a packing runs over wait in the scratch: the upper right one, then the lower right one.
    std::size_t regionWidth = static_cast<std::size_t>(width_);
    std::size_t regionHeight = static_cast<std::size_t>(height_);
    std::vector<float> scratch(regionWidth / 2 * ((regionHeight + 1) / 2));
    float* const region = plane.data();
    for (int k = 1; k <= steps_; ++k) {
        const std::size_t lowWidth = (regionWidth + 1) / 2;
        const std::size_t lowHeight = (regionHeight + 1) / 2;
        const std::size_t highWidth = regionWidth - lowWidth;
        const std::size_t highHeight = regionHeight - lowHeight;

        float* saved = scratch.data();
        for (std::size_t r = 0; r < lowHeight; ++r)
            saved = std::copy_n(region + r * regionWidth + lowWidth, highWidth, saved);
        for (std::size_t r = 1; r < lowHeight; ++r)
            std::memmove(region + r * lowWidth, region + r * regionWidth, lowWidth * sizeof(float));
        std::copy_n(scratch.data(), highWidth * lowHeight, region + lowWidth * lowHeight);

        float* const lower = region + lowHeight * regionWidth;
        saved = scratch.data();
        for (std::size_t r = 0; r < highHeight; ++r)
            saved = std::copy_n(lower + r * regionWidth + lowWidth, highWidth, saved);
        for (std::size_t r = 1; r < highHeight; ++r)
            std::memmove(lower + r * lowWidth, lower + r * regionWidth, lowWidth * sizeof(float));
        std::copy_n(scratch.data(), highWidth * highHeight, lower + lowWidth * highHeight);

        regionWidth = lowWidth;
        regionHeight = lowHeight;
    }
}

void WaveletTransform::gatherIntoPlane(float* plane) const
{
    const auto rowLength = static_cast<std::size_t>(width_);
    for (const Subband& band : subbands_) {
        const float* source = data_.data() + band.offset;
        for (int r = 0; r < band.height; ++r) {
            float* row = plane + static_cast<std::size_t>(band.y + r) * rowLength + static_cast<std::size_t>(band.x);
            std::copy(source, source + band.width, row);
            source += band.width;
        }
    }
}

bool WaveletTransform::invert(FloatImage& target) const
{
    if (!valid())
        return false;
    try {
        std::vector<float> plane(data_.size());
        gatherIntoPlane(plane.data());
        wavelet_->invert2d(plane.data(), plane.data(), width_, height_, steps_, symmetric_);
        target.data = std::move(plane);
        target.width = width_;
        target.height = height_;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

} // namespace nubo
