#include "workbench/region_table.h"

#include "regions/region_set.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

// Two regions in a 100 x 80 picture, one column apart at x = 21 ... 39.
RegionSet twoRegions()
{
    RegionSet regions;
    regions.add(Region(0, 0, 20, 20));
    Region lossless(40, 10, 70, 50);
    lossless.coderKind = CoderKind::Arithmetic;
    regions.add(lossless);
    return regions;
}

PixelRect rectOf(const Region& r) { return {r.left, r.top, r.right, r.bottom}; }

// A row shows the number, corners, sizes, coder and ratio; the ratio of a lossless region cannot be edited.
TEST(RegionInspection, RowsShowTheRegionsInSetOrder)
{
    const RegionSet regions = twoRegions();
    const Region& second = regions.at(1);
    EXPECT_EQ(inspectorCell(second, 1, InspectorColumn::Number), "2");
    EXPECT_EQ(inspectorCell(second, 1, InspectorColumn::Right), "70");
    EXPECT_EQ(inspectorCell(second, 1, InspectorColumn::Width), "31");
    EXPECT_EQ(inspectorCell(second, 1, InspectorColumn::Height), "41");
    EXPECT_EQ(inspectorCell(second, 1, InspectorColumn::Coder), "Arithmetic");
    EXPECT_FALSE(inspectorCellEditable(second, InspectorColumn::Ratio));
    EXPECT_TRUE(inspectorCellEditable(regions.at(0), InspectorColumn::Ratio));
    EXPECT_FALSE(inspectorCellEditable(regions.at(0), InspectorColumn::Number));
    EXPECT_EQ(coderKindName(CoderKind::Predictive), "Lossless (predictive)");
    EXPECT_EQ(coderKindName(static_cast<CoderKind>(9)), "Kind 9");
}

// An edge or a size moves one side; the region keeps its coder and ratio.
TEST(RegionInspection, EdgeEditsMoveOneSide)
{
    const RegionSet regions = twoRegions();
    const StatusOr<Region> wider = regionWithEdge(regions, 0, InspectorColumn::Width, 39, 100, 80);
    ASSERT_TRUE(wider.ok()) << wider.reason();
    EXPECT_EQ(rectOf(*wider), (PixelRect{0, 0, 38, 20}));
    const StatusOr<Region> lower = regionWithEdge(regions, 1, InspectorColumn::Bottom, 79, 100, 80);
    ASSERT_TRUE(lower.ok()) << lower.reason();
    EXPECT_EQ(rectOf(*lower), (PixelRect{40, 10, 70, 79}));
    EXPECT_EQ(lower->coderKind, CoderKind::Arithmetic);
    const StatusOr<Region> moved = regionWithEdge(regions, 0, InspectorColumn::Top, 13, 100, 80);
    ASSERT_TRUE(moved.ok()) << moved.reason();
    EXPECT_EQ(rectOf(*moved), (PixelRect{0, 13, 20, 20}));
}

// Refused: a rectangle meeting another region (a shared column counts), one outside the picture, one under 7 x 7
// pixels (also a left edge past the right one), and a column that is no edge.
TEST(RegionInspection, RefusesWhatTheMouseEditorRefuses)
{
    const RegionSet regions = twoRegions();
    const StatusOr<Region> touching = regionWithEdge(regions, 0, InspectorColumn::Right, 40, 100, 80);
    ASSERT_FALSE(touching.ok());
    EXPECT_EQ(touching.reason(), "The region would intersect region 2.");
    EXPECT_FALSE(regionWithEdge(regions, 1, InspectorColumn::Left, 20, 100, 80).ok());
    EXPECT_EQ(regionWithEdge(regions, 1, InspectorColumn::Right, 100, 100, 80).reason(),
              "The region must lie inside the picture: x from 0 to 99, y from 0 to 79.");
    EXPECT_FALSE(regionWithEdge(regions, 1, InspectorColumn::Top, -1, 100, 80).ok());
    EXPECT_FALSE(regionWithEdge(regions, 0, InspectorColumn::Height, 2147483647, 100, 80).ok());
    EXPECT_EQ(regionWithEdge(regions, 0, InspectorColumn::Width, 6, 100, 80).reason(),
              "A region must span at least 7 x 7 pixels.");
    EXPECT_FALSE(regionWithEdge(regions, 1, InspectorColumn::Left, 71, 100, 80).ok());
    EXPECT_TRUE(regionWithEdge(regions, 0, InspectorColumn::Width, 7, 100, 80).ok());
    EXPECT_FALSE(regionWithEdge(regions, 0, InspectorColumn::Ratio, 7, 100, 80).ok());
    EXPECT_FALSE(regionWithEdge(regions, 2, InspectorColumn::Left, 7, 100, 80).ok());
}

} // namespace
} // namespace nubo
