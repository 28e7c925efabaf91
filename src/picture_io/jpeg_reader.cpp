// Reading JPEG files with libjpeg-turbo. Its errors and its warnings about corrupt data (a file that ends early
// reads as grey otherwise) both end the decoding by longjmp, so each step runs in a function of its own whose frame
// holds nothing with a destructor; buffers are owned by the caller.

#include "picture_io/picture_codecs.h"
#include "picture_io/rgb_rows.h"

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

#include <csetjmp>

namespace nubo::picture_io {

namespace {

struct JpegErrors {
    jpeg_error_mgr manager; // first, so that the library's pointer is also ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onJpegError(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->manager.format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// Level -1 is a warning about corrupt data (for instance "Premature end of JPEG file"); the picture would come out
// partly made up, so it is refused like an error. Higher levels are trace messages.
void onJpegMessage(j_common_ptr info, int level)
{
    if (level < 0)
        onJpegError(info);
}

struct JpegLayout {
    JDIMENSION width;
    JDIMENSION height;
    J_COLOR_SPACE colourSpace;
};

bool readHeader(jpeg_decompress_struct* info, JpegErrors* errors, const std::uint8_t* bytes, std::size_t length,
                JpegLayout* layout)
{
    if (setjmp(errors->jump))
        return false;
    jpeg_mem_src(info, bytes, static_cast<unsigned long>(length));
    jpeg_read_header(info, TRUE);
    layout->width = info->image_width;
    layout->height = info->image_height;
    layout->colourSpace = info->jpeg_color_space;
    return true;
}

// Decodes every scan line into `rgb`, expanding grey to RGB.
bool readRows(jpeg_decompress_struct* info, JpegErrors* errors, std::uint8_t* rgb)
{
    if (setjmp(errors->jump))
        return false;
    info->out_color_space = JCS_RGB;
    info->dct_method = JDCT_ISLOW; // exact integer transform: the same pixels on every machine
    jpeg_start_decompress(info);
    const std::size_t rowBytes = static_cast<std::size_t>(info->output_width) * 3;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = rgb + rowBytes * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

// Owns the decompressor; the longjmp of an error never crosses this frame (see the functions above).
struct JpegReader {
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    JpegReader()
    {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = onJpegError;
        errors.manager.emit_message = onJpegMessage;
        jpeg_create_decompress(&info);
    }
    ~JpegReader() { jpeg_destroy_decompress(&info); }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;
};

} // namespace

Status decodeJpeg(const std::uint8_t* bytes, std::size_t length, RasterImage& image)
{
    JpegReader reader;
    JpegLayout layout{};
    if (!readHeader(&reader.info, &reader.errors, bytes, length, &layout))
        return failure(std::string("corrupt JPEG: ") + reader.errors.message);
    NUBO_RETURN_IF_ERROR(checkPictureSize("JPEG", layout.width, layout.height));
    if (layout.colourSpace == JCS_CMYK || layout.colourSpace == JCS_YCCK)
        return failure("CMYK JPEG pictures are not supported (convert the picture to RGB first)");

    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(layout.width) * 3 * layout.height);
    if (!readRows(&reader.info, &reader.errors, rgb.data()))
        return failure(std::string("corrupt JPEG: ") + reader.errors.message);
    const bool sameSize = reader.info.output_width == layout.width && reader.info.output_height == layout.height;
    if (!sameSize || !rasterFromTopDownRgb(rgb, static_cast<int>(layout.width), static_cast<int>(layout.height), image))
        return failure("cannot hold a picture of that size");
    return Status();
}

} // namespace nubo::picture_io
