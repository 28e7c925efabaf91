#include "workbench/region_history.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

DocumentData twoRegions()
{
    DocumentData document;
    EXPECT_TRUE(document.image().allocate(100, 80));
    document.regions().add(Region(0, 0, 20, 20));
    document.regions().add(Region(40, 10, 70, 50));
    return document;
}

// Each kind of edit is recognised from the states before and after it; a selection change is no edit.
TEST(RegionHistory, ClassifiesEveryEditKind)
{
    DocumentData document = twoRegions();
    const RegionState start = captureRegions(document);

    document.regions().deselect();
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::None);

    document.regions().add(Region(80, 60, 95, 75));
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::Add);

    restoreRegions(document, start);
    document.regions().removeSelected();
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::Delete);

    // A resize takes the region out and adds it back at the end.
    restoreRegions(document, start);
    selectRegionAt(document.regions(), 0);
    document.regions().removeSelected();
    document.regions().add(Region(0, 0, 30, 30));
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::Resize);

    restoreRegions(document, start);
    document.regions().at(1).coderKind = CoderKind::Arithmetic;
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::CoderKind);

    restoreRegions(document, start);
    document.regions().at(0).ratio = 12;
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::Ratio);

    restoreRegions(document, start);
    document.background().setRatio(40);
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::BackgroundRatio);

    restoreRegions(document, start);
    document.background().setCoderKind(CoderKind::WaveletColour);
    EXPECT_EQ(classifyEdit(start, captureRegions(document)), RegionEdit::BackgroundCoder);

    EXPECT_EQ(editName(RegionEdit::Resize), "Resize Region");
    EXPECT_EQ(editName(RegionEdit::None), "");
}

// Restoring puts back the regions, their order, the selection and the background exactly.
TEST(RegionHistory, RestoreIsExact)
{
    DocumentData document = twoRegions();
    document.regions().at(0).ratio = 7;
    const RegionState saved = captureRegions(document);
    document.regions().clear();
    document.background().setRatio(300);
    restoreRegions(document, saved);
    ASSERT_EQ(document.regions().count(), 2);
    EXPECT_EQ(document.regions().at(0).ratio, 7);
    EXPECT_EQ(document.regions().at(1).left, 40);
    EXPECT_EQ(document.regions().selectedIndex(), 1);
    EXPECT_TRUE(document.regions().everAdded());
    EXPECT_TRUE(document.background().ratioUnset());
    EXPECT_EQ(document.background().ratio(), 1);
}

// Selecting by position picks that region, and a position outside the set selects nothing.
TEST(RegionHistory, SelectRegionAt)
{
    DocumentData document = twoRegions();
    selectRegionAt(document.regions(), 0);
    EXPECT_EQ(document.regions().selectedIndex(), 0);
    selectRegionAt(document.regions(), 1);
    EXPECT_EQ(document.regions().selectedIndex(), 1);
    selectRegionAt(document.regions(), 2);
    EXPECT_EQ(document.regions().selectedIndex(), -1);
    selectRegionAt(document.regions(), -1);
    EXPECT_EQ(document.regions().selectedIndex(), -1);
}

} // namespace
} // namespace nubo
