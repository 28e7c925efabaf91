#include "regions/region.h"

#include <gtest/gtest.h>

namespace nubo {
namespace {

// Sharing one column or row intersects; one free column between the rectangles does not.
TEST(RegionIntersection, SharedEdgeIntersectsButAbuttingDoesNot)
{
    const Region a(10, 10, 20, 20);
    Region sharedColumn(20, 0, 30, 30);
    Region sharedRow(0, 20, 15, 40);
    Region abutting(21, 10, 30, 20);
    Region gap(22, 10, 30, 20);
    Region below(10, 21, 20, 30);
    EXPECT_TRUE(a.intersects(sharedColumn, false));
    EXPECT_TRUE(a.intersects(sharedRow, false));
    EXPECT_FALSE(a.intersects(abutting, false));
    EXPECT_FALSE(a.intersects(gap, false));
    EXPECT_FALSE(a.intersects(below, false));
}

// A rectangle inside or around the region intersects, and a reversed one only after normalising.
TEST(RegionIntersection, ContainmentAndNormalisation)
{
    const Region a(10, 10, 20, 20);
    Region inside(12, 12, 13, 13);
    Region around(0, 0, 100, 100);
    EXPECT_TRUE(a.intersects(inside, false));
    EXPECT_TRUE(a.intersects(around, false));

    Region reversed(25, 25, 5, 5);
    EXPECT_FALSE(a.intersects(reversed, false)); // as given, x range [25, 5] meets nothing
    EXPECT_TRUE(a.intersects(reversed, true));
    EXPECT_EQ(reversed.left, 5);
    EXPECT_EQ(reversed.bottom, 25);
}

// A 10 x 10 region has tolerances of 4 and its handles cover every point of it.
TEST(RegionHandles, SmallRegionIsAllHandles)
{
    Region r(0, 0, 9, 9);
    const HandleHit hit = r.hitTest(4, 4);
    EXPECT_EQ(hit.kind, HitKind::TopLeft);
    EXPECT_EQ(hit.x, 0);
    EXPECT_EQ(hit.y, 0);
    for (int y = 0; y <= 9; ++y)
        for (int x = 0; x <= 9; ++x)
            EXPECT_NE(r.hitTest(x, y).kind, HitKind::Inside) << x << "," << y;
    EXPECT_EQ(r.hitTest(5, 4).kind, HitKind::TopRight);
    EXPECT_EQ(r.hitTest(5, 5).kind, HitKind::BottomRight);
    EXPECT_EQ(r.hitTest(4, 5).kind, HitKind::BottomLeft);
    EXPECT_EQ(r.hitTest(14, 14).kind, HitKind::Outside);
}

// A 100 x 100 region: handles reach exactly 20 pixels outside, and its centre is Inside.
TEST(RegionHandles, LargeRegionToleranceIsTwentyPixels)
{
    Region r(100, 100, 199, 199);
    EXPECT_EQ(r.hitTest(80, 80).kind, HitKind::TopLeft);
    EXPECT_EQ(r.hitTest(79, 80).kind, HitKind::Outside);
    EXPECT_EQ(r.hitTest(80, 79).kind, HitKind::Outside);
    EXPECT_EQ(r.hitTest(150, 150).kind, HitKind::Inside);
    const HandleHit br = r.hitTest(219, 219);
    EXPECT_EQ(br.kind, HitKind::BottomRight);
    EXPECT_EQ(br.x, 199);
    EXPECT_EQ(br.y, 199);
    EXPECT_EQ(r.hitTest(219, 100).kind, HitKind::TopRight);
    EXPECT_EQ(r.hitTest(100, 219).kind, HitKind::BottomLeft);
}

// Corners given in reverse order are reported as the normalised rectangle's corners.
TEST(RegionHandles, ReversedCornersAreNormalised)
{
    Region r(199, 199, 100, 100);
    const HandleHit hit = r.hitTest(101, 101);
    EXPECT_EQ(hit.kind, HitKind::TopLeft);
    EXPECT_EQ(hit.x, 100);
    EXPECT_EQ(hit.y, 100);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.right, 199);
}

// normalizedRect orders the corners without touching the region; containsPoint includes the bounds.
TEST(RegionGeometry, NormalizedRectAndContainment)
{
    Region r(30, 40, 10, 20);
    EXPECT_EQ(r.normalizedRect(), (PixelRect{10, 20, 30, 40}));
    EXPECT_EQ(r.left, 30);
    EXPECT_TRUE(r.containsPoint(10, 20));
    EXPECT_TRUE(r.containsPoint(30, 40));
    EXPECT_FALSE(r.containsPoint(31, 40));
    EXPECT_FALSE(r.containsPoint(10, 19));
    EXPECT_EQ(r.width(), 21);
    EXPECT_EQ(r.height(), 21);
}

} // namespace
} // namespace nubo
