// Writing bottom-up uncompressed 24-bit Windows bitmaps.

#include "common/atomic_file.h"
#include "image/bitmap_format.h"
#include "image/raster_image.h"

#include <array>
#include <cstring>
#include <string_view>

namespace nubo {

using namespace bitmap;

namespace {

// The file and info headers of a bottom-up bitmap of width x height pixels whose rows take paddedRow bytes each;
// the fields left at 0 are the ones a plain 24-bit bitmap leaves at 0.
std::array<std::uint8_t, kHeaderBytes> headerBytes(int width, int height, std::size_t paddedRow)
{
    const std::size_t pixelBytes = paddedRow * static_cast<std::size_t>(height);
    std::array<std::uint8_t, kHeaderBytes> header{};
    std::uint8_t* h = header.data();
    writeLE16(h + kTypeOffset, kTypeBM);
    writeLE32(h + kFileSizeOffset, static_cast<std::uint32_t>(kHeaderBytes + pixelBytes));
    writeLE32(h + kPixelOffsetOffset, static_cast<std::uint32_t>(kHeaderBytes));
    writeLE32(h + kInfoSizeOffset, static_cast<std::uint32_t>(kInfoHeaderBytes));
    writeLE32(h + kWidthOffset, static_cast<std::uint32_t>(width));
    writeLE32(h + kHeightOffset, static_cast<std::uint32_t>(height)); // positive: bottom-up, like the buffer
    writeLE16(h + kPlanesOffset, 1);
    writeLE16(h + kBitCountOffset, 24);
    writeLE32(h + kXPelsOffset, kPelsPerMeter);
    writeLE32(h + kYPelsOffset, kPelsPerMeter);
    return header;
}

std::size_t paddedRowOf(int width)
{
    return static_cast<std::size_t>(paddedRowBytes(static_cast<std::uint64_t>(width)));
}

} // namespace

std::vector<std::uint8_t> RasterImage::bitmapBytes() const
{
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 3;
    const std::size_t paddedRow = paddedRowOf(width_);
    const std::size_t pixelBytes = paddedRow * static_cast<std::size_t>(height_);

    // Zero-initialised, so every row's padding needs no further writes.
    std::vector<std::uint8_t> bytes(kHeaderBytes + pixelBytes);
    const std::array<std::uint8_t, kHeaderBytes> header = headerBytes(width_, height_, paddedRow);
    std::memcpy(bytes.data(), header.data(), kHeaderBytes);

    std::uint8_t* rows = bytes.data() + kHeaderBytes;
    for (int row = 0; row < height_; ++row)
        std::memcpy(rows + static_cast<std::size_t>(row) * paddedRow,
                    data_.data() + static_cast<std::size_t>(row) * rowBytes, rowBytes);
    return bytes;
}

Status RasterImage::writeBitmapFile(const std::string& path) const
{
    const std::size_t paddedRow = paddedRowOf(width_);
    if (paddedRow == static_cast<std::size_t>(width_) * 3) {
        // Rows without padding are the buffer as it lies: the file is the header and the buffer, written without
        // a copy of the picture.
        const std::array<std::uint8_t, kHeaderBytes> header = headerBytes(width_, height_, paddedRow);
        const std::string_view pieces[] = {
            std::string_view(reinterpret_cast<const char*>(header.data()), header.size()),
            std::string_view(reinterpret_cast<const char*>(data_.data()), paddedRow * static_cast<std::size_t>(height_))};
        return writeFileAtomically(path, pieces);
    }
    const std::vector<std::uint8_t> bytes = bitmapBytes();
    return writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

} // namespace nubo
