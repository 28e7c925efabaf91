#pragma once

#include "common/diagnostics.h"
#include "image/raster_image.h"
#include "quant/plane_encoder.h"
#include "roi/region_room.h"
#include "wavelet/float_image.h"

#include <iosfwd>
#include <mutex>
#include <string>

namespace nubo {

class RegionSet;

// The payload of a "Wavelet" record: the byte lengths of the red, green and blue plane code streams, each as a
// field ("1234;"), then the three code streams in the same order. The payload has no size of its own: the
// picture takes the width and height recorded inside the plane streams.

// Codes the red, green and blue planes of `image` with the wavelet plane coder at `ratio` and `stages`, each
// plane to a budget of width * height / ratio bytes. With a mask (the background), the coefficients under its
// regions are zeroed first. The planes are coded concurrently; their diagnostics reach `diagnostics` in the
// coding order blue, red, green, each plane's text in one piece. Fails, writing nothing, when the plane coder
// refuses a plane (with its reason), and when the output stream fails.
Status encodeWaveletRegion(const RasterImage& image, std::ostream& out, int ratio, int stages, const RegionSet* mask,
                         DiagnosticSink& diagnostics);

enum class ColourPlane { Red, Green, Blue };

// Codes one colour plane of `image` as encodeWaveletRegion does, with what the plane coder reports (its budget,
// whether the plane was starved); when the plane coder refuses the plane its status says why and the stream is
// empty.
EncodedPlane encodeColourPlane(const RasterImage& image, ColourPlane plane, int ratio, int stages,
                               const RegionSet* mask, DiagnosticSink& diagnostics);
// encodeColourPlane in the two steps of preparePlaneForRatio and codePreparedPlane.
PreparedPlane prepareColourPlane(const RasterImage& image, ColourPlane plane, int ratio, int stages,
                                 const RegionSet* mask);

// Writes a payload from the three plane code streams. Fails when a stream is empty or the output stream fails.
Status writeWaveletPayload(std::ostream& out, const std::string& red, const std::string& green, const std::string& blue);

// Reads a payload and rebuilds the picture from its decoded planes (clamped to 0 ... 255, rounded half up).
// Refuses, leaving `image` as it was: a missing separator, a negative length, lengths beyond the stream's end,
// a plane that does not fit in `room`, planes of different sizes, and a plane stream that cannot be decoded.
Status decodeWaveletRegion(RasterImage& image, std::istream& in, int stages, RegionRoom room);

// The steps of decodeWaveletRegion, for callers that decode the planes of several payloads concurrently.

// A payload read from the stream and checked (lengths, plane sizes, room) but not decoded.
struct WaveletPayload {
    std::string streams[3]; // red, green, blue
    int width = 0;
    int height = 0;
};

Status readWaveletPayload(std::istream& in, RegionRoom room, WaveletPayload& payload);

// Decodes plane `index` (0 red, 1 green, 2 blue) of a payload read by readWaveletPayload; it must decode to the
// size the payload recorded.
Status decodeWaveletPlane(const WaveletPayload& payload, int index, int stages, FloatImage& plane);

// Rebuilds the picture from the three decoded planes (red, green, blue).
Status buildWaveletPicture(const WaveletPayload& payload, const FloatImage (&planes)[3], RasterImage& image);

// The same picture built plane by plane, so that no more than the planes being decoded are held as floats:
// decodeWaveletPlaneInto decodes plane `index` and writes it into its channel of target.picture, as
// buildWaveletPicture would. The three planes may be decoded concurrently; the first one decoded allocates the
// picture at the payload's size, so that the allocation overlaps the other planes' decoding.
struct PlaneByPlanePicture {
    RasterImage picture;
    Status started; // the allocation's outcome, once a plane has been decoded
    std::once_flag once;
};
Status decodeWaveletPlaneInto(const WaveletPayload& payload, int index, int stages, PlaneByPlanePicture& target);

// Moves the read position over a payload without decoding it.
Status skipWaveletRegion(std::istream& in);

// The byte lengths of a payload's three plane streams, red, green, blue.
struct WaveletPayloadHeader {
    std::int64_t red = 0;
    std::int64_t green = 0;
    std::int64_t blue = 0;

    std::int64_t total() const { return red + green + blue; }
};

// Reads the three length fields; fails on a missing separator or a negative length.
Status readWaveletPayloadHeader(std::istream& in, WaveletPayloadHeader& header);

// The width and height recorded at the start of a plane code stream, without decoding the plane.
bool peekPlaneSize(const std::string& planeStream, int& width, int& height);

} // namespace nubo
