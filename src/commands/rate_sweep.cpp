#include "commands/rate_sweep.h"

#include "commands/coding_commands.h"
#include "commands/timed_run.h"
#include "document/document_data.h"
#include "regions/background_settings.h"

#include <cmath>

namespace nubo {

namespace {

// A private copy of the document's coding inputs, whose ratios the sweep changes.
void copyCodingInputs(const DocumentData& from, DocumentData& to)
{
    to.image() = from.image();
    for (int i = 0; i < from.regions().count(); ++i)
        to.regions().add(from.regions().at(i));
    to.regions().deselect();
    to.background().setRatio(from.background().ratio());
    to.setWaveletStages(from.waveletStages());
    to.setSmallRegionKind(from.smallRegionKind());
}

void applyRatio(DocumentData& document, int ratio, SweepVary vary)
{
    if (vary != SweepVary::Regions)
        document.background().setRatio(ratio);
    if (vary == SweepVary::Background)
        return;
    for (int i = 0; i < document.regions().count(); ++i) {
        Region& region = document.regions().at(i);
        if (region.coderKind == CoderKind::Wavelet)
            region.ratio = ratio;
    }
}

} // namespace

std::vector<int> spreadRatios(int from, int to, int count)
{
    std::vector<int> ratios;
    if (count < 1 || from < 1 || to < 1)
        return ratios;
    const double step = count == 1 ? 0.0 : std::log(static_cast<double>(to) / from) / (count - 1);
    for (int i = 0; i < count; ++i) {
        const int ratio = i > 0 && i == count - 1 ? to : static_cast<int>(std::lround(from * std::exp(step * i)));
        if (ratios.empty() || ratios.back() != ratio)
            ratios.push_back(ratio);
    }
    return ratios;
}

const char* sweepVaryName(SweepVary vary)
{
    switch (vary) {
    case SweepVary::Background: return "background";
    case SweepVary::Regions: return "regions";
    case SweepVary::All: return "all";
    }
    return "";
}

StatusOr<SweepResult> runRateSweep(const DocumentData& document, const std::vector<int>& ratios, SweepVary vary,
                                   const SweepProgress& progress)
{
    if (!document.image().isValid())
        return failure("the picture has no pixels");
    if (ratios.empty())
        return failure("no ratios to sweep");
    for (int ratio : ratios) {
        if (ratio < kMinRatio || ratio > kMaxRatio)
            return failure("ratio " + std::to_string(ratio) + " is outside " + std::to_string(kMinRatio) + " to "
                           + std::to_string(kMaxRatio));
    }

    DocumentData working;
    copyCodingInputs(document, working);
    const RasterImage& source = working.image();
    const int width = source.width();
    const int height = source.height();
    const PixelSelection inside = PixelSelection::insideRegions(width, height, working.regions());
    const PixelSelection outside = PixelSelection::outsideRegions(width, height, working.regions());
    const int total = static_cast<int>(ratios.size());
    const int regionCount = working.regions().count();

    SweepResult result;
    for (int index = 0; index < total; ++index) {
        if (progress && !progress(index, total, nullptr)) {
            result.cancelled = true;
            break;
        }
        SweepPoint point;
        point.ratio = ratios[static_cast<std::size_t>(index)];
        applyRatio(working, point.ratio, vary);

        StatusOr<EncodedStream> encoded = failure("not encoded");
        point.encodeSeconds = secondsToRun([&] { encoded = encodeDocument(working, discardSink()); });
        if (!encoded)
            return encoded.status().withContext("cannot encode at ratio " + std::to_string(point.ratio));
        point.bytes = encoded->bytes.size();
        point.bitsPerPixel = bitRate(point.bytes, width, height);

        RegionSelection everything;
        everything.initRegions(regionCount);
        for (int i = 0; i < regionCount; ++i)
            everything.select(i);
        everything.setBackground(true);
        DecodedPicture decoded;
        point.decodeSeconds = secondsToRun([&] { decoded = decodeDocument(encoded->bytes, everything); });
        if (!decoded.outcome.complete())
            return failure("the stream made at ratio " + std::to_string(point.ratio)
                           + " did not decode: " + decoded.outcome.reason());

        PictureMetrics metrics;
        if (const Status compared = metrics.compare(source, decoded.image); !compared)
            return compared.withContext("cannot measure ratio " + std::to_string(point.ratio));
        point.whole = metrics.overWhole();
        point.regions = metrics.over(inside);
        point.background = metrics.over(outside);
        result.points.push_back(point);
        if (progress && !progress(index + 1, total, &result.points.back())) {
            result.cancelled = index + 1 < total;
            break;
        }
    }
    return result;
}

} // namespace nubo
