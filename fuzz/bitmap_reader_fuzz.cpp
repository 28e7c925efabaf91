// Feeds arbitrary bytes to the bitmap reader: it must refuse or read, never crash or read out of bounds.
#include "image/raster_image.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    nubo::RasterImage image;
    const nubo::Status read = image.readBitmap(data, size);
    const bool ok = read.ok();
    const std::string& reason = read.reason();
    // A picture read must agree with itself; a refusal must say why and leave the picture empty.
    if (ok && (!image.isValid() || static_cast<std::int64_t>(image.size())
                                       != std::int64_t{image.width()} * image.height() * 3))
        std::abort();
    if (!ok && (reason.empty() || image.size() != 0))
        std::abort();
    return 0;
}
