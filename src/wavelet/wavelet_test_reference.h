#pragma once

// A plain, slow transcription of the one- and two-dimensional wavelet steps for the tests: every output is a
// loop over taps on a padded buffer, synthesis scatters into the output cell by cell, columns are copied one at a
// time, and one temporary serves both bands of a synthesis step. The fast transform must agree with it bit for
// bit. Signals of length 0 and 1 follow the same rules as the product (zero pads, constant pads, no high band).

#include "wavelet/wavelet.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace nubo::reference {

inline float accumulate(float acc, float coefficient, float sample)
{
    const double product = static_cast<double>(coefficient) * static_cast<double>(sample);
    return static_cast<float>(static_cast<double>(acc) + product);
}

inline void symmetricExtension(const Wavelet& wavelet, float* cell, int n, int l, int r, int s)
{
    const int pad = wavelet.padLength;
    if (n <= 0) {
        for (int i = 0; i < 2 * pad; ++i)
            cell[i] = 0.0f;
        return;
    }
    const int last = n + 2 * pad - 1;
    int a = pad;
    int b = pad + n - 1;
    if (s == -1) {
        if (l == 1) {
            a = a - 1;
            cell[a] = 0;
        }
        if (r == 1) {
            b = b + 1;
            cell[b] = 0;
        }
    }
    const int span = b - a;
    int period = 2 * span + 2 - (l == 1 ? 1 : 0) - (r == 1 ? 1 : 0);
    if (period == 0)
        period = 1;
    int p = a;
    int q = b;
    if (l == 2) {
        cell[a - 1] = static_cast<float>(s) * cell[a];
        p = a - 1;
    }
    if (r == 2) {
        cell[b + 1] = static_cast<float>(s) * cell[b];
        q = b + 1;
    }
    int p0 = p;
    int k = std::max(0, std::min(span - 1, p0));
    for (int j = 0; j < k; ++j)
        cell[p0 - 1 - j] = static_cast<float>(s) * cell[a + 1 + j];
    p = p0 - k;
    while (p > 0) {
        p = p - 1;
        cell[p] = cell[p + period];
    }
    int q0 = q;
    k = std::max(0, std::min(span - 1, last - q0));
    for (int j = 0; j < k; ++j)
        cell[q0 + 1 + j] = static_cast<float>(s) * cell[b - 1 - j];
    q = q0 + k;
    while (q < last) {
        q = q + 1;
        cell[q] = cell[q - period];
    }
}

inline void periodicExtension(const Wavelet& wavelet, float* cell, int n)
{
    const int pad = wavelet.padLength;
    if (n <= 0) {
        for (int i = 0; i < 2 * pad; ++i)
            cell[i] = 0.0f;
        return;
    }
    for (int i = pad - 1; i >= 0; --i)
        cell[i] = cell[i + n];
    for (int i = pad + n; i <= n + 2 * pad - 1; ++i)
        cell[i] = cell[i - n];
}

inline void analysisStep(const Wavelet& wavelet, float* input, float* output, int n, int symmetric)
{
    const int pad = wavelet.padLength;
    const int lowCount = (n + 1) / 2;
    const int kind = wavelet.analysisLow.size % 2 != 0 ? 1 : 2;
    if (symmetric != 0)
        symmetricExtension(wavelet, input, n, kind, kind, 1);
    else
        periodicExtension(wavelet, input, n);
    const Filter& low = wavelet.analysisLow;
    for (int i = 0; i < lowCount; ++i) {
        float acc = 0.0f;
        for (int j = 0; j < low.size; ++j)
            acc = accumulate(acc, low.coefficients[static_cast<std::size_t>(j)],
                             input[pad + 2 * i + low.firstIndex + j]);
        output[pad + i] = acc;
    }
    const Filter& high = wavelet.analysisHigh;
    for (int i = lowCount; i < n; ++i) {
        const int m = i - lowCount;
        float acc = 0.0f;
        for (int j = 0; j < high.size; ++j)
            acc = accumulate(acc, high.coefficients[static_cast<std::size_t>(j)],
                             input[pad + 2 * m + high.firstIndex + j]);
        output[pad + i] = acc;
    }
}

inline void upsample(const Filter& filter, const float* temp, float* output, int pad, int n)
{
    const int f = filter.firstIndex;
    const int e = filter.lastIndex();
    for (int i = -(e / 2); i <= (n - f - 1) / 2; ++i)
        for (int j = 0; j < filter.size; ++j)
            output[pad + 2 * i + f + j] = accumulate(output[pad + 2 * i + f + j],
                                                     filter.coefficients[static_cast<std::size_t>(j)], temp[pad + i]);
}

inline void synthesisStep(const Wavelet& wavelet, const float* input, float* output, int n, int symmetric)
{
    const int pad = wavelet.padLength;
    const int lowCount = (n + 1) / 2;
    const int highCount = n / 2;
    const bool oddLow = wavelet.analysisLow.size % 2 != 0;
    // Cells past the extended band keep whatever was there before, as in one reused temporary.
    std::vector<float> temp(static_cast<std::size_t>(lowCount + 2 * pad), 12345.0f);
    for (int i = 0; i < lowCount; ++i)
        temp[static_cast<std::size_t>(pad + i)] = input[pad + i];
    if (symmetric != 0)
        symmetricExtension(wavelet, temp.data(), lowCount, oddLow ? 1 : 2, n % 2 == 0 ? 2 : 1, 1);
    else
        periodicExtension(wavelet, temp.data(), lowCount);
    for (int i = 0; i < n + 2 * pad; ++i)
        output[i] = 0.0f;
    upsample(wavelet.synthesisLow, temp.data(), output, pad, n);
    if (highCount == 0)
        return;
    for (int i = 0; i < highCount; ++i)
        temp[static_cast<std::size_t>(pad + i)] = input[pad + lowCount + i];
    if (symmetric != 0) {
        const int right = oddLow ? (n % 2 != 0 ? 2 : 1) : (n % 2 == 0 ? 2 : 1);
        symmetricExtension(wavelet, temp.data(), highCount, 2, right, oddLow ? 1 : -1);
    } else {
        periodicExtension(wavelet, temp.data(), highCount);
    }
    upsample(wavelet.synthesisHigh, temp.data(), output, pad, n);
}

// The lines the two-dimensional walks step through: the destination, holding a copy of the source, row by row or
// column by column, each line copied after the pad of one buffer and its step's result copied back from another.
class PlaneLines {
public:
    PlaneLines(const Wavelet& wavelet, const float* source, float* destination, int width, int height)
        : plane_(destination), width_(width), pad_(wavelet.padLength),
          first_(static_cast<std::size_t>(std::max(width, height) + 2 * wavelet.padLength)), second_(first_.size())
    {
        std::copy(source, source + static_cast<std::ptrdiff_t>(width) * height, destination);
    }

    // step(in, out, n) on the first n samples of row y or of column x.
    template <class Step>
    void row(int y, int n, Step step) { line(y * width_, 1, n, step); }
    template <class Step>
    void column(int x, int n, Step step) { line(x, width_, n, step); }

private:
    template <class Step>
    void line(int start, int stride, int n, Step step)
    {
        for (int i = 0; i < n; ++i)
            first_[static_cast<std::size_t>(pad_ + i)] = plane_[start + i * stride];
        step(first_.data(), second_.data(), n);
        for (int i = 0; i < n; ++i)
            plane_[start + i * stride] = second_[static_cast<std::size_t>(pad_ + i)];
    }

    float* plane_;
    int width_;
    int pad_;
    std::vector<float> first_;
    std::vector<float> second_;
};

inline void transform2d(const Wavelet& wavelet, const float* source, float* destination, int width, int height,
                        int steps, int flag)
{
    const int symmetric = flag < 0 ? wavelet.symmetric : flag;
    const auto analyse = [&](float* in, float* out, int n) { analysisStep(wavelet, in, out, n, symmetric); };
    PlaneLines lines(wavelet, source, destination, width, height);
    int w = width;
    int h = height;
    for (int step = 0; step < steps; ++step) {
        for (int y = 0; y < h; ++y)
            lines.row(y, w, analyse);
        for (int x = 0; x < w; ++x)
            lines.column(x, h, analyse);
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
}

inline void invert2d(const Wavelet& wavelet, const float* source, float* destination, int width, int height,
                     int steps, int flag)
{
    const int symmetric = flag < 0 ? wavelet.symmetric : flag;
    const auto synthesise = [&](float* in, float* out, int n) { synthesisStep(wavelet, in, out, n, symmetric); };
    PlaneLines lines(wavelet, source, destination, width, height);
    std::vector<int> widths{width};
    std::vector<int> heights{height};
    for (int k = 1; k < steps; ++k) {
        widths.push_back((widths.back() + 1) / 2);
        heights.push_back((heights.back() + 1) / 2);
    }
    for (int k = steps - 1; k >= 0; --k) {
        const int w = widths[static_cast<std::size_t>(k)];
        const int h = heights[static_cast<std::size_t>(k)];
        for (int x = 0; x < w; ++x)
            lines.column(x, h, synthesise);
        for (int y = 0; y < h; ++y)
            lines.row(y, w, synthesise);
    }
}

// Bit patterns compared, so that -0 differs from +0 and NaNs compare equal to themselves.
inline std::uint32_t bits(float value)
{
    std::uint32_t pattern;
    std::memcpy(&pattern, &value, sizeof pattern);
    return pattern;
}

inline std::vector<std::uint32_t> bitPatterns(const float* values, std::size_t count)
{
    std::vector<std::uint32_t> patterns(count);
    for (std::size_t i = 0; i < count; ++i)
        patterns[i] = bits(values[i]);
    return patterns;
}

// A fixed test plane: integers 0 ... 255 with quarter fractions from a linear congruential sequence.
inline std::vector<float> testPlane(int width, int height, std::uint32_t seed)
{
    std::vector<float> plane(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::uint32_t state = seed;
    for (float& sample : plane) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<float>(state >> 22) * 0.25f;
    }
    return plane;
}

} // namespace nubo::reference
