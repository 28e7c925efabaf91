#pragma once

#include "roi/picture_metrics.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

class RasterImage;
class RegionSelection;
struct DecodeOutcome;

// One record of a coded stream with what it cost and how well its pixels came back.
struct RecordResult {
    int record = 0;          // 1-based position in the stream
    bool background = false; // the last record
    std::int64_t kind = 0;   // coder kind as stored
    std::int64_t left = 0;
    std::int64_t top = 0;
    int width = 0;
    int height = 0;
    std::int64_t bytes = 0; // payload bytes
    bool decoded = false;   // the selection asked for it and decoding reached it
    StandardMetrics metrics; // over its own pixels, against the source; not measured when !decoded
};

// The records of `stream` in stream order, each measured over its own pixels in the decoded picture: a region over
// its rectangle, the background over the pixels outside every region of the stream. `selection` and `outcome` are
// those of the decoding that made `decoded`; `backgroundDecoded` says whether it decoded the background.
std::vector<RecordResult> recordResults(const std::string& stream, const RasterImage& source,
                                        const RasterImage& decoded, const RegionSelection& selection,
                                        const DecodeOutcome& outcome, bool backgroundDecoded);

} // namespace nubo
