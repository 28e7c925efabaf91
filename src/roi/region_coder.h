#pragma once

#include "common/diagnostics.h"
#include "image/raster_image.h"
#include "regions/region.h"
#include "roi/lossless_region_coder.h"
#include "roi/region_room.h"
#include "roi/wavelet_region_coder.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace nubo {

class RegionSet;

// The one entry through which the .roi stream codes a record's payload, whatever its kind: "Wavelet" (1) goes
// to the wavelet region coder, "Arithmetic" (2) to the lossless region coder.

// True when a width x height region can be coded losslessly: at most kMaxLosslessRegionBytes (3 per pixel).
bool fitsLosslessCoder(std::int64_t width, std::int64_t height);

// Writes the payload of `region` for `kind`. The mask (the background's region set) is used by the wavelet
// coder only. Returns false with a reason for a kind that has no coder, a region too large for the lossless
// coder, or an output stream that failed.
bool encodeRegion(const RasterImage& region, std::ostream& out, int ratio, CoderKind kind, int stages,
                  const RegionSet* mask, DiagnosticSink& diagnostics, std::string* reason = nullptr);

// Reads a payload of `kind` (the number as it stands in the stream) into `region`. Refuses a kind that has no
// coder (only a damaged stream carries one) and a payload announcing a picture larger than `room`; `region`
// is left as it was whenever false is returned.
bool decodeRegion(RasterImage& region, std::istream& in, std::int64_t kind, int stages, RegionRoom room,
                  std::string* reason = nullptr);

// A payload read from the stream and checked against the room, not yet decoded: the wavelet planes' code streams
// (kind 1) or the whole lossless payload, header included (kind 2). Width and height are those it announces.
struct RegionPayload {
    std::int64_t kind = 0;
    WaveletPayload wavelet;
    std::string lossless;
    int width = 0;
    int height = 0;
};

// The refusals of decodeRegion that come before decoding: a kind with no coder, a malformed or cut-off payload,
// a size the room cannot hold.
bool readRegionPayload(std::istream& in, std::int64_t kind, RegionRoom room, RegionPayload& payload,
                       std::string* reason = nullptr);

// Decodes a lossless payload read by readRegionPayload.
bool decodeLosslessPayload(const RegionPayload& payload, RasterImage& region, std::string* reason = nullptr);

// Moves the read position over a payload of `kind` without decoding it. Fails, without promising where the read
// position stands, on a malformed payload header or a payload that runs past the end of the stream.
bool skipRegion(std::istream& in, std::int64_t kind, std::string* reason = nullptr);

// What the payload header of a lossless region announces: its code byte count, width and height.
struct LosslessPayloadHeader {
    std::int64_t codeBytes = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

bool readLosslessPayloadHeader(std::istream& in, LosslessPayloadHeader& header, std::string* reason = nullptr);

} // namespace nubo
