// Reading uncompressed 24-bit Windows bitmaps, bottom-up or top-down, from a file or from memory.

#include "common/limits.h"
#include "image/bitmap_format.h"
#include "image/raster_image.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace nubo {

namespace {

using namespace bitmap;

// Sequential reading with one seek, over a file or over bytes in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t length() const = 0;
    virtual bool seek(std::uint64_t offset) = 0;
    virtual bool read(std::uint8_t* into, std::size_t count) = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* bytes, std::size_t length) : bytes_(bytes), length_(length) {}
    std::uint64_t length() const override { return length_; }
    bool seek(std::uint64_t offset) override
    {
        if (offset > length_)
            return false;
        cursor_ = static_cast<std::size_t>(offset);
        return true;
    }
    bool read(std::uint8_t* into, std::size_t count) override
    {
        if (count > length_ - cursor_)
            return false;
        if (count > 0)
            std::memcpy(into, bytes_ + cursor_, count);
        cursor_ += count;
        return true;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t length_;
    std::size_t cursor_ = 0;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(std::FILE* file) : file_(file)
    {
        struct stat status {};
        if (::fstat(::fileno(file_), &status) == 0 && S_ISREG(status.st_mode))
            length_ = static_cast<std::uint64_t>(status.st_size);
    }
    ~FileSource() override { std::fclose(file_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::uint64_t length() const override { return length_; }
    bool seek(std::uint64_t offset) override
    {
        return offset <= length_ && ::fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
    }
    bool read(std::uint8_t* into, std::size_t count) override
    {
        return std::fread(into, 1, count, file_) == count;
    }

private:
    std::FILE* file_;
    std::uint64_t length_ = 0; // anything but a regular file reads as empty
};

// Where the pixel rows are and how they are laid out, once the header has passed every check.
struct PixelLayout {
    int width = 0;
    int height = 0; // always positive
    bool topDown = false;
    std::uint64_t offset = 0;
    std::uint64_t paddedRow = 0;
};

// Checks the header against what nubo reads and against the file's length, so that nothing is allocated for a
// picture the file cannot hold.
Status parseHeader(const std::uint8_t* header, std::uint64_t fileLength, PixelLayout& layout)
{
    if (fileLength < kHeaderBytes)
        return failure("not a bitmap: the file holds only " + std::to_string(fileLength) + " bytes");
    if (readLE16(header + kTypeOffset) != kTypeBM)
        return failure("not a bitmap: the file does not start with \"BM\"");
    const unsigned bitCount = readLE16(header + kBitCountOffset);
    if (bitCount != 24)
        return failure("not a 24-bit bitmap: " + std::to_string(bitCount) + " bits per pixel");
    const std::uint32_t compression = readLE32(header + kCompressionOffset);
    if (compression != 0)
        return failure("compressed bitmap (compression " + std::to_string(compression) + ") is not supported");

    const std::int64_t width = static_cast<std::int32_t>(readLE32(header + kWidthOffset));
    const std::int64_t signedHeight = static_cast<std::int32_t>(readLE32(header + kHeightOffset));
    const std::int64_t height = signedHeight < 0 ? -signedHeight : signedHeight;
    if (width < 1)
        return failure("bitmap width " + std::to_string(width) + " is below 1");
    if (height == 0)
        return failure("bitmap height is 0");
    if (!imageSizeAllowed(width, height))
        return failure("bitmap of " + std::to_string(width) + " x " + std::to_string(height)
                + " pixels exceeds the picture limits");

    // Every row is read with its padding, the last one too.
    const std::uint64_t offset = readLE32(header + kPixelOffsetOffset);
    const std::uint64_t paddedRow = paddedRowBytes(static_cast<std::uint64_t>(width));
    const std::uint64_t needed = paddedRow * static_cast<std::uint64_t>(height);
    if (offset > fileLength || needed > fileLength - offset)
        return failure("truncated bitmap: the pixel rows need " + std::to_string(needed)
                + " bytes from offset " + std::to_string(offset) + ", the file holds "
                + std::to_string(fileLength > offset ? fileLength - offset : 0));

    layout.width = static_cast<int>(width);
    layout.height = static_cast<int>(height);
    layout.topDown = signedHeight < 0;
    layout.offset = offset;
    layout.paddedRow = paddedRow;
    return {};
}

Status readBitmapFrom(ByteSource& source, RasterImage& image)
{
    std::uint8_t header[kHeaderBytes] = {};
    if (source.length() >= kHeaderBytes && !source.read(header, kHeaderBytes))
        return failure("cannot read the bitmap header");
    PixelLayout layout;
    NUBO_RETURN_IF_ERROR(parseHeader(header, source.length(), layout));

    if (!image.allocate(layout.width, layout.height))
        return failure("cannot hold a picture of that size");
    if (!source.seek(layout.offset))
        return failure("cannot reach the pixel rows");
    const std::size_t rowBytes = static_cast<std::size_t>(layout.width) * 3;
    const std::size_t padding = static_cast<std::size_t>(layout.paddedRow) - rowBytes;
    if (padding == 0 && !layout.topDown) {
        // Unpadded rows bottom-up lie in the file as in the buffer: one read fills the picture.
        if (!source.read(image.data(), rowBytes * static_cast<std::size_t>(layout.height)))
            return failure("cannot read the " + std::to_string(layout.height) + " pixel rows");
        return {};
    }
    std::uint8_t paddingBytes[3];
    // The buffer is bottom-up: a top-down file fills it from its last row.
    for (int row = 0; row < layout.height; ++row) {
        const int bufferRow = layout.topDown ? layout.height - 1 - row : row;
        std::uint8_t* into = image.data() + static_cast<std::size_t>(bufferRow) * rowBytes;
        if (!source.read(into, rowBytes) || !source.read(paddingBytes, padding))
            return failure("cannot read pixel row " + std::to_string(row + 1) + " of "
                    + std::to_string(layout.height));
    }
    return {};
}

// readBitmapFrom into a picture of its own, so that image is either the whole bitmap or left empty.
Status readWholeBitmap(ByteSource& source, RasterImage& image)
{
    RasterImage loaded;
    Status status = readBitmapFrom(source, loaded);
    if (status.ok())
        image = std::move(loaded);
    else
        image.clear();
    return status;
}

} // namespace

Status RasterImage::readBitmap(const std::uint8_t* bytes, std::size_t length)
{
    MemorySource source(bytes, bytes ? length : 0);
    return readWholeBitmap(source, *this);
}

Status RasterImage::readBitmapFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        clear();
        return failure("cannot open " + path + ": " + std::strerror(errno));
    }
    FileSource source(file);
    return readWholeBitmap(source, *this);
}

} // namespace nubo
