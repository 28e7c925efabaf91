#pragma once

#include "common/diagnostics.h"
#include "regions/region.h"

#include <iosfwd>
#include <string>

namespace nubo {

class DocumentData;
struct Region;

// A .roi stream: the header fields width, height, record count (regions + 1) and wavelet stages; one record per
// region in the region set's order; then the background record. A record is left, top (y from the top) and
// coder kind as fields, then that kind's payload. The background record is always "0;0;1;" and a wavelet
// payload of the whole picture coded with the regions masked out.

// A "Wavelet" region at most this many pixels wide or high (both edge pixels counted) is too small for the wavelet
// coder and is coded losslessly instead; the region set keeps the user's choice.
inline constexpr int kSmallestWaveletSpan = 32;

// The kind a region is coded with: its own, except a small "Wavelet" region, which is coded losslessly.
CoderKind codedKind(const Region& region);

struct EncodeOutcome {
    bool ok = false;
    std::string reason; // one line, when !ok
};

// Whether the document can be encoded at all: a valid picture, stages and ratios in range, every region inside
// the picture and every lossless region within the lossless coder's limit. Nothing is written.
EncodeOutcome checkEncodable(const DocumentData& document);

// Writes the document's complete .roi stream. Every record is coded before the first byte is written, the planes of
// all records concurrently; the wavelet coder's diagnostics then go to `diagnostics` record by record, per plane in
// coding order (blue, red, green). A document that checkEncodable refuses, or a record that cannot be coded, writes
// nothing; only a failing output stream can leave an incomplete encoding, which the caller must discard.
EncodeOutcome encodeRoiStream(const DocumentData& document, std::ostream& out,
                              DiagnosticSink& diagnostics = standardOutputSink());

// The same into a new string.
EncodeOutcome encodeRoiStream(const DocumentData& document, std::string& stream,
                              DiagnosticSink& diagnostics = standardOutputSink());

} // namespace nubo
