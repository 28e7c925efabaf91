// Feeds arbitrary bytes to nubo-cli's picture reader (BMP, PNG, JPEG, PPM, PGM, recognised by content).
#include "picture_io/picture_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    nubo::RasterImage image;
    const nubo::StatusOr<nubo::PictureRead> outcome = nubo::readPictureBytes(data, size, image);
    // A picture read agrees with itself; a refusal says why and leaves the picture empty.
    if (outcome.ok() && (!image.isValid() || static_cast<std::int64_t>(image.size())
                                               != std::int64_t{image.width()} * image.height() * 3))
        std::abort();
    if (!outcome.ok() && (outcome.reason().empty() || image.size() != 0))
        std::abort();
    return 0;
}
