#include "commands/rate_sweep.h"

#include "commands/coding_commands.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace nubo {
namespace {

using test::makeDocument;
using test::patternImage;
using test::region;

std::string encodedAt(const RasterImage& picture, std::initializer_list<Region> regions, int backgroundRatio)
{
    const DocumentData document = makeDocument(picture, regions, backgroundRatio, 4);
    StatusOr<EncodedStream> encoded = encodeDocument(document, discardSink());
    EXPECT_TRUE(encoded.ok()) << encoded.reason();
    return encoded.ok() ? std::move(encoded->bytes) : std::string();
}

// Varying the background: each point's bytes are those "Encode img to file" writes at that ratio; fewer bytes and
// a lower PSNR as the ratio grows; the document itself keeps its ratios.
TEST(RateSweep, BackgroundRatiosMatchSingleEncodings)
{
    const RasterImage picture = patternImage(96, 80, 11);
    const Region face = region(10, 10, 50, 50, CoderKind::Wavelet, 2);
    const DocumentData document = makeDocument(picture, {face}, 7, 4);
    const StatusOr<SweepResult> swept = runRateSweep(document, {4, 16, 64}, SweepVary::Background);
    ASSERT_TRUE(swept.ok()) << swept.reason();
    ASSERT_EQ(swept->points.size(), 3u);
    EXPECT_FALSE(swept->cancelled);
    double lastPsnr = INFINITY;
    std::uint64_t lastBytes = UINT64_MAX;
    for (const SweepPoint& point : swept->points) {
        EXPECT_EQ(point.bytes, encodedAt(picture, {face}, point.ratio).size()) << point.ratio;
        EXPECT_DOUBLE_EQ(point.bitsPerPixel, point.bytes * 8.0 / (96 * 80));
        EXPECT_LT(point.bytes, lastBytes);
        EXPECT_LT(point.background.psnr, lastPsnr);
        lastBytes = point.bytes;
        lastPsnr = point.background.psnr;
        EXPECT_EQ(point.regions.pixels, 41 * 41);
        EXPECT_EQ(point.background.pixels, 96 * 80 - 41 * 41);
        EXPECT_EQ(point.whole.pixels, 96 * 80);
        EXPECT_TRUE(point.whole.ssimMeasured);
        EXPECT_GE(point.encodeSeconds, 0.0);
    }
    // The region keeps its ratio, so its pixels come out the same at every background ratio.
    EXPECT_DOUBLE_EQ(swept->points[0].regions.psnr, swept->points[2].regions.psnr);
    EXPECT_EQ(document.background().ratio(), 7);
}

// Varying the regions changes every wavelet region's ratio and leaves lossless regions and the background alone.
TEST(RateSweep, RegionsAndAll)
{
    const RasterImage picture = patternImage(96, 80, 12);
    const Region wavelet = region(2, 2, 45, 45, CoderKind::Wavelet, 1);
    const Region lossless = region(50, 2, 70, 20, CoderKind::Arithmetic);
    const DocumentData document = makeDocument(picture, {wavelet, lossless}, 9, 4);
    const StatusOr<SweepResult> regions = runRateSweep(document, {30}, SweepVary::Regions);
    ASSERT_TRUE(regions.ok()) << regions.reason();
    const Region varied = region(2, 2, 45, 45, CoderKind::Wavelet, 30);
    EXPECT_EQ(regions->points[0].bytes, encodedAt(picture, {varied, lossless}, 9).size());
    const StatusOr<SweepResult> all = runRateSweep(document, {30}, SweepVary::All);
    ASSERT_TRUE(all.ok());
    EXPECT_EQ(all->points[0].bytes, encodedAt(picture, {varied, lossless}, 30).size());
    EXPECT_EQ(document.regions().at(0).ratio, 1);
}

// The callback sees each ratio begin and end, in order; returning false stops the sweep with what it finished.
TEST(RateSweep, ProgressAndCancel)
{
    const DocumentData document = makeDocument(patternImage(64, 48, 13), {}, 1, 3);
    std::vector<std::pair<int, bool>> calls;
    const StatusOr<SweepResult> stopped =
        runRateSweep(document, {5, 10, 20}, SweepVary::Background, [&](int finished, int total, const SweepPoint* p) {
            EXPECT_EQ(total, 3);
            calls.emplace_back(finished, p != nullptr);
            return !(finished == 1 && p != nullptr);
        });
    ASSERT_TRUE(stopped.ok());
    EXPECT_TRUE(stopped->cancelled);
    ASSERT_EQ(stopped->points.size(), 1u);
    EXPECT_EQ(stopped->points[0].ratio, 5);
    EXPECT_EQ(calls, (std::vector<std::pair<int, bool>>{{0, false}, {1, true}}));
    EXPECT_FALSE(stopped->points[0].regions.measured); // no regions
}

// Ratios outside 1 to 500, no ratios and an empty picture are refused with a reason.
TEST(RateSweep, RefusedSweeps)
{
    const DocumentData document = makeDocument(patternImage(32, 32, 14), {}, 1, 3);
    EXPECT_EQ(runRateSweep(document, {10, 501}, SweepVary::Background).reason(), "ratio 501 is outside 1 to 500");
    EXPECT_EQ(runRateSweep(document, {0}, SweepVary::All).reason(), "ratio 0 is outside 1 to 500");
    EXPECT_FALSE(runRateSweep(document, {}, SweepVary::Background).ok());
    EXPECT_FALSE(runRateSweep(DocumentData(), {10}, SweepVary::Background).ok());
}

// Spread ratios: both ends kept, logarithmic steps between them, rounding repeats dropped.
TEST(RateSweep, SpreadRatios)
{
    EXPECT_EQ(spreadRatios(5, 80, 5), (std::vector<int>{5, 10, 20, 40, 80}));
    EXPECT_EQ(spreadRatios(80, 5, 3), (std::vector<int>{80, 20, 5}));
    EXPECT_EQ(spreadRatios(1, 3, 6), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(spreadRatios(7, 500, 1), std::vector<int>{7});
    EXPECT_TRUE(spreadRatios(7, 500, 0).empty());
}

} // namespace
} // namespace nubo
