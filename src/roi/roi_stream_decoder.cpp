#include "roi/roi_stream_decoder.h"

#include "common/diagnostics.h"
#include "common/limits.h"
#include "document/document_data.h"
#include "roi/region_coder.h"
#include "roi/stream_fields.h"
#include "roi/task_pool.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <istream>
#include <memory>
#include <sstream>
#include <vector>

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
    // The character after each header number is taken as its separator whatever it is, as streams have always
    // been read; only the record fields insist on ";".
    for (int i = 0; i < 4; ++i) {
        if (!readFieldUncheckedSeparator(in, fields[i]))
            return fail(reason, formatText("header: the %s or the character after it is missing", names[i]));
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

namespace {

// A selected record read from the stream and checked, waiting to be decoded and pasted.
struct RecordJob {
    int index = 0; // 0-based record position
    bool background = false;
    int x = 0;
    int y = 0;
    RegionPayload payload;
    FloatImage planes[3];
    std::string planeReasons[3];
    bool planeOk[3] = {true, true, true};
    RasterImage lossless;
    bool losslessOk = true;
    std::string losslessReason;
    // The wavelet picture, built by whichever plane task finishes last, so that turning the planes into pixels
    // overlaps with the other records' decoding rather than following it.
    std::atomic<int> planesLeft{3};
    bool pictureBuilt = false;
    RasterImage picture;
    bool pictureOk = true;
    std::string pictureReason;

    std::int64_t pixels() const { return static_cast<std::int64_t>(payload.width) * payload.height; }
};

// Where reading the stream stopped at damage, if it did.
struct ReadStop {
    bool stopped = false;
    int index = 0;
    std::string reason;
};

// Reads every record in order: selected ones become jobs, the others are skipped. Stops at the first damage.
std::vector<std::unique_ptr<RecordJob>> readRecords(std::istream& in, const StreamHeader& header,
                                                    const RegionSelection& selection, ReadStop& stop)
{
    std::vector<std::unique_ptr<RecordJob>> jobs;
    std::string why;
    for (int i = 0; i < header.recordCount; ++i) {
        const auto halt = [&](const std::string& text) {
            stop = {true, i, text};
            return std::move(jobs);
        };
        std::int64_t left = 0;
        std::int64_t top = 0;
        std::int64_t kind = 0;
        if (!readField(in, left) || !readField(in, top) || !readField(in, kind))
            return halt("its left, top or coder kind, or a ';' after them, is missing");
        const bool background = i == header.recordCount - 1;
        const bool selected = background ? selection.background() : selection.isSelected(i);
        if (!selected) {
            if (!skipRegion(in, kind, &why))
                return halt(why);
            continue;
        }
        if (left < 0 || top < 0 || left >= header.width || top >= header.height)
            return halt(formatText("its corner (%lld, %lld) lies outside the %d x %d picture", asLong(left),
                                   asLong(top), header.width, header.height));
        auto job = std::make_unique<RecordJob>();
        job->index = i;
        job->background = background;
        job->x = static_cast<int>(left);
        job->y = static_cast<int>(top);
        if (!readRegionPayload(in, kind, {header.width - job->x, header.height - job->y}, job->payload, &why))
            return halt(formatText("at (%d, %d): ", job->x, job->y) + why);
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// Turns a wavelet job's decoded planes into its picture, once all three are decoded and sound, and frees them.
void buildPicture(RecordJob& job)
{
    for (int i = 0; i < 3; ++i) {
        if (!job.planeOk[i])
            return;
    }
    job.pictureOk = buildWaveletPicture(job.payload.wavelet, job.planes, job.picture, &job.pictureReason);
    job.pictureBuilt = true;
    for (FloatImage& plane : job.planes)
        plane = FloatImage();
}

// Decodes the payloads of jobs[first, last): every wavelet plane and every lossless region is one task, the
// largest first. Each task writes only its own job's fields.
void decodeJobs(std::vector<std::unique_ptr<RecordJob>>& jobs, std::size_t first, std::size_t last, int stages)
{
    struct Task {
        std::int64_t pixels;
        std::function<void()> run;
    };
    std::vector<Task> tasks;
    for (std::size_t j = first; j < last; ++j) {
        RecordJob* job = jobs[j].get();
        if (job->payload.kind == static_cast<std::int64_t>(CoderKind::Wavelet)) {
            for (int i = 0; i < 3; ++i) {
                tasks.push_back({job->pixels(), [job, i, stages] {
                                     job->planeOk[i] = decodeWaveletPlane(job->payload.wavelet, i, stages,
                                                                          job->planes[i], &job->planeReasons[i]);
                                     // The last plane sees the others' results (acquire-release on the count).
                                     if (job->planesLeft.fetch_sub(1, std::memory_order_acq_rel) == 1)
                                         buildPicture(*job);
                                 }});
            }
        } else {
            tasks.push_back({job->pixels(), [job] {
                                 job->losslessOk = decodeLosslessPayload(job->payload, job->lossless,
                                                                         &job->losslessReason);
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

// The decoded picture of a job, or false with the reason of its first failure.
bool decodedPicture(RecordJob& job, RasterImage& picture, std::string& why)
{
    if (job.payload.kind != static_cast<std::int64_t>(CoderKind::Wavelet)) {
        if (!job.losslessOk) {
            why = job.losslessReason;
            return false;
        }
        picture = std::move(job.lossless);
        return true;
    }
    for (int i = 0; i < 3; ++i) {
        if (!job.planeOk[i]) {
            why = job.planeReasons[i];
            return false;
        }
    }
    if (job.pictureBuilt) {
        if (!job.pictureOk) {
            why = job.pictureReason;
            return false;
        }
        picture = std::move(job.picture);
        return true;
    }
    return buildWaveletPicture(job.payload.wavelet, job.planes, picture, &why);
}

// Decoded pictures held at once: the records of a sound stream cover the picture about twice at most (regions
// that do not overlap, and the background), so they decode together; a damaged stream claiming more is decoded
// in turns, never holding much more than this.
std::int64_t decodeBatchPixels(const StreamHeader& header)
{
    return 2 * static_cast<std::int64_t>(header.width) * header.height;
}

} // namespace

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
    const auto stopAt = [&](int index, const std::string& text) {
        outcome.stoppedAt = index + 1;
        outcome.reason = formatText("record %d of %d: ", index + 1, header.recordCount) + text;
    };

    // All records are read before any is decoded, so the payloads of the selected records can be decoded side by
    // side; they are pasted in stream order, which alone decides what the picture shows.
    ReadStop readStop;
    std::vector<std::unique_ptr<RecordJob>> jobs = readRecords(in, header, selection, readStop);
    std::size_t first = 0;
    while (first < jobs.size()) {
        std::size_t last = first;
        std::int64_t pixels = 0;
        do {
            pixels += jobs[last]->pixels();
            ++last;
        } while (last < jobs.size() && pixels + jobs[last]->pixels() <= decodeBatchPixels(header));
        decodeJobs(jobs, first, last, header.stages);

        for (std::size_t j = first; j < last; ++j) {
            RecordJob& job = *jobs[j];
            RasterImage region;
            if (!decodedPicture(job, region, why)) {
                stopAt(job.index, formatText("at (%d, %d): ", job.x, job.y) + why);
                return result;
            }
            if (!result.image.paste(region, job.x, job.y)) {
                stopAt(job.index, formatText("a %d x %d region at (%d, %d) does not lie inside the picture",
                                             region.width(), region.height(), job.x, job.y));
                return result;
            }
            if (job.background) {
                result.backgroundPresent = true;
            } else {
                result.regions.add(Region(job.x, job.y, job.x + region.width() - 1, job.y + region.height() - 1));
                result.regions.deselect();
            }
            jobs[j].reset();
        }
        first = last;
    }
    if (readStop.stopped) {
        stopAt(readStop.index, readStop.reason);
        return result;
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
