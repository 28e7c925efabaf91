#pragma once

#include "common/status.h"
#include "image/raster_image.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

// The picture file formats nubo-cli reads; it writes BMP, PNG and PPM.
enum class PictureFormat { Bmp, Png, Jpeg, Ppm, Pgm, Unknown };

// Files longer than this are refused before they are read: the largest picture nubo accepts (common/limits.h)
// takes under 200 MB as an uncompressed file, and no PNG or JPEG of it comes near 1 GiB.
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{1} << 30;

// What reading a picture found besides its pixels: the format, and what was changed on the way in (an alpha
// channel that was dropped).
struct PictureRead {
    PictureFormat format = PictureFormat::Unknown;
    std::vector<std::string> warnings; // one line each
};

// The format of a file's first bytes: "BM", the PNG signature, a JPEG start marker, "P6" or "P5".
PictureFormat sniffPictureFormat(const std::uint8_t* bytes, std::size_t length);

// Reads a BMP, PNG, JPEG, PPM (P6) or PGM (P5) file, recognised by its content, into 8-bit RGB:
// - grey pictures are expanded to RGB (the three channels equal);
// - an alpha channel or a PNG transparency chunk is dropped, the colours kept as they are, with a warning;
// - samples of more than 8 bits (16-bit PNG, netpbm maxval above 255) and CMYK JPEGs are refused;
// - a netpbm maxval below 255 is scaled to 0 ... 255 with rounding;
// - truncated or corrupt files and pictures beyond the size limits are refused.
// On failure the image is left empty.
StatusOr<PictureRead> readPictureFile(const std::string& path, RasterImage& image);
StatusOr<PictureRead> readPictureBytes(const std::uint8_t* bytes, std::size_t length, RasterImage& image);

// The format an output file name asks for: ".png" PNG, ".ppm" PPM, anything else BMP (letter case ignored).
PictureFormat outputFormatFor(const std::string& path);

// The file contents of the picture in a format nubo writes (BMP, PNG, PPM) into `bytes`. Refuses any other format
// and a picture without pixels, leaving `bytes` empty.
Status encodePicture(const RasterImage& image, PictureFormat format, std::string& bytes);

// Writes the picture in the format its name asks for, atomically: the file appears only when complete, and an
// existing file survives a failure.
Status writePictureFile(const std::string& path, const RasterImage& image);

// "BMP", "PNG", "JPEG", "PPM", "PGM", "unknown".
const char* pictureFormatName(PictureFormat format);

} // namespace nubo
