#pragma once

namespace nubo {

class RegionSet;

// Zeroes the coefficients of one subband (w x h, rows stored bottom of the picture first, like the plane) that
// lie under a region of `mask`. A region's rectangle is scaled to the subband and shrunk: a coefficient (x, y),
// y counted from the top, is cleared when x0 < x < x1 and y0 < y < y1 with x0 = ceil(left * sx) + 1,
// x1 = floor(right * sx) - 1 (sx = w / planeWidth), likewise y. Coefficients near a region's border keep their
// values, so a region narrower than about four coefficients of the subband clears nothing there.
void clearSubbandUnderMask(float* data, int subbandWidth, int subbandHeight, int planeWidth, int planeHeight,
                           const RegionSet& mask);

} // namespace nubo
