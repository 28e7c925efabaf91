#pragma once

#include "common/diagnostics.h"
#include "image/raster_image.h"
#include "roi/region_room.h"
#include "wavelet/float_image.h"

#include <iosfwd>
#include <string>

namespace nubo {

class RegionSet;

// The payload of a "Wavelet" record: the byte lengths of the red, green and blue plane code streams, each as a
// field ("1234;"), then the three code streams in the same order. The payload has no size of its own: the
// picture takes the width and height recorded inside the plane streams.

// Codes the red, green and blue planes of `image` with the wavelet plane coder at `ratio` and `stages`, each
// plane to a budget of width * height / ratio bytes. With a mask (the background), the coefficients under its
// regions are zeroed first. The planes are coded concurrently; their diagnostics reach `diagnostics` in the
// coding order blue, red, green, each plane's text in one piece. Returns false with a reason only when the
// output stream fails.
bool encodeWaveletRegion(const RasterImage& image, std::ostream& out, int ratio, int stages, const RegionSet* mask,
                         DiagnosticSink& diagnostics, std::string* reason = nullptr);

enum class ColourPlane { Red, Green, Blue };

// Codes one colour plane of `image` as encodeWaveletRegion does; empty when the plane coder refuses the plane.
std::string encodeColourPlane(const RasterImage& image, ColourPlane plane, int ratio, int stages,
                              const RegionSet* mask, DiagnosticSink& diagnostics);

// Writes a payload from the three plane code streams. Returns false with a reason when the output stream fails.
bool writeWaveletPayload(std::ostream& out, const std::string& red, const std::string& green, const std::string& blue,
                         std::string* reason = nullptr);

// Reads a payload and rebuilds the picture from its decoded planes (clamped to 0 ... 255, rounded half up).
// Refuses, leaving `image` as it was: a missing separator, a negative length, lengths beyond the stream's end,
// a plane that does not fit in `room`, planes of different sizes, and a plane stream that cannot be decoded.
bool decodeWaveletRegion(RasterImage& image, std::istream& in, int stages, RegionRoom room,
                         std::string* reason = nullptr);

// The steps of decodeWaveletRegion, for callers that decode the planes of several payloads concurrently.

// A payload read from the stream and checked (lengths, plane sizes, room) but not decoded.
struct WaveletPayload {
    std::string streams[3]; // red, green, blue
    int width = 0;
    int height = 0;
};

bool readWaveletPayload(std::istream& in, RegionRoom room, WaveletPayload& payload, std::string* reason = nullptr);

// Decodes plane `index` (0 red, 1 green, 2 blue) of a payload read by readWaveletPayload; it must decode to the
// size the payload recorded.
bool decodeWaveletPlane(const WaveletPayload& payload, int index, int stages, FloatImage& plane,
                        std::string* reason = nullptr);

// Rebuilds the picture from the three decoded planes (red, green, blue).
bool buildWaveletPicture(const WaveletPayload& payload, const FloatImage (&planes)[3], RasterImage& image,
                         std::string* reason = nullptr);

// Moves the read position over a payload without decoding it.
bool skipWaveletRegion(std::istream& in, std::string* reason = nullptr);

// The byte lengths of a payload's three plane streams, red, green, blue.
struct WaveletPayloadHeader {
    std::int64_t red = 0;
    std::int64_t green = 0;
    std::int64_t blue = 0;

    std::int64_t total() const { return red + green + blue; }
};

// Reads the three length fields; fails on a missing separator or a negative length.
bool readWaveletPayloadHeader(std::istream& in, WaveletPayloadHeader& header, std::string* reason = nullptr);

// The width and height recorded at the start of a plane code stream, without decoding the plane.
bool peekPlaneSize(const std::string& planeStream, int& width, int& height);

} // namespace nubo
