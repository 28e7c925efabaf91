// Golden bytes of whole .roi streams. These numbers come from this exact input; a change means the coded bytes
// changed (rounding, order, layout) and every stored stream would decode differently.

#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"
#include "roi/task_pool.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace nubo {
namespace {

using test::region;

DocumentData goldenDocument()
{
    return test::makeDocument(test::patternImage(96, 72, 7),
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
    ASSERT_TRUE(encodeRoiStream(goldenDocument(), stream, diagnostics));
    EXPECT_EQ(stream.size(), 6067u);
    EXPECT_EQ(test::fingerprint(stream), 12162827277026187958ull);
    EXPECT_EQ(test::fingerprint(diagnostics.text()), 3687999953073777243ull);
    EXPECT_EQ(stream.substr(0, 16), "96;72;4;4;4;6;2;");
}

// The decoded picture of that stream, all records, is as fixed as the stream.
TEST(RoiStreamGolden, DecodedPicture)
{
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(goldenDocument(), stream, discardSink()));
    const DecodedPicture decoded = decodeRoiStream(stream, test::selectEverything(3));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    EXPECT_EQ(test::pixelFingerprint(decoded.image), 16546941197920214889ull);
}


using test::pixelFingerprint;

// The same document encoded and decoded under other schedules (one worker, two, shuffled task orders) gives the
// same bytes and pixels as under the default one.
TEST(RoiStreamGolden, EncodingIsRepeatable)
{
    std::string first;
    ASSERT_TRUE(encodeRoiStream(goldenDocument(), first, discardSink()));
    const DecodedPicture reference = decodeRoiStream(first, test::selectEverything(goldenDocument().regions().count()));
    ASSERT_TRUE(reference.outcome.complete());
    for (const TaskSchedule& schedule : {TaskSchedule{1, false, 0}, TaskSchedule{2, false, 0},
                                         TaskSchedule{3, true, 1}, TaskSchedule{4, true, 2}}) {
        setTaskSchedule(schedule);
        std::string again;
        const StatusOr<EncodeReport> encoded = encodeRoiStream(goldenDocument(), again, discardSink());
        const DecodedPicture decoded =
            decodeRoiStream(first, test::selectEverything(goldenDocument().regions().count()));
        setTaskSchedule({});
        ASSERT_TRUE(encoded.ok()) << encoded.reason();
        EXPECT_EQ(again, first) << schedule.workers << " workers, shuffled " << schedule.shuffled;
        ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
        EXPECT_EQ(pixelFingerprint(decoded.image), pixelFingerprint(reference.image));
    }
}

// The stored multi-record fixture decodes to exactly the frozen pixels, every record and only some of them.
TEST(RoiStreamGolden, StoredFixtureDecodesToFrozenPixels)
{
    std::ifstream file(std::string(NUBO_FIXTURES_DIR) + "/regions-48x40.roi", std::ios::binary);
    const std::string stream((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(stream.empty());
    const DecodedPicture all = decodeRoiStream(stream, test::selectEverything(2));
    ASSERT_TRUE(all.outcome.complete()) << all.outcome.reason();
    EXPECT_EQ(pixelFingerprint(all.image), 15717297029563585381ull);
    const DecodedPicture some = decodeRoiStream(stream, test::selection(2, {0}, false));
    ASSERT_TRUE(some.outcome.complete()) << some.outcome.reason();
    EXPECT_EQ(pixelFingerprint(some.image), 14703810970720123045ull);
}

// The sample picture with the benchmark's three regions (two wavelet, one lossless) over a ratio 40 background
// decodes to exactly the frozen pixels; the regions' decoded black pixels (264 of them) stay black.
TEST(RoiStreamGolden, SamplePictureWithThreeRegionsDecodesToFrozenPixels)
{
    RasterImage picture;
    const Status status = picture.readBitmapFile(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp");
    ASSERT_TRUE(status.ok()) << status.reason();
    const DocumentData document = test::makeDocument(picture,
                                                        {region(160, 60, 300, 190, CoderKind::Wavelet, 4),
                                                         region(350, 0, 470, 280, CoderKind::Wavelet, 20),
                                                         region(130, 345, 215, 425, CoderKind::Arithmetic)},
                                                        40, 5);
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
    EXPECT_EQ(test::fingerprint(stream), 6143889027255055444ull);
    const DecodedPicture decoded = decodeRoiStream(stream, test::selectEverything(3));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    EXPECT_EQ(pixelFingerprint(decoded.image), 2418286933937025187ull);
}

} // namespace
} // namespace nubo
