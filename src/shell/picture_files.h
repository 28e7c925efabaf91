#pragma once

#include "image/raster_image.h"

#include <QString>

#include <string>

namespace nubo {

// Reads a picture for a document: a 24-bit bitmap as the core reads it, or a PNG, JPEG, PPM/PGM/PBM or TIFF
// picture through Qt's image readers, converted to 24-bit colour. Other bitmaps (palettes, 32-bit, compressed)
// stay refused. On failure the image is left empty and the status says why.
Status loadPicture(const QString& path, RasterImage& image);

// True when the file at path is a bitmap, the one format Save writes.
bool isBitmapFile(const QString& path);

} // namespace nubo
