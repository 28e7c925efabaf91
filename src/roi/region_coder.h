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

// What the .roi stream knows of a record's payload, whatever its kind: "Wavelet" (1) belongs
// to the wavelet region coder, "Arithmetic" (2) to the lossless region coder, "Wavelet (colour)" (3) to the colour
// wavelet region coder, "Lossless (predictive)" (4) to the predictive lossless coder. Both lossless kinds share
// one payload header: code byte count, width, height.

// True for the kinds whose payload is a lossless header and code bytes (2 and 4).
bool isLosslessKind(std::int64_t kind);

// True when a width x height region can be coded losslessly: at most kMaxLosslessRegionBytes (3 per pixel).
bool fitsLosslessCoder(std::int64_t width, std::int64_t height);

// A payload read from the stream and checked against the room, not yet decoded: the wavelet planes' code streams
// (kind 1: red, green, blue; kind 3: Y, Cb, Cr) or the whole lossless payload, header included (kinds 2 and 4).
// Width and height are those it announces.
struct RegionPayload {
    std::int64_t kind = 0;
    WaveletPayload wavelet;
    std::string lossless;
    int width = 0;
    int height = 0;
};

// Reads a record's payload of `kind` (the number as it stands in the stream) without decoding it. Refuses what
// comes before decoding: a kind with no coder (only a damaged stream carries one), a malformed or cut-off
// payload, a size the room cannot hold.
Status readRegionPayload(std::istream& in, std::int64_t kind, RegionRoom room, RegionPayload& payload);

// Decodes a lossless payload (kind 2 or 4) read by readRegionPayload.
Status decodeLosslessPayload(const RegionPayload& payload, RasterImage& region);

// True for the kinds whose payload is three plane code streams decoded one by one (1 and 3).
bool isPlaneKind(std::int64_t kind);

// Decodes plane `index` of a payload of a plane kind, and rebuilds its picture from the three decoded planes.
Status decodePayloadPlane(const RegionPayload& payload, int index, int stages, FloatImage& plane);
Status buildPayloadPicture(const RegionPayload& payload, const FloatImage (&planes)[3], RasterImage& image);

// True for the plane kind whose planes each go straight into their channel of the picture (1); kind 3's colour
// transform needs all three planes at once. For such a payload decodePayloadPlaneInto decodes plane `index` into
// the picture (concurrently for different planes), as decodeWaveletPlaneInto does.
bool buildsPictureByPlane(std::int64_t kind);
Status decodePayloadPlaneInto(const RegionPayload& payload, int index, int stages, PlaneByPlanePicture& target);

// Moves the read position over a payload of `kind` without decoding it. Fails, without promising where the read
// position stands, on a malformed payload header or a payload that runs past the end of the stream.
Status skipRegion(std::istream& in, std::int64_t kind);

// What the payload header of a lossless region announces: its code byte count, width and height.
struct LosslessPayloadHeader {
    std::int64_t codeBytes = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

Status readLosslessPayloadHeader(std::istream& in, LosslessPayloadHeader& header);

} // namespace nubo
