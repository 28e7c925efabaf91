#include "roi/picture_metrics.h"

#include "image/raster_image.h"
#include "regions/region_set.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace nubo {
namespace {

using test::patternImage;
using test::uniformImage;

// The picture with `delta` added to every sample of one channel (0 red, 1 green, 2 blue), clamped.
RasterImage shifted(const RasterImage& image, int channel, int delta)
{
    RasterImage result = image;
    for (int i = 2 - channel; i < result.size(); i += 3)
        result.data()[i] = static_cast<std::uint8_t>(std::clamp(result.data()[i] + delta, 0, 255));
    return result;
}

// Red off by 2 everywhere: red PSNR 10 log10(255^2 / 4), green and blue infinite, overall MSE 4 / 3.
TEST(PictureMetrics, PsnrPerChannelWorkedByHand)
{
    const RasterImage source = uniformImage(20, 12, 100, 50, 25);
    const RasterImage result = shifted(source, 0, 2);
    PictureMetrics metrics;
    ASSERT_TRUE(metrics.compare(source, result));
    const StandardMetrics whole = metrics.overWhole();
    ASSERT_TRUE(whole.measured);
    EXPECT_EQ(whole.pixels, 240);
    EXPECT_NEAR(whole.psnrRed, 10.0 * std::log10(65025.0 / 4.0), 1e-12);
    EXPECT_TRUE(std::isinf(whole.psnrGreen));
    EXPECT_TRUE(std::isinf(whole.psnrBlue));
    EXPECT_NEAR(whole.psnr, 10.0 * std::log10(65025.0 * 3.0 / 4.0), 1e-12);
}

// Identical pictures: infinite PSNR and an SSIM of 1; the text shows "inf".
TEST(PictureMetrics, IdenticalPictures)
{
    const RasterImage source = patternImage(40, 30);
    PictureMetrics metrics;
    ASSERT_TRUE(metrics.compare(source, source));
    const StandardMetrics whole = metrics.overWhole();
    EXPECT_TRUE(std::isinf(whole.psnr));
    ASSERT_TRUE(whole.ssimMeasured);
    EXPECT_NEAR(whole.ssim, 1.0, 1e-6);
    EXPECT_EQ(whole.ssimWindows, (40 - 10) * (30 - 10));
    EXPECT_EQ(standardMetricsStatistic(whole),
              "Result PSNR: inf dB (red inf, green inf, blue inf).\n\rResult SSIM: 1.0000.");
}

// Flat pictures have no variance, so each channel's SSIM is (2ab + C1) / (a^2 + b^2 + C1).
TEST(PictureMetrics, SsimOfFlatPicturesFollowsTheFormula)
{
    const RasterImage source = uniformImage(16, 16, 100, 100, 100);
    const RasterImage result = uniformImage(16, 16, 120, 100, 100);
    PictureMetrics metrics;
    ASSERT_TRUE(metrics.compare(source, result));
    const double c1 = 2.55 * 2.55;
    const double red = (2.0 * 100 * 120 + c1) / (100.0 * 100 + 120.0 * 120 + c1);
    EXPECT_NEAR(metrics.overWhole().ssim, (red + 2.0) / 3.0, 1e-6);
}

// Restricted to a rectangle, the SSIM and PSNR are those of the two pictures cropped to it.
TEST(PictureMetrics, RectangleEqualsCrop)
{
    const RasterImage source = patternImage(60, 50, 3);
    const RasterImage result = patternImage(60, 50, 4);
    PictureMetrics metrics;
    ASSERT_TRUE(metrics.compare(source, result));
    const StandardMetrics part = metrics.over(PixelSelection::rectangle(60, 50, 7, 9, 40, 30));
    RasterImage sourceCrop, resultCrop;
    ASSERT_TRUE(source.crop(sourceCrop, 7, 9, 40, 30));
    ASSERT_TRUE(result.crop(resultCrop, 7, 9, 40, 30));
    PictureMetrics cropped;
    ASSERT_TRUE(cropped.compare(sourceCrop, resultCrop));
    const StandardMetrics whole = cropped.overWhole();
    EXPECT_EQ(part.pixels, 34 * 22);
    EXPECT_EQ(part.ssimWindows, whole.ssimWindows);
    EXPECT_NEAR(part.ssim, whole.ssim, 1e-6);
    EXPECT_DOUBLE_EQ(part.psnr, whole.psnr);
    EXPECT_NE(part.ssim, metrics.overWhole().ssim);
}

// Damage inside a region leaves the background's windows untouched: their SSIM is 1 and their PSNR infinite.
TEST(PictureMetrics, BackgroundWindowsAvoidTheRegions)
{
    const RasterImage source = patternImage(64, 48, 5);
    RasterImage result = source;
    RegionSet regions;
    regions.add(Region(20, 10, 39, 29));
    for (int y = 10; y <= 29; ++y)
        for (int x = 20; x <= 39; ++x)
            result.data()[(static_cast<std::size_t>(64) * (47 - y) + static_cast<std::size_t>(x)) * 3] ^= 0x40;
    PictureMetrics metrics;
    ASSERT_TRUE(metrics.compare(source, result));
    const StandardMetrics background = metrics.over(PixelSelection::outsideRegions(64, 48, regions));
    EXPECT_EQ(background.pixels, 64 * 48 - 20 * 20);
    EXPECT_TRUE(std::isinf(background.psnr));
    ASSERT_TRUE(background.ssimMeasured);
    EXPECT_NEAR(background.ssim, 1.0, 1e-6);
    const StandardMetrics inside = metrics.over(PixelSelection::insideRegions(64, 48, regions));
    EXPECT_LT(inside.ssim, 0.99);
    EXPECT_LT(metrics.overWhole().ssim, 0.99);
}

// Fewer than 11 x 11 selected pixels: PSNR measured, SSIM not, with a reason; nothing selected: nothing measured.
TEST(PictureMetrics, TooSmallOrEmptySelections)
{
    const RasterImage source = patternImage(30, 30, 6);
    const RasterImage result = shifted(source, 1, -3);
    PictureMetrics metrics;
    ASSERT_TRUE(metrics.compare(source, result));
    const StandardMetrics small = metrics.over(PixelSelection::rectangle(30, 30, 2, 2, 12, 11));
    EXPECT_TRUE(small.measured);
    EXPECT_FALSE(small.ssimMeasured);
    EXPECT_NE(standardMetricsStatistic(small).find("Result SSIM: not measured (no 11 x 11 window"), std::string::npos);
    const StandardMetrics exact = metrics.over(PixelSelection::rectangle(30, 30, 2, 2, 12, 12));
    EXPECT_EQ(exact.ssimWindows, 1);
    const StandardMetrics none = metrics.over(PixelSelection::nothing(30, 30));
    EXPECT_FALSE(none.measured);
    EXPECT_EQ(standardMetricsStatistic(none), "");
    PictureMetrics unequal;
    const Status refused = unequal.compare(source, patternImage(30, 31));
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.reason().find("differ in size"), std::string::npos);
    EXPECT_FALSE(unequal.overWhole().measured);
}

} // namespace
} // namespace nubo
