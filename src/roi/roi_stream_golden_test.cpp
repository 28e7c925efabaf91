// Golden bytes of whole .roi streams. These numbers come from this exact input; a change means the coded bytes
// changed (rounding, order, layout) and every stored stream would decode differently.

#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"
#include "roi/roi_test_support.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

using testing::region;

DocumentData goldenDocument()
{
    return testing::makeDocument(testing::patternImage(96, 72, 7),
                                 {region(4, 6, 27, 29, CoderKind::Arithmetic),
                                  region(36, 8, 91, 60, CoderKind::Wavelet, 6),
                                  region(6, 40, 30, 66, CoderKind::Wavelet, 3)},
                                 20, 4);
}

// Both region kinds (and a small "Wavelet" region coded losslessly), a masked background at ratio 20, 4 stages.
TEST(RoiStreamGolden, BothRegionKindsAndBackground)
{
    std::string stream;
    StringSink diagnostics;
    ASSERT_TRUE(encodeRoiStream(goldenDocument(), stream, diagnostics).ok);
    EXPECT_EQ(stream.size(), 6067u);
    EXPECT_EQ(testing::fingerprint(stream), 12162827277026187958ull);
    EXPECT_EQ(testing::fingerprint(diagnostics.text()), 3687999953073777243ull);
    EXPECT_EQ(stream.substr(0, 16), "96;72;4;4;4;6;2;");
}

// The decoded picture of that stream, all records, is as fixed as the stream.
TEST(RoiStreamGolden, DecodedPicture)
{
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(goldenDocument(), stream, discardSink()).ok);
    const DecodedPicture decoded = decodeRoiStream(stream, testing::selectEverything(3));
    ASSERT_TRUE(decoded.outcome.complete) << decoded.outcome.reason;
    const std::string pixels(reinterpret_cast<const char*>(decoded.image.data()),
                             static_cast<std::size_t>(decoded.image.size()));
    EXPECT_EQ(testing::fingerprint(pixels), 16546941197920214889ull);
}

// The same document encoded twice, and planes coded concurrently, give the same bytes.
TEST(RoiStreamGolden, EncodingIsRepeatable)
{
    std::string first;
    std::string second;
    ASSERT_TRUE(encodeRoiStream(goldenDocument(), first, discardSink()).ok);
    ASSERT_TRUE(encodeRoiStream(goldenDocument(), second, discardSink()).ok);
    EXPECT_EQ(first, second);
}

} // namespace
} // namespace nubo
