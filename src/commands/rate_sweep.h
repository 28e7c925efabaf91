#pragma once

#include "common/status.h"
#include "roi/picture_metrics.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace nubo {

class DocumentData;

// Which ratios a rate sweep changes: the background's (the regions keep theirs), every wavelet region's (the
// background keeps its ratio), or both. Lossless regions stay lossless in every mode.
enum class SweepVary { Background, Regions, All };

// One ratio of a sweep: the stream it made and how well it decoded.
struct SweepPoint {
    int ratio = 0;
    std::uint64_t bytes = 0; // the whole .roi stream, as "Encode img to file" writes it at this ratio
    double bitsPerPixel = 0.0;
    StandardMetrics whole;      // every pixel
    StandardMetrics regions;    // the pixels inside the regions (not measured without regions)
    StandardMetrics background; // the pixels outside every region
    double encodeSeconds = 0.0;
    double decodeSeconds = 0.0;
};

struct SweepResult {
    std::vector<SweepPoint> points; // in the order of the ratios given
    bool cancelled = false;         // the progress callback stopped the sweep; points holds what was finished
};

// Called before each ratio with point == nullptr and `finished` ratios done, and after it with the point just
// measured (finished counting it). Returning false stops the sweep: before a ratio, it is not coded; after one,
// no further ratio is. It runs on the sweep's thread.
using SweepProgress = std::function<bool(int finished, int total, const SweepPoint* point)>;

// Encodes the document at each ratio (see SweepVary), decodes every record of each stream and measures the result
// against the document's picture. The document is only read, so the same document may be swept while shown.
// Fails with a reason for a picture without pixels, a ratio outside 1 to 500, no ratios, or an encoding failure.
StatusOr<SweepResult> runRateSweep(const DocumentData& document, const std::vector<int>& ratios, SweepVary vary,
                                   const SweepProgress& progress = {});

// `count` ratios from `from` to `to`, both included, spaced evenly on a logarithmic scale (the bit rate falls
// roughly as 1 / ratio, so the points spread over the whole rate range), rounded, each ratio once. Either end may
// be the larger; count 1 gives `from` alone, count below 1 nothing.
std::vector<int> spreadRatios(int from, int to, int count);

// "background", "regions", "all".
const char* sweepVaryName(SweepVary vary);

} // namespace nubo
