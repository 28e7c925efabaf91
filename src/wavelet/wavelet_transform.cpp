#include "wavelet/wavelet_transform.h"

#include "common/limits.h"

#include <algorithm>
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
    if (!sourceWhole || !buildBandTable(plane.width, plane.height, steps))
        return;
    wavelet.transform2d(plane.data.data(), plane.data.data(), width_, height_, steps_, symmetric_, diagnostics);
    splitIntoBands(plane.data.data());
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

    try {
        data_.assign(offset, 0.0f);
    } catch (const std::bad_alloc&) {
        data_.clear();
        return false;
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
