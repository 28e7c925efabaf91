#include "image/picture_difference.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

RasterImage twoPixels(std::uint8_t r0, std::uint8_t g0, std::uint8_t b0, std::uint8_t r1, std::uint8_t g1,
                      std::uint8_t b1)
{
    RasterImage image;
    EXPECT_TRUE(image.allocate(2, 1));
    image.data()[0] = b0;
    image.data()[1] = g0;
    image.data()[2] = r0;
    image.data()[3] = b1;
    image.data()[4] = g1;
    image.data()[5] = r1;
    return image;
}

// Each channel is |a - b| times the gain, either way round, and saturates at 255.
TEST(PictureDifferenceTest, AbsoluteDifferencePerChannelAmplifiedAndClamped)
{
    const RasterImage a = twoPixels(10, 200, 0, 255, 0, 7);
    const RasterImage b = twoPixels(13, 190, 0, 0, 255, 7);

    StatusOr<RasterImage> plain = differencePicture(a, b, 1);
    ASSERT_TRUE(plain.ok()) << plain.reason();
    EXPECT_EQ(plain->pixel(0, 0).r, 3.0f);
    EXPECT_EQ(plain->pixel(0, 0).g, 10.0f);
    EXPECT_EQ(plain->pixel(0, 0).b, 0.0f);
    EXPECT_EQ(plain->pixel(1, 0).r, 255.0f);
    EXPECT_EQ(plain->pixel(1, 0).g, 255.0f);
    EXPECT_EQ(plain->pixel(1, 0).b, 0.0f);

    StatusOr<RasterImage> amplified = differencePicture(b, a, 16);
    ASSERT_TRUE(amplified.ok());
    EXPECT_EQ(amplified->pixel(0, 0).r, 48.0f);
    EXPECT_EQ(amplified->pixel(0, 0).g, 160.0f);
    EXPECT_EQ(amplified->pixel(1, 0).r, 255.0f);
}

// Pictures of different sizes, an empty one and gains outside 1 to 16 are refused with a reason.
TEST(PictureDifferenceTest, RefusesMismatchedPicturesAndGains)
{
    const RasterImage a = twoPixels(1, 2, 3, 4, 5, 6);
    RasterImage tall;
    ASSERT_TRUE(tall.allocate(1, 2));
    EXPECT_EQ(differencePicture(a, tall, 1).reason(), "the pictures differ in size: 2 x 1 and 1 x 2");
    EXPECT_FALSE(differencePicture(a, RasterImage(), 1).ok());
    EXPECT_FALSE(differencePicture(a, a, 0).ok());
    EXPECT_FALSE(differencePicture(a, a, 17).ok());
    EXPECT_TRUE(differencePicture(a, a, 16).ok());
}

} // namespace
} // namespace nubo
