#pragma once

#include "common/status.h"
#include "image/raster_image.h"

namespace nubo {

// The amplification of a difference picture: 1 shows the differences as they are, larger factors make small ones
// visible (a difference of 16 or more is white at x16).
inline constexpr int kMinDifferenceGain = 1;
inline constexpr int kMaxDifferenceGain = 16;

// The picture of |a - b| per channel and pixel, times gain, clamped to 255: black where the pictures agree.
// Fails with a reason for pictures of different sizes, an empty picture or a gain outside 1 to 16.
StatusOr<RasterImage> differencePicture(const RasterImage& a, const RasterImage& b, int gain);

} // namespace nubo
