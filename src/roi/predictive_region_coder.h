#pragma once

#include "image/raster_image.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace nubo {

// Predictive lossless coding of one region (coder kind 4, "Lossless (predictive)"): the reversible YCoCg-R
// colour transform, the gradient-adjusted predictor of CALIC on each of the three planes, prediction errors
// corrected by a bias learnt per texture and energy context, and the errors range-coded with adaptive models
// chosen by the local error energy. Any region the picture limits allow can be coded.
//
// Payload in the .roi stream, right after the record's kind field: the code byte count n, the width and the
// height, each as decimal text followed by ";", then the n raw code bytes, as for kind 2.

// The code bytes of a region (no text header). The region must hold at least one pixel.
std::vector<std::uint8_t> encodePredictiveCode(const RasterImage& region);

// Rebuilds a width x height region from its code bytes. Returns false with a reason when the size is outside the
// picture limits or the code does not end where a code of that region must (damage); `region` is then left as
// it was. Reads nothing beyond `length` bytes and takes time in proportion to the region, whatever the bytes.
Status decodePredictiveCode(const std::uint8_t* code, std::size_t length, int width, int height, RasterImage& region);

// Fewest and most code bytes a width x height region can take; a payload announcing a count outside is damaged
// and is refused before the region is allocated.
std::int64_t minPredictiveCodeBytes(std::int64_t width, std::int64_t height);
std::int64_t maxPredictiveCodeBytes(std::int64_t width, std::int64_t height);

// Writes the kind-4 payload ("n;width;height;" then n raw code bytes). Fails with a reason for an empty region
// or a failed stream.
Status encodePredictiveRegion(const RasterImage& region, std::ostream& out);

// Reads one kind-4 payload and rebuilds the region. Returns false with a reason on any damage (missing ";",
// negative or absurd numbers, fewer code bytes left in the stream than announced, a code that does not fit the
// region); never reads more than the payload's bytes.
Status decodePredictiveRegion(RasterImage& region, std::istream& in);

} // namespace nubo
