#include "roi/record_results.h"

#include "commands/coding_commands.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace nubo {
namespace {

using test::makeDocument;
using test::patternImage;
using test::region;
using test::selection;

// Each record in stream order with its place, payload and metrics over its own pixels; a lossless region is exact;
// a record the selection skipped is not measured.
TEST(RecordResults, RecordsInStreamOrderMeasuredOverTheirOwnPixels)
{
    const RasterImage picture = patternImage(96, 64, 8);
    const DocumentData document = makeDocument(picture, {region(2, 3, 30, 40, CoderKind::Arithmetic),
                                                         region(40, 4, 90, 60, CoderKind::Wavelet, 8)}, 20, 3);
    const StatusOr<EncodedStream> encoded = encodeDocument(document, discardSink());
    ASSERT_TRUE(encoded.ok());
    const RegionSelection chosen = selection(2, {0}, true);
    const DecodedPicture decoded = decodeDocument(encoded->bytes, chosen);
    ASSERT_TRUE(decoded.outcome.complete());

    const std::vector<RecordResult> records =
        recordResults(encoded->bytes, picture, decoded.image, chosen, decoded.outcome, decoded.backgroundPresent);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].record, 1);
    EXPECT_EQ(records[0].kind, 2);
    EXPECT_EQ(records[0].left, 2);
    EXPECT_EQ(records[0].top, 3);
    EXPECT_EQ(records[0].width, 29);
    EXPECT_EQ(records[0].height, 38);
    EXPECT_TRUE(records[0].decoded);
    EXPECT_TRUE(std::isinf(records[0].metrics.psnr));
    EXPECT_NEAR(records[0].metrics.ssim, 1.0, 1e-6);

    EXPECT_FALSE(records[1].decoded);
    EXPECT_FALSE(records[1].metrics.measured);

    const RecordResult& background = records[2];
    EXPECT_TRUE(background.background);
    EXPECT_EQ(background.width, 96);
    std::int64_t payloads = 0;
    for (const RecordResult& r : records)
        payloads += r.bytes;
    EXPECT_LT(payloads, static_cast<std::int64_t>(encoded->bytes.size()));
    EXPECT_GT(payloads, static_cast<std::int64_t>(encoded->bytes.size()) - 40);

    // The background's pixels are those outside both rectangles (region 2's too, though it was not decoded).
    RegionSet both;
    both.add(Region(2, 3, 30, 40));
    both.add(Region(40, 4, 90, 60));
    PictureMetrics direct;
    ASSERT_TRUE(direct.compare(picture, decoded.image));
    const StandardMetrics expected = direct.over(PixelSelection::outsideRegions(96, 64, both));
    EXPECT_EQ(background.metrics.pixels, 96 * 64 - 29 * 38 - 51 * 57);
    EXPECT_EQ(background.metrics.pixels, expected.pixels);
    EXPECT_DOUBLE_EQ(background.metrics.psnr, expected.psnr);
    EXPECT_FALSE(std::isinf(background.metrics.psnr));
}

} // namespace
} // namespace nubo
