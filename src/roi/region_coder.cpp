#include "roi/region_coder.h"

#include "roi/lossless_region_coder.h"
#include "roi/stream_fields.h"
#include "roi/wavelet_region_coder.h"

#include <istream>
#include <sstream>
#include <ostream>

namespace nubo {

namespace {

bool fail(std::string* reason, std::string text)
{
    if (reason)
        *reason = std::move(text);
    return false;
}

} // namespace

bool fitsLosslessCoder(std::int64_t width, std::int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxLosslessRegionBytes && height <= kMaxLosslessRegionBytes
        && width * height * 3 <= kMaxLosslessRegionBytes;
}

bool encodeRegion(const RasterImage& region, std::ostream& out, int ratio, CoderKind kind, int stages,
                  const RegionSet* mask, DiagnosticSink& diagnostics, std::string* reason)
{
    switch (kind) {
    case CoderKind::Wavelet:
        return encodeWaveletRegion(region, out, ratio, stages, mask, diagnostics, reason);
    case CoderKind::Arithmetic:
        if (!fitsLosslessCoder(region.width(), region.height()))
            return fail(reason, formatText("a region of %d x %d pixels is too large for lossless coding (at most "
                                           "%lld bytes, 3 per pixel)",
                                           region.width(), region.height(),
                                           static_cast<long long>(kMaxLosslessRegionBytes)));
        return encodeLosslessRegion(region, out, reason);
    }
    return fail(reason, formatText("coder kind %d has no coder", static_cast<int>(kind)));
}

bool readLosslessPayloadHeader(std::istream& in, LosslessPayloadHeader& header, std::string* reason)
{
    static const char* const names[] = {"code byte count", "width", "height"};
    std::int64_t* const fields[3] = {&header.codeBytes, &header.width, &header.height};
    for (int i = 0; i < 3; ++i) {
        if (!readField(in, *fields[i]))
            return fail(reason, formatText("lossless payload: %s or its ';' is missing", names[i]));
        if (*fields[i] < 0)
            return fail(reason, formatText("lossless payload: negative %s %lld", names[i],
                                           static_cast<long long>(*fields[i])));
    }
    return true;
}

bool readRegionPayload(std::istream& in, std::int64_t kind, RegionRoom room, RegionPayload& payload,
                       std::string* reason)
{
    RegionPayload read;
    read.kind = kind;
    if (kind == static_cast<std::int64_t>(CoderKind::Wavelet)) {
        if (!readWaveletPayload(in, room, read.wavelet, reason))
            return false;
        read.width = read.wavelet.width;
        read.height = read.wavelet.height;
        payload = std::move(read);
        return true;
    }
    if (kind != static_cast<std::int64_t>(CoderKind::Arithmetic))
        return fail(reason, formatText("unknown coder kind %lld", static_cast<long long>(kind)));

    // The lossless payload states its size up front: look at it first, so that a size the picture cannot hold
    // is refused before the region is allocated and decoded.
    const std::istream::pos_type start = in.tellg();
    LosslessPayloadHeader header;
    if (!readLosslessPayloadHeader(in, header, reason))
        return false;
    if (!room.holds(header.width, header.height))
        return fail(reason, formatText("a region of %lld x %lld pixels reaches outside the picture",
                                       static_cast<long long>(header.width), static_cast<long long>(header.height)));
    const std::int64_t left = remainingBytes(in);
    if (left < 0 || header.codeBytes > left)
        return fail(reason, formatText("lossless payload of %lld code bytes runs past the end of the stream "
                                       "(%lld left)",
                                       static_cast<long long>(header.codeBytes),
                                       static_cast<long long>(left < 0 ? 0 : left)));
    const std::int64_t headerBytes = static_cast<std::int64_t>(in.tellg() - start);
    in.seekg(start);
    if (!in.good() || !readBytes(in, headerBytes + header.codeBytes, read.lossless))
        return fail(reason, "lossless payload: cannot read it again from its start");
    read.width = static_cast<int>(header.width);
    read.height = static_cast<int>(header.height);
    payload = std::move(read);
    return true;
}

bool decodeLosslessPayload(const RegionPayload& payload, RasterImage& region, std::string* reason)
{
    std::istringstream in(payload.lossless, std::ios::in | std::ios::binary);
    RasterImage decoded;
    std::string why;
    if (!decodeLosslessRegion(decoded, in, &why))
        return fail(reason, "lossless payload: " + why);
    if (decoded.width() != payload.width || decoded.height() != payload.height)
        return fail(reason, "lossless payload: decoded to another size than it announces");
    region = std::move(decoded);
    return true;
}

bool decodeRegion(RasterImage& region, std::istream& in, std::int64_t kind, int stages, RegionRoom room,
                  std::string* reason)
{
    if (kind == static_cast<std::int64_t>(CoderKind::Wavelet))
        return decodeWaveletRegion(region, in, stages, room, reason);
    RegionPayload payload;
    return readRegionPayload(in, kind, room, payload, reason) && decodeLosslessPayload(payload, region, reason);
}

bool skipRegion(std::istream& in, std::int64_t kind, std::string* reason)
{
    if (kind == static_cast<std::int64_t>(CoderKind::Wavelet))
        return skipWaveletRegion(in, reason);
    if (kind != static_cast<std::int64_t>(CoderKind::Arithmetic))
        return fail(reason, formatText("unknown coder kind %lld", static_cast<long long>(kind)));
    LosslessPayloadHeader header;
    if (!readLosslessPayloadHeader(in, header, reason))
        return false;
    if (!skipBytes(in, header.codeBytes))
        return fail(reason, "lossless payload runs past the end of the stream");
    return true;
}

} // namespace nubo
