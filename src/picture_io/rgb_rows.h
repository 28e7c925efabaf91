#pragma once

#include "common/status.h"
#include "image/raster_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nubo::picture_io {

// The readers decode into rows of 8-bit R, G, B from the top row down, as PNG, JPEG and netpbm store them; this
// turns them into the raster's bottom-up blue-green-red layout. `rgb` holds width x height x 3 bytes.
bool rasterFromTopDownRgb(const std::vector<std::uint8_t>& rgb, int width, int height, RasterImage& image);

// The reverse, for the writers.
std::vector<std::uint8_t> topDownRgbFromRaster(const RasterImage& image);

// The size check every reader makes before it allocates: "PNG picture of W x H pixels exceeds the picture limits".
Status checkPictureSize(const char* format, std::int64_t width, std::int64_t height);

} // namespace nubo::picture_io
