#include "roi/predictive_region_coder.h"
#include "test_support/keep_reason.h"

#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace nubo {
namespace {

RasterImage photoCrop(int left, int top, int width, int height)
{
    RasterImage photo;
    RasterImage region;
    if (photo.loadBitmap(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp"))
        photo.crop(region, left, top, left + width - 1, top + height - 1);
    return region;
}

RasterImage noiseImage(int width, int height, std::uint32_t seed)
{
    RasterImage image;
    image.allocate(width, height);
    std::mt19937 random(seed);
    for (int i = 0; i < image.size(); ++i)
        image.data()[i] = static_cast<std::uint8_t>(random());
    return image;
}

// Hard edges, a palette of saturated colours and flat areas: what a screenshot or a drawing holds.
RasterImage graphicsImage(int width, int height)
{
    static const std::uint8_t palette[5][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 255}, {255, 0, 0}, {40, 200, 90}};
    RasterImage image;
    image.allocate(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int colour = ((x / 7) ^ (y / 5)) % 5;
            std::memcpy(image.data() + (static_cast<std::size_t>(y) * width + x) * 3, palette[colour], 3);
        }
    }
    return image;
}

bool sameImage(const RasterImage& a, const RasterImage& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.size() == b.size()
        && std::memcmp(a.data(), b.data(), static_cast<std::size_t>(a.size())) == 0;
}

// Encodes through the payload and decodes it again; the decoder must consume the whole payload.
RasterImage roundTrip(const RasterImage& image)
{
    std::ostringstream out(std::ios::binary);
    std::string reason;
    EXPECT_TRUE(test::keepReason(encodePredictiveRegion(image, out), reason)) << reason;
    std::istringstream in(out.str(), std::ios::binary);
    RasterImage decoded;
    EXPECT_TRUE(test::keepReason(decodePredictiveRegion(decoded, in), reason)) << reason;
    EXPECT_EQ(in.peek(), std::char_traits<char>::eof());
    return decoded;
}

// Every content class decodes bit for bit at every shape: single pixel, single row, single column, tiny and
// odd sizes, and sizes wider than high and the other way round.
TEST(PredictiveRegionCoder, RoundTripsEveryContentAndShape)
{
    const int shapes[][2] = {{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {1, 3}, {300, 1}, {1, 300}, {5, 7}, {33, 31}, {97, 64}};
    for (const auto& shape : shapes) {
        const int w = shape[0];
        const int h = shape[1];
        const RasterImage contents[] = {test::patternImage(w, h, 5),     photoCrop(100, 120, w, h),
                                        noiseImage(w, h, 9),                graphicsImage(w, h),
                                        test::uniformImage(w, h, 0, 0, 0), test::uniformImage(w, h, 255, 255, 255),
                                        test::uniformImage(w, h, 12, 250, 3)};
        int index = 0;
        for (const RasterImage& image : contents) {
            ASSERT_TRUE(image.isValid());
            EXPECT_TRUE(sameImage(roundTrip(image), image)) << w << " x " << h << ", content " << index;
            ++index;
        }
    }
}

// Extreme colour differences (pure red beside pure blue, black beside white) reach the ends of the chroma
// range, where the error wraps.
TEST(PredictiveRegionCoder, RoundTripsExtremeColourSteps)
{
    RasterImage image;
    ASSERT_TRUE(image.allocate(41, 23));
    static const std::uint8_t extremes[4][3] = {{255, 0, 0}, {0, 0, 255}, {0, 0, 0}, {255, 255, 255}};
    std::mt19937 random(11);
    for (int i = 0; i < 41 * 23; ++i)
        std::memcpy(image.data() + i * 3, extremes[random() % 4], 3);
    EXPECT_TRUE(sameImage(roundTrip(image), image));
}

// Compression does what it is for: a photo takes well under its raw size, flat colour almost nothing, and noise
// costs at most a little more than raw.
TEST(PredictiveRegionCoder, CodeSizeFollowsContent)
{
    const RasterImage photo = photoCrop(128, 64, 256, 256);
    ASSERT_TRUE(photo.isValid());
    EXPECT_LT(encodePredictiveCode(photo).size(), static_cast<std::size_t>(photo.size()) * 6 / 10);
    const RasterImage flat = test::uniformImage(256, 256, 30, 60, 90);
    EXPECT_LT(encodePredictiveCode(flat).size(), 2000u);
    const RasterImage noise = noiseImage(256, 256, 4);
    EXPECT_LT(encodePredictiveCode(noise).size(), static_cast<std::size_t>(noise.size()) * 115 / 100);
}

// Golden bytes: the code of this exact input is frozen, so a change to the transform, predictor, contexts or
// coder shows up here (stored streams would no longer decode).
TEST(PredictiveRegionCoder, GoldenBytes)
{
    const RasterImage pattern = test::patternImage(53, 37, 7);
    std::ostringstream out(std::ios::binary);
    ASSERT_TRUE(encodePredictiveRegion(pattern, out));
    const std::string payload = out.str();
    EXPECT_EQ(payload.substr(0, 11), "3001;53;37;");
    EXPECT_EQ(payload.size(), 3012u);
    EXPECT_EQ(test::fingerprint(payload), 650569438148416666ull);

    const RasterImage photo = photoCrop(200, 180, 64, 48);
    ASSERT_TRUE(photo.isValid());
    const std::vector<std::uint8_t> code = encodePredictiveCode(photo);
    EXPECT_EQ(code.size(), 3412u);
    EXPECT_EQ(test::fingerprint(std::string(code.begin(), code.end())), 6328071786683528650ull);
}

// The payload header states the code byte count, width and height, as the other lossless kind does.
TEST(PredictiveRegionCoder, PayloadHeaderAnnouncesCodeAndSize)
{
    const RasterImage image = test::patternImage(20, 10, 2);
    const std::vector<std::uint8_t> code = encodePredictiveCode(image);
    std::ostringstream out(std::ios::binary);
    ASSERT_TRUE(encodePredictiveRegion(image, out));
    const std::string expectedHeader = std::to_string(code.size()) + ";20;10;";
    EXPECT_EQ(out.str(), expectedHeader + std::string(code.begin(), code.end()));
}

// An empty region has nothing to code and is refused with a reason.
TEST(PredictiveRegionCoder, RefusesAnEmptyRegion)
{
    std::ostringstream out(std::ios::binary);
    std::string reason;
    EXPECT_FALSE(test::keepReason(encodePredictiveRegion(RasterImage(), out), reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_TRUE(out.str().empty());
}

// A region of 32768 x 2048 pixels (more than 2^24 bytes, the other lossless kind's limit) codes and decodes.
// Under the sanitizers it would take minutes, so it runs in the optimised build only.
TEST(PredictiveRegionCoder, RoundTripsTheWidestLargeRegion)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "too slow under the address sanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "too slow under the address sanitizer";
#endif
#endif
    RasterImage image;
    ASSERT_TRUE(image.allocate(32768, 2048));
    // Gentle gradients with a few sharp bands: cheap to code, but every model and the coder's carry path work.
    for (int y = 0; y < 2048; ++y) {
        std::uint8_t* row = image.data() + static_cast<std::size_t>(y) * 32768 * 3;
        for (int x = 0; x < 32768; ++x) {
            row[x * 3] = static_cast<std::uint8_t>(x >> 7);
            row[x * 3 + 1] = static_cast<std::uint8_t>((y >> 3) + ((x % 4096) < 16 ? 128 : 0));
            row[x * 3 + 2] = static_cast<std::uint8_t>((x + y) >> 8);
        }
    }
    const std::vector<std::uint8_t> code = encodePredictiveCode(image);
    RasterImage decoded;
    std::string reason;
    ASSERT_TRUE(test::keepReason(decodePredictiveCode(code.data(), code.size(), 32768, 2048, decoded), reason)) << reason;
    EXPECT_TRUE(sameImage(decoded, image));
}

} // namespace
} // namespace nubo
