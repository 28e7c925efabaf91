#include "wavelet/wavelet_transform.h"

#include "common/limits.h"
#include "test_support/test_support.h"
#include "wavelet/wavelet_test_reference.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace nubo {
namespace {

using reference::bitPatterns;

FloatImage testImage(int width, int height, std::uint32_t seed)
{
    const std::vector<float> plane = reference::testPlane(width, height, seed);
    return FloatImage(plane.data(), width, height);
}

// The fingerprint of the coefficients' bit patterns, band after band, each pattern low byte first.
std::uint64_t checksum(const float* values, std::size_t count)
{
    std::string bytes;
    bytes.reserve(count * 4);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t pattern = reference::bits(values[i]);
        for (int byte = 0; byte < 4; ++byte) {
            bytes.push_back(static_cast<char>(pattern & 0xffu));
            pattern >>= 8;
        }
    }
    return test::fingerprint(bytes);
}

double largestError(const FloatImage& expected, const FloatImage& actual)
{
    double worst = 0.0;
    for (std::size_t i = 0; i < expected.data.size(); ++i)
        worst = std::max(worst, std::fabs(static_cast<double>(expected.data[i]) - static_cast<double>(actual.data[i])));
    return worst;
}

// The worked example: a 5 x 3 plane over two steps, band by band, packed without gaps.
TEST(WaveletTransformBands, FiveByThreeTwoSteps)
{
    const Wavelet wavelet(cdf97());
    StringSink quiet;
    WaveletTransform transform(wavelet, testImage(5, 3, 1u), 2, -1, quiet);
    ASSERT_TRUE(transform.valid());
    ASSERT_EQ(transform.subbandCount(), 7);
    const int widths[] = {2, 1, 2, 1, 2, 3, 2};
    const int heights[] = {1, 1, 1, 1, 2, 1, 1};
    int total = 0;
    for (int b = 0; b < 7; ++b) {
        EXPECT_EQ(transform.subbandWidth(b), widths[b]) << "band " << b;
        EXPECT_EQ(transform.subbandHeight(b), heights[b]) << "band " << b;
        EXPECT_EQ(transform.subbandSize(b), widths[b] * heights[b]);
        EXPECT_EQ(transform.subbandData(b), transform.data() + total) << "band " << b;
        total += transform.subbandSize(b);
    }
    EXPECT_EQ(total, 15);
    EXPECT_EQ(transform.width(), 5);
    EXPECT_EQ(transform.height(), 3);
    EXPECT_EQ(transform.steps(), 2);
}

// With one step the four bands split each side into its (n + 1) / 2 low and n / 2 high samples.
TEST(WaveletTransformBands, OneStepSizes)
{
    const Wavelet wavelet(cdf97());
    for (int width : {2, 3, 8, 11}) {
        for (int height : {2, 5, 6}) {
            const WaveletTransform transform(wavelet, width, height, 1, -1);
            ASSERT_EQ(transform.subbandCount(), 4);
            EXPECT_EQ(transform.subbandWidth(0), (width + 1) / 2);
            EXPECT_EQ(transform.subbandHeight(0), (height + 1) / 2);
            EXPECT_EQ(transform.subbandWidth(1), width / 2);
            EXPECT_EQ(transform.subbandHeight(1), (height + 1) / 2);
            EXPECT_EQ(transform.subbandWidth(2), (width + 1) / 2);
            EXPECT_EQ(transform.subbandHeight(2), height / 2);
            EXPECT_EQ(transform.subbandWidth(3), width / 2);
            EXPECT_EQ(transform.subbandHeight(3), height / 2);
        }
    }
}

// Each band holds, row by row, its own region of the two-dimensional transform's result.
TEST(WaveletTransformBands, BandsCopyTheirRegions)
{
    const Wavelet wavelet(cdf97());
    const FloatImage image = testImage(37, 21, 8u);
    const WaveletTransform transform(wavelet, image, 3, -1, discardSink());
    std::vector<float> plane(image.data.size());
    wavelet.transform2d(image.data.data(), plane.data(), 37, 21, 3, -1, discardSink());

    // Level sizes 37 x 21, 19 x 11, 10 x 6, 5 x 3; regions (x, y) of bands 0 ... 9.
    const int x[] = {0, 5, 0, 5, 10, 0, 10, 19, 0, 19};
    const int y[] = {0, 0, 3, 3, 0, 6, 6, 0, 11, 11};
    for (int b = 0; b < transform.subbandCount(); ++b) {
        const float* band = transform.subbandData(b);
        for (int r = 0; r < transform.subbandHeight(b); ++r)
            for (int c = 0; c < transform.subbandWidth(b); ++c)
                ASSERT_EQ(reference::bits(band[r * transform.subbandWidth(b) + c]),
                          reference::bits(plane[static_cast<std::size_t>((y[b] + r) * 37 + x[b] + c)]))
                    << "band " << b << " row " << r << " column " << c;
    }
}

// The layout a decoder pastes into is the transform's own: the same band sizes in the same order, tiling the plane
// exactly once, with the places the worked example gives; refused sizes and step counts give no layout.
TEST(WaveletTransformBands, LayoutTilesThePlaneLikeTheTransform)
{
    const Wavelet wavelet(cdf97());
    const std::vector<SubbandRect> example = subbandLayout(37, 21, 3);
    const int x[] = {0, 5, 0, 5, 10, 0, 10, 19, 0, 19};
    const int y[] = {0, 0, 3, 3, 0, 6, 6, 0, 11, 11};
    ASSERT_EQ(example.size(), 10u);
    for (std::size_t b = 0; b < example.size(); ++b) {
        EXPECT_EQ(example[b].x, x[b]) << "band " << b;
        EXPECT_EQ(example[b].y, y[b]) << "band " << b;
    }
    for (const auto& size : {std::pair{1, 1}, std::pair{1, 9}, std::pair{37, 21}, std::pair{64, 48}}) {
        for (const int steps : {1, 3, 5}) {
            const WaveletTransform transform(wavelet, size.first, size.second, steps, -1);
            const std::vector<SubbandRect> layout = subbandLayout(size.first, size.second, steps);
            ASSERT_EQ(static_cast<int>(layout.size()), transform.subbandCount());
            std::vector<int> covered(static_cast<std::size_t>(size.first * size.second), 0);
            for (std::size_t b = 0; b < layout.size(); ++b) {
                EXPECT_EQ(layout[b].width, transform.subbandWidth(static_cast<int>(b)));
                EXPECT_EQ(layout[b].height, transform.subbandHeight(static_cast<int>(b)));
                for (int r = 0; r < layout[b].height; ++r)
                    for (int c = 0; c < layout[b].width; ++c)
                        ++covered[static_cast<std::size_t>((layout[b].y + r) * size.first + layout[b].x + c)];
            }
            for (const int count : covered)
                ASSERT_EQ(count, 1) << size.first << " x " << size.second << ", " << steps << " steps";
        }
    }
    EXPECT_TRUE(subbandLayout(64, 48, 0).empty());
    EXPECT_TRUE(subbandLayout(0, 48, 3).empty());
}

// A transform that takes its source over gives the same bits as one that copies it, and leaves the source empty.
TEST(WaveletTransformBands, TakingTheSourceOverGivesTheSameBands)
{
    // The taken plane is packed into bands in place: odd and even sides, and more steps than halvings.
    const Wavelet wavelet(cdf97());
    const struct {
        int width, height, steps;
    } cases[] = {{37, 21, 3}, {64, 48, 5}, {1, 9, 4}, {33, 2, 6}, {18, 35, 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.steps << " steps");
        const FloatImage image = testImage(c.width, c.height, 8u);
        const WaveletTransform copied(wavelet, image, c.steps, -1, discardSink());
        FloatImage owned = image;
        const WaveletTransform taken(wavelet, std::move(owned), c.steps, -1, discardSink());
        ASSERT_TRUE(taken.valid());
        EXPECT_TRUE(owned.data.empty());
        ASSERT_EQ(taken.subbandCount(), copied.subbandCount());
        for (int i = 0; i < c.width * c.height; ++i)
            ASSERT_EQ(reference::bits(taken.data()[i]), reference::bits(copied.data()[i])) << "coefficient " << i;
    }
    FloatImage refused(4, 4);
    refused.data.resize(3);
    EXPECT_FALSE(WaveletTransform(wavelet, std::move(refused), 2, -1, discardSink()).valid());
}

// Forward then inverse gives the plane back to float rounding, odd sizes and many steps included.
TEST(WaveletTransformRoundTrip, ReconstructsWithinRounding)
{
    const Wavelet wavelet(cdf97());
    struct Case {
        int width, height, steps;
    };
    for (const Case c : {Case{5, 3, 1}, Case{37, 21, 4}, Case{13, 7, 2}, Case{99, 65, 5}, Case{64, 64, 5},
                         Case{2, 2, 1}, Case{3, 10, 1}}) {
        const FloatImage image = testImage(c.width, c.height, 77u);
        const WaveletTransform transform(wavelet, image, c.steps, -1, discardSink());
        FloatImage back;
        ASSERT_TRUE(transform.invert(back));
        ASSERT_EQ(back.width, c.width);
        ASSERT_EQ(back.height, c.height);
        EXPECT_LT(largestError(image, back), 2e-3) << c.width << "x" << c.height << " steps " << c.steps;
    }
}

// The forward transform reads its source without changing it, and invert leaves the coefficients alone.
TEST(WaveletTransformRoundTrip, SourceAndCoefficientsUnchanged)
{
    const Wavelet wavelet(cdf97());
    const FloatImage image = testImage(20, 14, 3u);
    const FloatImage copy = image;
    const WaveletTransform transform(wavelet, image, 3, -1, discardSink());
    EXPECT_EQ(image.data, copy.data);
    const std::vector<float> coefficients(transform.data(), transform.data() + 20 * 14);
    FloatImage back;
    transform.invert(back);
    transform.invert(back);
    EXPECT_EQ(std::vector<float>(transform.data(), transform.data() + 20 * 14), coefficients);
}

// A decoder's empty transform, filled band by band, inverts to exactly what the encoder's transform does.
TEST(WaveletTransformRoundTrip, EmptyConstructionFilledByBands)
{
    const Wavelet wavelet(cdf97());
    const WaveletTransform encoded(wavelet, testImage(45, 30, 6u), 4, -1, discardSink());
    WaveletTransform decoded(wavelet, 45, 30, 4, -1);
    ASSERT_EQ(decoded.subbandCount(), 13);
    for (int b = 0; b < decoded.subbandCount(); ++b) {
        ASSERT_EQ(decoded.subbandSize(b), encoded.subbandSize(b));
        for (int i = 0; i < decoded.subbandSize(b); ++i)
            EXPECT_EQ(decoded.subbandData(b)[i], 0.0f);
        std::copy(encoded.subbandData(b), encoded.subbandData(b) + encoded.subbandSize(b), decoded.subbandData(b));
    }
    FloatImage fromEncoder;
    FloatImage fromDecoder;
    ASSERT_TRUE(encoded.invert(fromEncoder));
    ASSERT_TRUE(decoded.invert(fromDecoder));
    EXPECT_EQ(bitPatterns(fromEncoder.data.data(), fromEncoder.data.size()),
              bitPatterns(fromDecoder.data.data(), fromDecoder.data.size()));
}

// A constant plane: band 0 doubles per step (sqrt(2) per direction), every detail band is 0.
TEST(WaveletTransformRoundTrip, ConstantPlane)
{
    const Wavelet wavelet(cdf97());
    FloatImage image(33, 24);
    std::fill(image.data.begin(), image.data.end(), 10.0f);
    const WaveletTransform transform(wavelet, image, 3, -1, discardSink());
    for (int i = 0; i < transform.subbandSize(0); ++i)
        EXPECT_NEAR(transform.subbandData(0)[i], 80.0f, 1e-3);
    for (int b = 1; b < transform.subbandCount(); ++b)
        for (int i = 0; i < transform.subbandSize(b); ++i)
            EXPECT_NEAR(transform.subbandData(b)[i], 0.0f, 1e-4) << "band " << b;
}

// Planes with a side of 1 at some step, and bands without coefficients, transform and come back safely.
TEST(WaveletTransformTiny, SidesOfOneAndEmptyBands)
{
    const Wavelet wavelet(cdf97());
    struct Case {
        int width, height, steps;
    };
    for (const Case c : {Case{1, 1, 5}, Case{1, 7, 4}, Case{7, 1, 4}, Case{3, 2, 4}, Case{2, 1, 1}}) {
        const FloatImage image = testImage(c.width, c.height, 12u);
        StringSink diagnostics;
        const WaveletTransform transform(wavelet, image, c.steps, -1, diagnostics);
        ASSERT_TRUE(transform.valid());
        EXPECT_EQ(transform.subbandCount(), 3 * c.steps + 1);
        EXPECT_NE(diagnostics.text(), "");
        int total = 0;
        for (int b = 0; b < transform.subbandCount(); ++b)
            total += transform.subbandSize(b);
        EXPECT_EQ(total, c.width * c.height);
        FloatImage back;
        ASSERT_TRUE(transform.invert(back));
        EXPECT_LT(largestError(image, back), 2e-3) << c.width << "x" << c.height;
    }
    // A 1 x 1 plane is its own low band, doubled per step.
    FloatImage dot(1, 1);
    dot.data[0] = 3.0f;
    const WaveletTransform transform(wavelet, dot, 2, -1, discardSink());
    EXPECT_EQ(transform.subbandSize(0), 1);
    EXPECT_NEAR(transform.subbandData(0)[0], 12.0f, 1e-4);
    for (int b = 1; b < transform.subbandCount(); ++b)
        EXPECT_EQ(transform.subbandSize(b), 0);
}

// Outside the contract (no steps, too many, no samples, a plane that lies about its size) nothing is built.
TEST(WaveletTransformTiny, RefusedConstructions)
{
    const Wavelet wavelet(cdf97());
    FloatImage target(2, 2);
    target.data = {1, 2, 3, 4};
    const FloatImage image = testImage(8, 8, 1u);
    FloatImage liar = image;
    liar.width = 9;

    for (const WaveletTransform& transform :
         {WaveletTransform(wavelet, image, 0, -1, discardSink()), WaveletTransform(wavelet, image, kMaxStages + 1, -1),
          WaveletTransform(wavelet, liar, 2, -1), WaveletTransform(wavelet, 8, 0, 2, -1),
          WaveletTransform(wavelet, kMaxImageSide + 1, 1, 2, -1), WaveletTransform(wavelet, 8, 8, 0, -1)}) {
        EXPECT_FALSE(transform.valid());
        EXPECT_EQ(transform.subbandCount(), 0);
        EXPECT_FALSE(transform.invert(target));
        EXPECT_EQ(target.data, (std::vector<float>{1, 2, 3, 4}));
        EXPECT_EQ(target.width, 2);
    }
}

// The small-block lines reach the caller's sink once for 4 x 4 over two steps, and never in periodic mode.
TEST(WaveletTransformDiagnostics, GoToTheGivenSink)
{
    const Wavelet wavelet(cdf97());
    StringSink symmetric;
    const WaveletTransform transform(wavelet, testImage(4, 4, 2u), 2, -1, symmetric);
    EXPECT_TRUE(transform.valid());
    EXPECT_EQ(symmetric.text(), "Warning: Reduce # of transform steps or increase signal size\n"
                                "Warning:   or switch to periodic extension\n"
                                "Error: Low pass subband is too small\n");
    StringSink periodic;
    const WaveletTransform quiet(wavelet, testImage(4, 4, 2u), 2, 0, periodic);
    EXPECT_EQ(periodic.text(), "");
}

// Golden bits: any change in the order or precision of the filter arithmetic changes these sums. The sums were
// made by the plain per-tap transcription as well as by the transform.
TEST(WaveletTransformGolden, ForwardAndInverseBits)
{
    const Wavelet wavelet(cdf97());
    {
        const std::vector<float> plane = reference::testPlane(37, 21, 2024u);
        std::vector<float> planeOut(plane.size());
        reference::transform2d(wavelet, plane.data(), planeOut.data(), 37, 21, 4, -1);
        std::vector<float> fastOut(plane.size());
        wavelet.transform2d(plane.data(), fastOut.data(), 37, 21, 4, -1, discardSink());
        EXPECT_EQ(checksum(planeOut.data(), planeOut.size()), 0x2dfb938041bb745aull) << "reference";
        EXPECT_EQ(checksum(fastOut.data(), fastOut.size()), 0x2dfb938041bb745aull);
    }
    const WaveletTransform transform(wavelet, testImage(37, 21, 2024u), 4, -1, discardSink());
    EXPECT_EQ(checksum(transform.data(), 37 * 21), 0x3af3c51edacc8d6aull);
    FloatImage back;
    ASSERT_TRUE(transform.invert(back));
    EXPECT_EQ(checksum(back.data.data(), back.data.size()), 0x4e2b5a0d6170559full);

    const WaveletTransform large(wavelet, testImage(128, 96, 99u), 5, -1, discardSink());
    EXPECT_EQ(checksum(large.data(), 128 * 96), 0x53e1da8ba579f4dbull);
}

// The sized allocation reports failure instead of throwing.
TEST(FloatImageAllocate, ReportsFailure)
{
    FloatImage image;
    StringSink diagnostics;
    EXPECT_TRUE(image.allocate(3, 2, diagnostics));
    EXPECT_EQ(image.data, std::vector<float>(6, 0.0f));
    EXPECT_EQ(diagnostics.text(), "");

    EXPECT_FALSE(image.allocate(INT_MAX, INT_MAX, diagnostics));
    EXPECT_TRUE(image.data.empty());
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(diagnostics.text(), "Error: Can't allocate memory for image of size 2147483647 by 2147483647\n\n");

    StringSink negative;
    EXPECT_FALSE(image.allocate(-1, 4, negative));
    EXPECT_EQ(negative.text(), "Error: Can't allocate memory for image of size -1 by 4\n\n");
}

} // namespace
} // namespace nubo
