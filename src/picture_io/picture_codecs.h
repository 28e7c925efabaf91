#pragma once

// The format readers and writers behind picture_file.h. Each reader decodes the whole file held in memory, refuses
// with a one-line reason, and adds a line to `warnings` for what it changed on the way in. A writer fills `bytes`
// with the whole file, or leaves it empty and says why not.

#include "common/status.h"
#include "image/raster_image.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nubo::picture_io {

Status decodePng(const std::uint8_t* bytes, std::size_t length, RasterImage& image,
                 std::vector<std::string>& warnings);
Status encodePng(const RasterImage& image, std::string& bytes);

Status decodeJpeg(const std::uint8_t* bytes, std::size_t length, RasterImage& image);

// Binary PPM (P6) and PGM (P5), one picture per file.
Status decodeNetpbm(const std::uint8_t* bytes, std::size_t length, RasterImage& image);
void encodePpm(const RasterImage& image, std::string& bytes);

} // namespace nubo::picture_io
