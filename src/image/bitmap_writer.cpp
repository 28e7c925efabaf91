// Writing bottom-up uncompressed 24-bit Windows bitmaps.

#include "common/atomic_file.h"
#include "image/bitmap_format.h"
#include "image/raster_image.h"

#include <cstring>
#include <string_view>

namespace nubo {

using namespace bitmap;

std::vector<std::uint8_t> RasterImage::bitmapBytes() const
{
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 3;
    const std::size_t paddedRow = static_cast<std::size_t>(paddedRowBytes(static_cast<std::uint64_t>(width_)));
    const std::size_t pixelBytes = paddedRow * static_cast<std::size_t>(height_);

    // Zero-initialised, so the header fields left at 0 and every row's padding need no further writes.
    std::vector<std::uint8_t> bytes(kHeaderBytes + pixelBytes);
    std::uint8_t* h = bytes.data();
    writeLE16(h + kTypeOffset, kTypeBM);
    writeLE32(h + kFileSizeOffset, static_cast<std::uint32_t>(kHeaderBytes + pixelBytes));
    writeLE32(h + kPixelOffsetOffset, static_cast<std::uint32_t>(kHeaderBytes));
    writeLE32(h + kInfoSizeOffset, static_cast<std::uint32_t>(kInfoHeaderBytes));
    writeLE32(h + kWidthOffset, static_cast<std::uint32_t>(width_));
    writeLE32(h + kHeightOffset, static_cast<std::uint32_t>(height_)); // positive: bottom-up, like the buffer
    writeLE16(h + kPlanesOffset, 1);
    writeLE16(h + kBitCountOffset, 24);
    writeLE32(h + kXPelsOffset, kPelsPerMeter);
    writeLE32(h + kYPelsOffset, kPelsPerMeter);

    std::uint8_t* rows = h + kHeaderBytes;
    for (int row = 0; row < height_; ++row)
        std::memcpy(rows + static_cast<std::size_t>(row) * paddedRow,
                    data_.data() + static_cast<std::size_t>(row) * rowBytes, rowBytes);
    return bytes;
}

Status RasterImage::writeBitmapFile(const std::string& path) const
{
    const std::vector<std::uint8_t> bytes = bitmapBytes();
    return writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace nubo
