#include "roi/roi_stream_encoder.h"

#include "common/limits.h"
#include "document/document_data.h"
#include "roi/lossless_region_coder.h"
#include "roi/region_coder.h"
#include "roi/stream_fields.h"
#include "roi/task_pool.h"
#include "roi/wavelet_region_coder.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>
#include <vector>

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

    // Wavelet: the plane streams and diagnostics in coding order blue, red, green.
    std::string planes[3];
    StringSink sinks[3];
    // Arithmetic: the whole payload.
    std::string payload;
    bool ok = true;
    std::string reason;
};

constexpr ColourPlane kCodingOrder[3] = {ColourPlane::Blue, ColourPlane::Red, ColourPlane::Green};

// Every plane of every wavelet record and every lossless record is one task; the largest go first, so the cores
// stay busy to the end. Tasks write only their own job's fields, so the bytes never depend on the schedule.
void codeAllRecords(std::vector<std::unique_ptr<RecordJob>>& jobs, int stages)
{
    struct Task {
        std::int64_t pixels;
        std::function<void()> run;
    };
    std::vector<Task> tasks;
    for (const std::unique_ptr<RecordJob>& owned : jobs) {
        RecordJob* job = owned.get();
        const std::int64_t pixels = static_cast<std::int64_t>(job->image->width()) * job->image->height();
        if (job->kind == CoderKind::Wavelet) {
            for (int i = 0; i < 3; ++i) {
                tasks.push_back({pixels, [job, i, stages] {
                                     job->planes[i] = encodeColourPlane(*job->image, kCodingOrder[i], job->ratio,
                                                                        stages, job->mask, job->sinks[i]);
                                 }});
            }
        } else {
            tasks.push_back({pixels, [job] {
                                 std::ostringstream out(std::ios::out | std::ios::binary);
                                 job->ok = encodeLosslessRegion(*job->image, out, &job->reason);
                                 job->payload = std::move(out).str();
                             }});
        }
    }
    std::stable_sort(tasks.begin(), tasks.end(), [](const Task& a, const Task& b) { return a.pixels > b.pixels; });
    std::vector<std::function<void()>> runs;
    runs.reserve(tasks.size());
    for (Task& task : tasks)
        runs.push_back(std::move(task.run));
    runTasks(runs, defaultWorkerCount());
}

} // namespace

EncodeOutcome encodeRoiStream(const DocumentData& document, std::ostream& out, DiagnosticSink& diagnostics)
{
    EncodeOutcome check = checkEncodable(document);
    if (!check.ok)
        return check;

    const RasterImage& image = document.image();
    const RegionSet& regions = document.regions();
    const int stages = document.waveletStages();

    std::vector<std::unique_ptr<RecordJob>> jobs;
    for (int i = 0; i < regions.count(); ++i) {
        const Region& region = regions.at(i);
        auto job = std::make_unique<RecordJob>();
        job->left = region.left;
        job->top = region.top;
        job->kind = codedKind(region);
        job->ratio = region.ratio;
        job->label = describe(i + 1, region);
        if (!image.crop(job->cropped, region.left, region.top, region.right, region.bottom))
            return failure(job->label + ": cannot be cut out of the picture");
        jobs.push_back(std::move(job));
    }
    auto background = std::make_unique<RecordJob>();
    background->ratio = document.background().ratio();
    background->mask = &regions;
    background->image = &image;
    background->label = "background";
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
        if (job->kind == CoderKind::Wavelet && (job->planes[0].empty() || job->planes[1].empty() || job->planes[2].empty()))
            return failure(job->label + formatText(": the wavelet coder refused a %d x %d picture with %d stages",
                                                   job->image->width(), job->image->height(), stages));
        if (!job->ok)
            return failure(job->label + ": " + job->reason);
    }

    writeField(out, image.width());
    writeField(out, image.height());
    writeField(out, regions.count() + 1);
    writeField(out, stages);
    std::string reason;
    for (const std::unique_ptr<RecordJob>& job : jobs) {
        writeField(out, job->left);
        writeField(out, job->top);
        writeField(out, static_cast<std::int64_t>(job->kind));
        if (job->kind == CoderKind::Wavelet) {
            if (!writeWaveletPayload(out, job->planes[1], job->planes[2], job->planes[0], &reason))
                return failure(job->label + ": " + reason);
        } else {
            out.write(job->payload.data(), static_cast<std::streamsize>(job->payload.size()));
        }
    }
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
