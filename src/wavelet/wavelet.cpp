#include "wavelet/wavelet.h"

#include "common/check.h"
#include "common/worker_team.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace nubo {

namespace {

// Columns are gathered this many at a time (one cache line of floats per row), so a column pass walks memory
// row by row instead of touching one line per sample.
constexpr int kColumnBlock = 16;

std::size_t cells(int count)
{
    return static_cast<std::size_t>(std::max(count, 0));
}

// The filter loops run over independent samples, so the compiler vectorises them; on processors with AVX2 a clone
// with four doubles per instruction runs. Both clones do the same IEEE operations on every sample (no fused
// multiply-add: contraction is off), so they give the same floats. ThreadSanitizer builds have none: the clone's
// resolver runs while the program is loaded, before the sanitizer's runtime is ready, and crashes.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define NUBO_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define NUBO_VECTOR_CLONES
#endif

// The exact accumulation rule of every filter output: the product and sum in double, stored back as float.
inline float accumulate(float acc, double coefficient, float sample)
{
    return static_cast<float>(static_cast<double>(acc) + coefficient * static_cast<double>(sample));
}

// out[i] = sum over taps j (in increasing order) of h[j] * x[2i + firstIndex + j], for i < count, where x is
// the padded signal (signal cell 0 at pad) split into its even cells `even` and odd cells `odd`.
NUBO_VECTOR_CLONES void filterDecimated(const Filter& filter, const float* even, const float* odd, int pad, int count, float* out)
{
    if (count <= 0)
        return;
    std::fill(out, out + count, 0.0f);
    for (int j = 0; j < filter.size; ++j) {
        const int cell = pad + filter.firstIndex + j; // padded cell of output 0's tap j
        const float* __restrict source = ((cell & 1) != 0 ? odd : even) + (cell >> 1);
        const double coefficient = filter.coefficients[static_cast<std::size_t>(j)];
        float* __restrict acc = out;
        for (int i = 0; i < count; ++i)
            acc[i] = accumulate(acc[i], coefficient, source[i]);
    }
}

// Adds the upsampled band `band` (padded, band cell 0 at pad) filtered by `filter` to the even and odd output
// cells of a signal of length n: cell 2i + m receives filter tap m times band cell i, for i in the range the
// synthesis loop runs over. Taps are taken from the last to the first, so that every output cell receives its
// contributions in increasing i.
NUBO_VECTOR_CLONES void addUpsampled(const Filter& filter, const float* band, int pad, int n, float* evenOut, float* oddOut)
{
    const int evenCount = (n + 1) / 2;
    const int oddCount = n / 2;
    const int lowestI = -(filter.lastIndex() / 2);
    const int highestI = (n - filter.firstIndex - 1) / 2;
    for (int j = filter.size - 1; j >= 0; --j) {
        const int m = filter.firstIndex + j;
        const bool evenTap = (m % 2) == 0;
        // Output cell 2u (even tap) or 2u + 1 (odd tap) takes band cell i = u - shift.
        const int shift = evenTap ? m / 2 : (m - 1) / 2;
        float* __restrict acc = evenTap ? evenOut : oddOut;
        const int count = evenTap ? evenCount : oddCount;
        const int begin = std::max(0, lowestI + shift);
        const int end = std::min(count, highestI + shift + 1);
        if (begin >= end)
            continue;
        const float* __restrict source = band + (pad + begin - shift);
        const double coefficient = filter.coefficients[static_cast<std::size_t>(j)];
        for (int u = 0; u < end - begin; ++u)
            acc[begin + u] = accumulate(acc[begin + u], coefficient, source[u]);
    }
}

} // namespace

// Scratch memory of the one-dimensional steps and of the column blocks, for signals up to a given length. Every
// cell is written before it is read, so a workspace is reused as it stands: each thread keeps one for all its
// transforms (see workspaceFor).
class Wavelet::Workspace {
public:
    Workspace() = default;
    Workspace(int maxLength, int pad) { fit(maxLength, pad); }

    // Grows the buffers to hold signals of maxLength samples (never shrinks them).
    void fit(int maxLength, int pad)
    {
        grow(padded, cells(maxLength + 2 * pad));
        grow(even, cells((maxLength + 2 * pad) / 2 + 1));
        grow(odd, cells((maxLength + 2 * pad) / 2 + 1));
        grow(lowBand, cells((maxLength + 1) / 2 + 3 * pad));
        grow(highBand, cells((maxLength + 1) / 2 + 3 * pad));
        grow(evenOut, cells((maxLength + 1) / 2 + 1));
        grow(oddOut, cells((maxLength + 1) / 2 + 1));
    }

    // Grows the column blocks to kColumnBlock columns of up to maxLength samples with their pad cells.
    void fitColumns(int maxLength, int pad)
    {
        grow(columnsIn, cells(maxLength + 2 * pad) * kColumnBlock);
        grow(columnsOut, cells(maxLength) * kColumnBlock);
    }

    std::vector<float> padded;   // one row or column with its pad cells
    std::vector<float> even;     // the even cells of a padded signal
    std::vector<float> odd;      // its odd cells
    std::vector<float> lowBand;  // the low band being upsampled, padded
    std::vector<float> highBand; // the high band being upsampled, padded
    std::vector<float> evenOut;  // reconstructed even samples
    std::vector<float> oddOut;   // reconstructed odd samples
    std::vector<float> columnsIn;
    std::vector<float> columnsOut;

private:
    static void grow(std::vector<float>& buffer, std::size_t size)
    {
        if (buffer.size() < size)
            buffer.resize(size);
    }
};

Wavelet::Workspace& Wavelet::workspaceFor(int longest) const
{
    // One per thread: the passes of a transform run on several threads at once, each piece on one thread.
    thread_local Workspace work;
    work.fit(longest, padLength);
    work.fitColumns(longest, padLength);
    return work;
}

namespace {

// Runs step() on `block` columns of a plane from column x0, rows 0 ... h - 1, copied out of the plane first (column
// c to columnsIn from c * inStride + inOffset on) and copied back in after it (column c from columnsOut at
// c * cells(h)), so that the steps walk contiguous columns.
template <typename Step>
void throughColumns(float* plane, std::size_t rowLength, int x0, int block, int h, float* columnsIn,
                    std::size_t inStride, int inOffset, const float* columnsOut, const Step& step)
{
    for (int y = 0; y < h; ++y) {
        const float* row = plane + static_cast<std::size_t>(y) * rowLength + x0;
        for (int c = 0; c < block; ++c)
            columnsIn[static_cast<std::size_t>(c) * inStride + static_cast<std::size_t>(inOffset + y)] = row[c];
    }
    step();
    for (int y = 0; y < h; ++y) {
        float* row = plane + static_cast<std::size_t>(y) * rowLength + x0;
        for (int c = 0; c < block; ++c)
            row[c] = columnsOut[static_cast<std::size_t>(c) * cells(h) + static_cast<std::size_t>(y)];
    }
}

} // namespace

Wavelet::Wavelet(const FilterSet& set)
    : analysisLow(set.analysisLow),
      analysisHigh(set.analysisHigh),
      synthesisLow(set.synthesisLow),
      synthesisHigh(set.synthesisHigh),
      symmetric(set.symmetric),
      padLength(std::max(set.analysisLow.size, set.analysisHigh.size))
{
    // Every tap must fall inside the pad cells on both sides, or the steps would read outside their buffers.
    for (const Filter* filter : {&analysisLow, &analysisHigh, &synthesisLow, &synthesisHigh}) {
        NUBO_CHECK(filter->firstIndex >= -padLength && filter->lastIndex() <= padLength,
                   "a filter set with taps beyond its pad length cannot drive the transform");
    }
}

void Wavelet::symmetricExtension(float* buffer, int n, int leftKind, int rightKind, int sign) const
{
    const int pad = padLength;
    if (n < 0)
        return;
    if (n == 0) {
        std::fill(buffer, buffer + 2 * pad, 0.0f);
        return;
    }
    const int end = n + 2 * pad - 1; // last cell of the buffer
    const float s = sign < 0 ? -1.0f : 1.0f;
    int a = pad;
    int b = pad + n - 1;
    if (sign < 0) {
        // Antisymmetric about the edge sample: the mirror point itself is 0.
        if (leftKind == 1)
            buffer[--a] = 0.0f;
        if (rightKind == 1)
            buffer[++b] = 0.0f;
    }
    const int span = b - a;
    // A single sample mirrored about itself at both ends would have period 0; it extends as a constant.
    const int period = std::max(2 * span + 2 - (leftKind == 1 ? 1 : 0) - (rightKind == 1 ? 1 : 0), 1);

    int p = a;
    int q = b;
    if (leftKind == 2) {
        buffer[a - 1] = s * buffer[a];
        p = a - 1;
    }
    if (rightKind == 2) {
        buffer[b + 1] = s * buffer[b];
        q = b + 1;
    }

    // Mirror image, clamped at 0 taps so that a single sample never walks the write position inwards.
    const int leftMirror = std::max(0, std::min(span - 1, p));
    for (int j = 0; j < leftMirror; ++j)
        buffer[p - 1 - j] = s * buffer[a + 1 + j];
    p -= leftMirror;
    while (p > 0) {
        --p;
        buffer[p] = buffer[p + period];
    }

    const int rightMirror = std::max(0, std::min(span - 1, end - q));
    for (int j = 0; j < rightMirror; ++j)
        buffer[q + 1 + j] = s * buffer[b - 1 - j];
    q += rightMirror;
    while (q < end) {
        ++q;
        buffer[q] = buffer[q - period];
    }
}

void Wavelet::periodicExtension(float* buffer, int n) const
{
    const int pad = padLength;
    if (n < 0)
        return;
    if (n == 0) {
        std::fill(buffer, buffer + 2 * pad, 0.0f);
        return;
    }
    for (int i = pad - 1; i >= 0; --i)
        buffer[i] = buffer[i + n];
    for (int i = pad + n; i <= n + 2 * pad - 1; ++i)
        buffer[i] = buffer[i - n];
}

void Wavelet::analyse(float* padded, int n, bool symmetricMode, float* out, Workspace& work) const
{
    const int pad = padLength;
    if (symmetricMode) {
        const int kind = (analysisLow.size % 2 != 0) ? 1 : 2;
        symmetricExtension(padded, n, kind, kind, 1);
    } else {
        periodicExtension(padded, n);
    }
    if (n <= 0)
        return;

    const int total = n + 2 * pad;
    float* __restrict even = work.even.data();
    float* __restrict odd = work.odd.data();
    for (int k = 0; k < total / 2; ++k) {
        even[k] = padded[2 * k];
        odd[k] = padded[2 * k + 1];
    }
    if ((total & 1) != 0)
        even[total / 2] = padded[total - 1];

    const int lowCount = (n + 1) / 2;
    filterDecimated(analysisLow, even, odd, pad, lowCount, out);
    filterDecimated(analysisHigh, even, odd, pad, n / 2, out + lowCount);
}

void Wavelet::synthesise(const float* in, int n, bool symmetricMode, float* out, Workspace& work, bool lowZero,
                         bool highZero) const
{
    if (n <= 0)
        return;
    const int pad = padLength;
    const int lowCount = (n + 1) / 2;
    const int highCount = n / 2;
    const bool oddLowPass = (analysisLow.size % 2) != 0;
    const bool evenLength = (n % 2) == 0;

    float* lowBand = work.lowBand.data();
    if (!lowZero) {
        std::copy(in, in + lowCount, lowBand + pad);
        if (symmetricMode)
            symmetricExtension(lowBand, lowCount, oddLowPass ? 1 : 2, evenLength ? 2 : 1, 1);
        else
            periodicExtension(lowBand, lowCount);
    }

    // An empty high band (a signal of one sample) contributes nothing.
    float* highBand = work.highBand.data();
    const bool addsHigh = highCount > 0 && !highZero;
    if (addsHigh) {
        std::copy(in + lowCount, in + n, highBand + pad);
        if (symmetricMode) {
            const int rightKind = (oddLowPass ? !evenLength : evenLength) ? 2 : 1;
            symmetricExtension(highBand, highCount, 2, rightKind, oddLowPass ? 1 : -1);
        } else {
            periodicExtension(highBand, highCount);
        }
    }

    // Sums start at +0 and never become -0, so adding a zero band's products (+0 or -0) would change none.
    float* evenOut = work.evenOut.data();
    float* oddOut = work.oddOut.data();
    std::fill(evenOut, evenOut + (n + 1) / 2, 0.0f);
    std::fill(oddOut, oddOut + n / 2, 0.0f);
    if (!lowZero)
        addUpsampled(synthesisLow, lowBand, pad, n, evenOut, oddOut);
    if (addsHigh)
        addUpsampled(synthesisHigh, highBand, pad, n, evenOut, oddOut);

    for (int u = 0; u < n / 2; ++u) {
        out[2 * u] = evenOut[u];
        out[2 * u + 1] = oddOut[u];
    }
    if (!evenLength)
        out[n - 1] = evenOut[n / 2];
}

void Wavelet::analysisStep(float* input, float* output, int n, int symmetricMode) const
{
    if (n < 0)
        return;
    Workspace work(n, padLength);
    analyse(input, n, symmetricMode != 0, output + padLength, work);
}

void Wavelet::synthesisStep(const float* input, float* output, int n, int symmetricMode) const
{
    if (n < 0)
        return;
    Workspace work(n, padLength);
    std::fill(output, output + n + 2 * padLength, 0.0f);
    synthesise(input + padLength, n, symmetricMode != 0, output + padLength, work);
}

bool Wavelet::transform2d(const float* source, float* destination, int width, int height, int steps, int flag,
                          DiagnosticSink& diagnostics) const
{
    if (width < 1 || height < 1)
        return false;
    const std::size_t rowLength = static_cast<std::size_t>(width);
    if (source != destination)
        std::copy(source, source + rowLength * static_cast<std::size_t>(height), destination);
    if (steps < 1)
        return false;

    const bool symmetricMode = resolvesToSymmetric(flag);
    const int pad = padLength;
    const int longest = std::max(width, height);
    const std::size_t columnStride = cells(longest + 2 * pad);

    int w = width;
    int h = height;
    for (int step = 0; step < steps; ++step) {
        if ((w <= 2 || h <= 2) && symmetricMode) {
            printWarning(diagnostics, "Reduce # of transform steps or increase signal size");
            printWarning(diagnostics, "  or switch to periodic extension");
            printError(diagnostics, "Low pass subband is too small");
        }

        runInPieces(h, w, [&](int firstRow, int lastRow) {
            Workspace& work = workspaceFor(longest);
            for (int y = firstRow; y < lastRow; ++y) {
                float* row = destination + static_cast<std::size_t>(y) * rowLength;
                std::copy(row, row + w, work.padded.data() + pad);
                analyse(work.padded.data(), w, symmetricMode, row, work);
            }
        });

        const int blocks = (w + kColumnBlock - 1) / kColumnBlock;
        runInPieces(blocks, std::int64_t{kColumnBlock} * h, [&](int firstBlock, int lastBlock) {
            Workspace& work = workspaceFor(longest);
            float* columnsIn = work.columnsIn.data();
            float* columnsOut = work.columnsOut.data();
            for (int x0 = firstBlock * kColumnBlock; x0 < std::min(w, lastBlock * kColumnBlock); x0 += kColumnBlock) {
                const int block = std::min(kColumnBlock, w - x0);
                throughColumns(destination, rowLength, x0, block, h, columnsIn, columnStride, pad, columnsOut, [&] {
                    for (int c = 0; c < block; ++c)
                        analyse(columnsIn + static_cast<std::size_t>(c) * columnStride, h, symmetricMode,
                                columnsOut + static_cast<std::size_t>(c) * cells(h), work);
                });
            }
        });

        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    return true;
}

bool Wavelet::invert2d(const float* source, float* destination, int width, int height, int steps, int flag,
                       std::uint32_t zeroBands) const
{
    if (width < 1 || height < 1)
        return false;
    const std::size_t rowLength = static_cast<std::size_t>(width);
    if (source != destination)
        std::copy(source, source + rowLength * static_cast<std::size_t>(height), destination);
    if (steps < 1)
        return false;

    const bool symmetricMode = resolvesToSymmetric(flag);
    const int longest = std::max(width, height);

    // Block sizes of every level: level k works on the W_{k-1} x H_{k-1} block.
    std::vector<int> widths(cells(steps));
    std::vector<int> heights(cells(steps));
    for (int k = 0, w = width, h = height; k < steps; ++k) {
        widths[static_cast<std::size_t>(k)] = w;
        heights[static_cast<std::size_t>(k)] = h;
        w = (w + 1) / 2;
        h = (h + 1) / 2;
    }
    const auto zero = [zeroBands](int band) { return band < 32 && ((zeroBands >> band) & 1u) != 0; };

    for (int k = steps - 1; k >= 0; --k) {
        const int w = widths[static_cast<std::size_t>(k)];
        const int h = heights[static_cast<std::size_t>(k)];
        const std::size_t length = cells(h);
        const int lowWidth = (w + 1) / 2;
        // This level's high bands: the right half's upper and lower parts and the left half's lower part.
        const int firstBand = 1 + 3 * (steps - 1 - k);
        const bool upperRightZero = zero(firstBand);
        const bool lowerLeftZero = zero(firstBand + 1);
        const bool lowerRightZero = zero(firstBand + 2);
        // Columns of a right half of zeros synthesise to +0, which they hold already.
        const bool rightZero = upperRightZero && lowerRightZero;
        const int columns = rightZero ? lowWidth : w;

        const int blocks = (columns + kColumnBlock - 1) / kColumnBlock;
        runInPieces(blocks, std::int64_t{kColumnBlock} * h, [&](int firstBlock, int lastBlock) {
            Workspace& work = workspaceFor(longest);
            float* columnsIn = work.columnsIn.data();
            float* columnsOut = work.columnsOut.data();
            for (int x0 = firstBlock * kColumnBlock; x0 < std::min(columns, lastBlock * kColumnBlock);
                 x0 += kColumnBlock) {
                const int block = std::min(kColumnBlock, w - x0);
                throughColumns(destination, rowLength, x0, block, h, columnsIn, length, 0, columnsOut, [&] {
                    for (int c = 0; c < block; ++c) {
                        const bool right = x0 + c >= lowWidth;
                        synthesise(columnsIn + static_cast<std::size_t>(c) * length, h, symmetricMode,
                                   columnsOut + static_cast<std::size_t>(c) * length, work,
                                   right && upperRightZero, right ? lowerRightZero : lowerLeftZero);
                    }
                });
            }
        });

        runInPieces(h, w, [&](int firstRow, int lastRow) {
            Workspace& work = workspaceFor(longest);
            for (int y = firstRow; y < lastRow; ++y) {
                float* row = destination + static_cast<std::size_t>(y) * rowLength;
                synthesise(row, w, symmetricMode, row, work, false, rightZero);
            }
        });
    }
    return true;
}

} // namespace nubo
