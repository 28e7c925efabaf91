#pragma once

#include "image/raster_image.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace nubo {

// Lossless coding of one region (coder kind 2, "Arithmetic"): the bytes of the region's buffer, first to last
// (bottom row first, blue, green, red), each coded as a symbol of a fresh 257-symbol adaptive model.
//
// Payload in the .roi stream, right after the record's kind field: the code byte count n, the width and the
// height, each as decimal text followed by ";", then the n raw code bytes ("417;20;10;" and 417 bytes). The
// stream must be binary.

// Largest region the lossless coder takes, in bytes (width x height x 3): the codec's largest code buffer.
inline constexpr std::int64_t kMaxLosslessRegionBytes = std::int64_t{1} << 24;

// Writes the kind-2 payload ("n;width;height;" then n raw code bytes). Fails with a reason (and writes nothing)
// when the region cannot be coded losslessly (more than 2^24 bytes, or an empty image).
Status encodeLosslessRegion(const RasterImage& region, std::ostream& out);

// Reads one kind-2 payload and rebuilds the region. Returns false with a reason on any damage (missing ";",
// negative or absurd numbers, a byte count larger than the stream still holds, width x height x 3 outside the
// codec's limits or the image limits); never ends the process and never reads past the bytes it took.
Status decodeLosslessRegion(RasterImage& region, std::istream& in);

} // namespace nubo
