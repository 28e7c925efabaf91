#include "picture_io/picture_file.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

StatusOr<PictureRead> readText(const std::string& bytes, RasterImage& image)
{
    return readPictureBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), image);
}

// A P6 header with comments and odd whitespace reads; the first row of the file is the top row.
TEST(Netpbm, PpmWithComments)
{
    const std::string file = std::string("P6 # made by hand\n2\t# width\n 1\n255\n") + "\x01\x02\x03\xfa\xfb\xfc";
    RasterImage image;
    const StatusOr<PictureRead> outcome = readText(file, image);
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    EXPECT_EQ(outcome->format, PictureFormat::Ppm);
    ASSERT_EQ(image.width(), 2);
    ASSERT_EQ(image.height(), 1);
    EXPECT_EQ(image.pixel(0, 0).r, 1.0f);
    EXPECT_EQ(image.pixel(0, 0).b, 3.0f);
    EXPECT_EQ(image.pixel(1, 0).g, 251.0f);
}

// P5 grey is expanded to RGB; a maxval below 255 is scaled with rounding (15 -> 255, 7 -> 119, 0 -> 0).
TEST(Netpbm, PgmExpandedAndScaled)
{
    RasterImage image;
    const StatusOr<PictureRead> outcome = readText(std::string("P5\n3 1\n15\n") + "\x0f\x07" + std::string(1, '\0'), image);
    ASSERT_TRUE(outcome.ok()) << outcome.reason();
    EXPECT_EQ(outcome->format, PictureFormat::Pgm);
    EXPECT_EQ(image.pixel(0, 0).r, 255.0f);
    EXPECT_EQ(image.pixel(1, 0).g, 119.0f);
    EXPECT_EQ(image.pixel(1, 0).b, 119.0f);
    EXPECT_EQ(image.pixel(2, 0).r, 0.0f);
}

// Each damaged or unsupported file is refused with the reason that names its fault.
TEST(Netpbm, RefusedFiles)
{
    const std::pair<std::string, const char*> cases[] = {
        {"P6\n2 2\n65535\n" + std::string(24, 'x'), "16-bit PPM"},
        {"P6\n2 2\n255\n" + std::string(11, 'x'), "truncated PPM"},
        {"P5\n2 2\n", "header"},
        {"P5\n2 x\n255\n", "header"},
        {"P5\n0 2\n255\n", "exceeds the picture limits"},
        {"P6\n40000 2\n255\n", "exceeds the picture limits"},
        {"P5\n99999999999999 2\n255\n", "header"},
        {"P5\n2 1\n0\n\x00\x00", "maxval 0"},
        {"P5\n2 1\n100\n\x64\x65", "exceeds maxval"},
        {"P3\n1 1\n255\n0 0 0\n", "P3 is not supported"},
    };
    for (const auto& [file, mention] : cases) {
        RasterImage image;
        const StatusOr<PictureRead> outcome = readText(file, image);
        EXPECT_FALSE(outcome.ok()) << file;
        EXPECT_NE(outcome.reason().find(mention), std::string::npos) << outcome.reason();
        EXPECT_FALSE(image.isValid());
    }
}

} // namespace
} // namespace nubo
