#pragma once

#include "common/status.h"
#include "image/pixel_colour.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

// A 24-bit colour picture in one byte buffer: pixels blue, green, red; rows of exactly width x 3 bytes without
// padding; bottom row first, as in a bitmap file. Points (x, y) count y from the top, so (x, y) lives at byte
// offset (width * (height - y - 1) + x) * 3. The fields never describe more pixels than the buffer holds.
class RasterImage {
public:
    RasterImage() = default;
    RasterImage(const RasterImage&) = default;
    RasterImage& operator=(const RasterImage&) = default;
    // A picture moved from is left empty, so its fields still agree with its (now absent) buffer.
    RasterImage(RasterImage&& other) noexcept;
    RasterImage& operator=(RasterImage&& other) noexcept;

    int width() const { return width_; }
    int height() const { return height_; }
    int size() const { return static_cast<int>(data_.size()); }
    const std::uint8_t* data() const { return data_.data(); }
    std::uint8_t* data() { return data_.data(); }

    // Replaces the content by a width x height picture whose bytes the caller fills. Sizes outside the image
    // limits (common/limits.h) leave the image empty and return false.
    bool allocate(int width, int height);
    void fill(std::uint8_t value);
    void clear();

    bool isValid() const;
    bool contains(int x, int y) const;

    // The caller keeps (x, y) inside the picture.
    PixelColour pixel(int x, int y) const;

    // One float per pixel, in buffer order (bottom row first), the byte converted exactly.
    std::vector<float> redPlane() const;
    std::vector<float> greenPlane() const;
    std::vector<float> bluePlane() const;

    // Rebuilds the picture from three planes of width x height floats: v > 255 -> 255, v < 0 -> 0, NaN -> 0,
    // otherwise the integer part of v + 0.5. Returns false (image left empty) for sizes outside the limits.
    bool fromPlanes(const float* red, const float* green, const float* blue, int width, int height);
    // A picture built plane by plane: planeBytes turns `count` floats into the bytes fromPlanes would make of
    // them, so the plane can be freed before the picture is taken, and setChannel writes such width() x height()
    // bytes into one channel (0 blue, 1 green, 2 red), the other channels left alone. Calls for different channels
    // touch different bytes, so they may run concurrently.
    static std::vector<std::uint8_t> planeBytes(const float* values, std::size_t count);
    void setChannel(int channel, const std::uint8_t* bytes);
    // Pixels first ... first + count - 1 (buffer order) from `count` floats of each plane, by fromPlanes's rule
    // and bytes (pixels past the picture's end are left out). A picture built piece by piece needs no whole planes.
    void setPixelsFromPlanes(std::size_t first, std::size_t count, const float* red, const float* green,
                             const float* blue);

    // Makes target an exact copy of the inclusive rectangle (left, top)-(right, bottom), y from the top.
    // Returns false and leaves target untouched when the rectangle does not lie inside this picture.
    bool crop(RasterImage& target, int left, int top, int right, int bottom) const;

    // Writes source with its top-left pixel at (left, top), overwriting only pixels whose three bytes are 0.
    // Returns false and changes nothing when source does not lie inside this picture; an empty source changes
    // nothing and succeeds.
    bool paste(const RasterImage& source, int left, int top);

    // Reads an uncompressed 24-bit Windows bitmap (bottom-up or top-down). A failure says why ("not a 24-bit
    // bitmap: 8 bits per pixel") and leaves the image empty.
    Status readBitmapFile(const std::string& path);

    // Writes a bottom-up 24-bit bitmap. The file appears only when every write succeeded: the bytes go to a
    // temporary file in the same folder, which then replaces the target. An existing file survives a failure.
    Status writeBitmapFile(const std::string& path) const;

    // readBitmapFile and writeBitmapFile as the document and the tests ask for them: whether it worked.
    bool loadBitmap(const std::string& path) { return readBitmapFile(path).ok(); }
    bool saveBitmap(const std::string& path) const { return writeBitmapFile(path).ok(); }

    // In-memory forms of the two above, for callers that already hold the bytes.
    Status readBitmap(const std::uint8_t* bytes, std::size_t length);
    std::vector<std::uint8_t> bitmapBytes() const;

private:
    // Offset of the first byte of (x, y), y from the top.
    std::size_t byteOffset(int x, int y) const;
    // Channel 0 blue, 1 green, 2 red.
    std::vector<float> plane(int channel) const;

    std::vector<std::uint8_t> data_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace nubo
