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
bool readPayloadSize(std::istream& in, RecordInfo& record, std::string& why)
{
    if (record.kind == static_cast<std::int64_t>(CoderKind::Arithmetic)) {
        LosslessPayloadHeader header;
        if (!readLosslessPayloadHeader(in, header, &why))
            return false;
        record.width = static_cast<int>(std::min<std::int64_t>(header.width, INT32_MAX));
        record.height = static_cast<int>(std::min<std::int64_t>(header.height, INT32_MAX));
        if (!skipBytes(in, header.codeBytes)) {
            why = "lossless payload runs past the end of the stream";
            return false;
        }
        return true;
    }
    if (record.kind != static_cast<std::int64_t>(CoderKind::Wavelet)) {
        why = formatText("unknown coder kind %lld", static_cast<long long>(record.kind));
        return false;
    }
    WaveletPayloadHeader header;
    if (!readWaveletPayloadHeader(in, header, &why))
        return false;
    std::string planes[3];
    const std::int64_t lengths[3] = {header.red, header.green, header.blue};
    for (int i = 0; i < 3; ++i) {
        if (!readBytes(in, lengths[i], planes[i])) {
            why = "wavelet payload runs past the end of the stream";
            return false;
        }
    }
    // The picture is sized from the blue plane.
    if (!peekPlaneSize(planes[2], record.width, record.height)) {
        why = "wavelet payload: the blue plane stream holds no plane size";
        return false;
    }
    return true;
}

} // namespace

StreamInfo inspectRoiStream(std::istream& in)
{
    StreamInfo info;
    info.streamBytes = remainingBytes(in);
    std::string why;
    if (!readStreamHeader(in, info.header, &why)) {
        info.reason = why;
        return info;
    }
    info.headerRead = true;
    const int count = info.header.recordCount;
    for (int i = 0; i < count; ++i) {
        RecordInfo record;
        record.number = i + 1;
        record.background = i == count - 1;
        if (!readField(in, record.left) || !readField(in, record.top) || !readField(in, record.kind)) {
            info.reason = formatText("record %d of %d: its left, top or coder kind, or a ';' after them, is missing",
                                     i + 1, count);
            return info;
        }
        const std::istream::pos_type start = in.tellg();
        if (!readPayloadSize(in, record, why)) {
            info.reason = formatText("record %d of %d: ", i + 1, count) + why;
            return info;
        }
        record.payloadBytes = static_cast<std::int64_t>(in.tellg() - start);
        info.records.push_back(record);
        // The decoder refuses such a record, so it ends the walk as damage too.
        if (record.left < 0 || record.top < 0 || record.left + record.width > info.header.width
            || record.top + record.height > info.header.height) {
            info.reason = formatText("record %d of %d: a %d x %d region at (%lld, %lld) reaches outside the %d x %d "
                                     "picture",
                                     i + 1, count, record.width, record.height, static_cast<long long>(record.left),
                                     static_cast<long long>(record.top), info.header.width, info.header.height);
            return info;
        }
    }
    info.complete = true;
    return info;
}

} // namespace nubo
