#include "roi/roi_stream_info.h"

#include "common/diagnostics.h"
#include "roi/region_coder.h"
#include "roi/stream_fields.h"
#include "roi/wavelet_region_coder.h"

#include <algorithm>
#include <cstdint>
#include <istream>

namespace nubo {

namespace {

// Reads a payload's announced size and moves over it.
Status readPayloadSize(std::istream& in, RecordInfo& record)
{
    if (isLosslessKind(record.kind)) {
        LosslessPayloadHeader header;
        NUBO_RETURN_IF_ERROR(readLosslessPayloadHeader(in, header));
        record.width = static_cast<int>(std::min<std::int64_t>(header.width, INT32_MAX));
        record.height = static_cast<int>(std::min<std::int64_t>(header.height, INT32_MAX));
        if (!skipBytes(in, header.codeBytes))
            return failure("lossless payload runs past the end of the stream");
        return {};
    }
    if (!isPlaneKind(record.kind))
        return failure(formatText("unknown coder kind %lld", static_cast<long long>(record.kind)));
    WaveletPayloadHeader header;
    NUBO_RETURN_IF_ERROR(readWaveletPayloadHeader(in, header));
    std::string planes[3];
    const std::int64_t lengths[3] = {header.red, header.green, header.blue};
    for (int i = 0; i < 3; ++i) {
        if (!readBytes(in, lengths[i], planes[i]))
            return failure("wavelet payload runs past the end of the stream");
    }
    // A "Wavelet" picture is sized from its blue plane, a "Wavelet (colour)" one from its Y plane.
    const bool colour = record.kind == static_cast<std::int64_t>(CoderKind::WaveletColour);
    if (!peekPlaneSize(planes[colour ? 0 : 2], record.width, record.height))
        return failure(colour ? "colour wavelet payload: the Y plane stream holds no plane size"
                              : "wavelet payload: the blue plane stream holds no plane size");
    return {};
}

} // namespace

StreamInfo inspectRoiStream(std::istream& in)
{
    StreamInfo info;
    info.streamBytes = remainingBytes(in);
    if (Status read = readStreamHeader(in, info.header); !read) {
        info.status = std::move(read);
        return info;
    }
    info.headerRead = true;
    const int count = info.header.recordCount;
    for (int i = 0; i < count; ++i) {
        RecordInfo record;
        record.number = i + 1;
        record.background = i == count - 1;
        if (!readField(in, record.left) || !readField(in, record.top) || !readField(in, record.kind)) {
            info.status = failure(formatText(
                "record %d of %d: its left, top or coder kind, or a ';' after them, is missing", i + 1, count));
            return info;
        }
        const std::istream::pos_type start = in.tellg();
        if (Status read = readPayloadSize(in, record); !read) {
            info.status = read.withContext(formatText("record %d of %d", i + 1, count));
            return info;
        }
        record.payloadBytes = static_cast<std::int64_t>(in.tellg() - start);
        info.records.push_back(record);
        // The decoder refuses such a record, so it ends the walk as damage too.
        if (record.left < 0 || record.top < 0 || record.left + record.width > info.header.width
            || record.top + record.height > info.header.height) {
            info.status = failure(formatText(
                "record %d of %d: a %d x %d region at (%lld, %lld) reaches outside the %d x %d picture", i + 1, count,
                record.width, record.height, static_cast<long long>(record.left), static_cast<long long>(record.top),
                info.header.width, info.header.height));
            return info;
        }
    }
    return info;
}

} // namespace nubo
