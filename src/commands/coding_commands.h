#pragma once

#include "common/diagnostics.h"
#include "roi/quality_measure.h"
#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

class DocumentData;
class RegionSelection;

// The coding commands ("Test ROI", "Test ROI (only decode)", "Encode img to file", "Decode img from file",
// "Compare with ...") without any user interface. Each command is split where the desktop program puts its worker
// thread: the coding functions touch only what they are given and may run on a worker; the statistics are
// formatted afterwards from the numbers they return, with the timing measured by the caller around the wait.

// The system's own texts.
namespace text {
inline constexpr const char* kStatisticCaption = "Statistic";
inline constexpr const char* kComparisonCaption = "Comparison results:";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kFailureCaption = "Error!";
inline constexpr const char* kEncodingWait = "Encoding. Please Wait...";
inline constexpr const char* kDecodingWait = "Decoding. Please Wait...";
inline constexpr const char* kEncodingFailed = "Encoding failed.";
inline constexpr const char* kDecodingFailed = "Decoding failed.";
inline constexpr const char* kNotEncoded = "You haven't encode this image.";
inline constexpr const char* kOnlyOneImage = "Only one image is opened!";
inline constexpr const char* kSourceInvalid = "Source image is invalid!";
inline constexpr const char* kResultInvalid = "Result image is invalid!";
inline constexpr const char* kDifferentDimensions = "Images have different dimensions!";
inline constexpr const char* kDecodedTitle = "new %d";
} // namespace text

// Bits per pixel of a `bytes`-long stream for a width x height picture: bytes * 8.0 / (width * height); 0 for an
// empty picture.
double bitRate(std::uint64_t bytes, int width, int height);

// "Encoding time: %.3f seconds.\n\rResult bit rate: %.3f bpp."
std::string encodingStatistic(double seconds, std::uint64_t bytes, int width, int height);

// "Decoding time: %.3f seconds.\n\rResult MSE: %.3f .\n\rResult SNR: %.3f dB.". When nothing was measured (no
// pixel selected, or pictures of different sizes) the MSE and SNR lines give way to "Nothing was measured: "
// and the measure's reason, since 0 / 0 has no value to show.
std::string decodingStatistic(double seconds, const QualityMeasure& measure);

// "Result MSE: %.3f .\n\rResult SNR: %.3f dB.", or the "Nothing was measured: " line.
std::string comparisonStatistic(const QualityMeasure& measure);

// The warning for a record coded as little more than nothing, naming "region N" or "the background", its budget
// and the smallest workable budget: "Warning: region 2 is starved: its budget of 3 bytes per colour plane codes
// nothing but the mean; the smallest workable budget is 70 bytes (ratio 24 or less)." A "Wavelet (colour)"
// record's budget is "for its three colour planes together".
std::string starvedRecordWarning(const StarvedRecord& record);

// One warning per starved record of an encoding, in stream order; empty when every record was coded.
std::vector<std::string> starvedRecordWarnings(const EncodeReport& report);

// The statistic texts break their lines with "\n\r"; this gives them with plain "\n" line breaks.
std::string withPlainLineBreaks(std::string text);

// --- Encoding ("Test ROI" and "Encode img to file"), the worker's part ---

struct EncodedStream {
    std::string bytes;   // the complete .roi stream
    EncodeReport report; // the starved records
};

// Encodes the document into a new in-memory stream; the diagnostics of the wavelet coder go to `diagnostics`.
// The document is only read. A failure says why and leaves no partial stream behind.
StatusOr<EncodedStream> encodeDocument(const DocumentData& document, DiagnosticSink& diagnostics);

// --- Decoding ("Test ROI (only decode)" and "Decode img from file") ---

// Reads the header of a stream held in memory, for the region selection (record count - 1 regions).
StatusOr<StreamHeader> readStreamHeader(const std::string& stream);

// A .roi file read whole, with its header.
struct LoadedStream {
    std::string bytes;
    StreamHeader header;
};

// "Decode img from file" before the selection, and every other reader of a .roi file: reads the file whole and its
// header. Fails with a reason when the file cannot be read or its header is refused ("not a valid .roi stream:
// header: ...").
StatusOr<LoadedStream> loadStreamFile(const std::string& path);

// The worker's part: decodes the selected records of the stream into a new picture. Nothing else is touched.
DecodedPicture decodeDocument(const std::string& stream, const RegionSelection& selection);
DecodedPicture decodeDocument(std::istream& stream, const RegionSelection& selection);

// "Test ROI (only decode)", after the worker: the new document takes the decoded picture; the measure compares the
// current document's picture (source) with it over every pixel when the background was decoded, otherwise over
// the decoded regions. Then, unless the selection keeps outlines, the new document's regions are emptied, its
// labels hidden and its background marked present.
struct TestDecodeResult {
    QualityMeasure measure;
    std::string statistic; // decodingStatistic(seconds, measure)
};
TestDecodeResult finishTestDecode(const DocumentData& source, DocumentData& decoded, DecodedPicture&& picture,
                                  const RegionSelection& selection, double seconds);

// "Decode img from file", after the worker: the current document takes the decoded picture, then its regions
// are emptied and its labels hidden.
void finishFileDecode(DocumentData& document, DecodedPicture&& picture);

// --- "Compare with ..." ---

struct Comparison {
    QualityMeasure measure;
    std::string statistic; // comparisonStatistic(measure) (caption kComparisonCaption)
};

// Compares the current document's picture (source) with the chosen one's: over every pixel when the current
// document has no regions, otherwise over its regions' pixels. A failure's reason is one of the texts above
// (caption kErrorCaption).
StatusOr<Comparison> compareDocuments(const DocumentData& current, const DocumentData& chosen);

} // namespace nubo
