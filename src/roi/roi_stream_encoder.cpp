#include "roi/roi_stream_encoder.h"

#include "common/limits.h"
#include "document/document_data.h"
#include "roi/colour_region_coder.h"
#include "roi/lossless_region_coder.h"
#include "roi/predictive_region_coder.h"
#include "roi/region_coder.h"
#include "roi/stream_fields.h"
#include "roi/task_pool.h"
#include "roi/wavelet_region_coder.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <vector>

namespace nubo {

namespace {

std::string describe(int number, const Region& region)
{
    return formatText("region %d (%d,%d)-(%d,%d)", number, region.left, region.top, region.right, region.bottom);
}

} // namespace

CoderKind codedKind(const Region& region, CoderKind smallRegionKind)
{
    // right - left < 32 means a width of at most 32 pixels.
    if ((region.coderKind == CoderKind::Wavelet || region.coderKind == CoderKind::WaveletColour)
        && (region.right - region.left < kSmallestWaveletSpan || region.bottom - region.top < kSmallestWaveletSpan))
        return smallRegionKind == CoderKind::Predictive ? CoderKind::Predictive : CoderKind::Arithmetic;
    return region.coderKind;
}

Status checkEncodable(const DocumentData& document)
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
        const CoderKind kind = codedKind(region, document.smallRegionKind());
        if ((kind == CoderKind::Wavelet || kind == CoderKind::WaveletColour)
            && (region.ratio < kMinRatio || region.ratio > kMaxRatio))
            return failure(name + formatText(": ratio %d is outside %d to %d", region.ratio, kMinRatio, kMaxRatio));
        if (kind != CoderKind::Wavelet && kind != CoderKind::WaveletColour
            && !isLosslessKind(static_cast<std::int64_t>(kind)))
            return failure(name + formatText(": coder kind %d has no coder", static_cast<int>(kind)));
        if (kind == CoderKind::Arithmetic && !fitsLosslessCoder(region.width(), region.height()))
            return failure(name + formatText(" is too large for lossless coding: %d x %d pixels make %lld bytes, "
                                             "at most %lld fit",
                                             region.width(), region.height(),
                                             static_cast<long long>(region.width()) * region.height() * 3,
                                             static_cast<long long>(kMaxLosslessRegionBytes)));
    }
    return {};
}

namespace {

// One record's coding: its picture (a cropped region, or the whole picture for the background), its kind and
// ratio, and what coding it produced.
struct RecordJob {
    int left = 0;
    int top = 0;
    CoderKind kind = CoderKind::Wavelet;
    int ratio = 1;
    const RegionSet* mask = nullptr;
    RasterImage cropped;
    const RasterImage* image = &cropped;
    std::string label;
    int record = 0; // 1-based

    // Wavelet: the planes prepared, then their codings, and the diagnostics, in coding order blue, red, green.
    PreparedPlane prepared[3];
    EncodedPlane planes[3];
    bool coded[3] = {}; // coded right after its preparation
    StringSink sinks[3];
    // Lossless kinds and colour wavelet: the whole payload (the colour coder's diagnostics in sinks[0]).
    std::string payload;
    Status lossless;
    int colourWorkableBytes = 0; // colour wavelet: the workable budget when starved, else 0
};

constexpr ColourPlane kCodingOrder[3] = {ColourPlane::Blue, ColourPlane::Red, ColourPlane::Green};

// Every wavelet plane is prepared first (transform, pricing, allocation: work the team shares in pieces), one
// worker per core; its coding pass, the one serial part, follows. A few passes run at once on the worker that
// prepared their plane, as many as leave the others a multiple of the cores: those overlap the remaining
// preparations, and the rest start together after them as tasks beside the other records', so that the cores
// stay busy to the end instead of one plane coding alone (three planes on two cores: one early, two after). In
// each step the largest go first. Tasks write only their own job's fields, so the bytes never depend on the
// schedule.
void codeAllRecords(std::vector<std::unique_ptr<RecordJob>>& jobs, int stages)
{
    std::size_t planes = 0;
    for (const std::unique_ptr<RecordJob>& job : jobs)
        planes += job->kind == CoderKind::Wavelet ? 3 : 0;
    const std::size_t serialTasks = planes + (jobs.size() - planes / 3);
    const unsigned cores = defaultWorkerCount();
    const std::size_t early = std::min(planes, serialTasks % cores);
    std::atomic<std::size_t> started{0};

    std::vector<SizedTask> preparations;
    for (const std::unique_ptr<RecordJob>& owned : jobs) {
        RecordJob* job = owned.get();
        if (job->kind != CoderKind::Wavelet)
            continue;
        const std::int64_t pixels = static_cast<std::int64_t>(job->image->width()) * job->image->height();
        for (int i = 0; i < 3; ++i) {
            preparations.push_back({pixels, [job, i, stages, early, &started] {
                                        job->prepared[i] = prepareColourPlane(*job->image, kCodingOrder[i],
                                                                              job->ratio, stages, job->mask);
                                        if (started.fetch_add(1) < early) {
                                            job->planes[i] = codePreparedPlane(std::move(job->prepared[i]),
                                                                               job->sinks[i]);
                                            job->coded[i] = true;
                                        }
                                    }});
        }
    }
    runLargestFirst(std::move(preparations), cores);

    std::vector<SizedTask> tasks;
    for (const std::unique_ptr<RecordJob>& owned : jobs) {
        RecordJob* job = owned.get();
        const std::int64_t pixels = static_cast<std::int64_t>(job->image->width()) * job->image->height();
        if (job->kind == CoderKind::Wavelet) {
            for (int i = 0; i < 3; ++i) {
                if (job->coded[i])
                    continue;
                tasks.push_back({pixels, [job, i] {
                                     job->planes[i] = codePreparedPlane(std::move(job->prepared[i]), job->sinks[i]);
                                 }});
            }
        } else if (job->kind == CoderKind::WaveletColour) {
            tasks.push_back({pixels, [job, stages] {
                                 job->lossless = encodeColourRegion(*job->image, job->payload, job->ratio, stages,
                                                                    job->mask, job->sinks[0],
                                                                    &job->colourWorkableBytes);
                             }});
        } else {
            tasks.push_back({pixels, [job] {
                                 std::ostringstream out(std::ios::out | std::ios::binary);
                                 job->lossless = job->kind == CoderKind::Predictive
                                     ? encodePredictiveRegion(*job->image, out)
                                     : encodeLosslessRegion(*job->image, out);
                                 job->payload = std::move(out).str();
                             }});
        }
    }
    runLargestFirst(std::move(tasks));
}

// The record as a starved one, when one of its planes was starved (a colour record: when all three were).
bool starvedRecord(const RecordJob& job, StarvedRecord& starved)
{
    starved = {};
    if (job.kind == CoderKind::Wavelet) {
        for (const EncodedPlane& plane : job.planes) {
            if (!plane.starved)
                continue;
            starved.budgetBytes = plane.budgetBytes;
            starved.workableBudgetBytes = std::max(starved.workableBudgetBytes, plane.workableBudgetBytes);
        }
    } else if (job.kind == CoderKind::WaveletColour) {
        starved.sharedBudget = true;
        starved.budgetBytes = colourBudgetBytes(job.image->width(), job.image->height(), job.ratio);
        starved.workableBudgetBytes = job.colourWorkableBytes;
    }
    if (starved.workableBudgetBytes == 0)
        return false;
    starved.record = job.record;
    starved.background = job.mask != nullptr;
    starved.width = job.image->width();
    starved.height = job.image->height();
    starved.ratio = job.ratio;
    return true;
}

} // namespace

int largestWorkableRatio(const StarvedRecord& record)
{
    if (record.workableBudgetBytes < 1)
        return 0;
    const std::int64_t samples = static_cast<std::int64_t>(record.width) * record.height * (record.sharedBudget ? 3 : 1);
    return static_cast<int>(std::min<std::int64_t>(samples / record.workableBudgetBytes, kMaxRatio));
}

StatusOr<EncodeReport> encodeRoiStream(const DocumentData& document, std::ostream& out, DiagnosticSink& diagnostics)
{
    NUBO_RETURN_IF_ERROR(checkEncodable(document));

    const RasterImage& image = document.image();
    const RegionSet& regions = document.regions();
    const int stages = document.waveletStages();

    std::vector<std::unique_ptr<RecordJob>> jobs;
    for (int i = 0; i < regions.count(); ++i) {
        const Region& region = regions.at(i);
        auto job = std::make_unique<RecordJob>();
        job->left = region.left;
        job->top = region.top;
        job->kind = codedKind(region, document.smallRegionKind());
        job->ratio = region.ratio;
        job->label = describe(i + 1, region);
        job->record = i + 1;
        if (!image.crop(job->cropped, region.left, region.top, region.right, region.bottom))
            return failure(job->label + ": cannot be cut out of the picture");
        jobs.push_back(std::move(job));
    }
    auto background = std::make_unique<RecordJob>();
    background->ratio = document.background().ratio();
    background->kind = document.background().coderKind();
    background->mask = &regions;
    background->image = &image;
    background->label = "background";
    background->record = regions.count() + 1;
    jobs.push_back(std::move(background));

    codeAllRecords(jobs, stages);

    // Everything is coded before the first byte is written, so a failure leaves the output untouched.
    for (const std::unique_ptr<RecordJob>& job : jobs) {
        for (const StringSink& sink : job->sinks) {
            const std::string text = sink.text();
            if (!text.empty())
                diagnostics.write(text);
        }
    }
    for (const std::unique_ptr<RecordJob>& job : jobs) {
        for (const EncodedPlane& plane : job->planes) {
            if (job->kind == CoderKind::Wavelet && !plane.status)
                return plane.status.withContext(job->label + ": the wavelet coder refused a plane");
        }
        NUBO_RETURN_IF_ERROR(job->lossless.withContext(job->label));
    }

    writeField(out, image.width());
    writeField(out, image.height());
    writeField(out, regions.count() + 1);
    writeField(out, stages);
    for (const std::unique_ptr<RecordJob>& job : jobs) {
        writeField(out, job->left);
        writeField(out, job->top);
        writeField(out, static_cast<std::int64_t>(job->kind));
        if (job->kind == CoderKind::Wavelet) {
            NUBO_RETURN_IF_ERROR(
                writeWaveletPayload(out, job->planes[1].stream, job->planes[2].stream, job->planes[0].stream)
                    .withContext(job->label));
        } else {
            out.write(job->payload.data(), static_cast<std::streamsize>(job->payload.size()));
        }
    }
    if (!out.good())
        return failure("cannot write the stream");
    EncodeReport report;
    for (const std::unique_ptr<RecordJob>& job : jobs) {
        StarvedRecord starved;
        if (starvedRecord(*job, starved))
            report.starved.push_back(starved);
    }
    return report;
}

StatusOr<EncodeReport> encodeRoiStream(const DocumentData& document, std::string& stream, DiagnosticSink& diagnostics)
{
    std::ostringstream out(std::ios::out | std::ios::binary);
    StatusOr<EncodeReport> outcome = encodeRoiStream(document, out, diagnostics);
    stream = std::move(out).str();
    return outcome;
}

} // namespace nubo
