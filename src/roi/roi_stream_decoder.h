#pragma once

#include "image/raster_image.h"
#include "regions/region_selection.h"
#include "regions/region_set.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace nubo {

class DocumentData;

// Most region records a stream may announce. A document's regions are drawn by hand and never overlap, so a
// picture holds at most one region per pixel; beyond that and beyond this bound a record count can only be damage.
// The bound also caps what a caller allocates for a selection of the stream's regions.
inline constexpr std::int64_t kMaxRegionRecords = 65536;

// The four header fields of a .roi stream.
struct StreamHeader {
    int width = 0;
    int height = 0;
    int recordCount = 0; // regions + 1 (the background)
    int stages = 0;

    int regionCount() const { return recordCount - 1; }
};

// Reads and checks the header at the read position, leaving the position after it. The character after each
// number is its separator and is not checked. Refused with a reason: a missing number or separator character, a
// picture size outside the limits (common/limits.h), a record count below 1 or with more regions than the picture
// has pixels or than kMaxRegionRecords, stages outside kMinStages ... kMaxStages.
Status readStreamHeader(std::istream& in, StreamHeader& header);

// As readStreamHeader, then returns the read position to where it was.
Status peekStreamHeader(std::istream& in, StreamHeader& header);

// How far a decode got. complete() only when the header was good, every record was read through and every
// selected record was decoded; otherwise `reason` says where and why it stopped ("record 3 of 5: ...").
struct DecodeOutcome {
    Status status; // a failure says where and why decoding stopped
    bool headerRead = false;
    int recordCount = 0;
    int stoppedAt = 0; // 1-based record at which decoding stopped; 0 when complete or the header was refused

    bool complete() const { return status.ok(); }
    const std::string& reason() const { return status.reason(); }
};

// What a stream decodes to: the picture, the regions that were decoded (in stream order, with their decoded
// sizes, ratio 1, kind "Wavelet", none selected) and whether the background was decoded.
struct DecodedPicture {
    RasterImage image;
    RegionSet regions;
    bool backgroundPresent = false;
    CoderKind backgroundKind = CoderKind::Wavelet; // the background record's kind, when it was decoded
    DecodeOutcome outcome;
};

// Decodes the records that `selection` asks for (region i by stream position, and the background) into a black
// picture of the header's size: regions first, each filling only pixels that no earlier decoded record covered
// (black ones included), so the first region covering a pixel wins; the background last, filling whatever no
// decoded region covered. Pixels no decoded record covers stay black. Decoding stops at the first damaged record
// and keeps what it decoded before it. A record whose rectangle does not lie inside the picture is damage.
DecodedPicture decodeRoiStream(std::istream& in, const RegionSelection& selection);
DecodedPicture decodeRoiStream(const std::string& stream, const RegionSelection& selection);

// Decodes into a document in place: its picture and region set are replaced, backgroundPresent is set when the
// background was decoded, the background's coder then follows the stream's, and labels are hidden. A refused header leaves the document unchanged.
DecodeOutcome decodeRoiStreamInto(std::istream& in, const RegionSelection& selection, DocumentData& document);

// Moves a decoded picture into a document, as decodeRoiStreamInto does at its end.
void adoptDecodedPicture(DocumentData& document, DecodedPicture&& decoded);

} // namespace nubo
