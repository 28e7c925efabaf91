#include "roi/colour_region_coder.h"

#include "quant/colour_plane_codec.h"
#include "roi/colour_transform.h"
#include "roi/stream_fields.h"

#include <algorithm>
#include <future>
#include <istream>
#include <utility>

namespace nubo {

namespace {

constexpr std::array<const char*, 3> kPlaneNames = {"Y", "Cb", "Cr"};

Status readLengths(std::istream& in, std::int64_t (&lengths)[3])
{
    for (int i = 0; i < 3; ++i) {
        if (!readField(in, lengths[i]))
            return failure(formatText("colour wavelet payload: %s plane length or its ';' is missing",
                                      kPlaneNames[static_cast<std::size_t>(i)]));
        if (lengths[i] < 0)
            return failure(formatText("colour wavelet payload: negative %s plane length %lld",
                                      kPlaneNames[static_cast<std::size_t>(i)],
                                      static_cast<long long>(lengths[i])));
    }
    return {};
}

// Each length is checked alone first, so their sum cannot overflow.
bool fitsInStream(std::istream& in, const std::int64_t (&lengths)[3], std::int64_t& left)
{
    left = remainingBytes(in);
    return left >= 0 && lengths[0] <= left && lengths[1] <= left && lengths[2] <= left
        && lengths[0] + lengths[1] + lengths[2] <= left;
}

} // namespace

int colourBudgetBytes(int width, int height, int ratio)
{
    const std::int64_t bytes = 3 * static_cast<std::int64_t>(width) * height / std::max(ratio, 1);
    return static_cast<int>(std::min<std::int64_t>(bytes, INT32_MAX));
}

Status encodeColourRegion(const RasterImage& image, std::string& payload, int ratio, int stages, const RegionSet* mask,
                          DiagnosticSink& diagnostics, int* workableBudgetBytes)
{
    FloatImage planes[3];
    forwardColourTransform(image, planes);
    const ColourPlanesEncoding coded =
        encodeColourPlanes(std::move(planes), colourEnergyGains(), kPlaneNames,
                           colourBudgetBytes(image.width(), image.height(), ratio), stages, mask, diagnostics);
    // The plane coder's own words for a refusal, e.g. "Cannot code a plane in 17 wavelet stages".
    if (!coded.status)
        return coded.status.withContext("the colour wavelet coder refused the planes");
    if (workableBudgetBytes != nullptr)
        *workableBudgetBytes = coded.workableBudgetBytes;
    for (const std::string& stream : coded.streams)
        payload += std::to_string(stream.size()) + kFieldSeparator;
    for (const std::string& stream : coded.streams)
        payload += stream;
    return {};
}

Status skipColourRegion(std::istream& in)
{
    std::int64_t lengths[3] = {};
    NUBO_RETURN_IF_ERROR(readLengths(in, lengths));
    std::int64_t left = 0;
    if (!fitsInStream(in, lengths, left) || !skipBytes(in, lengths[0] + lengths[1] + lengths[2]))
        return failure("colour wavelet payload runs past the end of the stream");
    return {};
}

Status readColourPayload(std::istream& in, RegionRoom room, WaveletPayload& payload)
{
    std::int64_t lengths[3] = {};
    NUBO_RETURN_IF_ERROR(readLengths(in, lengths));
    std::int64_t left = 0;
    if (!fitsInStream(in, lengths, left))
        return failure(formatText("colour wavelet payload of %lld bytes runs past the end of the stream (%lld "
                                  "left)",
                                  static_cast<long long>(lengths[0] + lengths[1] + lengths[2]),
                                  static_cast<long long>(left < 0 ? 0 : left)));
    WaveletPayload read;
    int widths[3] = {};
    int heights[3] = {};
    for (int i = 0; i < 3; ++i) {
        const char* name = kPlaneNames[static_cast<std::size_t>(i)];
        if (!readBytes(in, lengths[i], read.streams[i]))
            return failure(formatText("colour wavelet payload: the %s plane stream is cut short", name));
        if (!peekPlaneSize(read.streams[i], widths[i], heights[i]))
            return failure(formatText("colour wavelet payload: the %s plane stream holds no plane size", name));
    }
    // Sizes are checked before any plane is decoded, so a damaged size never makes the decoder allocate for a
    // picture the record cannot hold.
    if (widths[1] != widths[0] || widths[2] != widths[0] || heights[1] != heights[0] || heights[2] != heights[0])
        return failure(formatText("colour wavelet payload: planes of different sizes (Y %d x %d, Cb %d x %d, "
                                  "Cr %d x %d)",
                                  widths[0], heights[0], widths[1], heights[1], widths[2], heights[2]));
    if (!room.holds(widths[0], heights[0]))
        return failure(formatText("a region of %d x %d pixels reaches outside the picture", widths[0],
                                  heights[0]));
    read.width = widths[0];
    read.height = heights[0];
    payload = std::move(read);
    return {};
}

Status decodeColourPayloadPlane(const WaveletPayload& payload, int index, int stages, FloatImage& plane)
{
    const std::string& stream = payload.streams[index];
    const char* name = kPlaneNames[static_cast<std::size_t>(index)];
    FloatImage decoded;
    NUBO_RETURN_IF_ERROR(
        decodeColourPlane(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(), stages, decoded)
            .withContext(formatText("colour wavelet payload: %s plane", name)));
    if (decoded.width != payload.width || decoded.height != payload.height)
        return failure(formatText("colour wavelet payload: the %s plane decoded to another size than it "
                                  "records",
                                  name));
    plane = std::move(decoded);
    return {};
}

Status buildColourPicture(const WaveletPayload& payload, const FloatImage (&planes)[3], RasterImage& image)
{
    const std::size_t expected = static_cast<std::size_t>(payload.width) * static_cast<std::size_t>(payload.height);
    for (const FloatImage& plane : planes) {
        if (plane.width != payload.width || plane.height != payload.height || plane.data.size() != expected)
            return failure("colour wavelet payload: a plane was not decoded");
    }
    if (!inverseColourTransform(planes, image))
        return failure(formatText("colour wavelet payload: a %d x %d picture is beyond the size limits",
                                  payload.width, payload.height));
    return {};
}

Status decodeColourRegion(RasterImage& image, std::istream& in, int stages, RegionRoom room)
{
    WaveletPayload payload;
    NUBO_RETURN_IF_ERROR(readColourPayload(in, room, payload));
    FloatImage planes[3];
    std::future<Status> decoded[3];
    for (int i = 0; i < 3; ++i) {
        decoded[i] = std::async(std::launch::async | std::launch::deferred,
                                [&, i] { return decodeColourPayloadPlane(payload, i, stages, planes[i]); });
    }
    Status results[3];
    for (int i = 0; i < 3; ++i)
        results[i] = decoded[i].get();
    for (const Status& result : results)
        NUBO_RETURN_IF_ERROR(result);
    return buildColourPicture(payload, planes, image);
}

} // namespace nubo
