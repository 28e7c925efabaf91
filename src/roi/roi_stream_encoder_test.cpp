#include "roi/roi_stream_encoder.h"

#include "roi/region_coder.h"
#include "roi/roi_stream_info.h"
#include "test_support/stream_pieces.h"
#include "test_support/test_support.h"
#include "roi/wavelet_region_coder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace nubo {
namespace {

using test::field;
using test::makeDocument;
using test::patternImage;
using test::region;

std::string maskedBackground(const DocumentData& document, StringSink* diagnostics = nullptr)
{
    std::ostringstream out(std::ios::out | std::ios::binary);
    EXPECT_TRUE(encodeWaveletRegion(document.image(), out, document.background().ratio(), document.waveletStages(),
                                    &document.regions(), diagnostics ? *diagnostics : discardSink())
                    .ok());
    return out.str();
}

std::string crop(const DocumentData& document, const Region& r, bool lossless, StringSink* diagnostics = nullptr)
{
    RasterImage part;
    document.image().crop(part, r.left, r.top, r.right, r.bottom);
    if (lossless)
        return test::losslessPayload(part);
    std::ostringstream out(std::ios::out | std::ios::binary);
    EXPECT_TRUE(encodeWaveletRegion(part, out, r.ratio, document.waveletStages(), nullptr,
                                    diagnostics ? *diagnostics : discardSink())
                    .ok());
    return out.str();
}

// Header, region records in set order with their corners and kinds, then the masked background: byte for byte.
TEST(RoiStreamEncoder, LayoutOfLosslessRegionsIsExact)
{
    const Region first = region(5, 6, 20, 30, CoderKind::Arithmetic);
    const Region second = region(30, 10, 55, 45, CoderKind::Wavelet, 8); // 26 wide: coded losslessly
    const DocumentData document = makeDocument(patternImage(60, 50), {first, second}, 3, 4);
    std::string stream;
    const StatusOr<EncodeReport> outcome = encodeRoiStream(document, stream, discardSink());
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    const std::string expected = "60;50;3;4;" + field(5) + field(6) + field(2) + crop(document, first, true)
        + field(30) + field(10) + field(2) + crop(document, second, true) + "0;0;1;" + maskedBackground(document);
    EXPECT_EQ(stream, expected);
}

// A wavelet region keeps its kind and its ratio; the diagnostics arrive per record, per plane, in stream order.
TEST(RoiStreamEncoder, WaveletRegionAndDiagnosticsInStreamOrder)
{
    const Region face = region(4, 8, 50, 47, CoderKind::Wavelet, 5);
    const DocumentData document = makeDocument(patternImage(64, 56, 4), {face}, 12, 3);
    StringSink expectedText;
    const std::string regionPayload = crop(document, face, false, &expectedText);
    const std::string backgroundPayload = maskedBackground(document, &expectedText);
    const std::string expected = "64;56;2;3;" + field(4) + field(8) + field(1) + regionPayload + "0;0;1;"
        + backgroundPayload;
    StringSink text;
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, text));
    EXPECT_EQ(stream, expected);
    EXPECT_EQ(text.text(), expectedText.text());
    EXPECT_NE(text.text().find("Target rate"), std::string::npos);
}

// Without regions the stream is the header with record count 1 and the background record only.
TEST(RoiStreamEncoder, DocumentWithoutRegionsHasOnlyTheBackground)
{
    const DocumentData document = makeDocument(patternImage(40, 36), {}, 2, 5);
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
    EXPECT_EQ(stream, "40;36;1;5;0;0;1;" + maskedBackground(document));
}

// A "Wavelet" region 32 pixels wide or high (right - left = 31) is coded losslessly; 33 x 33 keeps the wavelet
// coder. The region set keeps the user's choice.
TEST(RoiStreamEncoder, SmallWaveletRegionsAreCodedLosslessly)
{
    const Region narrow = region(0, 0, 31, 60, CoderKind::Wavelet);
    const Region low = region(40, 0, 90, 31, CoderKind::Wavelet);
    const Region square = region(40, 40, 72, 72, CoderKind::Wavelet);
    EXPECT_EQ(codedKind(narrow), CoderKind::Arithmetic);
    EXPECT_EQ(codedKind(low), CoderKind::Arithmetic);
    EXPECT_EQ(codedKind(square), CoderKind::Wavelet);
    EXPECT_EQ(codedKind(region(0, 0, 10, 10, CoderKind::Arithmetic)), CoderKind::Arithmetic);

    const DocumentData document = makeDocument(patternImage(96, 80), {narrow, low, square}, 4, 3);
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    const StreamInfo info = inspectRoiStream(in);
    ASSERT_TRUE(info.complete()) << info.reason();
    ASSERT_EQ(info.records.size(), 4u);
    EXPECT_EQ(info.records[0].kind, 2);
    EXPECT_EQ(info.records[1].kind, 2);
    EXPECT_EQ(info.records[2].kind, 1);
    EXPECT_EQ(info.records[2].width, 33);
    EXPECT_EQ(info.records[3].kind, 1);
    EXPECT_EQ(document.regions().at(0).coderKind, CoderKind::Wavelet);
}

// Documents the encoder cannot code are refused with a reason before a single byte is written.
TEST(RoiStreamEncoder, RefusesWhatItCannotCodeBeforeWriting)
{
    struct Case {
        DocumentData document;
        const char* expect;
    };
    Case cases[] = {
        {makeDocument(patternImage(40, 40), {region(10, 10, 40, 20, CoderKind::Arithmetic)}), "inside"},
        {makeDocument(patternImage(40, 40), {region(0, 0, 35, 35, CoderKind::Wavelet, 0)}), "ratio"},
        {makeDocument(patternImage(40, 40), {}, 1, 0), "stages"},
        {DocumentData{}, "picture"},
    };
    for (Case& c : cases) {
        std::ostringstream out;
        const StatusOr<EncodeReport> outcome = encodeRoiStream(c.document, out, discardSink());
        EXPECT_FALSE(outcome.ok());
        EXPECT_NE(outcome.reason().find(c.expect), std::string::npos) << outcome.reason();
        EXPECT_TRUE(out.str().empty());
    }
}

// A region too large for the lossless coder's 2^24-byte buffer fails with a clear reason, not a cut-off stream.
TEST(RoiStreamEncoder, RegionTooLargeForLosslessCodingFails)
{
    DocumentData document;
    document.image().allocate(2400, 2400);
    document.image().fill(7);
    document.regions().add(region(0, 0, 2364, 2364, CoderKind::Arithmetic)); // 16,779,675 bytes
    std::ostringstream out;
    const StatusOr<EncodeReport> outcome = encodeRoiStream(document, out, discardSink());
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.reason().find("too large for lossless coding"), std::string::npos) << outcome.reason();
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(fitsLosslessCoder(2364, 2364));
    EXPECT_FALSE(fitsLosslessCoder(2365, 2365));
}

} // namespace
} // namespace nubo
