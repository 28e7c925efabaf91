#pragma once

// Pictures, documents and hand-built stream pieces shared by the ROI codec's tests.

#include "document/document_data.h"
#include "image/raster_image.h"
#include "regions/region.h"
#include "regions/region_selection.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace nubo::testing {

// A picture with smooth gradients and a little fixed-seed noise, so every coder has real work.
RasterImage patternImage(int width, int height, std::uint32_t seed = 1);

// A picture of one colour.
RasterImage uniformImage(int width, int height, std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// A document holding a copy of `image`, the regions in order, the background ratio and the stages.
DocumentData makeDocument(const RasterImage& image, std::initializer_list<Region> regions, int backgroundRatio = 1,
                          int stages = 5);

// A region with a kind and ratio.
Region region(int left, int top, int right, int bottom, CoderKind kind, int ratio = 1);

// "value;"
std::string field(long long value);

// The payload the lossless coder writes for `image`.
std::string losslessPayload(const RasterImage& image);

// The payload the wavelet region coder writes for `image` (no mask).
std::string waveletPayload(const RasterImage& image, int ratio, int stages);

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
std::uint64_t fingerprint(const std::string& bytes);

} // namespace nubo::testing
