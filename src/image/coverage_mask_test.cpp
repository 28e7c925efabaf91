#include "image/coverage_mask.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

RasterImage filled(int width, int height, std::uint8_t value)
{
    RasterImage image;
    image.allocate(width, height);
    image.fill(value);
    return image;
}

void setPixel(RasterImage& image, int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r)
{
    std::uint8_t* p = image.data() + (static_cast<std::size_t>(image.width()) * (image.height() - 1 - y) + x) * 3;
    p[0] = b;
    p[1] = g;
    p[2] = r;
}

// The first paste over a pixel wins even when it writes pure black; later pastes fill only what none covered.
TEST(CoverageMask, FirstPasteWinsWhateverItsColour)
{
    RasterImage target = filled(4, 3, 0);
    CoverageMask mask(4, 3);
    RasterImage first = filled(2, 2, 9);
    setPixel(first, 1, 0, 0, 0, 0); // pure black at (2, 1) of the target
    ASSERT_TRUE(mask.paste(target, first, 1, 1));
    ASSERT_TRUE(mask.paste(target, filled(4, 3, 5), 0, 0));
    EXPECT_EQ(target.pixel(2, 1), (PixelColour{0.0f, 0.0f, 0.0f}));
    EXPECT_EQ(target.pixel(1, 1), (PixelColour{9.0f, 9.0f, 9.0f}));
    EXPECT_EQ(target.pixel(1, 2), (PixelColour{9.0f, 9.0f, 9.0f}));
    EXPECT_EQ(target.pixel(0, 0), (PixelColour{5.0f, 5.0f, 5.0f}));
    EXPECT_EQ(target.pixel(3, 2), (PixelColour{5.0f, 5.0f, 5.0f}));
    EXPECT_EQ(mask.coveredCount(), 12);
}

// Pixels already coloured in the target but not covered by a paste are overwritten: only the mask decides.
TEST(CoverageMask, TargetColourDoesNotProtectAPixel)
{
    RasterImage target = filled(2, 2, 7);
    CoverageMask mask(2, 2);
    ASSERT_TRUE(mask.paste(target, filled(1, 1, 3), 1, 0));
    EXPECT_EQ(target.pixel(1, 0), (PixelColour{3.0f, 3.0f, 3.0f}));
    EXPECT_EQ(target.pixel(0, 0), (PixelColour{7.0f, 7.0f, 7.0f}));
    EXPECT_TRUE(mask.covered(1, 0));
    EXPECT_FALSE(mask.covered(0, 0));
    EXPECT_FALSE(mask.covered(1, 1));
}

// A source outside the target, or a target of another size, is refused with nothing changed or covered.
TEST(CoverageMask, RefusesWhatDoesNotFit)
{
    RasterImage target = filled(4, 4, 0);
    CoverageMask mask(4, 4);
    const RasterImage source = filled(2, 2, 8);
    EXPECT_FALSE(mask.paste(target, source, 3, 0));
    EXPECT_FALSE(mask.paste(target, source, 0, 3));
    EXPECT_FALSE(mask.paste(target, source, -1, 0));
    RasterImage other = filled(5, 4, 0);
    EXPECT_FALSE(mask.paste(other, source, 0, 0));
    for (int i = 0; i < target.size(); ++i)
        ASSERT_EQ(target.data()[i], 0) << i;
    EXPECT_EQ(mask.coveredCount(), 0);
    EXPECT_TRUE(mask.paste(target, RasterImage(), 100, 100));
    EXPECT_EQ(mask.coveredCount(), 0);
}

} // namespace
} // namespace nubo
