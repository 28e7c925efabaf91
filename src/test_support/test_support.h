#pragma once

// Pictures, documents, selections and byte fingerprints shared by the test programs (nubo_test_support, linked
// into every one). The coded payloads of test pictures are in test_support/stream_pieces.h.

#include "document/document_data.h"
#include "image/raster_image.h"
#include "regions/region.h"
#include "regions/region_selection.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace nubo::test {

// A picture with smooth gradients and a little fixed-seed noise, so every coder has real work.
RasterImage patternImage(int width, int height, std::uint32_t seed = 1);

// A picture with smooth colour ramps and a little fixed-seed noise (another generator than patternImage's, whose
// pictures the desktop's tests were written against).
RasterImage syntheticPicture(int width, int height, unsigned seed);

// A picture of one colour.
RasterImage uniformImage(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A document holding a copy of `image`, the regions in order, the background ratio and the stages.
DocumentData makeDocument(const RasterImage& image, std::initializer_list<Region> regions, int backgroundRatio = 1,
                          int stages = 5);

// A region with a kind and ratio.
Region region(int left, int top, int right, int bottom, CoderKind kind, int ratio = 1);

// A selection of the given 0-based region positions out of `regions`, with or without the background.
RegionSelection selection(int regions, std::initializer_list<int> selected, bool background);
RegionSelection selectEverything(int regions);

// The bytes of (x, y) as blue, green, red.
struct Bgr {
    int b = 0;
    int g = 0;
    int r = 0;
    bool operator==(const Bgr&) const = default;
};
Bgr pixelAt(const RasterImage& image, int x, int y);

// 64-bit FNV-1a of the bytes, for golden-byte checks.
std::uint64_t fingerprint(std::string_view bytes);
// fingerprint of a picture's pixel bytes.
std::uint64_t pixelFingerprint(const RasterImage& image);

} // namespace nubo::test
