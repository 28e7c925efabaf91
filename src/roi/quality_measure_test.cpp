#include "roi/quality_measure.h"

#include "image/raster_image.h"
#include "regions/region_set.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace nubo {
namespace {

using test::patternImage;

RasterImage plusOne(const RasterImage& image)
{
    RasterImage result;
    image.crop(result, 0, 0, image.width() - 1, image.height() - 1);
    for (int i = 0; i < result.size(); ++i)
        result.data()[i] = static_cast<std::uint8_t>(result.data()[i] < 255 ? result.data()[i] + 1 : 254);
    return result;
}

// A difference of 1 in each channel of every pixel is a distance of 3, an MSE of 9.
TEST(QualityMeasure, DifferenceOfOnePerChannelGivesNine)
{
    const RasterImage source = patternImage(30, 20);
    QualityMeasure measure;
    ASSERT_TRUE(measure.measure(source, plusOne(source), true, nullptr));
    EXPECT_EQ(measure.mse(), 9.0f);
    EXPECT_EQ(measure.pixelCount(), 600);
}

// Two pixels worked by hand: mean (5, 10, 15), both 30 from it, so the signal is 900; one channel 3 off in one
// pixel gives an MSE of 9 / 2 and an SNR of 10 log10(200).
TEST(QualityMeasure, HandWorkedSignalAndNoise)
{
    RasterImage source;
    source.allocate(2, 1);
    const std::uint8_t bytes[] = {0, 0, 0, 30, 20, 10}; // blue, green, red
    std::copy(bytes, bytes + 6, source.data());
    RasterImage result;
    source.crop(result, 0, 0, 1, 0);
    result.data()[4] = 23;
    QualityMeasure measure;
    ASSERT_TRUE(measure.measure(source, result, true, nullptr));
    EXPECT_EQ(measure.mse(), 4.5f);
    EXPECT_EQ(measure.snr(), static_cast<float>(10.0 * std::log10(200.0)));
}

// Identical pictures give the floor MSE of 0.00001 and the SNR that follows from it.
TEST(QualityMeasure, IdenticalPicturesUseTheFloor)
{
    RasterImage source;
    source.allocate(2, 1);
    const std::uint8_t bytes[] = {0, 0, 0, 30, 20, 10};
    std::copy(bytes, bytes + 6, source.data());
    QualityMeasure measure;
    ASSERT_TRUE(measure.measure(source, source, true, nullptr));
    EXPECT_EQ(measure.mse(), 0.00001f);
    EXPECT_EQ(measure.snr(), static_cast<float>(10.0 * std::log10(static_cast<double>(900.0f / 0.00001f))));
}

// Over regions, a pixel on a region's border row or column counts and one just outside does not.
TEST(QualityMeasure, RegionBordersAreIncluded)
{
    const RasterImage source = test::uniformImage(20, 20, 50, 50, 50);
    RasterImage result;
    source.crop(result, 0, 0, 19, 19);
    RegionSet regions;
    regions.add(Region(5, 6, 9, 10));
    auto changeAt = [](RasterImage& image, int x, int y) { image.data()[(20 * (20 - 1 - y) + x) * 3] = 56; };
    changeAt(result, 5, 6);  // inside, on the corner
    changeAt(result, 4, 8);  // just left of the region
    changeAt(result, 7, 11); // just below
    QualityMeasure measure;
    ASSERT_TRUE(measure.measure(source, result, false, &regions));
    EXPECT_EQ(measure.pixelCount(), 25);
    EXPECT_EQ(measure.mse(), 36.0f / 25.0f);
    EXPECT_FALSE(measure.whole());
}

// With no pixel selected there is nothing to average: the measure says so instead of giving NaN; pictures of
// different sizes are not measured either.
TEST(QualityMeasure, NothingSelectedOrMismatchedIsNotMeasured)
{
    const RasterImage source = patternImage(10, 10);
    QualityMeasure measure;
    RegionSet empty;
    EXPECT_FALSE(measure.measure(source, source, false, &empty));
    EXPECT_FALSE(measure.measured());
    EXPECT_EQ(measure.reason(), "no pixel was selected");
    EXPECT_FALSE(std::isnan(measure.mse()));
    EXPECT_FALSE(measure.measure(source, source, false, nullptr));
    EXPECT_FALSE(measure.measure(source, patternImage(10, 11), true, nullptr));
    EXPECT_NE(measure.reason().find("differ in size"), std::string::npos);
    EXPECT_FALSE(measure.measure(source, RasterImage{}, true, nullptr));
}

} // namespace
} // namespace nubo
