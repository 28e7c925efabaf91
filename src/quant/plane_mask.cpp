#include "quant/plane_mask.h"

#include "regions/region_set.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace nubo {

namespace {

// Open interval (low, high) of one axis in subband coordinates, clipped to [0, size).
struct OpenSpan {
    int first; // first index inside
    int end;   // one past the last index inside
};

OpenSpan scaledSpan(int low, int high, double scale, int size)
{
    const int lowBound = static_cast<int>(std::ceil(low * scale) + 1);
    const int highBound = static_cast<int>(std::floor(high * scale) - 1);
    return {std::max(lowBound + 1, 0), std::min(highBound, size)};
}

} // namespace

void clearSubbandUnderMask(float* data, int subbandWidth, int subbandHeight, int planeWidth, int planeHeight,
                           const RegionSet& mask)
{
    if (subbandWidth <= 0 || subbandHeight <= 0 || planeWidth <= 0 || planeHeight <= 0)
        return;
    const double sx = static_cast<double>(subbandWidth) / planeWidth;
    const double sy = static_cast<double>(subbandHeight) / planeHeight;
    for (int i = 0; i < mask.count(); ++i) {
        const Region& region = mask.at(i);
        const OpenSpan xs = scaledSpan(region.left, region.right, sx, subbandWidth);
        const OpenSpan ys = scaledSpan(region.top, region.bottom, sy, subbandHeight);
        for (int y = ys.first; y < ys.end; ++y) {
            float* row = data + static_cast<std::size_t>(subbandHeight - 1 - y) * static_cast<std::size_t>(subbandWidth);
            for (int x = xs.first; x < xs.end; ++x)
                row[x] = 0.0f;
        }
    }
}

} // namespace nubo
