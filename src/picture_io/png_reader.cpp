// Reading PNG files with libpng. libpng reports errors by longjmp, so each step that may fail runs in a small
// function of its own whose frame holds nothing with a destructor; buffers are owned by the caller.

#include "picture_io/picture_codecs.h"
#include "picture_io/png_messages.h"
#include "picture_io/rgb_rows.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace nubo::picture_io {

namespace {

struct PngInput {
    const std::uint8_t* bytes;
    std::size_t length;
    std::size_t cursor;
};

void readFromMemory(png_structp png, png_bytep into, png_size_t count)
{
    auto* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (count > input->length - input->cursor)
        png_error(png, "the file ends early (truncated)");
    std::memcpy(into, input->bytes + input->cursor, count);
    input->cursor += count;
}

struct PngLayout {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colourType;
    bool transparencyChunk;
};

// Reads the chunks before the pixels and sets up the expansion to 8-bit RGB. False after a libpng error.
bool readHeader(png_structp png, png_infop info, PngLayout* layout)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    layout->width = png_get_image_width(png, info);
    layout->height = png_get_image_height(png, info);
    layout->bitDepth = png_get_bit_depth(png, info);
    layout->colourType = png_get_color_type(png, info);
    layout->transparencyChunk = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    return true;
}

bool setUpTransforms(png_structp png, png_infop info, const PngLayout* layout)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    if (layout->colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if ((layout->colourType & PNG_COLOR_MASK_COLOR) == 0) {
        if (layout->bitDepth < 8)
            png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
    }
    if ((layout->colourType & PNG_COLOR_MASK_ALPHA) != 0)
        png_set_strip_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == static_cast<png_size_t>(layout->width) * 3;
}

bool readRows(png_structp png, png_infop info, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_image(png, rows);
    png_read_end(png, info);
    return true;
}

// Owns libpng's read structures; the longjmp of an error never crosses this frame (see the functions above).
struct PngReader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngReader()
    {
        if (png)
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

} // namespace

Status decodePng(const std::uint8_t* bytes, std::size_t length, RasterImage& image,
                 std::vector<std::string>& warnings)
{
    PngInput input{bytes, length, 0};
    PngMessage error;
    PngReader reader;
    reader.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, keepPngError, ignorePngWarning);
    if (reader.png)
        reader.info = png_create_info_struct(reader.png);
    if (!reader.info)
        return failure("cannot start the PNG reader");
    png_structp png = reader.png;
    png_infop info = reader.info;
    png_set_read_fn(png, &input, readFromMemory);

    PngLayout layout{};
    if (!readHeader(png, info, &layout))
        return failure(std::string("corrupt PNG: ") + error.text);
    NUBO_RETURN_IF_ERROR(checkPictureSize("PNG", layout.width, layout.height));
    if (layout.bitDepth > 8)
        return failure("16-bit PNG samples are not supported (reduce the picture to 8 bits per sample first)");
    if (!setUpTransforms(png, info, &layout))
        return failure(std::string("corrupt PNG: ") + (error.text[0] ? error.text : "unexpected row layout"));

    const std::size_t rowBytes = static_cast<std::size_t>(layout.width) * 3;
    std::vector<std::uint8_t> rgb(rowBytes * layout.height);
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 y = 0; y < layout.height; ++y)
        rows[y] = rgb.data() + rowBytes * y;
    if (!readRows(png, info, rows.data()))
        return failure(std::string("corrupt PNG: ") + error.text);

    const bool alpha = (layout.colourType & PNG_COLOR_MASK_ALPHA) != 0;
    if (alpha || layout.transparencyChunk)
        warnings.push_back(alpha ? "the alpha channel was dropped" : "the transparency chunk (tRNS) was dropped");
    if (!rasterFromTopDownRgb(rgb, static_cast<int>(layout.width), static_cast<int>(layout.height), image))
        return failure("cannot hold a picture of that size");
    return Status();
}

} // namespace nubo::picture_io
