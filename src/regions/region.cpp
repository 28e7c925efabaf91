#include "regions/region.h"

#include <algorithm>
#include <utility>

namespace nubo {

namespace {

bool within(int value, int low, int high) { return low <= value && value <= high; }

// Two closed ranges meet when an end of either lies inside the other.
bool rangesMeet(int aLow, int aHigh, int bLow, int bHigh)
{
    return within(bLow, aLow, aHigh) || within(bHigh, aLow, aHigh) || within(aLow, bLow, bHigh)
        || within(aHigh, bLow, bHigh);
}

// Handles reach 20 pixels, or half the span for regions under 40 pixels on that axis.
int handleTolerance(int span) { return span < 40 ? span / 2 : 20; }

} // namespace

void Region::normalize()
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
}

PixelRect Region::normalizedRect() const
{
    return {std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

bool Region::containsPoint(int x, int y)
{
    normalize();
    return within(x, left, right) && within(y, top, bottom);
}

bool Region::intersects(Region& other, bool normalizeFirst) const
{
    if (normalizeFirst)
        other.normalize();
    return rangesMeet(left, right, other.left, other.right) && rangesMeet(top, bottom, other.top, other.bottom);
}

HandleHit Region::hitTest(int x, int y)
{
    normalize();
    const int tx = handleTolerance(right - left);
    const int ty = handleTolerance(bottom - top);
    const HandleHit corners[] = {
        {HitKind::TopLeft, left, top},
        {HitKind::TopRight, right, top},
        {HitKind::BottomRight, right, bottom},
        {HitKind::BottomLeft, left, bottom},
    };
    for (const HandleHit& corner : corners) {
        if (within(x, corner.x - tx, corner.x + tx) && within(y, corner.y - ty, corner.y + ty))
            return corner;
    }
    return {containsPoint(x, y) ? HitKind::Inside : HitKind::Outside, 0, 0};
}

} // namespace nubo
