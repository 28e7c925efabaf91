#pragma once

#include "common/diagnostics.h"
#include "image/raster_image.h"
#include "roi/region_room.h"
#include "roi/wavelet_region_coder.h"
#include "wavelet/float_image.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace nubo {

class RegionSet;

// The payload of a "Wavelet (colour)" record: the byte lengths of the Y, Cb and Cr plane code streams, each as a
// field ("1234;"), then the three code streams in the same order. Like a "Wavelet" payload it has no size of its
// own (the picture takes the width and height recorded at the start of each plane stream), and a decoder that
// does not decode the record skips the sum of the three lengths. The planes come from the colour transform
// (roi/colour_transform.h) and are coded with one allocation (quant/colour_plane_codec.h).

// The bytes the three planes of a width x height picture may take at `ratio` (a ratio below 1 counts as 1):
// 3 * width * height / ratio, what three "Wavelet" planes take together.
int colourBudgetBytes(int width, int height, int ratio);

// Codes `image` and appends the payload to `payload`. With a mask (the background), the coefficients under its
// regions are zeroed in every plane. The joint allocation table and transform diagnostics go to `diagnostics`.
// When the budget was too small to code anything but the planes' means, `workableBudgetBytes` (if given) receives
// the smallest budget for the three planes that codes more; otherwise 0. Returns false with a reason when the
// coder refuses the picture or the stage count.
Status encodeColourRegion(const RasterImage& image, std::string& payload, int ratio, int stages, const RegionSet* mask,
                          DiagnosticSink& diagnostics, int* workableBudgetBytes = nullptr);

// Reads and checks a payload without decoding it, as readWaveletPayload does (lengths, plane sizes, room); the
// streams land in payload.streams as Y, Cb, Cr.
Status readColourPayload(std::istream& in, RegionRoom room, WaveletPayload& payload);

// Moves the read position over a payload without decoding it.
Status skipColourRegion(std::istream& in);

// Decodes plane `index` (0 Y, 1 Cb, 2 Cr) of a payload; it must decode to the size the payload recorded.
Status decodeColourPayloadPlane(const WaveletPayload& payload, int index, int stages, FloatImage& plane);

// Rebuilds the picture from the three decoded planes (Y, Cb, Cr) through the inverse colour transform.
Status buildColourPicture(const WaveletPayload& payload, const FloatImage (&planes)[3], RasterImage& image);

// All of the above: reads a payload and decodes it. `image` is left as it was whenever false is returned.
Status decodeColourRegion(RasterImage& image, std::istream& in, int stages, RegionRoom room);

} // namespace nubo
