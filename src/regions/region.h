#pragma once

#include <cstdint>

namespace nubo {

// How a region is coded. Values are those stored in the .roi stream; a damaged stream may carry others.
enum class CoderKind : std::int32_t {
    Wavelet = 1,    // wavelet coder at the region's ratio
    Arithmetic = 2, // lossless arithmetic coding of the region's bytes
    WaveletColour = 3, // wavelet coder after a colour transform, the three planes allocated together
    Predictive = 4, // lossless predictive coding: colour transform, prediction, context-modelled errors
};

// An inclusive pixel rectangle, y from the top.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const PixelRect&) const = default;
};

enum class HitKind : std::int32_t {
    Inside = 0,
    Outside = 1,
    TopLeft = 2,
    TopRight = 3,
    BottomRight = 4,
    BottomLeft = 5,
};

// Result of a corner-handle test; the point is the corner hit (undefined for Inside and Outside).
struct HandleHit {
    HitKind kind = HitKind::Outside;
    int x = 0;
    int y = 0;
};

// A rectangle of interest with its ratio and coder kind. Built from two corners that need not be ordered: while
// the user drags, the anchor stays in (left, top) and the moving corner in (right, bottom). Regions held by a
// RegionSet are normalised.
struct Region {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    int ratio = 1;
    CoderKind coderKind = CoderKind::Wavelet;

    Region() = default;
    Region(int xa, int ya, int xb, int yb) : left(xa), right(xb), top(ya), bottom(yb) {}

    void normalize();
    PixelRect normalizedRect() const;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }

    // Normalises this region in place, then tests the point, bounds included.
    bool containsPoint(int x, int y);

    // This region must be normalised; other is normalised in place first when normalizeFirst is set. Sharing a
    // single column or row counts as intersecting; abutting rectangles do not intersect.
    bool intersects(Region& other, bool normalizeFirst) const;

    // Normalises this region, then classifies (x, y) against its corner handles (up to 20 pixels each way).
    HandleHit hitTest(int x, int y);
};

} // namespace nubo
