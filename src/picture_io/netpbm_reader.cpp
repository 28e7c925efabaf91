// Reading binary netpbm pictures: PPM (P6, RGB) and PGM (P5, grey), the first picture of the file.

#include "picture_io/picture_codecs.h"
#include "picture_io/rgb_rows.h"

#include <cctype>

namespace nubo::picture_io {

namespace {

// The header fields: magic, then width, height and maxval as decimal numbers separated by whitespace and
// "#" comments running to the end of the line, then exactly one whitespace byte before the samples.
class HeaderScanner {
public:
    HeaderScanner(const std::uint8_t* bytes, std::size_t length) : bytes_(bytes), length_(length) {}

    // False when the file ends or holds something other than a number here, or the number passes 65535 x 65536
    // (larger than any field may be).
    bool number(std::int64_t& value)
    {
        skipSpaceAndComments();
        if (cursor_ >= length_ || !std::isdigit(bytes_[cursor_]))
            return false;
        value = 0;
        while (cursor_ < length_ && std::isdigit(bytes_[cursor_])) {
            value = value * 10 + (bytes_[cursor_++] - '0');
            if (value > (std::int64_t{1} << 32))
                return false;
        }
        return true;
    }

    // The single whitespace byte that ends the header.
    bool endOfHeader()
    {
        if (cursor_ >= length_ || !std::isspace(bytes_[cursor_]))
            return false;
        ++cursor_;
        return true;
    }

    std::size_t cursor() const { return cursor_; }
    void skip(std::size_t count) { cursor_ += count; }

private:
    void skipSpaceAndComments()
    {
        while (cursor_ < length_) {
            if (std::isspace(bytes_[cursor_])) {
                ++cursor_;
            } else if (bytes_[cursor_] == '#') {
                while (cursor_ < length_ && bytes_[cursor_] != '\n' && bytes_[cursor_] != '\r')
                    ++cursor_;
            } else {
                break;
            }
        }
    }

    const std::uint8_t* bytes_;
    std::size_t length_;
    std::size_t cursor_ = 0;
};

} // namespace

Status decodeNetpbm(const std::uint8_t* bytes, std::size_t length, RasterImage& image)
{
    if (length < 2 || bytes[0] != 'P')
        return failure("not a netpbm picture");
    const char kind = static_cast<char>(bytes[1]);
    if (kind != '5' && kind != '6')
        return failure(std::string("netpbm P") + kind
                           + " is not supported (binary PPM P6 and PGM P5 are)");
    const bool colour = kind == '6';
    const char* name = colour ? "PPM" : "PGM";
    HeaderScanner scanner(bytes, length);
    scanner.skip(2);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t maxval = 0;
    if (!scanner.number(width) || !scanner.number(height) || !scanner.number(maxval) || !scanner.endOfHeader())
        return failure(std::string("corrupt ") + name + ": the header is cut short or malformed");
    NUBO_RETURN_IF_ERROR(checkPictureSize(name, width, height));
    if (maxval < 1 || maxval > 65535)
        return failure(std::string("corrupt ") + name + ": maxval " + std::to_string(maxval)
                           + " is outside 1 to 65535");
    if (maxval > 255)
        return failure(std::string("16-bit ") + name + " samples (maxval " + std::to_string(maxval)
                           + ") are not supported (reduce the picture to 8 bits per sample first)");

    const std::size_t channels = colour ? 3 : 1;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const std::size_t needed = pixels * channels;
    if (length - scanner.cursor() < needed)
        return failure(std::string("truncated ") + name + ": the samples need " + std::to_string(needed)
                           + " bytes, the file holds " + std::to_string(length - scanner.cursor()));
    const std::uint8_t* samples = bytes + scanner.cursor();
    std::vector<std::uint8_t> rgb(pixels * 3);
    for (std::size_t i = 0; i < needed; ++i) {
        const unsigned value = samples[i];
        if (value > maxval)
            return failure(std::string("corrupt ") + name + ": a sample of " + std::to_string(value)
                               + " exceeds maxval " + std::to_string(maxval));
        // Scaled to 0 ... 255, rounding half up; maxval 255 keeps every value.
        const auto scaled = static_cast<std::uint8_t>((value * 255u + static_cast<unsigned>(maxval) / 2)
                                                      / static_cast<unsigned>(maxval));
        if (colour) {
            rgb[i] = scaled;
        } else {
            rgb[i * 3] = scaled;
            rgb[i * 3 + 1] = scaled;
            rgb[i * 3 + 2] = scaled;
        }
    }
    if (!rasterFromTopDownRgb(rgb, static_cast<int>(width), static_cast<int>(height), image))
        return failure("cannot hold a picture of that size");
    return Status();
}

} // namespace nubo::picture_io
