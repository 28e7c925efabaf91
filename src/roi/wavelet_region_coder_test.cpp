#include "roi/wavelet_region_coder.h"
#include "test_support/keep_reason.h"

#include "quant/plane_codec.h"
#include "test_support/stream_pieces.h"
#include "test_support/test_support.h"
#include "roi/stream_fields.h"

#include <gtest/gtest.h>

#include <sstream>

namespace nubo {
namespace {

using test::field;
using test::patternImage;

FloatImage planeOf(std::vector<float> values, const RasterImage& image)
{
    FloatImage plane;
    plane.data = std::move(values);
    plane.width = image.width();
    plane.height = image.height();
    return plane;
}

// The lengths and streams lie red, green, blue although the planes are coded blue, red, green; each plane's
// diagnostics arrive whole, in coding order, whatever thread coded it.
TEST(WaveletRegionCoder, PayloadIsRedGreenBlueAndDiagnosticsBlueRedGreen)
{
    const RasterImage image = patternImage(70, 45, 3);
    StringSink blueText;
    StringSink redText;
    StringSink greenText;
    const std::string blue = encodePlane(planeOf(image.bluePlane(), image), 6, 3, blueText);
    const std::string red = encodePlane(planeOf(image.redPlane(), image), 6, 3, redText);
    const std::string green = encodePlane(planeOf(image.greenPlane(), image), 6, 3, greenText);
    ASSERT_FALSE(blueText.text().empty());

    std::ostringstream out(std::ios::out | std::ios::binary);
    StringSink diagnostics;
    ASSERT_TRUE(encodeWaveletRegion(image, out, 6, 3, nullptr, diagnostics));
    const std::string expected = field(static_cast<long long>(red.size())) + field(static_cast<long long>(green.size()))
        + field(static_cast<long long>(blue.size())) + red + green + blue;
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(diagnostics.text(), blueText.text() + redText.text() + greenText.text());
}

// Decoding gives a picture of the coded size close to the source, and takes exactly the payload's bytes.
TEST(WaveletRegionCoder, RoundTripKeepsSizeAndStopsAtPayloadEnd)
{
    const RasterImage image = patternImage(64, 40, 5);
    std::string payload = test::waveletPayload(image, 1, 4);
    std::istringstream in(payload + "7;", std::ios::in | std::ios::binary);
    RasterImage decoded;
    std::string reason;
    ASSERT_TRUE(test::keepReason(decodeWaveletRegion(decoded, in, 4, {64, 40}), reason)) << reason;
    EXPECT_EQ(decoded.width(), 64);
    EXPECT_EQ(decoded.height(), 40);
    std::int64_t next = 0;
    EXPECT_TRUE(readField(in, next));
    EXPECT_EQ(next, 7);
    long long squared = 0;
    for (int i = 0; i < image.size(); ++i) {
        const int d = image.data()[i] - decoded.data()[i];
        squared += d * d;
    }
    EXPECT_LT(static_cast<double>(squared) / image.size(), 25.0);
}

// Overshoot of the decoded planes is clamped, never wrapped: white stays bright and black stays dark.
TEST(WaveletRegionCoder, DecodedValuesAreClampedNotWrapped)
{
    RasterImage image = test::uniformImage(64, 64, 0, 0, 0);
    for (int y = 0; y < 64; ++y)
        for (int x = 32; x < 64; ++x)
            for (int c = 0; c < 3; ++c)
                image.data()[(static_cast<std::size_t>(64) * y + x) * 3 + c] = 255;
    std::istringstream in(test::waveletPayload(image, 30, 4), std::ios::in | std::ios::binary);
    RasterImage decoded;
    ASSERT_TRUE(decodeWaveletRegion(decoded, in, 4, {64, 64}));
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const int value = decoded.data()[(static_cast<std::size_t>(64) * y + x) * 3];
            if (x < 28) {
                EXPECT_LT(value, 128) << x << "," << y;
            } else if (x >= 36) {
                EXPECT_GT(value, 128) << x << "," << y;
            }
        }
    }
}

// Damaged payload headers are refused before any plane is decoded, and the target picture is left alone.
TEST(WaveletRegionCoder, MalformedHeadersAreRefused)
{
    const std::string payload = test::waveletPayload(patternImage(40, 40), 2, 3);
    const std::string cases[] = {
        "12;34",                                  // separator missing
        "12;-1;5;" + std::string(100, 'x'),       // negative length
        "12:34;5;" + std::string(100, 'x'),       // wrong separator
        payload.substr(0, payload.size() - 1),    // one byte short
        "900000000000;1;1;abc",                   // absurd length
    };
    for (const std::string& bytes : cases) {
        std::istringstream in(bytes, std::ios::in | std::ios::binary);
        RasterImage decoded = test::uniformImage(2, 2, 1, 2, 3);
        std::string reason;
        EXPECT_FALSE(test::keepReason(decodeWaveletRegion(decoded, in, 3, {100, 100}), reason));
        EXPECT_FALSE(reason.empty());
        EXPECT_EQ(decoded.width(), 2);
        EXPECT_EQ(test::pixelAt(decoded, 1, 1), (test::Bgr{3, 2, 1}));
    }
}

std::string planeStream(const RasterImage& image, int channel, int stages)
{
    const std::vector<float> values = channel == 0 ? image.redPlane() : channel == 1 ? image.greenPlane()
                                                                                       : image.bluePlane();
    return encodePlane(planeOf(values, image), 2, stages, discardSink());
}

// Planes of different sizes (only a damaged stream has them) are refused rather than read beyond the smaller.
TEST(WaveletRegionCoder, PlanesOfDifferentSizesAreRefused)
{
    const RasterImage small = patternImage(40, 40);
    const RasterImage large = patternImage(40, 48);
    const std::string red = planeStream(small, 0, 3);
    const std::string green = planeStream(large, 1, 3);
    const std::string blue = planeStream(large, 2, 3);
    const std::string payload = field(static_cast<long long>(red.size())) + field(static_cast<long long>(green.size()))
        + field(static_cast<long long>(blue.size())) + red + green + blue;
    std::istringstream in(payload, std::ios::in | std::ios::binary);
    RasterImage decoded;
    std::string reason;
    EXPECT_FALSE(test::keepReason(decodeWaveletRegion(decoded, in, 3, {100, 100}), reason));
    EXPECT_NE(reason.find("different sizes"), std::string::npos) << reason;
    EXPECT_FALSE(decoded.isValid());
}

// A payload whose picture would not fit where the record places it is refused; one that fits exactly is not.
TEST(WaveletRegionCoder, PictureMustFitTheRoom)
{
    const std::string payload = test::waveletPayload(patternImage(40, 36), 2, 3);
    RasterImage decoded;
    std::istringstream tooNarrow(payload, std::ios::in | std::ios::binary);
    EXPECT_FALSE(decodeWaveletRegion(decoded, tooNarrow, 3, {39, 36}));
    std::istringstream tooLow(payload, std::ios::in | std::ios::binary);
    EXPECT_FALSE(decodeWaveletRegion(decoded, tooLow, 3, {40, 35}));
    std::istringstream exact(payload, std::ios::in | std::ios::binary);
    EXPECT_TRUE(decodeWaveletRegion(decoded, exact, 3, {40, 36}));
}

// Skipping moves exactly over the payload; a payload running past the end cannot be skipped.
TEST(WaveletRegionCoder, SkipMovesOverThePayload)
{
    const std::string payload = test::waveletPayload(patternImage(40, 36), 2, 3);
    std::istringstream in(payload + "9;", std::ios::in | std::ios::binary);
    ASSERT_TRUE(skipWaveletRegion(in));
    std::int64_t next = 0;
    EXPECT_TRUE(readField(in, next));
    EXPECT_EQ(next, 9);
    std::istringstream cut(payload.substr(0, payload.size() - 2), std::ios::in | std::ios::binary);
    EXPECT_FALSE(skipWaveletRegion(cut));
}

// A stage count the plane coder refuses makes encoding fail with a reason instead of writing empty planes.
TEST(WaveletRegionCoder, RefusedPlanesFailTheEncoding)
{
    std::ostringstream out(std::ios::out | std::ios::binary);
    std::string reason;
    EXPECT_FALSE(test::keepReason(encodeWaveletRegion(patternImage(40, 40), out, 2, 40, nullptr, discardSink()), reason));
    EXPECT_FALSE(reason.empty());
}

} // namespace
} // namespace nubo
