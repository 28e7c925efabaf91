#pragma once

// What the PNG reader and writer have libpng do with its complaints.

#include <png.h>

namespace nubo::picture_io {

// libpng's message when it gave up; empty until then.
struct PngMessage {
    char text[200] = {};
};

// The error handler: keeps the message in the PngMessage given to libpng as its error pointer, then jumps back to
// the step that failed.
void keepPngError(png_structp png, png_const_charp message);

// Ancillary-chunk complaints (odd profiles, bad ancillary CRCs) leave the pixels intact and are not shown.
void ignorePngWarning(png_structp png, png_const_charp message);

} // namespace nubo::picture_io
