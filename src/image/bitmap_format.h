#pragma once

#include <cstddef>
#include <cstdint>

// Layout of the uncompressed 24-bit Windows bitmap files nubo reads and writes; shared by the reader and the writer.
namespace nubo::bitmap {

inline constexpr std::size_t kFileHeaderBytes = 14;
inline constexpr std::size_t kInfoHeaderBytes = 40;
inline constexpr std::size_t kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;

// Byte offsets of the fields read or written, from the start of the file.
inline constexpr std::size_t kTypeOffset = 0;          // "BM"
inline constexpr std::size_t kFileSizeOffset = 2;      // bfSize
inline constexpr std::size_t kPixelOffsetOffset = 10;  // bfOffBits
inline constexpr std::size_t kInfoSizeOffset = 14;     // biSize
inline constexpr std::size_t kWidthOffset = 18;        // biWidth
inline constexpr std::size_t kHeightOffset = 22;       // biHeight, negative for a top-down file
inline constexpr std::size_t kPlanesOffset = 26;       // biPlanes
inline constexpr std::size_t kBitCountOffset = 28;     // biBitCount
inline constexpr std::size_t kCompressionOffset = 30;  // biCompression, 0 for uncompressed
inline constexpr std::size_t kXPelsOffset = 38;        // biXPelsPerMeter
inline constexpr std::size_t kYPelsOffset = 42;        // biYPelsPerMeter

inline constexpr std::uint16_t kTypeBM = 0x4D42; // "BM" read as a little-endian 16-bit value
inline constexpr std::uint32_t kPelsPerMeter = 3780; // 96 dots per inch

// A row in the file is padded with zero bytes to a multiple of 4 bytes.
inline constexpr std::uint64_t paddedRowBytes(std::uint64_t width)
{
    return (width * 3 + 3) / 4 * 4;
}

inline std::uint32_t readLE32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8
        | static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline std::uint16_t readLE16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline void writeLE32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

inline void writeLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

} // namespace nubo::bitmap
