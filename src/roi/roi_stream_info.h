#pragma once

#include "roi/roi_stream_decoder.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace nubo {

// One record of a .roi stream as it stands, without decoding its pixels.
struct RecordInfo {
    int number = 0;          // 1-based position in the stream
    bool background = false; // the last record
    std::int64_t kind = 0;   // 1 "Wavelet", 2 "Arithmetic", 4 "Lossless (predictive)"
    std::int64_t left = 0;
    std::int64_t top = 0;
    int width = 0;  // from the payload: the lossless header, or the size recorded in the blue plane stream
    int height = 0;
    std::int64_t payloadBytes = 0; // from the end of the kind field to the end of the payload
};

struct StreamInfo {
    Status status; // a failure says where and why reading stopped
    bool headerRead = false;
    StreamHeader header;
    std::int64_t streamBytes = 0;
    std::vector<RecordInfo> records; // those read before any damage (a record outside the picture is listed)

    // The header and every record were read through.
    bool complete() const { return status.ok(); }
    const std::string& reason() const { return status.reason(); }
};

// Walks a stream's header and records, reading each payload's size but decoding nothing. It stops, as the decoder
// does, at a malformed record, a payload running past the end, or a record reaching outside the picture.
StreamInfo inspectRoiStream(std::istream& in);

} // namespace nubo
