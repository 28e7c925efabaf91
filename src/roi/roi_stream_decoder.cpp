#include "roi/roi_stream_decoder.h"

#include "common/diagnostics.h"
#include "common/limits.h"
#include "document/document_data.h"
#include "roi/region_coder.h"
#include "roi/stream_fields.h"

#include <algorithm>
#include <istream>
#include <sstream>

namespace nubo {

namespace {

bool fail(std::string* reason, std::string text)
{
    if (reason)
        *reason = std::move(text);
    return false;
}

long long asLong(std::int64_t value) { return static_cast<long long>(value); }

} // namespace

bool readStreamHeader(std::istream& in, StreamHeader& header, std::string* reason)
{
    static const char* const names[] = {"picture width", "picture height", "record count", "number of stages"};
    std::int64_t fields[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!readField(in, fields[i]))
            return fail(reason, formatText("header: the %s or its ';' is missing", names[i]));
    }
    const std::int64_t width = fields[0];
    const std::int64_t height = fields[1];
    const std::int64_t records = fields[2];
    const std::int64_t stages = fields[3];
    if (width < 1 || height < 1)
        return fail(reason, formatText("header: picture size %lld x %lld is not positive", asLong(width), asLong(height)));
    if (!imageSizeAllowed(width, height))
        return fail(reason, formatText("header: a %lld x %lld picture is beyond the limits (%d pixels a side, %lld "
                                       "pixels in all)",
                                       asLong(width), asLong(height), kMaxImageSide, asLong(kMaxImagePixels)));
    if (records < 1)
        return fail(reason, formatText("header: record count %lld is below 1", asLong(records)));
    if (records - 1 > kMaxRegionRecords || records - 1 > width * height)
        return fail(reason, formatText("header: %lld regions cannot be coded in a %lld x %lld picture (at most %lld)",
                                       asLong(records - 1), asLong(width), asLong(height),
                                       asLong(std::min(kMaxRegionRecords, width * height))));
    if (stages < kMinStages || stages > kMaxStages)
        return fail(reason, formatText("header: %lld wavelet stages are outside %d to %d", asLong(stages), kMinStages,
                                       kMaxStages));
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);
    header.recordCount = static_cast<int>(records);
    header.stages = static_cast<int>(stages);
    return true;
}

bool peekStreamHeader(std::istream& in, StreamHeader& header, std::string* reason)
{
    const std::istream::pos_type start = in.tellg();
    const bool ok = readStreamHeader(in, header, reason);
    in.clear();
    in.seekg(start);
    return ok;
}

DecodedPicture decodeRoiStream(std::istream& in, const RegionSelection& selection)
{
    DecodedPicture result;
    DecodeOutcome& outcome = result.outcome;
    StreamHeader header;
    std::string why;
    if (!readStreamHeader(in, header, &why)) {
        outcome.reason = why;
        return result;
    }
    outcome.headerRead = true;
    outcome.recordCount = header.recordCount;
    if (!result.image.allocate(header.width, header.height)) {
        outcome.reason = "cannot allocate the picture";
        return result;
    }
    result.image.fill(0);

    for (int i = 0; i < header.recordCount; ++i) {
        const auto stop = [&](const std::string& text) {
            outcome.stoppedAt = i + 1;
            outcome.reason = formatText("record %d of %d: ", i + 1, header.recordCount) + text;
        };
        std::int64_t left = 0;
        std::int64_t top = 0;
        std::int64_t kind = 0;
        if (!readField(in, left) || !readField(in, top) || !readField(in, kind)) {
            stop("its left, top or coder kind, or a ';' after them, is missing");
            return result;
        }
        const bool background = i == header.recordCount - 1;
        const bool selected = background ? selection.background() : selection.isSelected(i);
        if (!selected) {
            if (!skipRegion(in, kind, &why)) {
                stop(why);
                return result;
            }
            continue;
        }

        if (left < 0 || top < 0 || left >= header.width || top >= header.height) {
            stop(formatText("its corner (%lld, %lld) lies outside the %d x %d picture", asLong(left), asLong(top),
                            header.width, header.height));
            return result;
        }
        const int x = static_cast<int>(left);
        const int y = static_cast<int>(top);
        RasterImage region;
        if (!decodeRegion(region, in, kind, header.stages, {header.width - x, header.height - y}, &why)) {
            stop(formatText("at (%d, %d): ", x, y) + why);
            return result;
        }
        if (!result.image.paste(region, x, y)) {
            stop(formatText("a %d x %d region at (%d, %d) does not lie inside the picture", region.width(),
                            region.height(), x, y));
            return result;
        }
        if (background) {
            result.backgroundPresent = true;
        } else {
            result.regions.add(Region(x, y, x + region.width() - 1, y + region.height() - 1));
            result.regions.deselect();
        }
    }
    outcome.complete = true;
    return result;
}

DecodedPicture decodeRoiStream(const std::string& stream, const RegionSelection& selection)
{
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    return decodeRoiStream(in, selection);
}

void adoptDecodedPicture(DocumentData& document, DecodedPicture&& decoded)
{
    document.image() = std::move(decoded.image);
    RegionSet& regions = document.regions();
    regions.clear();
    for (int i = 0; i < decoded.regions.count(); ++i)
        regions.add(decoded.regions.at(i));
    regions.deselect();
    document.background().setBackgroundPresent(decoded.backgroundPresent);
    document.setDescriptionMode(DescriptionMode::Hidden);
}

DecodeOutcome decodeRoiStreamInto(std::istream& in, const RegionSelection& selection, DocumentData& document)
{
    DecodedPicture decoded = decodeRoiStream(in, selection);
    DecodeOutcome outcome = decoded.outcome;
    if (outcome.headerRead)
        adoptDecodedPicture(document, std::move(decoded));
    return outcome;
}

} // namespace nubo
