#include "picture_io/png_messages.h"

#include <cstdio>

namespace nubo::picture_io {

void keepPngError(png_structp png, png_const_charp message)
{
    auto* kept = static_cast<PngMessage*>(png_get_error_ptr(png));
    std::snprintf(kept->text, sizeof kept->text, "%s", message);
    png_longjmp(png, 1);
}

void ignorePngWarning(png_structp, png_const_charp) {}

} // namespace nubo::picture_io
