#include "roi/roi_stream_encoder.h"

#include "common/limits.h"
#include "document/document_data.h"
#include "roi/region_coder.h"
#include "roi/stream_fields.h"

#include <ostream>
#include <sstream>

namespace nubo {

namespace {

EncodeOutcome failure(std::string reason) { return {false, std::move(reason)}; }

std::string describe(int number, const Region& region)
{
    return formatText("region %d (%d,%d)-(%d,%d)", number, region.left, region.top, region.right, region.bottom);
}

} // namespace

CoderKind codedKind(const Region& region)
{
    // right - left < 32 means a width of at most 32 pixels.
    if (region.coderKind == CoderKind::Wavelet
        && (region.right - region.left < kSmallestWaveletSpan || region.bottom - region.top < kSmallestWaveletSpan))
        return CoderKind::Arithmetic;
    return region.coderKind;
}

EncodeOutcome checkEncodable(const DocumentData& document)
{
    const RasterImage& image = document.image();
    if (!image.isValid())
        return failure("there is no picture to encode");
    const int stages = document.waveletStages();
    if (stages < kMinStages || stages > kMaxStages)
        return failure(formatText("%d wavelet stages are outside %d to %d", stages, kMinStages, kMaxStages));
    const int backgroundRatio = document.background().ratio();
    if (backgroundRatio < kMinRatio || backgroundRatio > kMaxRatio)
        return failure(formatText("background ratio %d is outside %d to %d", backgroundRatio, kMinRatio, kMaxRatio));

    const RegionSet& regions = document.regions();
    for (int i = 0; i < regions.count(); ++i) {
        const Region& region = regions.at(i);
        const std::string name = describe(i + 1, region);
        if (region.left < 0 || region.top < 0 || region.left > region.right || region.top > region.bottom
            || region.right >= image.width() || region.bottom >= image.height())
            return failure(name + formatText(" does not lie inside the %d x %d picture", image.width(), image.height()));
        const CoderKind kind = codedKind(region);
        if (kind == CoderKind::Wavelet && (region.ratio < kMinRatio || region.ratio > kMaxRatio))
            return failure(name + formatText(": ratio %d is outside %d to %d", region.ratio, kMinRatio, kMaxRatio));
        if (kind != CoderKind::Wavelet && kind != CoderKind::Arithmetic)
            return failure(name + formatText(": coder kind %d has no coder", static_cast<int>(kind)));
        if (kind == CoderKind::Arithmetic && !fitsLosslessCoder(region.width(), region.height()))
            return failure(name + formatText(" is too large for lossless coding: %d x %d pixels make %lld bytes, "
                                             "at most %lld fit",
                                             region.width(), region.height(),
                                             static_cast<long long>(region.width()) * region.height() * 3,
                                             static_cast<long long>(kMaxLosslessRegionBytes)));
    }
    return {true, {}};
}

EncodeOutcome encodeRoiStream(const DocumentData& document, std::ostream& out, DiagnosticSink& diagnostics)
{
    EncodeOutcome check = checkEncodable(document);
    if (!check.ok)
        return check;

    const RasterImage& image = document.image();
    const RegionSet& regions = document.regions();
    const int stages = document.waveletStages();
    writeField(out, image.width());
    writeField(out, image.height());
    writeField(out, regions.count() + 1);
    writeField(out, stages);

    std::string reason;
    for (int i = 0; i < regions.count(); ++i) {
        const Region& region = regions.at(i);
        const CoderKind kind = codedKind(region);
        writeField(out, region.left);
        writeField(out, region.top);
        writeField(out, static_cast<std::int64_t>(kind));
        RasterImage cropped;
        if (!image.crop(cropped, region.left, region.top, region.right, region.bottom))
            return failure(describe(i + 1, region) + ": cannot be cut out of the picture");
        if (!encodeRegion(cropped, out, region.ratio, kind, stages, nullptr, diagnostics, &reason))
            return failure(describe(i + 1, region) + ": " + reason);
    }

    writeField(out, 0);
    writeField(out, 0);
    writeField(out, static_cast<std::int64_t>(CoderKind::Wavelet));
    if (!encodeRegion(image, out, document.background().ratio(), CoderKind::Wavelet, stages, &regions, diagnostics,
                      &reason))
        return failure("background: " + reason);
    if (!out.good())
        return failure("cannot write the stream");
    return {true, {}};
}

EncodeOutcome encodeRoiStream(const DocumentData& document, std::string& stream, DiagnosticSink& diagnostics)
{
    std::ostringstream out(std::ios::out | std::ios::binary);
    EncodeOutcome outcome = encodeRoiStream(document, out, diagnostics);
    stream = std::move(out).str();
    return outcome;
}

} // namespace nubo
