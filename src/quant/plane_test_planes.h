#pragma once

#include "test_support/test_support.h" // fingerprint()
#include "wavelet/float_image.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace nubo::test {

// A deterministic picture-like plane of whole values 0 ... 255: a diagonal ramp, a ripple and a little noise from
// a fixed linear congruential generator (integer arithmetic only, so it is the same on every build).
inline FloatImage testPlane(int width, int height, std::uint32_t seed = 1)
{
    FloatImage plane(width, height);
    std::uint32_t state = seed;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int ramp = (3 * x + 5 * y) % 160;
            const int ripple = ((x / 3 + y / 4) % 2) * 40;
            const int noise = static_cast<int>(state >> 28);
            plane.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<float>(ramp + ripple + noise);
        }
    }
    return plane;
}

// One channel (0 blue, 1 green, 2 red) of an uncompressed bottom-up 24-bit bitmap, rows in file order (bottom
// first), as the region coder hands planes over. Enough of a reader for the fixtures; false for anything else.
inline bool loadBitmapChannel(const std::string& path, int channel, FloatImage& plane)
{
    std::ifstream file(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto field = [&bytes](std::size_t at, int size) {
        std::uint32_t value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
        return value;
    };
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M' || field(28, 2) != 24 || field(30, 4) != 0)
        return false;
    const std::uint32_t offset = field(10, 4);
    const int width = static_cast<int>(field(18, 4));
    const int height = static_cast<int>(field(22, 4));
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096)
        return false;
    const std::size_t rowBytes = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    if (bytes.size() < offset + rowBytes * static_cast<std::size_t>(height))
        return false;
    plane = FloatImage(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            plane.data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                bytes[offset + rowBytes * static_cast<std::size_t>(y) + static_cast<std::size_t>(x) * 3
                      + static_cast<std::size_t>(channel)];
    return true;
}

} // namespace nubo::test
