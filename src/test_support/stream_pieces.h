#pragma once

// Hand-built pieces of .roi streams for the ROI codec's tests (nubo_roi_test_support).

#include "image/raster_image.h"

#include <string>

namespace nubo::test {

// "value;"
std::string field(long long value);

// The payload the lossless coder writes for `image`.
std::string losslessPayload(const RasterImage& image);

// The payload the wavelet region coder writes for `image` (no mask).
std::string waveletPayload(const RasterImage& image, int ratio, int stages);

} // namespace nubo::test
