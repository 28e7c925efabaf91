// The predictive lossless kind (4) inside whole .roi streams: encoding, decoding, skipping and inspecting.

#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"
#include "roi/roi_stream_info.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace nubo {
namespace {

using test::region;

DocumentData predictiveDocument()
{
    return test::makeDocument(test::patternImage(80, 60, 3),
                                 {region(3, 4, 30, 25, CoderKind::Predictive),
                                  region(40, 6, 75, 50, CoderKind::Wavelet, 5),
                                  region(2, 35, 20, 55, CoderKind::Predictive)},
                                 10, 3);
}

// Kind-4 records decode to exactly the region's pixels, their records carry kind 4, and the decoded region set
// holds them.
TEST(PredictiveStream, RegionsDecodeExactly)
{
    const DocumentData document = predictiveDocument();
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
    EXPECT_EQ(stream.substr(0, 16), "80;60;4;3;3;4;4;");
    const DecodedPicture decoded = decodeRoiStream(stream, test::selection(3, {0, 2}, false));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    ASSERT_EQ(decoded.regions.count(), 2);
    for (const Region& r : {document.regions().at(0), document.regions().at(2)}) {
        for (int y = r.top; y <= r.bottom; ++y) {
            for (int x = r.left; x <= r.right; ++x)
                ASSERT_EQ(test::pixelAt(decoded.image, x, y), test::pixelAt(document.image(), x, y)) << x << "," << y;
        }
    }
    EXPECT_EQ(decoded.regions.at(1).left, 2);
    EXPECT_EQ(decoded.regions.at(1).bottom, 55);
}

// A kind-4 record that is not selected is stepped over by its byte count; the records after it still decode.
TEST(PredictiveStream, UnselectedRecordsAreSkipped)
{
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(predictiveDocument(), stream, discardSink()));
    const DecodedPicture decoded = decodeRoiStream(stream, test::selection(3, {2}, true));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    ASSERT_EQ(decoded.regions.count(), 1);
    EXPECT_EQ(decoded.regions.at(0).top, 35);
    EXPECT_TRUE(decoded.backgroundPresent);
}

// Inspecting a stream reads a kind-4 record's size from its payload header.
TEST(PredictiveStream, InspectionReadsTheRecord)
{
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(predictiveDocument(), stream, discardSink()));
    std::istringstream in(stream, std::ios::binary);
    const StreamInfo info = inspectRoiStream(in);
    ASSERT_TRUE(info.complete()) << info.reason();
    ASSERT_EQ(info.records.size(), 4u);
    EXPECT_EQ(info.records[0].kind, 4);
    EXPECT_EQ(info.records[0].width, 28);
    EXPECT_EQ(info.records[0].height, 22);
    EXPECT_EQ(info.records[2].kind, 4);
}

// The kind has no 2^24-byte limit: a region of 2400 x 2400 pixels (17 MB) is accepted for coding, where the
// other lossless kind refuses it.
TEST(PredictiveStream, LargeRegionsAreEncodable)
{
    DocumentData document = test::makeDocument(test::uniformImage(2400, 2400, 1, 2, 3), {}, 50, 5);
    document.regions().add(region(0, 0, 2399, 2399, CoderKind::Predictive));
    EXPECT_TRUE(checkEncodable(document));
    document.regions().at(0).coderKind = CoderKind::Arithmetic;
    EXPECT_FALSE(checkEncodable(document));
}

// A damaged kind-4 payload ends decoding at its record, keeping what came before it.
TEST(PredictiveStream, DamagedPayloadStopsAtItsRecord)
{
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(predictiveDocument(), stream, discardSink()));
    // The third record's payload starts after "2;35;4;"; shorten its announced code by one byte.
    const std::size_t record = stream.find("2;35;4;");
    ASSERT_NE(record, std::string::npos);
    const std::size_t count = record + 7;
    const std::size_t end = stream.find(';', count);
    const long long bytes = std::stoll(stream.substr(count, end - count));
    std::string damaged = stream.substr(0, count) + std::to_string(bytes - 1) + stream.substr(end);
    const DecodedPicture decoded = decodeRoiStream(damaged, test::selectEverything(3));
    EXPECT_FALSE(decoded.outcome.complete());
    EXPECT_EQ(decoded.outcome.stoppedAt, 3);
    EXPECT_EQ(decoded.regions.count(), 2);
}

// Small "Wavelet" regions fall back to the arithmetic kind unless the document asks for the predictive one; a
// region of either lossless kind keeps its own kind whatever the setting.
TEST(PredictiveStream, SmallRegionFallbackFollowsTheDocument)
{
    const Region narrow = region(0, 0, 31, 60, CoderKind::Wavelet);
    EXPECT_EQ(codedKind(narrow), CoderKind::Arithmetic);
    EXPECT_EQ(codedKind(narrow, CoderKind::Predictive), CoderKind::Predictive);
    EXPECT_EQ(codedKind(region(0, 0, 10, 10, CoderKind::Arithmetic), CoderKind::Predictive), CoderKind::Arithmetic);
    EXPECT_EQ(codedKind(region(0, 0, 60, 60, CoderKind::Wavelet), CoderKind::Predictive), CoderKind::Wavelet);

    DocumentData document = test::makeDocument(test::patternImage(96, 80), {narrow}, 4, 3);
    for (const CoderKind fallback : {CoderKind::Arithmetic, CoderKind::Predictive}) {
        document.setSmallRegionKind(fallback);
        std::string stream;
        ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
        std::istringstream in(stream, std::ios::binary);
        const StreamInfo info = inspectRoiStream(in);
        ASSERT_TRUE(info.complete()) << info.reason();
        EXPECT_EQ(info.records[0].kind, static_cast<std::int64_t>(fallback));
        EXPECT_EQ(document.regions().at(0).coderKind, CoderKind::Wavelet);
    }
}

} // namespace
} // namespace nubo
