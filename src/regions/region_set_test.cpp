#include "regions/background_settings.h"
#include "regions/region_selection.h"
#include "regions/region_set.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

RegionSet threeRegions()
{
    RegionSet set;
    set.add(Region(0, 0, 9, 9));
    set.add(Region(20, 0, 29, 9));
    set.add(Region(40, 0, 49, 9));
    return set;
}

// add normalises, appends and selects; the set remembers that a region was added.
TEST(RegionSet, AddNormalisesAndSelects)
{
    RegionSet set;
    EXPECT_FALSE(set.everAdded());
    EXPECT_EQ(set.selectedRegion(), nullptr);
    set.add(Region(9, 9, 0, 0));
    EXPECT_TRUE(set.everAdded());
    EXPECT_EQ(set.selectedIndex(), 0);
    EXPECT_EQ(set.at(0).left, 0);
    EXPECT_EQ(set.at(0).bottom, 9);
}

// Removing the middle of three selects the region that moved into its place.
TEST(RegionSet, RemovingMiddleSelectsSuccessor)
{
    RegionSet set = threeRegions();
    Region probe(25, 5, 25, 5);
    ASSERT_TRUE(set.findIntersecting(probe, true));
    set.selectHit();
    set.removeSelected();
    ASSERT_EQ(set.count(), 2);
    EXPECT_EQ(set.at(0).left, 0);
    EXPECT_EQ(set.at(1).left, 40);
    ASSERT_NE(set.selectedRegion(), nullptr);
    EXPECT_EQ(set.selectedRegion()->left, 40);
}

// Removing the last region leaves nothing selected.
TEST(RegionSet, RemovingLastSelectsNothing)
{
    RegionSet set = threeRegions(); // the third is selected by add
    set.removeSelected();
    EXPECT_EQ(set.count(), 2);
    EXPECT_EQ(set.selectedRegion(), nullptr);
    set.removeSelected(); // nothing selected: no change
    EXPECT_EQ(set.count(), 2);
}

// A region removed and added again (a resize) becomes the last one.
TEST(RegionSet, ReaddedRegionGoesLast)
{
    RegionSet set = threeRegions();
    Region probe(3, 3, 3, 3);
    ASSERT_TRUE(set.findIntersecting(probe, true));
    set.selectHit();
    Region moved = *set.selectedRegion();
    set.removeSelected();
    set.add(moved);
    EXPECT_EQ(set.at(2).left, 0);
    EXPECT_EQ(set.selectedIndex(), 2);
}

// A failed search keeps the previous hit; clear keeps hitIndex but forgets additions and selection.
TEST(RegionSet, FailedSearchAndClearKeepHitIndex)
{
    RegionSet set = threeRegions();
    Region probe(45, 5, 45, 5);
    ASSERT_TRUE(set.findIntersecting(probe, true));
    EXPECT_EQ(set.hitIndex(), 2);
    Region nowhere(100, 100, 100, 100);
    EXPECT_FALSE(set.findIntersecting(nowhere, true));
    EXPECT_EQ(set.hitIndex(), 2);
    set.clear();
    EXPECT_EQ(set.count(), 0);
    EXPECT_EQ(set.hitIndex(), 2);
    EXPECT_EQ(set.hitRegion(), nullptr);
    EXPECT_EQ(set.selectedIndex(), -1);
    EXPECT_FALSE(set.everAdded());
}

// releaseAll, the document's teardown, only drops the regions: unlike clear it leaves the indices and everAdded.
TEST(RegionSet, ReleaseAllDropsOnlyTheRegions)
{
    RegionSet set = threeRegions();
    const int selected = set.selectedIndex();
    ASSERT_TRUE(set.everAdded());
    set.releaseAll();
    EXPECT_EQ(set.count(), 0);
    EXPECT_EQ(set.selectedIndex(), selected);
    EXPECT_TRUE(set.everAdded());
}

// deselect and selectHit ignore invalid positions.
TEST(RegionSet, SelectionIgnoresInvalidPositions)
{
    RegionSet set;
    set.selectHit();
    set.deselect();
    EXPECT_EQ(set.selectedIndex(), -1);
    set = threeRegions();
    set.deselect();
    EXPECT_EQ(set.selectedIndex(), -1);
}

// Ratios outside 1..500 are ignored; the first accepted one clears ratioUnset for good.
TEST(BackgroundSettings, RatioRangeAndUnsetFlag)
{
    BackgroundSettings background;
    EXPECT_EQ(background.ratio(), 1);
    EXPECT_TRUE(background.ratioUnset());
    EXPECT_TRUE(background.backgroundPresent());
    background.setRatio(0);
    background.setRatio(501);
    EXPECT_EQ(background.ratio(), 1);
    EXPECT_TRUE(background.ratioUnset());
    background.setRatio(500);
    EXPECT_EQ(background.ratio(), 500);
    EXPECT_FALSE(background.ratioUnset());
}

// isSelected answers false outside the entries initRegions made.
TEST(RegionSelection, OutOfRangePositionsAreNotSelected)
{
    RegionSelection selection;
    selection.initRegions(3);
    selection.select(1);
    selection.select(3); // no such entry
    EXPECT_FALSE(selection.isSelected(-1));
    EXPECT_FALSE(selection.isSelected(0));
    EXPECT_TRUE(selection.isSelected(1));
    EXPECT_FALSE(selection.isSelected(3));
    EXPECT_EQ(selection.regionCount(), 3);
}

} // namespace
} // namespace nubo

namespace nubo {
namespace {

// Insert puts a normalised region at its position (clamped), moves the later ones up and selects it.
TEST(RegionSetInsert, PutsTheRegionBackInPlace)
{
    RegionSet set;
    set.add(Region(0, 0, 10, 10));
    set.add(Region(20, 0, 30, 10));
    set.insert(1, Region(50, 40, 40, 30));
    ASSERT_EQ(set.count(), 3);
    EXPECT_EQ(set.at(1).normalizedRect(), (PixelRect{40, 30, 50, 40}));
    EXPECT_EQ(set.at(1).left, 40);
    EXPECT_EQ(set.at(2).left, 20);
    EXPECT_EQ(set.selectedIndex(), 1);
    set.insert(9, Region(60, 0, 70, 10));
    EXPECT_EQ(set.at(3).left, 60);
    EXPECT_EQ(set.selectedIndex(), 3);
    set.insert(-2, Region(80, 0, 90, 10));
    EXPECT_EQ(set.at(0).left, 80);
    EXPECT_EQ(set.selectedIndex(), 0);
}

} // namespace
} // namespace nubo
