#include "commands/coding_commands.h"

#include "roi/roi_stream_encoder.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

using test::makeDocument;
using test::patternImage;
using test::region;
using test::uniformImage;

// A healthy encoding reports no starved record, and lossless regions never starve whatever their ratio.
TEST(RoiStreamStarvation, HealthyEncodingReportsNothing)
{
    const DocumentData document = makeDocument(
        patternImage(96, 80), {region(4, 4, 44, 44, CoderKind::Wavelet, 8), region(50, 4, 90, 30, CoderKind::Arithmetic, 500)},
        20, 5);
    std::string stream;
    const StatusOr<EncodeReport> outcome = encodeRoiStream(document, stream, discardSink());
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    EXPECT_TRUE(outcome->starved.empty());
    EXPECT_TRUE(starvedRecordWarnings(*outcome).empty());
}

// A region and a background whose budgets fall under the header reserve are reported in stream order with their
// numbers, roles, budgets per plane and the smallest workable budget; the bytes are those of the same encoding.
TEST(RoiStreamStarvation, StarvedRegionAndBackgroundAreReported)
{
    const DocumentData document = makeDocument(patternImage(96, 80),
                                               {region(2, 2, 20, 20, CoderKind::Arithmetic),
                                                region(40, 20, 80, 60, CoderKind::Wavelet, 500)},
                                               500, 5);
    std::string stream;
    const StatusOr<EncodeReport> outcome = encodeRoiStream(document, stream, discardSink());
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    ASSERT_EQ(outcome->starved.size(), 2u);

    const StarvedRecord& starvedRegion = outcome->starved[0];
    EXPECT_EQ(starvedRegion.record, 2);
    EXPECT_FALSE(starvedRegion.background);
    EXPECT_EQ(starvedRegion.budgetBytes, 41 * 41 / 500);
    EXPECT_GT(starvedRegion.workableBudgetBytes, 4 * 16);
    EXPECT_EQ(starvedRegion.width, 41);
    EXPECT_EQ(starvedRegion.height, 41);

    const StarvedRecord& background = outcome->starved[1];
    EXPECT_EQ(background.record, 3);
    EXPECT_TRUE(background.background);
    EXPECT_EQ(background.budgetBytes, 96 * 80 / 500);
    EXPECT_GT(background.workableBudgetBytes, 4 * 16);

    const std::vector<std::string> warnings = starvedRecordWarnings(*outcome);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].rfind("Warning: region 2 ", 0), 0u) << warnings[0];
    EXPECT_NE(warnings[0].find(formatText("%d bytes", starvedRegion.budgetBytes)), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find(formatText("%d bytes", starvedRegion.workableBudgetBytes)), std::string::npos)
        << warnings[0];
    EXPECT_EQ(warnings[1].rfind("Warning: the background ", 0), 0u) << warnings[1];
}

// "Wavelet (colour)" records starve too: a region and a background whose shared budgets fall under the header
// reserve are reported with their budgets for the three planes together, and the ratio the warning suggests codes
// the region while the next one up does not. A flat colour region is never starved.
TEST(RoiStreamStarvation, StarvedColourRecordsAreReported)
{
    const auto encode = [](const RasterImage& image, const Region& colourRegion) {
        DocumentData document = makeDocument(image, {colourRegion}, 500, 5);
        document.background().setCoderKind(CoderKind::WaveletColour);
        std::string stream;
        StatusOr<EncodeReport> outcome = encodeRoiStream(document, stream, discardSink());
        EXPECT_TRUE(outcome.ok()) << outcome.reason();
        return outcome.ok() ? *outcome : EncodeReport{};
    };
    const RasterImage picture = patternImage(96, 80, 3);
    const EncodeReport report = encode(picture, region(10, 10, 50, 50, CoderKind::WaveletColour, 500));
    ASSERT_EQ(report.starved.size(), 2u);
    const StarvedRecord& starvedRegion = report.starved[0];
    EXPECT_EQ(starvedRegion.record, 1);
    EXPECT_TRUE(starvedRegion.sharedBudget);
    EXPECT_EQ(starvedRegion.budgetBytes, 3 * 41 * 41 / 500);
    EXPECT_GT(starvedRegion.workableBudgetBytes, starvedRegion.budgetBytes);
    EXPECT_TRUE(report.starved[1].background);
    EXPECT_EQ(report.starved[1].budgetBytes, 3 * 96 * 80 / 500);

    const std::vector<std::string> warnings = starvedRecordWarnings(report);
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_EQ(warnings[0].rfind(formatText("Warning: region 1 is starved: its budget of %d bytes for its three colour "
                                           "planes together codes nothing but the mean; the smallest workable budget "
                                           "is %d bytes (ratio ",
                                           starvedRegion.budgetBytes, starvedRegion.workableBudgetBytes),
                                0),
              0u)
        << warnings[0];
    EXPECT_EQ(warnings[1].rfind("Warning: the background ", 0), 0u) << warnings[1];

    const int ratio = largestWorkableRatio(starvedRegion);
    ASSERT_GE(ratio, 1);
    EXPECT_EQ(encode(picture, region(10, 10, 50, 50, CoderKind::WaveletColour, ratio)).starved.size(), 1u);
    EXPECT_EQ(encode(picture, region(10, 10, 50, 50, CoderKind::WaveletColour, ratio + 1)).starved.size(), 2u);
    EXPECT_EQ(encode(uniformImage(96, 80, 30, 90, 150), region(10, 10, 50, 50, CoderKind::WaveletColour, 500))
                  .starved.size(),
              0u);
}

// The ratio the warning suggests is enough: the region coded at it is no longer starved.
TEST(RoiStreamStarvation, SuggestedRatioCodesTheRegion)
{
    const Region starving = region(10, 10, 50, 50, CoderKind::Wavelet, 500);
    std::string stream;
    const StatusOr<EncodeReport> outcome =
        encodeRoiStream(makeDocument(patternImage(96, 80, 3), {starving}, 4, 5), stream, discardSink());
    ASSERT_EQ(outcome->starved.size(), 1u);
    const int ratio = largestWorkableRatio(outcome->starved[0]);
    ASSERT_GE(ratio, 1);
    EXPECT_NE(starvedRecordWarning(outcome->starved[0]).find(formatText("ratio %d", ratio)), std::string::npos);

    Region fed = starving;
    fed.ratio = ratio;
    const StatusOr<EncodeReport> healthy =
        encodeRoiStream(makeDocument(patternImage(96, 80, 3), {fed}, 4, 5), stream, discardSink());
    EXPECT_TRUE(healthy->starved.empty());
    fed.ratio = ratio + 1;
    const StatusOr<EncodeReport> stillStarved =
        encodeRoiStream(makeDocument(patternImage(96, 80, 3), {fed}, 4, 5), stream, discardSink());
    EXPECT_EQ(stillStarved->starved.size(), 1u);
}

} // namespace
} // namespace nubo
