#include "image/raster_image.h"

#include "common/limits.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace nubo {
namespace {

// A picture whose every byte is distinct enough to show a misplaced pixel: (x, y) holds blue x, green y,
// red x + y (modulo 256).
RasterImage patterned(int width, int height)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(width, height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = image.data() + (width * (height - y - 1) + x) * 3;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = static_cast<std::uint8_t>(x + y);
        }
    return image;
}

// A single-pixel picture of the given bytes (blue, green, red).
RasterImage onePixel(std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(1, 1));
    image.data()[0] = b;
    image.data()[1] = g;
    image.data()[2] = r;
    return image;
}

// A new or cleared image has no buffer, is not valid and contains no point.
TEST(RasterImageState, EmptyImageIsInvalidAndContainsNothing)
{
    RasterImage image;
    EXPECT_EQ(image.width(), 0);
    EXPECT_EQ(image.height(), 0);
    EXPECT_EQ(image.size(), 0);
    EXPECT_FALSE(image.isValid());
    EXPECT_FALSE(image.contains(0, 0));

    ASSERT_TRUE(image.allocate(4, 2));
    EXPECT_TRUE(image.isValid());
    EXPECT_EQ(image.size(), 24);
    EXPECT_TRUE(image.contains(3, 1));
    EXPECT_FALSE(image.contains(4, 1));
    EXPECT_FALSE(image.contains(3, 2));
    EXPECT_FALSE(image.contains(-1, 0));

    image.clear();
    EXPECT_FALSE(image.isValid());
    EXPECT_EQ(image.size(), 0);
    EXPECT_EQ(image.width(), 0);
}

// Sizes outside the picture limits are refused before allocating, and leave the image empty.
TEST(RasterImageState, AllocateRefusesSizesOutsideTheLimits)
{
    RasterImage image = patterned(3, 3);
    EXPECT_FALSE(image.allocate(0, 5));
    EXPECT_EQ(image.size(), 0);
    EXPECT_EQ(image.width(), 0);
    EXPECT_FALSE(image.allocate(5, -1));
    EXPECT_FALSE(image.allocate(kMaxImageSide + 1, 1));
    EXPECT_FALSE(image.allocate(kMaxImageSide, kMaxImageSide)); // 1 Gi pixels, over the pixel limit
    EXPECT_EQ(image.height(), 0);
    EXPECT_EQ(image.size(), 0);
}

// A picture moved from is left empty, its fields agreeing with its absent buffer.
TEST(RasterImageState, MovedFromImageIsEmpty)
{
    RasterImage source = patterned(3, 2);
    RasterImage target = std::move(source);
    EXPECT_EQ(target.size(), 18);
    EXPECT_EQ(source.size(), 0);
    EXPECT_EQ(source.width(), 0);
    EXPECT_EQ(source.height(), 0);
}

// Points count y from the top while the buffer holds the bottom row first; pixel() maps bytes 2, 1, 0 to R, G, B.
TEST(RasterImagePixels, PointsCountFromTheTopAndChannelsAreBgr)
{
    const RasterImage image = patterned(4, 3);
    // (1, 0) is the top row, which is the last row of the buffer: offset (4 * 2 + 1) * 3.
    EXPECT_EQ(image.data()[(4 * 2 + 1) * 3 + 0], 1);
    EXPECT_EQ(image.data()[(4 * 2 + 1) * 3 + 1], 0);
    EXPECT_EQ(image.pixel(1, 0), (PixelColour{1.0f, 0.0f, 1.0f}));
    EXPECT_EQ(image.pixel(3, 2), (PixelColour{5.0f, 2.0f, 3.0f}));
}

// Planes hold one value per pixel in buffer order: red from byte 2, green from byte 1, blue from byte 0.
TEST(RasterImagePlanes, PlanesFollowBufferOrder)
{
    const RasterImage image = patterned(3, 2);
    const std::vector<float> red = image.redPlane();
    const std::vector<float> green = image.greenPlane();
    const std::vector<float> blue = image.bluePlane();
    ASSERT_EQ(red.size(), 6u);
    // Buffer index 0 is the bottom-left pixel (0, 1).
    EXPECT_EQ(blue[0], 0.0f);
    EXPECT_EQ(green[0], 1.0f);
    EXPECT_EQ(red[0], 1.0f);
    // Buffer index 5 is the top-right pixel (2, 0).
    EXPECT_EQ(blue[5], 2.0f);
    EXPECT_EQ(green[5], 0.0f);
    EXPECT_EQ(red[5], 2.0f);
}

// Splitting into planes and rebuilding gives the identical bytes.
TEST(RasterImagePlanes, PlanesRoundTripExactly)
{
    RasterImage image;
    ASSERT_TRUE(image.allocate(16, 16));
    for (int i = 0; i < image.size(); ++i)
        image.data()[i] = static_cast<std::uint8_t>(i * 7);
    RasterImage rebuilt;
    ASSERT_TRUE(rebuilt.fromPlanes(image.redPlane().data(), image.greenPlane().data(), image.bluePlane().data(),
                                   16, 16));
    EXPECT_EQ(std::vector<std::uint8_t>(rebuilt.data(), rebuilt.data() + rebuilt.size()),
              std::vector<std::uint8_t>(image.data(), image.data() + image.size()));
}

// Plane values become bytes by clamping first, NaN to 0, then rounding half up through double.
TEST(RasterImagePlanes, PlaneValuesRoundAndClamp)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // The largest float below 0.5: in float arithmetic v + 0.5f would round up to 1, in double it stays below 1.
    const float justBelowHalf = std::nextafter(0.5f, 0.0f);
    const std::vector<float> values = {255.0f, 254.49f, 254.5f, -0.2f, 300.0f, nan, inf, -inf, justBelowHalf, 0.5f};
    const std::vector<std::uint8_t> expected = {255, 254, 255, 0, 255, 0, 255, 0, 0, 1};
    const std::vector<float> zeros(values.size(), 0.0f);

    RasterImage image;
    ASSERT_TRUE(image.fromPlanes(values.data(), zeros.data(), zeros.data(), static_cast<int>(values.size()), 1));
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(image.data()[i * 3 + 2], expected[i]) << "value " << values[i];
    // The same value lands in byte 1 from green and byte 0 from blue.
    ASSERT_TRUE(image.fromPlanes(zeros.data(), values.data(), values.data(), static_cast<int>(values.size()), 1));
    for (std::size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(image.data()[i * 3 + 1], expected[i]);
        EXPECT_EQ(image.data()[i * 3 + 0], expected[i]);
        EXPECT_EQ(image.data()[i * 3 + 2], 0);
    }
}

// Every pixel, in groups of four or in the leftover ones, follows the rule: values around every half step, the
// clamps, infinities and NaNs of both signs, in all three channels.
TEST(RasterImagePlanes, EveryPixelFollowsTheRoundingRule)
{
    std::vector<float> values = {std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                 -0.0f, 0.0f, 255.0f, std::nextafter(255.0f, 256.0f), 1e30f, -1e30f,
                                 std::numeric_limits<float>::denorm_min()};
    for (int k = -4; k <= 260; ++k) {
        const float halfStep = static_cast<float>(k) + 0.5f;
        values.push_back(halfStep);
        values.push_back(std::nextafter(halfStep, -1000.0f));
        values.push_back(std::nextafter(halfStep, 1000.0f));
        values.push_back(static_cast<float>(k) + 0.3f);
    }
    const auto expectedByte = [](float v) -> std::uint8_t {
        if (v > 255.0f)
            return 255;
        if (v < 0.0f || std::isnan(v))
            return 0;
        return static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(v) + 0.5));
    };
    const int width = 37; // not a multiple of four
    const int height = static_cast<int>(values.size()) / width;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    // Each channel sees the values in another order.
    std::vector<float> red(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(count));
    std::vector<float> green(red.rbegin(), red.rend());
    std::vector<float> blue(red);
    std::rotate(blue.begin(), blue.begin() + 5, blue.end());

    RasterImage image;
    ASSERT_TRUE(image.fromPlanes(red.data(), green.data(), blue.data(), width, height));
    for (std::size_t i = 0; i < count; ++i) {
        ASSERT_EQ(image.data()[3 * i + 2], expectedByte(red[i])) << "red " << red[i] << " at " << i;
        ASSERT_EQ(image.data()[3 * i + 1], expectedByte(green[i])) << "green " << green[i] << " at " << i;
        ASSERT_EQ(image.data()[3 * i + 0], expectedByte(blue[i])) << "blue " << blue[i] << " at " << i;
    }

    // Built one channel at a time, in any order, over whatever the buffer held: the same bytes.
    RasterImage byPlane;
    ASSERT_TRUE(byPlane.allocate(width, height));
    byPlane.fill(77);
    byPlane.setChannel(1, RasterImage::planeBytes(green.data(), green.size()).data());
    byPlane.setChannel(2, RasterImage::planeBytes(red.data(), red.size()).data());
    byPlane.setChannel(0, RasterImage::planeBytes(blue.data(), blue.size()).data());
    ASSERT_EQ(byPlane.size(), image.size());
    EXPECT_TRUE(std::equal(image.data(), image.data() + image.size(), byPlane.data()));
}

// Rebuilding at a size outside the limits fails and leaves the image empty.
TEST(RasterImagePlanes, FromPlanesRefusesEmptySize)
{
    RasterImage image = patterned(2, 2);
    const float value = 1.0f;
    EXPECT_FALSE(image.fromPlanes(&value, &value, &value, 0, 1));
    EXPECT_EQ(image.size(), 0);
    EXPECT_EQ(image.width(), 0);
}

// A crop is an exact copy of the inclusive rectangle, y counted from the top.
TEST(RasterImageCrop, CropCopiesTheInclusiveRectangle)
{
    const RasterImage image = patterned(7, 5);
    RasterImage part;
    ASSERT_TRUE(image.crop(part, 2, 1, 5, 3));
    ASSERT_EQ(part.width(), 4);
    ASSERT_EQ(part.height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(part.pixel(x, y), image.pixel(x + 2, y + 1)) << x << "," << y;

    ASSERT_TRUE(image.crop(part, 6, 4, 6, 4));
    EXPECT_EQ(part.width(), 1);
    EXPECT_EQ(part.pixel(0, 0), image.pixel(6, 4));

    ASSERT_TRUE(image.crop(part, 0, 0, 6, 4));
    EXPECT_EQ(std::vector<std::uint8_t>(part.data(), part.data() + part.size()),
              std::vector<std::uint8_t>(image.data(), image.data() + image.size()));
}

// A rectangle reaching outside the picture, or reversed, is refused and the target keeps its content.
TEST(RasterImageCrop, CropRefusesRectanglesOutsideThePicture)
{
    const RasterImage image = patterned(7, 5);
    RasterImage part = patterned(2, 2);
    EXPECT_FALSE(image.crop(part, 5, 0, 7, 2));
    EXPECT_FALSE(image.crop(part, 0, 3, 2, 5));
    EXPECT_FALSE(image.crop(part, -1, 0, 2, 2));
    EXPECT_FALSE(image.crop(part, 3, 0, 2, 2));
    EXPECT_EQ(part.width(), 2);
    EXPECT_EQ(part.size(), 12);
    EXPECT_FALSE(RasterImage().crop(part, 0, 0, 0, 0));
}

// Pasting fills only pure black pixels: (0, 0, 1) is kept, (0, 0, 0) is written.
TEST(RasterImagePaste, PasteFillsOnlyBlackPixels)
{
    RasterImage target;
    ASSERT_TRUE(target.allocate(2, 1));
    target.fill(0);
    target.data()[2] = 1; // (0, 0) red = 1
    ASSERT_TRUE(target.paste(onePixel(9, 8, 7), 0, 0));
    ASSERT_TRUE(target.paste(onePixel(9, 8, 7), 1, 0));
    EXPECT_EQ(target.pixel(0, 0), (PixelColour{1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(target.pixel(1, 0), (PixelColour{7.0f, 8.0f, 9.0f}));
}

// A black pixel pasted does not protect its place: a later paste may still fill it; the first colour wins.
TEST(RasterImagePaste, PastedBlackStaysFree)
{
    RasterImage target;
    ASSERT_TRUE(target.allocate(3, 3));
    target.fill(0);
    ASSERT_TRUE(target.paste(onePixel(0, 0, 0), 1, 1));
    ASSERT_TRUE(target.paste(onePixel(5, 5, 5), 1, 1));
    ASSERT_TRUE(target.paste(onePixel(6, 6, 6), 1, 1));
    EXPECT_EQ(target.pixel(1, 1), (PixelColour{5.0f, 5.0f, 5.0f}));
}

// The source lands with its top-left pixel at (left, top), in top-down coordinates.
TEST(RasterImagePaste, PastePlacesTopLeftCorner)
{
    RasterImage target;
    ASSERT_TRUE(target.allocate(6, 5));
    target.fill(0);
    const RasterImage source = patterned(3, 2);
    ASSERT_TRUE(target.paste(source, 2, 3));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(target.pixel(2 + x, 3 + y), source.pixel(x, y));
    EXPECT_EQ(target.pixel(1, 3), PixelColour{});
    EXPECT_EQ(target.pixel(2, 2), PixelColour{});
}

// A source reaching outside the target is refused and changes nothing; an empty source is a no-op.
TEST(RasterImagePaste, PasteRefusesSourcesOutsideTheTarget)
{
    RasterImage target;
    ASSERT_TRUE(target.allocate(4, 4));
    target.fill(0);
    const RasterImage source = patterned(2, 2);
    EXPECT_FALSE(target.paste(source, 3, 0));
    EXPECT_FALSE(target.paste(source, 0, 3));
    EXPECT_FALSE(target.paste(source, -1, 0));
    for (int i = 0; i < target.size(); ++i)
        ASSERT_EQ(target.data()[i], 0) << i;
    EXPECT_TRUE(target.paste(RasterImage(), 100, 100));
}

} // namespace
} // namespace nubo
