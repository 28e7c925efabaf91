#pragma once

#include "image/raster_image.h"
#include "wavelet/float_image.h"

#include <array>

namespace nubo {

// The irreversible colour transform of the colour wavelet kind (JPEG 2000's ICT, the YCbCr of JPEG), in 32-bit
// floats with every product rounded to float and the sums taken left to right:
//   Y  = ((0.299 R + 0.587 G) + 0.114 B) - 128
//   Cb = ((-0.168736 R - 0.331264 G) + 0.5 B)
//   Cr = ((0.5 R - 0.418688 G) - 0.081312 B)
// and back, with Y' = Y + 128:
//   R = Y' + 1.402 Cr,  G = (Y' - 0.344136 Cb) - 0.714136 Cr,  B = Y' + 1.772 Cb.
// Planes are in the picture's buffer order (bottom row first), like RasterImage's colour planes.

// Y, Cb, Cr planes of the picture.
void forwardColourTransform(const RasterImage& image, FloatImage (&planes)[3]);

// Rebuilds the picture from Y, Cb, Cr planes of one size, clamping to 0 ... 255 and rounding half up as
// RasterImage::fromPlanes. Returns false (picture untouched) when the planes differ in size or are beyond the
// picture limits.
bool inverseColourTransform(const FloatImage (&planes)[3], RasterImage& image);

// How much squared error in each of Y, Cb and Cr becomes in R + G + B together: the sums of the squares of the
// inverse transform's columns (3, 0.344136^2 + 1.772^2, 1.402^2 + 0.714136^2).
std::array<float, 3> colourEnergyGains();

} // namespace nubo
