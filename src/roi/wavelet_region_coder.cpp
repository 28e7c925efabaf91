#include "roi/wavelet_region_coder.h"

#include "quant/plane_codec.h"
#include "quant/plane_encoder.h"
#include "roi/stream_fields.h"
#include "wavelet/bit_stream.h"
#include "wavelet/float_image.h"
#include "wavelet/integer_codes.h"

#include <future>
#include <new>
#include <istream>
#include <ostream>

namespace nubo {

namespace {

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

EncodedPlane encodeColourPlane(const RasterImage& image, ColourPlane channel, int ratio, int stages,
                               const RegionSet* mask, DiagnosticSink& diagnostics)
{
    return encodePlaneForRatio(planeOf(image, channel), ratio, stages, mask, diagnostics);
}

PreparedPlane prepareColourPlane(const RasterImage& image, ColourPlane channel, int ratio, int stages,
                                 const RegionSet* mask)
{
    return preparePlaneForRatio(planeOf(image, channel), ratio, stages, mask);
}

Status writeWaveletPayload(std::ostream& out, const std::string& red, const std::string& green, const std::string& blue)
{
    // The plane coder answers a plane it refuses (a size or stage count outside its limits) with no stream.
    if (red.empty() || green.empty() || blue.empty())
        return failure("the wavelet coder refused a plane");
    writeField(out, static_cast<std::int64_t>(red.size()));
    writeField(out, static_cast<std::int64_t>(green.size()));
    writeField(out, static_cast<std::int64_t>(blue.size()));
    out.write(red.data(), static_cast<std::streamsize>(red.size()));
    out.write(green.data(), static_cast<std::streamsize>(green.size()));
    out.write(blue.data(), static_cast<std::streamsize>(blue.size()));
    if (!out.good())
        return failure("cannot write the wavelet payload");
    return {};
}

Status encodeWaveletRegion(const RasterImage& image, std::ostream& out, int ratio, int stages, const RegionSet* mask,
                           DiagnosticSink& diagnostics)
{
    // Each plane keeps its diagnostics to itself, so the caller sees them whole and in coding order however the
    // threads interleave.
    StringSink sinks[3]; // blue, red, green: the coding order
    const ColourPlane order[3] = {ColourPlane::Blue, ColourPlane::Red, ColourPlane::Green};
    std::future<EncodedPlane> coded[3];
    for (int i = 0; i < 3; ++i) {
        coded[i] = runConcurrently([&image, &sinks, channel = order[i], i, ratio, stages, mask] {
            return encodeColourPlane(image, channel, ratio, stages, mask, sinks[i]);
        });
    }
    const EncodedPlane blue = coded[0].get();
    const EncodedPlane red = coded[1].get();
    const EncodedPlane green = coded[2].get();
    for (const StringSink& sink : sinks) {
        const std::string text = sink.text();
        if (!text.empty())
            diagnostics.write(text);
    }
    // The plane coder's own words for a refusal, e.g. "Cannot code a plane in 17 wavelet stages".
    for (const EncodedPlane* plane : {&red, &green, &blue}) {
        if (!plane->status)
            return plane->status.withContext("the wavelet coder refused a plane");
    }
    return writeWaveletPayload(out, red.stream, green.stream, blue.stream);
}

Status readWaveletPayloadHeader(std::istream& in, WaveletPayloadHeader& header)
{
    std::int64_t* const fields[3] = {&header.red, &header.green, &header.blue};
    for (int i = 0; i < 3; ++i) {
        if (!readField(in, *fields[i]))
            return failure(formatText("wavelet payload: %s plane length or its ';' is missing", channelName(i)));
        if (*fields[i] < 0)
            return failure(formatText("wavelet payload: negative %s plane length %lld", channelName(i),
                                      static_cast<long long>(*fields[i])));
    }
    return {};
}

Status skipWaveletRegion(std::istream& in)
{
    WaveletPayloadHeader header;
    NUBO_RETURN_IF_ERROR(readWaveletPayloadHeader(in, header));
    const std::int64_t left = remainingBytes(in);
    // Each length is checked alone first, so their sum cannot overflow.
    if (left < 0 || header.red > left || header.green > left || header.blue > left || header.total() > left
        || !skipBytes(in, header.total()))
        return failure("wavelet payload runs past the end of the stream");
    return {};
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

Status readWaveletPayload(std::istream& in, RegionRoom room, WaveletPayload& payload)
{
    WaveletPayloadHeader header;
    NUBO_RETURN_IF_ERROR(readWaveletPayloadHeader(in, header));
    const std::int64_t left = remainingBytes(in);
    if (left < 0 || header.red > left || header.green > left || header.blue > left || header.total() > left)
        return failure(formatText("wavelet payload of %lld bytes runs past the end of the stream (%lld left)",
                                  static_cast<long long>(header.red + header.green + header.blue),
                                  static_cast<long long>(left < 0 ? 0 : left)));

    WaveletPayload read;
    const std::int64_t lengths[3] = {header.red, header.green, header.blue};
    for (int i = 0; i < 3; ++i) {
        if (!readBytes(in, lengths[i], read.streams[i]))
            return failure(formatText("wavelet payload: the %s plane stream is cut short", channelName(i)));
    }

    // Sizes are checked before any plane is decoded, so a damaged size never makes the decoder allocate for a
    // picture the record cannot hold, and no plane is read beyond the size of another.
    int widths[3] = {};
    int heights[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!peekPlaneSize(read.streams[i], widths[i], heights[i]))
            return failure(formatText("wavelet payload: the %s plane stream holds no plane size", channelName(i)));
    }
    for (int i = 0; i < 2; ++i) {
        if (widths[i] != widths[2] || heights[i] != heights[2])
            return failure(formatText("wavelet payload: planes of different sizes (red %d x %d, green %d x %d, "
                                      "blue %d x %d)",
                                      widths[0], heights[0], widths[1], heights[1], widths[2], heights[2]));
    }
    read.width = widths[2];
    read.height = heights[2];
    if (!room.holds(read.width, read.height))
        return failure(formatText("a region of %d x %d pixels reaches outside the picture", read.width,
                                  read.height));
    payload = std::move(read);
    return {};
}

Status decodeWaveletPlane(const WaveletPayload& payload, int index, int stages, FloatImage& plane)
{
    const std::string& stream = payload.streams[index];
    FloatImage decoded;
    NUBO_RETURN_IF_ERROR(decodePlane(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(), stages,
                                     decoded)
                             .withContext(formatText("wavelet payload: %s plane", channelName(index))));
    const std::size_t expected = static_cast<std::size_t>(payload.width) * static_cast<std::size_t>(payload.height);
    if (decoded.width != payload.width || decoded.height != payload.height || decoded.data.size() != expected)
        return failure(formatText("wavelet payload: the %s plane decoded to another size than it records",
                                  channelName(index)));
    plane = std::move(decoded);
    return {};
}

Status buildWaveletPicture(const WaveletPayload& payload, const FloatImage (&planes)[3], RasterImage& image)
{
    const std::size_t expected = static_cast<std::size_t>(payload.width) * static_cast<std::size_t>(payload.height);
    for (const FloatImage& plane : planes) {
        if (plane.data.size() != expected)
            return failure("wavelet payload: a plane was not decoded");
    }
    RasterImage rebuilt;
    if (!rebuilt.fromPlanes(planes[0].data.data(), planes[1].data.data(), planes[2].data.data(), payload.width,
                            payload.height))
        return failure(formatText("wavelet payload: a %d x %d picture is beyond the size limits", payload.width,
                                  payload.height));
    image = std::move(rebuilt);
    return {};
}

Status decodeWaveletPlaneInto(const WaveletPayload& payload, int index, int stages, PlaneByPlanePicture& target)
{
    // Only the bytes outlive the decoding: the picture is taken once the first plane is done, while the others
    // are still decoding, and a float plane held beside it would add to that peak.
    std::vector<std::uint8_t> channel;
    {
        FloatImage plane;
        NUBO_RETURN_IF_ERROR(decodeWaveletPlane(payload, index, stages, plane));
        try {
            channel = RasterImage::planeBytes(plane.data.data(), plane.data.size());
        } catch (const std::bad_alloc&) {
            return failure(formatText("wavelet payload: no room for the %s plane's bytes", channelName(index)));
        }
    }
    std::call_once(target.once, [&payload, &target] {
        if (!target.picture.allocate(payload.width, payload.height))
            target.started = failure(formatText("wavelet payload: a %d x %d picture is beyond the size limits",
                                                payload.width, payload.height));
    });
    NUBO_RETURN_IF_ERROR(target.started);
    // Red, green, blue planes fill the picture's channels 2, 1, 0.
    target.picture.setChannel(2 - index, channel.data());
    return {};
}

Status decodeWaveletRegion(RasterImage& image, std::istream& in, int stages, RegionRoom room)
{
    WaveletPayload payload;
    NUBO_RETURN_IF_ERROR(readWaveletPayload(in, room, payload));
    PlaneByPlanePicture target;
    std::future<Status> decoded[3];
    for (int i = 0; i < 3; ++i) {
        decoded[i] = runConcurrently(
            [&payload, &target, i, stages] { return decodeWaveletPlaneInto(payload, i, stages, target); });
    }
    Status results[3];
    for (int i = 0; i < 3; ++i)
        results[i] = decoded[i].get();
    for (const Status& result : results)
        NUBO_RETURN_IF_ERROR(result);
    image = std::move(target.picture);
    return {};
}

} // namespace nubo
