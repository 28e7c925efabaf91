#include "roi/wavelet_region_coder.h"

#include "quant/plane_codec.h"
#include "roi/stream_fields.h"
#include "wavelet/bit_stream.h"
#include "wavelet/float_image.h"
#include "wavelet/integer_codes.h"

#include <future>
#include <istream>
#include <ostream>

namespace nubo {

namespace {

bool fail(std::string* reason, std::string text)
{
    if (reason)
        *reason = std::move(text);
    return false;
}

FloatImage planeOf(const RasterImage& image, ColourPlane channel)
{
    FloatImage plane;
    plane.width = image.width();
    plane.height = image.height();
    switch (channel) {
    case ColourPlane::Red: plane.data = image.redPlane(); break;
    case ColourPlane::Green: plane.data = image.greenPlane(); break;
    case ColourPlane::Blue: plane.data = image.bluePlane(); break;
    }
    return plane;
}

// Plane coding runs on its own thread where the system allows it, inline otherwise; the bytes are the same.
template <typename Work>
auto runConcurrently(Work work)
{
    return std::async(std::launch::async | std::launch::deferred, std::move(work));
}

const char* channelName(int index)
{
    static const char* const names[] = {"red", "green", "blue"};
    return names[index];
}

} // namespace

std::string encodeColourPlane(const RasterImage& image, ColourPlane channel, int ratio, int stages,
                              const RegionSet* mask, DiagnosticSink& diagnostics)
{
    const FloatImage plane = planeOf(image, channel);
    return mask ? encodeMaskedPlane(plane, ratio, *mask, stages, diagnostics)
                : encodePlane(plane, ratio, stages, diagnostics);
}

bool writeWaveletPayload(std::ostream& out, const std::string& red, const std::string& green, const std::string& blue,
                         std::string* reason)
{
    // The plane coder answers a plane it refuses (a size or stage count outside its limits) with no stream.
    if (red.empty() || green.empty() || blue.empty())
        return fail(reason, "the wavelet coder refused a plane");
    writeField(out, static_cast<std::int64_t>(red.size()));
    writeField(out, static_cast<std::int64_t>(green.size()));
    writeField(out, static_cast<std::int64_t>(blue.size()));
    out.write(red.data(), static_cast<std::streamsize>(red.size()));
    out.write(green.data(), static_cast<std::streamsize>(green.size()));
    out.write(blue.data(), static_cast<std::streamsize>(blue.size()));
    if (!out.good())
        return fail(reason, "cannot write the wavelet payload");
    return true;
}

bool encodeWaveletRegion(const RasterImage& image, std::ostream& out, int ratio, int stages, const RegionSet* mask,
                         DiagnosticSink& diagnostics, std::string* reason)
{
    // Each plane keeps its diagnostics to itself, so the caller sees them whole and in coding order however the
    // threads interleave.
    StringSink sinks[3]; // blue, red, green: the coding order
    const ColourPlane order[3] = {ColourPlane::Blue, ColourPlane::Red, ColourPlane::Green};
    std::future<std::string> coded[3];
    for (int i = 0; i < 3; ++i) {
        coded[i] = runConcurrently([&image, &sinks, channel = order[i], i, ratio, stages, mask] {
            return encodeColourPlane(image, channel, ratio, stages, mask, sinks[i]);
        });
    }
    const std::string blue = coded[0].get();
    const std::string red = coded[1].get();
    const std::string green = coded[2].get();
    for (const StringSink& sink : sinks) {
        const std::string text = sink.text();
        if (!text.empty())
            diagnostics.write(text);
    }
    if (!writeWaveletPayload(out, red, green, blue, reason)) {
        if (reason && (red.empty() || green.empty() || blue.empty()))
            *reason = formatText("the wavelet coder refused a %d x %d picture with %d stages", image.width(),
                                 image.height(), stages);
        return false;
    }
    return true;
}

bool readWaveletPayloadHeader(std::istream& in, WaveletPayloadHeader& header, std::string* reason)
{
    std::int64_t* const fields[3] = {&header.red, &header.green, &header.blue};
    for (int i = 0; i < 3; ++i) {
        if (!readField(in, *fields[i]))
            return fail(reason, formatText("wavelet payload: %s plane length or its ';' is missing", channelName(i)));
        if (*fields[i] < 0)
            return fail(reason, formatText("wavelet payload: negative %s plane length %lld", channelName(i),
                                           static_cast<long long>(*fields[i])));
    }
    return true;
}

bool skipWaveletRegion(std::istream& in, std::string* reason)
{
    WaveletPayloadHeader header;
    if (!readWaveletPayloadHeader(in, header, reason))
        return false;
    const std::int64_t left = remainingBytes(in);
    // Each length is checked alone first, so their sum cannot overflow.
    if (left < 0 || header.red > left || header.green > left || header.blue > left || header.total() > left
        || !skipBytes(in, header.total()))
        return fail(reason, "wavelet payload runs past the end of the stream");
    return true;
}

bool peekPlaneSize(const std::string& planeStream, int& width, int& height)
{
    BitInput bits(reinterpret_cast<const std::uint8_t*>(planeStream.data()), planeStream.size());
    const std::int32_t w = readGamma(bits);
    const std::int32_t h = readGamma(bits);
    if (bits.failed() || bits.pastEnd() || w < 1 || h < 1)
        return false;
    width = w;
    height = h;
    return true;
}

bool readWaveletPayload(std::istream& in, RegionRoom room, WaveletPayload& payload, std::string* reason)
{
    WaveletPayloadHeader header;
    if (!readWaveletPayloadHeader(in, header, reason))
        return false;
    const std::int64_t left = remainingBytes(in);
    if (left < 0 || header.red > left || header.green > left || header.blue > left || header.total() > left)
        return fail(reason, formatText("wavelet payload of %lld bytes runs past the end of the stream (%lld left)",
                                       static_cast<long long>(header.red + header.green + header.blue),
                                       static_cast<long long>(left < 0 ? 0 : left)));

    WaveletPayload read;
    const std::int64_t lengths[3] = {header.red, header.green, header.blue};
    for (int i = 0; i < 3; ++i) {
        if (!readBytes(in, lengths[i], read.streams[i]))
            return fail(reason, formatText("wavelet payload: the %s plane stream is cut short", channelName(i)));
    }

    // Sizes are checked before any plane is decoded, so a damaged size never makes the decoder allocate for a
    // picture the record cannot hold, and no plane is read beyond the size of another.
    int widths[3] = {};
    int heights[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!peekPlaneSize(read.streams[i], widths[i], heights[i]))
            return fail(reason, formatText("wavelet payload: the %s plane stream holds no plane size", channelName(i)));
    }
    for (int i = 0; i < 2; ++i) {
        if (widths[i] != widths[2] || heights[i] != heights[2])
            return fail(reason, formatText("wavelet payload: planes of different sizes (red %d x %d, green %d x %d, "
                                           "blue %d x %d)",
                                           widths[0], heights[0], widths[1], heights[1], widths[2], heights[2]));
    }
    read.width = widths[2];
    read.height = heights[2];
    if (!room.holds(read.width, read.height))
        return fail(reason, formatText("a region of %d x %d pixels reaches outside the picture", read.width,
                                       read.height));
    payload = std::move(read);
    return true;
}

bool decodeWaveletPlane(const WaveletPayload& payload, int index, int stages, FloatImage& plane, std::string* reason)
{
    const std::string& stream = payload.streams[index];
    std::string why;
    FloatImage decoded;
    if (!decodePlane(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(), stages, decoded, &why))
        return fail(reason, formatText("wavelet payload: %s plane: %s", channelName(index), why.c_str()));
    const std::size_t expected = static_cast<std::size_t>(payload.width) * static_cast<std::size_t>(payload.height);
    if (decoded.width != payload.width || decoded.height != payload.height || decoded.data.size() != expected)
        return fail(reason, formatText("wavelet payload: the %s plane decoded to another size than it records",
                                       channelName(index)));
    plane = std::move(decoded);
    return true;
}

bool buildWaveletPicture(const WaveletPayload& payload, const FloatImage (&planes)[3], RasterImage& image,
                         std::string* reason)
{
    const std::size_t expected = static_cast<std::size_t>(payload.width) * static_cast<std::size_t>(payload.height);
    for (const FloatImage& plane : planes) {
        if (plane.data.size() != expected)
            return fail(reason, "wavelet payload: a plane was not decoded");
    }
    RasterImage rebuilt;
    if (!rebuilt.fromPlanes(planes[0].data.data(), planes[1].data.data(), planes[2].data.data(), payload.width,
                            payload.height))
        return fail(reason, formatText("wavelet payload: a %d x %d picture is beyond the size limits", payload.width,
                                       payload.height));
    image = std::move(rebuilt);
    return true;
}

bool decodeWaveletRegion(RasterImage& image, std::istream& in, int stages, RegionRoom room, std::string* reason)
{
    WaveletPayload payload;
    if (!readWaveletPayload(in, room, payload, reason))
        return false;
    FloatImage planes[3];
    std::string planeReasons[3];
    std::future<bool> decoded[3];
    for (int i = 0; i < 3; ++i) {
        decoded[i] = runConcurrently([&payload, &planes, &planeReasons, i, stages] {
            return decodeWaveletPlane(payload, i, stages, planes[i], &planeReasons[i]);
        });
    }
    bool ok[3];
    for (int i = 0; i < 3; ++i)
        ok[i] = decoded[i].get();
    for (int i = 0; i < 3; ++i) {
        if (!ok[i])
            return fail(reason, planeReasons[i]);
    }
    return buildWaveletPicture(payload, planes, image, reason);
}

} // namespace nubo
