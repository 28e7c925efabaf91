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

// Writes the document's complete .roi stream. The wavelet coder's diagnostics go to `diagnostics`, per plane in
// coding order. A document that checkEncodable refuses writes nothing; if a payload still fails (the output stream
// failed), the stream holds an incomplete encoding that the caller must discard.
EncodeOutcome encodeRoiStream(const DocumentData& document, std::ostream& out,
                              DiagnosticSink& diagnostics = standardOutputSink());

// The same into a new string.
EncodeOutcome encodeRoiStream(const DocumentData& document, std::string& stream,
                              DiagnosticSink& diagnostics = standardOutputSink());

} // namespace nubo
