// Golden bytes of whole .roi streams. These numbers come from this exact input; a change means the coded bytes
// changed (rounding, order, layout) and every stored stream would decode differently.

#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"
#include "roi/roi_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

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

std::uint64_t pixelFingerprint(const RasterImage& image)
{
    return testing::fingerprint(std::string(reinterpret_cast<const char*>(image.data()),
                                            static_cast<std::size_t>(image.size())));
}

// The stored multi-record fixture decodes to exactly the frozen pixels, every record and only some of them.
TEST(RoiStreamGolden, StoredFixtureDecodesToFrozenPixels)
{
    std::ifstream file(std::string(NUBO_FIXTURES_DIR) + "/regions-48x40.roi", std::ios::binary);
    const std::string stream((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(stream.empty());
    const DecodedPicture all = decodeRoiStream(stream, testing::selectEverything(2));
    ASSERT_TRUE(all.outcome.complete) << all.outcome.reason;
    EXPECT_EQ(pixelFingerprint(all.image), 15717297029563585381ull);
    const DecodedPicture some = decodeRoiStream(stream, testing::selection(2, {0}, false));
    ASSERT_TRUE(some.outcome.complete) << some.outcome.reason;
    EXPECT_EQ(pixelFingerprint(some.image), 14703810970720123045ull);
}

// The sample picture with the benchmark's three regions (two wavelet, one lossless) over a ratio 40 background
// decodes to exactly the frozen pixels.
TEST(RoiStreamGolden, SamplePictureWithThreeRegionsDecodesToFrozenPixels)
{
    RasterImage picture;
    std::string reason;
    ASSERT_TRUE(picture.loadBitmap(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp", &reason)) << reason;
    const DocumentData document = testing::makeDocument(picture,
                                                        {region(160, 60, 300, 190, CoderKind::Wavelet, 4),
                                                         region(350, 0, 470, 280, CoderKind::Wavelet, 20),
                                                         region(130, 345, 215, 425, CoderKind::Arithmetic)},
                                                        40, 5);
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()).ok);
    EXPECT_EQ(testing::fingerprint(stream), 6143889027255055444ull);
    const DecodedPicture decoded = decodeRoiStream(stream, testing::selectEverything(3));
    ASSERT_TRUE(decoded.outcome.complete) << decoded.outcome.reason;
    EXPECT_EQ(pixelFingerprint(decoded.image), 11413710913220579823ull);
}

} // namespace
} // namespace nubo
