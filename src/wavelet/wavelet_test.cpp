#include "wavelet/wavelet.h"

#include "wavelet/filters.h"
#include "wavelet/wavelet_test_reference.h"
#include "wavelet/wavelet_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace nubo {
namespace {

using reference::bitPatterns;

constexpr float kGuard = -777.0f;

// A padded buffer for a signal of length n with guard cells on both sides, to catch writes outside it.
struct GuardedBuffer {
    GuardedBuffer(int n, int pad, int guard = 32)
        : guardCells(guard), cellCount(n + 2 * pad), storage(static_cast<std::size_t>(cellCount + 2 * guard), kGuard)
    {
        for (int i = 0; i < cellCount; ++i)
            cells()[i] = 0.0f;
    }
    float* cells() { return storage.data() + guardCells; }
    bool guardsIntact() const
    {
        for (int i = 0; i < guardCells; ++i)
            if (storage[static_cast<std::size_t>(i)] != kGuard
                || storage[storage.size() - 1 - static_cast<std::size_t>(i)] != kGuard)
                return false;
        return true;
    }

    int guardCells;
    int cellCount;
    std::vector<float> storage;
};

std::vector<float> padded(const std::vector<float>& signal, int pad)
{
    std::vector<float> buffer(signal.size() + 2 * static_cast<std::size_t>(pad), -1000.0f);
    std::copy(signal.begin(), signal.end(), buffer.begin() + pad);
    return buffer;
}

std::vector<float> signalOf(int n, std::uint32_t seed)
{
    return reference::testPlane(n, 1, seed);
}

// Whole-sample mirror, half-sample mirror and the antisymmetric kinds, cell by cell on a four-sample signal.
TEST(WaveletExtension, SymmetricKindsByHand)
{
    const Wavelet wavelet(cdf97()); // 9 pad cells: the signal sits in cells 9 ... 12
    using Cells = std::vector<float>;
    const auto extended = [&](int left, int right, int sign) {
        Cells buffer = padded({1, 2, 3, 4}, 9);
        wavelet.symmetricExtension(buffer.data(), 4, left, right, sign);
        return buffer;
    };
    const auto before = [](const Cells& buffer, int count) {
        return Cells(buffer.begin() + 9 - count, buffer.begin() + 9);
    };
    const auto after = [](const Cells& buffer, int count) {
        return Cells(buffer.begin() + 13, buffer.begin() + 13 + count);
    };

    const Cells wholeSample = extended(1, 1, 1);
    EXPECT_EQ(before(wholeSample, 7), (Cells{2, 1, 2, 3, 4, 3, 2}));
    EXPECT_EQ(after(wholeSample, 7), (Cells{3, 2, 1, 2, 3, 4, 3}));

    const Cells halfSample = extended(2, 2, 1);
    EXPECT_EQ(before(halfSample, 6), (Cells{3, 4, 4, 3, 2, 1}));
    EXPECT_EQ(after(halfSample, 6), (Cells{4, 3, 2, 1, 1, 2}));

    const Cells antisymmetricRightZero = extended(2, 1, -1);
    EXPECT_EQ(before(antisymmetricRightZero, 6), (Cells{4, 0, -4, -3, -2, -1}));
    EXPECT_EQ(after(antisymmetricRightZero, 6), (Cells{0, -4, -3, -2, -1, 1}));

    const Cells antisymmetricLeftZero = extended(1, 2, -1);
    EXPECT_EQ(before(antisymmetricLeftZero, 3), (Cells{-2, -1, 0}));
    EXPECT_EQ(after(antisymmetricLeftZero, 2), (Cells{-4, -3}));
}

// Periodic extension wraps the signal around, even when it is shorter than the pad.
TEST(WaveletExtension, PeriodicWrapsShortSignals)
{
    const Wavelet wavelet(cdf97());
    std::vector<float> buffer = padded({1, 2, 3}, 9);
    wavelet.periodicExtension(buffer.data(), 3);
    for (int i = 0; i < 3 + 18; ++i)
        EXPECT_EQ(buffer[static_cast<std::size_t>(i)], static_cast<float>((i - 9 + 300) % 3 + 1)) << "cell " << i;
}

// Lengths 0 and 1 have no mirror to speak of: zero pads and constant pads, nothing written outside the buffer.
TEST(WaveletExtension, TinySignalsStayInsideTheirBuffers)
{
    for (std::string_view name : filterSetNames()) {
        const Wavelet wavelet(*findFilterSet(name));
        const int pad = wavelet.padLength;
        for (int l : {1, 2}) {
            for (int r : {1, 2}) {
                for (int s : {1, -1}) {
                    GuardedBuffer empty(0, pad);
                    for (int i = 0; i < empty.cellCount; ++i)
                        empty.cells()[i] = 5.0f;
                    wavelet.symmetricExtension(empty.cells(), 0, l, r, s);
                    EXPECT_TRUE(empty.guardsIntact()) << name;
                    for (int i = 0; i < empty.cellCount; ++i)
                        EXPECT_EQ(empty.cells()[i], 0.0f) << name << " cell " << i;

                    GuardedBuffer single(1, pad);
                    single.cells()[pad] = 3.0f;
                    wavelet.symmetricExtension(single.cells(), 1, l, r, s);
                    EXPECT_TRUE(single.guardsIntact()) << name;
                    EXPECT_EQ(single.cells()[pad], 3.0f);
                    if (s == 1) {
                        for (int i = 0; i < single.cellCount; ++i)
                            EXPECT_EQ(single.cells()[i], 3.0f) << name << " kinds " << l << r << " cell " << i;
                    }
                }
            }
            GuardedBuffer single(1, pad);
            single.cells()[pad] = 3.0f;
            wavelet.periodicExtension(single.cells(), 1);
            EXPECT_TRUE(single.guardsIntact());
            for (int i = 0; i < single.cellCount; ++i)
                EXPECT_EQ(single.cells()[i], 3.0f);
        }
    }
}

// The extension agrees with the plain transcription for every kind, sign and short length.
TEST(WaveletExtension, MatchesReferenceForAllKinds)
{
    for (std::string_view name : {"haar", "cdf97", "bior10x18"}) {
        const Wavelet wavelet(*findFilterSet(name));
        for (int n = 0; n <= 41; ++n) {
            for (int l : {1, 2}) {
                for (int r : {1, 2}) {
                    for (int s : {1, -1}) {
                        const std::vector<float> signal = signalOf(n, 7u + static_cast<std::uint32_t>(n));
                        std::vector<float> fast = padded(signal, wavelet.padLength);
                        std::vector<float> slow = fast;
                        wavelet.symmetricExtension(fast.data(), n, l, r, s);
                        reference::symmetricExtension(wavelet, slow.data(), n, l, r, s);
                        EXPECT_EQ(bitPatterns(fast.data(), fast.size()), bitPatterns(slow.data(), slow.size()))
                            << name << " n " << n << " kinds " << l << r << " sign " << s;
                    }
                }
            }
        }
    }
}

// Both one-dimensional steps give exactly the bits of the plain per-tap loops, for every set, mode and length.
TEST(WaveletSteps, MatchReferenceBitForBit)
{
    for (std::string_view name : filterSetNames()) {
        const Wavelet wavelet(*findFilterSet(name));
        const int pad = wavelet.padLength;
        for (int mode : {1, 0}) {
            for (int n = 1; n <= 40; ++n) {
                const std::vector<float> signal = signalOf(n, 100u + static_cast<std::uint32_t>(n));
                std::vector<float> fastIn = padded(signal, pad);
                std::vector<float> slowIn = fastIn;
                std::vector<float> fastOut(fastIn.size());
                std::vector<float> slowOut(fastIn.size());
                wavelet.analysisStep(fastIn.data(), fastOut.data(), n, mode);
                reference::analysisStep(wavelet, slowIn.data(), slowOut.data(), n, mode);
                EXPECT_EQ(bitPatterns(fastOut.data() + pad, static_cast<std::size_t>(n)),
                          bitPatterns(slowOut.data() + pad, static_cast<std::size_t>(n)))
                    << "analysis " << name << " mode " << mode << " n " << n;

                std::vector<float> fastBack(fastIn.size());
                std::vector<float> slowBack(fastIn.size());
                wavelet.synthesisStep(slowOut.data(), fastBack.data(), n, mode);
                reference::synthesisStep(wavelet, slowOut.data(), slowBack.data(), n, mode);
                EXPECT_EQ(bitPatterns(fastBack.data() + pad, static_cast<std::size_t>(n)),
                          bitPatterns(slowBack.data() + pad, static_cast<std::size_t>(n)))
                    << "synthesis " << name << " mode " << mode << " n " << n;
            }
        }
    }
}

double largestError(const std::vector<float>& expected, const float* actual)
{
    double worst = 0.0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        worst = std::max(worst, std::fabs(static_cast<double>(expected[i]) - static_cast<double>(actual[i])));
    return worst;
}

std::vector<float> roundTrip(const Wavelet& wavelet, const std::vector<float>& signal, int mode)
{
    const int n = static_cast<int>(signal.size());
    std::vector<float> in = padded(signal, wavelet.padLength);
    std::vector<float> coefficients(in.size());
    std::vector<float> out(in.size());
    wavelet.analysisStep(in.data(), coefficients.data(), n, mode);
    wavelet.synthesisStep(coefficients.data(), out.data(), n, mode);
    return std::vector<float>(out.begin() + wavelet.padLength, out.begin() + wavelet.padLength + n);
}

// Symmetric cdf97 steps reconstruct any signal of two or more samples, odd lengths included.
TEST(WaveletSteps, SymmetricRoundTripAnyLength)
{
    const Wavelet wavelet(cdf97());
    for (int n = 2; n <= 65; ++n) {
        const std::vector<float> signal = signalOf(n, 3u * static_cast<std::uint32_t>(n));
        const std::vector<float> back = roundTrip(wavelet, signal, 1);
        EXPECT_LT(largestError(signal, back.data()), 1e-3) << "n " << n;
    }
}

// Periodic steps reconstruct even lengths only; an odd signal does not come back.
TEST(WaveletSteps, PeriodicRoundTripNeedsEvenLength)
{
    for (std::string_view name : {"cdf97", "daub4", "haar"}) {
        const Wavelet wavelet(*findFilterSet(name));
        for (int n : {2, 4, 6, 10, 32}) {
            const std::vector<float> signal = signalOf(n, 11u);
            EXPECT_LT(largestError(signal, roundTrip(wavelet, signal, 0).data()), 1e-3) << name << " n " << n;
        }
    }
    const Wavelet wavelet(cdf97());
    const std::vector<float> signal = signalOf(5, 11u);
    EXPECT_GT(largestError(signal, roundTrip(wavelet, signal, 0).data()), 1.0);
}

// A one-sample signal is its own low band, scaled by the low-pass sum, and the inverse brings it back.
TEST(WaveletSteps, SingleSampleRoundTrip)
{
    for (std::string_view name : filterSetNames()) {
        const Wavelet wavelet(*findFilterSet(name));
        for (int mode : {1, 0}) {
            GuardedBuffer in(1, wavelet.padLength);
            GuardedBuffer coefficients(1, wavelet.padLength);
            GuardedBuffer out(1, wavelet.padLength);
            in.cells()[wavelet.padLength] = 100.0f;
            wavelet.analysisStep(in.cells(), coefficients.cells(), 1, mode);
            EXPECT_NEAR(coefficients.cells()[wavelet.padLength], 100.0 * std::sqrt(2.0), 1e-3) << name;
            wavelet.synthesisStep(coefficients.cells(), out.cells(), 1, mode);
            EXPECT_NEAR(out.cells()[wavelet.padLength], 100.0f, 1e-3) << name << " mode " << mode;
            EXPECT_TRUE(in.guardsIntact() && coefficients.guardsIntact() && out.guardsIntact()) << name;
        }
    }
}

// The fast two-dimensional transform and its inverse agree bit for bit with the plain row and column loops.
TEST(Wavelet2d, MatchesReferenceBitForBit)
{
    struct Case {
        const char* set;
        int width, height, steps, flag;
    };
    const Case cases[] = {
        {"cdf97", 37, 21, 4, -1}, {"cdf97", 64, 48, 5, -1}, {"cdf97", 5, 3, 2, -1},  {"cdf97", 1, 9, 3, -1},
        {"cdf97", 33, 1, 2, 1},   {"cdf97", 17, 40, 3, 0},  {"daub8", 24, 18, 2, -1}, {"bior10x18", 41, 29, 3, -1},
        {"haar", 9, 7, 3, -1},    {"bior6x10", 30, 19, 3, 1}, {"qmf9", 12, 12, 2, -1},
    };
    for (const Case& c : cases) {
        const Wavelet wavelet(*findFilterSet(c.set));
        const std::vector<float> plane = reference::testPlane(c.width, c.height, 42u);
        std::vector<float> fast(plane.size());
        std::vector<float> slow(plane.size());
        StringSink quiet;
        EXPECT_TRUE(wavelet.transform2d(plane.data(), fast.data(), c.width, c.height, c.steps, c.flag, quiet));
        reference::transform2d(wavelet, plane.data(), slow.data(), c.width, c.height, c.steps, c.flag);
        EXPECT_EQ(bitPatterns(fast.data(), fast.size()), bitPatterns(slow.data(), slow.size()))
            << "forward " << c.set << " " << c.width << "x" << c.height;

        std::vector<float> fastBack(plane.size());
        std::vector<float> slowBack(plane.size());
        EXPECT_TRUE(wavelet.invert2d(slow.data(), fastBack.data(), c.width, c.height, c.steps, c.flag));
        reference::invert2d(wavelet, slow.data(), slowBack.data(), c.width, c.height, c.steps, c.flag);
        EXPECT_EQ(bitPatterns(fastBack.data(), fastBack.size()), bitPatterns(slowBack.data(), slowBack.size()))
            << "inverse " << c.set << " " << c.width << "x" << c.height;
    }
}

// Bands named as zero are passed over without changing a bit of the result: each band alone, a level's right
// half (whose columns are then left as they are), a whole level, every high band; odd and even sizes, both
// extensions, filters with odd and even low-pass lengths.
TEST(Wavelet2d, ZeroBandsGiveTheSameBits)
{
    struct Case {
        const char* set;
        int width, height, steps, flag;
    };
    const Case cases[] = {
        {"cdf97", 37, 21, 4, -1}, {"cdf97", 64, 48, 5, -1}, {"cdf97", 1, 9, 3, -1}, {"cdf97", 33, 2, 2, 1},
        {"cdf97", 20, 40, 3, 0},  {"daub8", 24, 18, 2, -1}, {"bior10x18", 41, 29, 3, -1},
    };
    for (const Case& c : cases) {
        const Wavelet wavelet(*findFilterSet(c.set));
        std::vector<float> coefficients(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height));
        StringSink quiet;
        wavelet.transform2d(reference::testPlane(c.width, c.height, 7u).data(), coefficients.data(), c.width,
                            c.height, c.steps, c.flag, quiet);
        const std::vector<SubbandRect> layout = subbandLayout(c.width, c.height, c.steps);
        ASSERT_EQ(layout.size(), static_cast<std::size_t>(3 * c.steps + 1));

        std::vector<std::uint32_t> masks;
        for (int b = 1; b <= 3 * c.steps; ++b)
            masks.push_back(std::uint32_t{1} << b);
        for (int level = 0; level < c.steps; ++level) {
            const int first = 1 + 3 * level;
            masks.push_back(std::uint32_t{5} << first); // the right half
            masks.push_back(std::uint32_t{7} << first); // the whole level
        }
        masks.push_back(((std::uint32_t{1} << (3 * c.steps + 1)) - 1) & ~std::uint32_t{1});

        for (const std::uint32_t mask : masks) {
            std::vector<float> zeroed = coefficients;
            for (int b = 1; b <= 3 * c.steps; ++b) {
                if (((mask >> b) & 1u) == 0)
                    continue;
                const SubbandRect& rect = layout[static_cast<std::size_t>(b)];
                for (int y = rect.y; y < rect.y + rect.height; ++y) {
                    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(c.width);
                    std::fill_n(zeroed.data() + row + rect.x, rect.width, 0.0f);
                }
            }
            std::vector<float> everyBand(zeroed.size());
            std::vector<float> skipping = zeroed;
            wavelet.invert2d(zeroed.data(), everyBand.data(), c.width, c.height, c.steps, c.flag);
            wavelet.invert2d(skipping.data(), skipping.data(), c.width, c.height, c.steps, c.flag, mask);
            EXPECT_EQ(bitPatterns(everyBand.data(), everyBand.size()), bitPatterns(skipping.data(), skipping.size()))
                << c.set << " " << c.width << "x" << c.height << " zero bands " << mask;
        }
    }
}

// In place (source = destination) gives the same result as into a separate array.
TEST(Wavelet2d, InPlaceEqualsCopy)
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> plane = reference::testPlane(23, 17, 5u);
    std::vector<float> copy(plane.size());
    std::vector<float> inPlace = plane;
    StringSink quiet;
    wavelet.transform2d(plane.data(), copy.data(), 23, 17, 3, -1, quiet);
    wavelet.transform2d(inPlace.data(), inPlace.data(), 23, 17, 3, -1, quiet);
    EXPECT_EQ(bitPatterns(copy.data(), copy.size()), bitPatterns(inPlace.data(), inPlace.size()));
}

// The three lines come once per step whose block is 2 or fewer samples on a side, in order, then the step runs.
TEST(Wavelet2d, SmallBlockDiagnostics)
{
    const Wavelet wavelet(cdf97());
    const std::string lines = "Warning: Reduce # of transform steps or increase signal size\n"
                              "Warning:   or switch to periodic extension\n"
                              "Error: Low pass subband is too small\n";
    const std::vector<float> plane = reference::testPlane(4, 4, 9u);
    std::vector<float> out(plane.size());

    StringSink twoSteps;
    wavelet.transform2d(plane.data(), out.data(), 4, 4, 2, -1, twoSteps);
    EXPECT_EQ(twoSteps.text(), lines);
    EXPECT_NE(bitPatterns(out.data(), out.size()), bitPatterns(plane.data(), plane.size()));

    StringSink threeSteps; // 4x4, then 2x2, then 1x1
    wavelet.transform2d(plane.data(), out.data(), 4, 4, 3, 1, threeSteps);
    EXPECT_EQ(threeSteps.text(), lines + lines);

    StringSink narrow; // 2 wide from the first step
    wavelet.transform2d(reference::testPlane(2, 50, 1u).data(), std::vector<float>(100).data(), 2, 50, 1, -1, narrow);
    EXPECT_EQ(narrow.text(), lines);

    StringSink periodic;
    wavelet.transform2d(plane.data(), out.data(), 4, 4, 3, 0, periodic);
    EXPECT_EQ(periodic.text(), "");

    StringSink roomy;
    wavelet.transform2d(plane.data(), out.data(), 4, 4, 1, -1, roomy);
    EXPECT_EQ(roomy.text(), "");
}

// Zero steps or an empty plane are refused: nothing transformed, the destination a plain copy.
TEST(Wavelet2d, RefusesZeroStepsAndEmptyPlanes)
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> plane = reference::testPlane(6, 5, 2u);
    std::vector<float> out(plane.size(), 0.0f);
    EXPECT_FALSE(wavelet.transform2d(plane.data(), out.data(), 6, 5, 0, -1, discardSink()));
    EXPECT_EQ(out, plane);
    std::fill(out.begin(), out.end(), 0.0f);
    EXPECT_FALSE(wavelet.invert2d(plane.data(), out.data(), 6, 5, -3, -1));
    EXPECT_EQ(out, plane);
    EXPECT_FALSE(wavelet.transform2d(plane.data(), out.data(), 0, 5, 2, -1, discardSink()));
    EXPECT_FALSE(wavelet.invert2d(plane.data(), out.data(), 6, 0, 2, -1));
}

} // namespace
} // namespace nubo
