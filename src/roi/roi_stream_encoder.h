#pragma once

#include "common/diagnostics.h"
#include "common/status.h"
#include "regions/region.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace nubo {

class DocumentData;
struct Region;

// A .roi stream: the header fields width, height, record count (regions + 1) and wavelet stages; one record per
// region in the region set's order; then the background record. A record is left, top (y from the top) and
// coder kind as fields, then that kind's payload. The background record is "0;0;K;" with K the background's wavelet
// kind (1, or 3 when the document chooses the colour wavelet coder) and a wavelet
// payload of the whole picture coded with the regions masked out.

// A "Wavelet" region at most this many pixels wide or high (both edge pixels counted) is too small for the wavelet
// coder and is coded losslessly instead; the region set keeps the user's choice.
inline constexpr int kSmallestWaveletSpan = 32;

// The kind a region is coded with: its own, except a small "Wavelet" region, which is coded losslessly with
// `smallRegionKind` ("Arithmetic" unless the document asks for "Lossless (predictive)").
CoderKind codedKind(const Region& region, CoderKind smallRegionKind = CoderKind::Arithmetic);

// A wavelet record whose budget was too small for the plane coder to code anything but the mean of at least one
// of its colour planes (every subband at precision 0, though a layer would have lowered the distortion). A
// "Wavelet (colour)" record shares one budget among its three planes and is starved when all three code only
// their means.
struct StarvedRecord {
    int record = 0;             // 1-based position in the stream; region N is record N
    bool background = false;    // the last record
    bool sharedBudget = false;  // "Wavelet (colour)": the budgets below are for the three planes together
    int width = 0;              // of the record's picture
    int height = 0;
    int ratio = 0;
    int budgetBytes = 0;        // per colour plane: width * height / ratio (shared: 3 * width * height / ratio)
    int workableBudgetBytes = 0; // the smallest such budget at which every starved plane codes a layer
};

// The largest ratio that gives the record its workable budget (width * height / ratio >= workable, three times
// that for a shared budget), or 0 when not even ratio 1 does.
int largestWorkableRatio(const StarvedRecord& record);

// What an encoding reports beside its bytes.
struct EncodeReport {
    std::vector<StarvedRecord> starved; // in stream order
};

// Whether the document can be encoded at all: a valid picture, stages and ratios in range, every region inside
// the picture and every lossless region within the lossless coder's limit. Nothing is written.
Status checkEncodable(const DocumentData& document);

// Writes the document's complete .roi stream. Every record is coded before the first byte is written, the planes of
// all records concurrently; the wavelet coder's diagnostics then go to `diagnostics` record by record, per plane in
// coding order (blue, red, green). Starved records are listed in the report; they are coded all the same. A
// document that checkEncodable refuses, or a record that cannot be coded, writes nothing; only a failing output
// stream can leave an incomplete encoding, which the caller must discard.
StatusOr<EncodeReport> encodeRoiStream(const DocumentData& document, std::ostream& out,
                                       DiagnosticSink& diagnostics = standardOutputSink());

// The same into a new string.
StatusOr<EncodeReport> encodeRoiStream(const DocumentData& document, std::string& stream,
                                       DiagnosticSink& diagnostics = standardOutputSink());

} // namespace nubo
