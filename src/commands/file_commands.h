#pragma once

#include "commands/coding_commands.h"
#include "commands/rate_sweep.h"
#include "commands/region_choice.h"
#include "common/status.h"
#include "regions/region.h"
#include "roi/picture_metrics.h"
#include "roi/record_results.h"
#include "roi/roi_stream_info.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

// The coding commands over files, as nubo-cli runs them: each call reads its inputs, codes, writes its outputs
// and measures, and returns the figures a front end prints. A failure's reason names the file it concerns
// ("in.bmp: not a 24-bit bitmap: 8 bits per pixel"); a request that does not fit its input (a region outside
// the picture, a region number the stream lacks) fails as a bad argument.

// A failure concerning `file`: "FILE: reason", without naming the file twice when the reason already does.
Status fileFailure(const std::string& file, const std::string& reason);

// What a command tells its front end while it runs, in the order it happens.
class CommandObserver {
public:
    virtual ~CommandObserver() = default;
    // A picture was read with a change on the way in ("the alpha channel was dropped").
    virtual void pictureWarning(const std::string& path, const std::string& warning);
    // The inputs were read and accepted; the coding starts.
    virtual void inputsAccepted();
    // Coding work with a wait text ("Encoding. Please Wait...") begins, and ends.
    virtual void waitBegins(const std::string& text);
    virtual void waitEnds();
};

// The picture file and the coding choices the document is made of.
struct PictureRequest {
    std::string picture;
    std::vector<Region> regions; // in stream order
    int backgroundRatio = 1;
    CoderKind backgroundCoder = CoderKind::Wavelet;
    int stages = 5;
    CoderKind smallRegionKind = CoderKind::Arithmetic;
};

// The wavelet coder's report: written to a file, kept for the caller, or neither.
struct ReportRequest {
    std::string file; // written atomically when not empty
    bool keep = false;
};

// The figures of an encoding both encode and test print.
struct EncodingFigures {
    int width = 0;
    int height = 0;
    int regionCount = 0;
    std::uint64_t bytes = 0;
    double seconds = 0.0;
    std::vector<std::string> pictureWarnings; // "FILE: warning", one per change made reading the picture
    std::vector<std::string> codingWarnings;  // starvedRecordWarnings(), in stream order
    std::string report;                       // the wavelet coder's report, when kept
};

// --- encode: picture file -> .roi file ---

struct EncodeFileRequest {
    PictureRequest document;
    std::string output;
    ReportRequest report;
};

struct EncodeFileResult {
    EncodingFigures encoding;
};

StatusOr<EncodeFileResult> encodePictureFile(const EncodeFileRequest& request, CommandObserver& observer);

// --- decode: .roi file -> picture file ---

struct DecodeFileRequest {
    std::string input;
    std::string output;
    RegionChoice choice;
    bool background = true;
};

struct DecodeFileResult {
    StreamHeader header;
    std::vector<int> decodedNumbers; // region numbers (from 1) whose records were decoded
    std::vector<Region> decodedRegions; // their decoded rectangles, in the same order
    bool backgroundPresent = false;
    double seconds = 0.0;
    DecodeOutcome outcome; // the picture written holds what decoded before any damage
};

StatusOr<DecodeFileResult> decodeStreamFile(const DecodeFileRequest& request, CommandObserver& observer);

// --- test: picture file -> in-memory stream -> decoded picture, measured ---

struct TestFileRequest {
    PictureRequest document;
    RegionChoice choice;
    bool background = true;
    std::string output;     // the decoded picture, when not empty
    std::string saveStream; // the encoded stream, when not empty
    ReportRequest report;
};

struct TestFileResult {
    EncodingFigures encoding;
    double decodeSeconds = 0.0;
    DecodeOutcome outcome;
    QualityMeasure measure;  // over every pixel when the background was decoded, else over the decoded regions
    StandardMetrics metrics; // over the same pixels
    std::vector<RecordResult> records;
};

StatusOr<TestFileResult> testPictureFile(const TestFileRequest& request, CommandObserver& observer);

// --- compare: two picture files ---

struct CompareFilesRequest {
    PictureRequest document; // the source picture, with the regions measured over
    std::string result;      // the picture compared with it
};

struct CompareFilesResult {
    int width = 0;
    int height = 0;
    Comparison comparison;
    StandardMetrics metrics;
};

StatusOr<CompareFilesResult> comparePictureFiles(const CompareFilesRequest& request, CommandObserver& observer);

// --- info: a .roi file's header and records, nothing decoded ---

struct StreamFileInfo {
    std::uint64_t bytes = 0;
    StreamInfo info; // may stop at damage; the header was read
};

StatusOr<StreamFileInfo> inspectStreamFile(const std::string& input);

// --- sweep: the picture file at each ratio ---

// The points go to `progress` as they are measured (see SweepProgress).
StatusOr<SweepResult> sweepPictureFile(const PictureRequest& request, const std::vector<int>& ratios,
                                       SweepVary vary, CommandObserver& observer, const SweepProgress& progress);

} // namespace nubo
