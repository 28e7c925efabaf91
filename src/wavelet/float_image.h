#pragma once

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
};

} // namespace nubo
