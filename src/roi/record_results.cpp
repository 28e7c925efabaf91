#include "roi/record_results.h"

#include "image/raster_image.h"
#include "regions/region_selection.h"
#include "regions/region_set.h"
#include "roi/roi_stream_info.h"

#include <sstream>

namespace nubo {

std::vector<RecordResult> recordResults(const std::string& stream, const RasterImage& source,
                                        const RasterImage& decoded, const RegionSelection& selection,
                                        const DecodeOutcome& outcome, bool backgroundDecoded)
{
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    const StreamInfo info = inspectRoiStream(in);
    PictureMetrics metrics;
    const bool comparable = metrics.compare(source, decoded).ok();
    const int width = source.width();
    const int height = source.height();

    // The background's own pixels: outside the rectangles of every region record.
    RegionSet regions;
    for (const RecordInfo& r : info.records) {
        if (!r.background)
            regions.add(Region(static_cast<int>(r.left), static_cast<int>(r.top),
                               static_cast<int>(r.left) + r.width - 1, static_cast<int>(r.top) + r.height - 1));
    }

    std::vector<RecordResult> results;
    for (const RecordInfo& r : info.records) {
        RecordResult result;
        result.record = r.number;
        result.background = r.background;
        result.kind = r.kind;
        result.left = r.left;
        result.top = r.top;
        result.width = r.width;
        result.height = r.height;
        result.bytes = r.payloadBytes;
        const bool reached = outcome.complete() || r.number < outcome.stoppedAt;
        result.decoded = reached && (r.background ? backgroundDecoded : selection.isSelected(r.number - 1));
        if (result.decoded && comparable) {
            result.metrics = r.background
                ? metrics.over(PixelSelection::outsideRegions(width, height, regions))
                : metrics.over(PixelSelection::rectangle(width, height, static_cast<int>(r.left),
                                                         static_cast<int>(r.top),
                                                         static_cast<int>(r.left) + r.width - 1,
                                                         static_cast<int>(r.top) + r.height - 1));
        } else {
            result.metrics.reason = result.decoded ? "the pictures cannot be compared" : "not decoded";
        }
        results.push_back(result);
    }
    return results;
}

} // namespace nubo
