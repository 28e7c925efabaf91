#include "quant/plane_mask.h"

#include "regions/region_set.h"

#include <gtest/gtest.h>

#include <vector>

namespace nubo {
namespace {

// Which coefficients of a w x h subband a mask clears, as a picture: rows from the top, '0' cleared, '.' kept.
std::vector<std::string> clearedPattern(int w, int h, int planeWidth, int planeHeight, const RegionSet& mask)
{
    std::vector<float> data(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 1.0f);
    clearSubbandUnderMask(data.data(), w, h, planeWidth, planeHeight, mask);
    std::vector<std::string> rows;
    for (int y = 0; y < h; ++y) {
        std::string row;
        const int r = h - 1 - y; // array rows run from the bottom of the picture
        for (int x = 0; x < w; ++x)
            row += data[static_cast<std::size_t>(r) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] == 0.0f
                ? '0'
                : '.';
        rows.push_back(row);
    }
    return rows;
}

// A region is scaled to the subband and shrunk by about two coefficients on each side, all bounds strict.
TEST(PlaneMask, ClearsTheShrunkenScaledRectangle)
{
    RegionSet mask;
    mask.add(Region(0, 0, 63, 31)); // top half of a 64 x 64 plane
    // Subband 8 x 8: sx = 1/8; x0 = ceil(0) + 1 = 1, x1 = floor(7.875) - 1 = 6; y0 = 1, y1 = floor(3.875) - 1 = 2.
    EXPECT_EQ(clearedPattern(8, 8, 64, 64, mask), (std::vector<std::string>{"........", "........", "........",
                                                                              "........", "........", "........",
                                                                              "........", "........"}));
    mask.add(Region(0, 0, 63, 63));
    // Whole plane: y0 = 1, y1 = 6 as well: columns and rows 2 ... 5.
    EXPECT_EQ(clearedPattern(8, 8, 64, 64, mask), (std::vector<std::string>{"........", "........", "..0000..",
                                                                              "..0000..", "..0000..", "..0000..",
                                                                              "........", "........"}));
}

// The mask is placed with y from the top: a region at the top of the picture clears rows at the end of the array.
TEST(PlaneMask, RegionAtTheTopClearsTheLastArrayRows)
{
    RegionSet mask;
    mask.add(Region(0, 0, 31, 15));
    // Subband 32 x 32 of a 32 x 32 plane (scale 1): x in (1, 30), y in (1, 14).
    std::vector<float> data(32 * 32, 1.0f);
    clearSubbandUnderMask(data.data(), 32, 32, 32, 32, mask);
    EXPECT_EQ(data[31 * 32 - 32 * 2 + 2], 0.0f); // array row 29 (y = 2), x = 2
    EXPECT_EQ(data[31 * 32 + 2], 1.0f);          // array row 31 (y = 0)
    EXPECT_EQ(data[0 * 32 + 5], 1.0f);           // array row 0 (y = 31)
    EXPECT_EQ(data[(31 - 13) * 32 + 29], 0.0f);  // y = 13, x = 29
    EXPECT_EQ(data[(31 - 14) * 32 + 29], 1.0f);  // y = 14 is a bound
    EXPECT_EQ(data[(31 - 13) * 32 + 30], 1.0f);  // x = 30 is a bound
}

// A region smaller than about four coefficients of a subband clears nothing there, though it does in finer bands.
TEST(PlaneMask, SmallRegionClearsNothingInCoarseBands)
{
    RegionSet mask;
    mask.add(Region(16, 16, 47, 47)); // 32 x 32 pixels
    // At 1/8 scale: x0 = ceil(2) + 1 = 3, x1 = floor(5.875) - 1 = 4: nothing lies strictly between.
    EXPECT_EQ(clearedPattern(8, 8, 64, 64, mask), std::vector<std::string>(8, "........"));
    // At 1/4 scale: x0 = 5, x1 = 10: coefficients 6 ... 9.
    const std::vector<std::string> quarter = clearedPattern(16, 16, 64, 64, mask);
    EXPECT_EQ(quarter[7], "......0000......");
    EXPECT_EQ(quarter[5], "................");
}

// Regions reaching outside the picture, and empty subbands, never write outside the data.
TEST(PlaneMask, StaysInsideTheSubband)
{
    RegionSet mask;
    mask.add(Region(-100, -100, 1000, 1000));
    std::vector<float> data(6 * 4 + 1, 1.0f);
    clearSubbandUnderMask(data.data(), 6, 4, 12, 8, mask);
    EXPECT_EQ(data.back(), 1.0f);
    EXPECT_EQ(data[0], 0.0f);
    clearSubbandUnderMask(nullptr, 0, 4, 12, 8, mask);
    clearSubbandUnderMask(nullptr, 3, 0, 12, 8, mask);
}

} // namespace
} // namespace nubo
