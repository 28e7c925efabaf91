// Writing 8-bit RGB PNG files with libpng, into memory (the caller writes the file atomically).

#include "picture_io/picture_codecs.h"
#include "picture_io/png_messages.h"
#include "picture_io/rgb_rows.h"

#include <png.h>

#include <csetjmp>

namespace nubo::picture_io {

namespace {

void writeToMemory(png_structp png, png_bytep data, png_size_t count)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), count);
}

void flushNothing(png_structp) {}

bool writeAll(png_structp png, png_infop info, const RasterImage* image, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width()), static_cast<png_uint_32>(image->height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

} // namespace

Status encodePng(const RasterImage& image, std::string& bytes)
{
    bytes.clear();
    PngMessage error;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, keepPngError, ignorePngWarning);
    if (!png)
        return failure("cannot start the PNG writer");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return failure("cannot start the PNG writer");
    }
    png_set_write_fn(png, &bytes, writeToMemory, flushNothing);

    std::vector<std::uint8_t> rgb = topDownRgbFromRaster(image);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * 3;
    std::vector<png_bytep> rows(static_cast<std::size_t>(image.height()));
    for (std::size_t y = 0; y < rows.size(); ++y)
        rows[y] = rgb.data() + rowBytes * y;
    const bool written = writeAll(png, info, &image, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!written) {
        bytes.clear();
        return failure(std::string("cannot encode the PNG: ") + error.text);
    }
    return Status();
}

} // namespace nubo::picture_io
