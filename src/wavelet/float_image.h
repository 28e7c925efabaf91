#pragma once

#include "common/diagnostics.h"

#include <cstddef>
#include <vector>

namespace nubo {

// One plane of width x height 32-bit floats, row-major (sample (x, y) at index y * width + x); the unit handed
// between the wavelet region coder and the wavelet plane codec.
struct FloatImage {
    std::vector<float> data;
    int width = 0;
    int height = 0;

    FloatImage() = default;
    FloatImage(int w, int h) : data(static_cast<std::size_t>(w) * static_cast<std::size_t>(h)), width(w), height(h) {}
    FloatImage(const float* values, int w, int h)
        : data(values, values + static_cast<std::size_t>(w) * static_cast<std::size_t>(h)), width(w), height(h)
    {
    }

    // Sizes the plane to w x h zeroed samples without throwing. When the memory cannot be had (or a size is
    // negative) it writes "Can't allocate memory for image of size %d by %d\n" as an error line, leaves the
    // plane empty (0 x 0) and returns false.
    bool allocate(int w, int h, DiagnosticSink& diagnostics = standardOutputSink());
};

} // namespace nubo
