#include "roi/region_coder.h"

#include "roi/colour_region_coder.h"
#include "roi/lossless_region_coder.h"
#include "roi/predictive_region_coder.h"
#include "roi/stream_fields.h"
#include "roi/wavelet_region_coder.h"

#include <istream>
#include <sstream>
#include <ostream>

namespace nubo {

bool isLosslessKind(std::int64_t kind)
{
    return kind == static_cast<std::int64_t>(CoderKind::Arithmetic)
        || kind == static_cast<std::int64_t>(CoderKind::Predictive);
}

bool fitsLosslessCoder(std::int64_t width, std::int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxLosslessRegionBytes && height <= kMaxLosslessRegionBytes
        && width * height * 3 <= kMaxLosslessRegionBytes;
}

Status readLosslessPayloadHeader(std::istream& in, LosslessPayloadHeader& header)
{
    static const char* const names[] = {"code byte count", "width", "height"};
    std::int64_t* const fields[3] = {&header.codeBytes, &header.width, &header.height};
    for (int i = 0; i < 3; ++i) {
        if (!readField(in, *fields[i]))
            return failure(formatText("lossless payload: %s or its ';' is missing", names[i]));
        if (*fields[i] < 0)
            return failure(formatText("lossless payload: negative %s %lld", names[i],
                                      static_cast<long long>(*fields[i])));
    }
    return {};
}

Status readRegionPayload(std::istream& in, std::int64_t kind, RegionRoom room, RegionPayload& payload)
{
    RegionPayload read;
    read.kind = kind;
    if (kind == static_cast<std::int64_t>(CoderKind::Wavelet)) {
        NUBO_RETURN_IF_ERROR(readWaveletPayload(in, room, read.wavelet));
        read.width = read.wavelet.width;
        read.height = read.wavelet.height;
        payload = std::move(read);
        return {};
    }
    if (kind == static_cast<std::int64_t>(CoderKind::WaveletColour)) {
        NUBO_RETURN_IF_ERROR(readColourPayload(in, room, read.wavelet));
        read.width = read.wavelet.width;
        read.height = read.wavelet.height;
        payload = std::move(read);
        return {};
    }
    if (!isLosslessKind(kind))
        return failure(formatText("unknown coder kind %lld", static_cast<long long>(kind)));

    // The lossless payload states its size up front: look at it first, so that a size the picture cannot hold
    // is refused before the region is allocated and decoded.
    const std::istream::pos_type start = in.tellg();
    LosslessPayloadHeader header;
    NUBO_RETURN_IF_ERROR(readLosslessPayloadHeader(in, header));
    if (!room.holds(header.width, header.height))
        return failure(formatText("a region of %lld x %lld pixels reaches outside the picture",
                                  static_cast<long long>(header.width), static_cast<long long>(header.height)));
    const std::int64_t left = remainingBytes(in);
    if (left < 0 || header.codeBytes > left)
        return failure(formatText("lossless payload of %lld code bytes runs past the end of the stream "
                                  "(%lld left)",
                                  static_cast<long long>(header.codeBytes),
                                  static_cast<long long>(left < 0 ? 0 : left)));
    const std::int64_t headerBytes = static_cast<std::int64_t>(in.tellg() - start);
    in.seekg(start);
    if (!in.good() || !readBytes(in, headerBytes + header.codeBytes, read.lossless))
        return failure("lossless payload: cannot read it again from its start");
    read.width = static_cast<int>(header.width);
    read.height = static_cast<int>(header.height);
    payload = std::move(read);
    return {};
}

Status decodeLosslessPayload(const RegionPayload& payload, RasterImage& region)
{
    std::istringstream in(payload.lossless, std::ios::in | std::ios::binary);
    RasterImage decoded;
    const Status decodedStatus = payload.kind == static_cast<std::int64_t>(CoderKind::Predictive)
        ? decodePredictiveRegion(decoded, in)
        : decodeLosslessRegion(decoded, in);
    NUBO_RETURN_IF_ERROR(decodedStatus.withContext("lossless payload"));
    if (decoded.width() != payload.width || decoded.height() != payload.height)
        return failure("lossless payload: decoded to another size than it announces");
    region = std::move(decoded);
    return {};
}

bool isPlaneKind(std::int64_t kind)
{
    return kind == static_cast<std::int64_t>(CoderKind::Wavelet)
        || kind == static_cast<std::int64_t>(CoderKind::WaveletColour);
}

Status decodePayloadPlane(const RegionPayload& payload, int index, int stages, FloatImage& plane)
{
    if (payload.kind == static_cast<std::int64_t>(CoderKind::WaveletColour))
        return decodeColourPayloadPlane(payload.wavelet, index, stages, plane);
    return decodeWaveletPlane(payload.wavelet, index, stages, plane);
}

Status buildPayloadPicture(const RegionPayload& payload, const FloatImage (&planes)[3], RasterImage& image)
{
    if (payload.kind == static_cast<std::int64_t>(CoderKind::WaveletColour))
        return buildColourPicture(payload.wavelet, planes, image);
    return buildWaveletPicture(payload.wavelet, planes, image);
}

bool buildsPictureByPlane(std::int64_t kind) { return kind == static_cast<std::int64_t>(CoderKind::Wavelet); }

Status decodePayloadPlaneInto(const RegionPayload& payload, int index, int stages, PlaneByPlanePicture& target)
{
    return decodeWaveletPlaneInto(payload.wavelet, index, stages, target);
}

Status skipRegion(std::istream& in, std::int64_t kind)
{
    if (kind == static_cast<std::int64_t>(CoderKind::Wavelet))
        return skipWaveletRegion(in);
    if (kind == static_cast<std::int64_t>(CoderKind::WaveletColour))
        return skipColourRegion(in);
    if (!isLosslessKind(kind))
        return failure(formatText("unknown coder kind %lld", static_cast<long long>(kind)));
    LosslessPayloadHeader header;
    NUBO_RETURN_IF_ERROR(readLosslessPayloadHeader(in, header));
    if (!skipBytes(in, header.codeBytes))
        return failure("lossless payload runs past the end of the stream");
    return {};
}

} // namespace nubo
