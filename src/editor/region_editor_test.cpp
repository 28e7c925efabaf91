#include "editor/region_editor.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace nubo {
namespace {

class RegionEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(doc.image().allocate(200, 150));
        doc.image().fill(0x40);
        doc.setRefreshViews([this] { ++refreshes; });
    }

    // A full left-button drag from (x0, y0) through (x1, y1) to a release at (x1, y1).
    EditResult drag(int x0, int y0, int x1, int y1)
    {
        editor.press(x0, y0);
        editor.move(x1, y1, true);
        return editor.release(x1, y1);
    }

    static bool repaints(const EditResult& r, ViewRect rect)
    {
        return std::find(r.repaint.begin(), r.repaint.end(), rect) != r.repaint.end();
    }

    DocumentData doc;
    RegionEditor editor{doc};
    int refreshes = 0;
};

// A drag on the free picture adds a normalised, selected region; the first one switches labels to Short.
TEST_F(RegionEditorTest, DragAddsRegionAndShowsDescriptions)
{
    editor.press(50, 60);
    EXPECT_TRUE(editor.dragging());
    editor.move(30, 40, true);
    const EditResult r = editor.release(20, 30);
    EXPECT_FALSE(editor.dragging());
    ASSERT_EQ(doc.regions().count(), 1);
    const Region& added = doc.regions().at(0);
    EXPECT_EQ(added.normalizedRect(), (PixelRect{20, 30, 50, 60}));
    EXPECT_EQ((PixelRect{added.left, added.top, added.right, added.bottom}), (PixelRect{20, 30, 50, 60}));
    EXPECT_EQ(doc.regions().selectedIndex(), 0);
    EXPECT_EQ(doc.descriptionMode(), DescriptionMode::Short);
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(repaints(r, (ViewRect{30, 40, 51, 61}))); // the band as it stood
    EXPECT_TRUE(repaints(r, (ViewRect{20, 30, 51, 61}))); // the candidate

    // The second region does not ask for descriptions again, and its release repaints the old selection.
    doc.setDescriptionMode(DescriptionMode::Hidden);
    const EditResult second = drag(100, 100, 120, 120);
    EXPECT_EQ(doc.regions().count(), 2);
    EXPECT_EQ(doc.descriptionMode(), DescriptionMode::Hidden);
    EXPECT_TRUE(repaints(second, (ViewRect{20, 30, 51, 61})));
    EXPECT_EQ(doc.regions().selectedIndex(), 1);
}

// The first drag over a document without regions repaints the whole picture once; later moves only the bands.
TEST_F(RegionEditorTest, FirstDragRepaintsPictureOnce)
{
    editor.press(10, 10);
    EditResult first = editor.move(20, 20, true);
    EXPECT_TRUE(editor.firstDragRepainted());
    EXPECT_TRUE(repaints(first, (ViewRect{0, 0, 201, 151})));
    EditResult second = editor.move(25, 30, true);
    EXPECT_FALSE(repaints(second, (ViewRect{0, 0, 201, 151})));
    EXPECT_TRUE(repaints(second, (ViewRect{10, 10, 21, 21})));
    EXPECT_TRUE(repaints(second, (ViewRect{10, 10, 26, 31})));
    editor.release(25, 30);

    // Never again in this view, even after the regions are gone.
    editor.deleteSelected();
    ASSERT_EQ(doc.regions().count(), 0);
    editor.press(100, 100);
    EditResult later = editor.move(110, 110, true);
    EXPECT_FALSE(repaints(later, (ViewRect{0, 0, 201, 151})));
}

// Corners 5 pixels apart on an axis add nothing; 6 apart on both add a 7 x 7 region.
TEST_F(RegionEditorTest, MinimumSizeSevenBySeven)
{
    drag(10, 10, 15, 40);
    drag(10, 10, 40, 15);
    EXPECT_EQ(doc.regions().count(), 0);
    EXPECT_EQ(doc.descriptionMode(), DescriptionMode::Hidden);
    drag(10, 10, 16, 16);
    ASSERT_EQ(doc.regions().count(), 1);
    EXPECT_EQ(doc.regions().at(0).width(), 7);
    EXPECT_EQ(doc.regions().at(0).height(), 7);
}

// A drag towards a region stops where the next position would intersect it; a release inside it keeps the band.
TEST_F(RegionEditorTest, DragIntoRegionIsRefused)
{
    drag(100, 10, 150, 60);
    doc.regions().deselect();
    editor.press(20, 20);
    editor.move(90, 50, true);
    editor.move(99, 50, true);
    editor.move(100, 50, true); // would share column 100
    editor.move(120, 55, true);
    editor.release(125, 40);
    ASSERT_EQ(doc.regions().count(), 2);
    EXPECT_EQ(doc.regions().at(1).normalizedRect(), (PixelRect{20, 20, 99, 50}));
    EXPECT_FALSE(doc.regions().at(0).intersects(doc.regions().at(1), false));
}

// Past the right or bottom edge the moving corner clamps to the last column or row; a release outside the picture
// keeps the last accepted corner.
TEST_F(RegionEditorTest, DragClampsAtPictureEdges)
{
    editor.press(150, 100);
    editor.move(260, 400, true);
    ASSERT_NE(editor.rubberBand(), nullptr);
    EXPECT_EQ(editor.rubberBand()->right, 199);
    EXPECT_EQ(editor.rubberBand()->bottom, 149);
    editor.move(-30, 120, true);
    EXPECT_EQ(editor.rubberBand()->right, 0);
    editor.move(180, 140, true);
    editor.release(500, 500);
    ASSERT_EQ(doc.regions().count(), 1);
    EXPECT_EQ(doc.regions().at(0).normalizedRect(), (PixelRect{150, 100, 180, 140}));
}

// A press outside the picture starts nothing; a drag whose every position is refused adds nothing.
TEST_F(RegionEditorTest, NoBandOutsidePictureOrWhenEveryPositionRefused)
{
    editor.press(250, 20);
    EXPECT_FALSE(editor.dragging());
    drag(60, 60, 100, 100);
    doc.regions().deselect();
    editor.press(59, 59);
    editor.move(70, 70, true);
    editor.release(80, 80);
    EXPECT_EQ(doc.regions().count(), 1);
}

// Grabbing a corner of the selected region resizes it from the opposite corner and re-adds it last, keeping its
// coder kind and ratio; the pointer is moved onto the grabbed corner.
TEST_F(RegionEditorTest, CornerResizeReAddsRegionLast)
{
    drag(10, 10, 60, 60);
    drag(100, 10, 150, 60);
    drag(10, 90, 60, 140);
    // Select the first region and give it a kind and ratio.
    editor.press(35, 35);
    ASSERT_EQ(doc.regions().selectedIndex(), 0);
    editor.setCoderKind(CoderKind::Arithmetic);
    editor.setRatio(42);

    const EditResult pressed = editor.press(58, 57); // near the bottom-right corner
    ASSERT_TRUE(pressed.movePointerTo);
    EXPECT_EQ(*pressed.movePointerTo, (ViewPoint{60, 60}));
    EXPECT_EQ(doc.regions().count(), 2);
    ASSERT_TRUE(editor.dragging());
    EXPECT_EQ(editor.rubberBand()->left, 10);
    EXPECT_EQ(editor.rubberBand()->top, 10);
    editor.move(80, 75, true);
    editor.release(80, 75);
    ASSERT_EQ(doc.regions().count(), 3);
    const Region& resized = doc.regions().at(2);
    EXPECT_EQ(resized.normalizedRect(), (PixelRect{10, 10, 80, 75}));
    EXPECT_EQ(resized.coderKind, CoderKind::Arithmetic);
    EXPECT_EQ(resized.ratio, 42);
    EXPECT_EQ(doc.regions().selectedIndex(), 2);
    EXPECT_EQ(doc.regions().at(0).normalizedRect(), (PixelRect{100, 10, 150, 60}));
}

// Cancelling a drawing drag discards the band and adds nothing; cancelling a resize puts the region back where it
// was in the set, unchanged and selected; with no drag, cancelling does nothing.
TEST_F(RegionEditorTest, CancelledDragLeavesRegionsAsTheyWere)
{
    editor.press(20, 20);
    editor.move(60, 50, true);
    const EditResult drawing = editor.cancelDrag();
    EXPECT_FALSE(editor.dragging());
    EXPECT_EQ(doc.regions().count(), 0);
    EXPECT_TRUE(repaints(drawing, (ViewRect{20, 20, 61, 51})));
    editor.release(60, 50);
    EXPECT_EQ(doc.regions().count(), 0);

    drag(10, 10, 60, 60);
    drag(100, 10, 150, 60);
    drag(10, 90, 60, 140);
    editor.press(35, 35);
    editor.setCoderKind(CoderKind::Arithmetic);
    editor.press(58, 57); // a corner of the first region: a resize
    ASSERT_TRUE(editor.dragging());
    ASSERT_EQ(doc.regions().count(), 2);
    editor.move(80, 75, true);
    const EditResult resizing = editor.cancelDrag();
    EXPECT_FALSE(editor.dragging());
    ASSERT_EQ(doc.regions().count(), 3);
    EXPECT_EQ(doc.regions().at(0).normalizedRect(), (PixelRect{10, 10, 60, 60}));
    EXPECT_EQ(doc.regions().at(0).coderKind, CoderKind::Arithmetic);
    EXPECT_EQ(doc.regions().at(1).normalizedRect(), (PixelRect{100, 10, 150, 60}));
    EXPECT_EQ(doc.regions().at(2).normalizedRect(), (PixelRect{10, 90, 60, 140}));
    EXPECT_EQ(doc.regions().selectedIndex(), 0);
    EXPECT_TRUE(repaints(resizing, (ViewRect{10, 10, 81, 76})));  // the band
    EXPECT_TRUE(repaints(resizing, (ViewRect{10, 10, 61, 61})));  // the region restored
    editor.release(80, 75);
    EXPECT_EQ(doc.regions().count(), 3);
    EXPECT_TRUE(editor.cancelDrag().repaint.empty());
    EXPECT_EQ(doc.regions().count(), 3);
}

// Each corner handle anchors the band at the opposite corner.
TEST_F(RegionEditorTest, EveryCornerAnchorsOpposite)
{
    struct Case {
        int x, y;
        ViewPoint anchor, grabbed;
    } cases[] = {
        {52, 47, {150, 120}, {50, 40}},  // top-left
        {148, 45, {50, 120}, {150, 40}}, // top-right
        {149, 118, {50, 40}, {150, 120}}, // bottom-right
        {55, 122, {150, 40}, {50, 120}}, // bottom-left
    };
    for (const Case& c : cases) {
        doc.regions().clear();
        doc.regions().add(Region(50, 40, 150, 120));
        const EditResult r = editor.press(c.x, c.y);
        ASSERT_TRUE(editor.dragging());
        EXPECT_EQ((ViewPoint{editor.rubberBand()->left, editor.rubberBand()->top}), c.anchor);
        EXPECT_EQ((ViewPoint{editor.rubberBand()->right, editor.rubberBand()->bottom}), c.grabbed);
        EXPECT_EQ(r.movePointerTo, c.grabbed);
        editor.release(c.grabbed.x, c.grabbed.y);
        EXPECT_EQ(doc.regions().count(), 1);
    }
}

// A press anywhere inside a selected region of at most 41 x 41 corner distance grabs a corner.
TEST_F(RegionEditorTest, SmallRegionIsAllHandles)
{
    drag(20, 20, 60, 60);
    editor.press(40, 40);
    EXPECT_TRUE(editor.dragging());
    EXPECT_EQ(doc.regions().count(), 0);
}

// Resizing below 7 x 7 deletes the region; so does a resize abandoned by a move without the left button.
TEST_F(RegionEditorTest, ResizeCanLoseTheRegion)
{
    drag(20, 20, 120, 120);
    editor.press(118, 118);
    editor.move(23, 60, true);
    editor.release(23, 60);
    EXPECT_EQ(doc.regions().count(), 0);

    drag(20, 20, 120, 120);
    editor.press(118, 118);
    editor.move(130, 130, true);
    const EditResult abandoned = editor.move(131, 131, false);
    EXPECT_FALSE(editor.dragging());
    EXPECT_TRUE(repaints(abandoned, (ViewRect{20, 20, 131, 131})));
    EXPECT_EQ(doc.regions().count(), 0);
    EXPECT_TRUE(editor.release(131, 131).repaint.empty());
}

// A press on another region moves the selection and repaints both; a press on the free picture keeps the
// selection until the new region is added.
TEST_F(RegionEditorTest, PressSelects)
{
    drag(10, 10, 100, 100);
    drag(130, 10, 190, 100); // beyond the first region's 20-pixel handles
    const EditResult r = editor.press(50, 50);
    EXPECT_EQ(doc.regions().selectedIndex(), 0);
    EXPECT_TRUE(repaints(r, (ViewRect{130, 10, 191, 101})));
    EXPECT_TRUE(repaints(r, (ViewRect{10, 10, 101, 101})));
    EXPECT_FALSE(editor.dragging());

    editor.press(150, 120);
    EXPECT_TRUE(editor.dragging());
    EXPECT_EQ(doc.regions().selectedIndex(), 0);
}

// Right clicks: region menu inside the selected region, otherwise only a deselect; the background menu on free
// picture with nothing selected; nothing on an unselected region or outside the picture.
TEST_F(RegionEditorTest, RightClickMenus)
{
    drag(10, 10, 100, 100);
    EXPECT_EQ(editor.rightClick(50, 50).menu, ContextMenu::Region);
    EXPECT_EQ(doc.regions().selectedIndex(), 0);

    const EditResult outside = editor.rightClick(150, 120);
    EXPECT_EQ(outside.menu, ContextMenu::None);
    EXPECT_EQ(doc.regions().selectedIndex(), -1);
    EXPECT_TRUE(repaints(outside, (ViewRect{10, 10, 101, 101})));

    EXPECT_EQ(editor.rightClick(150, 120).menu, ContextMenu::Background);
    EXPECT_EQ(editor.rightClick(50, 50).menu, ContextMenu::None);
    EXPECT_EQ(doc.regions().selectedIndex(), -1);
    EXPECT_EQ(editor.rightClick(300, 20).menu, ContextMenu::None);
}

// The region commands act on the selected region and set the menu state.
TEST_F(RegionEditorTest, RegionCommands)
{
    EXPECT_FALSE(editor.canSetRatio());
    EXPECT_TRUE(editor.setCoderKind(CoderKind::Arithmetic).repaint.empty());
    drag(10, 10, 100, 100);
    EXPECT_TRUE(editor.canSetRatio());
    EXPECT_TRUE(editor.selectedKindIs(CoderKind::Wavelet));
    const EditResult kind = editor.setCoderKind(CoderKind::Arithmetic);
    EXPECT_TRUE(repaints(kind, (ViewRect{10, 10, 101, 101})));
    EXPECT_FALSE(editor.canSetRatio());
    EXPECT_TRUE(editor.selectedKindIs(CoderKind::Arithmetic));
    EXPECT_FALSE(editor.selectedKindIs(CoderKind::Wavelet));

    editor.setRatio(500);
    EXPECT_EQ(editor.selectedRatio(), 500);
    editor.setRatio(0);
    editor.setRatio(501);
    EXPECT_EQ(editor.selectedRatio(), 500);
}

// Deleting the selected region selects the next one in order; deleting the last leaves nothing selected.
TEST_F(RegionEditorTest, DeleteSelectsSuccessor)
{
    drag(10, 10, 40, 40);
    drag(70, 10, 100, 40);
    drag(130, 10, 160, 40);
    editor.press(25, 25);
    const EditResult r = editor.deleteSelected();
    EXPECT_TRUE(repaints(r, (ViewRect{10, 10, 41, 41})));
    ASSERT_EQ(doc.regions().count(), 2);
    EXPECT_EQ(doc.regions().selectedIndex(), 0);
    EXPECT_EQ(doc.regions().at(0).left, 70);
    editor.press(145, 25);
    editor.deleteSelected();
    EXPECT_EQ(doc.regions().selectedRegion(), nullptr);
    EXPECT_TRUE(editor.deleteSelected().repaint.empty());
}

// An accepted background ratio switches labels to Short and repaints the background label's area.
TEST_F(RegionEditorTest, BackgroundRatio)
{
    const EditResult r = editor.setBackgroundRatio(77);
    EXPECT_EQ(doc.background().ratio(), 77);
    EXPECT_EQ(doc.descriptionMode(), DescriptionMode::Short);
    EXPECT_TRUE(repaints(r, (ViewRect{0, 0, 161, 21})));
    doc.setDescriptionMode(DescriptionMode::Full);
    editor.setBackgroundRatio(3);
    EXPECT_EQ(doc.descriptionMode(), DescriptionMode::Full);
}

// Moves without a band and releases without a band change nothing.
TEST_F(RegionEditorTest, IdleEventsAreIgnored)
{
    EXPECT_TRUE(editor.move(10, 10, true).repaint.empty());
    EXPECT_TRUE(editor.release(10, 10).repaint.empty());
    EXPECT_EQ(doc.regions().count(), 0);
}

// A document without a picture accepts no band.
TEST(RegionEditorEmpty, EmptyPictureDrawsNothing)
{
    DocumentData doc;
    RegionEditor editor(doc);
    editor.press(10, 10);
    EXPECT_FALSE(editor.dragging());
    EXPECT_EQ(editor.rightClick(10, 10).menu, ContextMenu::None);
}

} // namespace
} // namespace nubo
