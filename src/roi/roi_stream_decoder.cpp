#include "roi/roi_stream_decoder.h"

#include "common/diagnostics.h"
#include "common/limits.h"
#include "document/document_data.h"
#include "image/coverage_mask.h"
#include "roi/region_coder.h"
#include "roi/stream_fields.h"
#include "roi/task_pool.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <streambuf>
#include <vector>

namespace nubo {

namespace {

long long asLong(std::int64_t value) { return static_cast<long long>(value); }

} // namespace

Status readStreamHeader(std::istream& in, StreamHeader& header)
{
    static const char* const names[] = {"picture width", "picture height", "record count", "number of stages"};
    std::int64_t fields[4] = {};
    // The character after each header number is taken as its separator whatever it is, as streams have always
    // been read; only the record fields insist on ";".
    for (int i = 0; i < 4; ++i) {
        if (!readFieldUncheckedSeparator(in, fields[i]))
            return failure(formatText("header: the %s or the character after it is missing", names[i]));
    }
    const std::int64_t width = fields[0];
    const std::int64_t height = fields[1];
    const std::int64_t records = fields[2];
    const std::int64_t stages = fields[3];
    if (width < 1 || height < 1)
        return failure(formatText("header: picture size %lld x %lld is not positive", asLong(width), asLong(height)));
    if (!imageSizeAllowed(width, height))
        return failure(formatText("header: a %lld x %lld picture is beyond the limits (%d pixels a side, %lld "
                                  "pixels in all)",
                                  asLong(width), asLong(height), kMaxImageSide, asLong(kMaxImagePixels)));
    if (records < 1)
        return failure(formatText("header: record count %lld is below 1", asLong(records)));
    if (records - 1 > kMaxRegionRecords || records - 1 > width * height)
        return failure(formatText("header: %lld regions cannot be coded in a %lld x %lld picture (at most %lld)",
                                  asLong(records - 1), asLong(width), asLong(height),
                                  asLong(std::min(kMaxRegionRecords, width * height))));
    if (stages < kMinStages || stages > kMaxStages)
        return failure(formatText("header: %lld wavelet stages are outside %d to %d", asLong(stages), kMinStages,
                                  kMaxStages));
    header.width = static_cast<int>(width);
    header.height = static_cast<int>(height);
    header.recordCount = static_cast<int>(records);
    header.stages = static_cast<int>(stages);
    return {};
}

Status peekStreamHeader(std::istream& in, StreamHeader& header)
{
    const std::istream::pos_type start = in.tellg();
    Status read = readStreamHeader(in, header);
    in.clear();
    in.seekg(start);
    return read;
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
    Status planeStatus[3];
    RasterImage lossless;
    Status losslessStatus;
    // The wavelet picture: kind 1 writes each plane into byPlane as the plane is decoded, and the last plane
    // task moves it here; kind 3's is built by whichever plane task finishes last, so that turning the planes
    // into pixels overlaps with the other records' decoding rather than following it.
    std::atomic<int> planesLeft{3};
    bool pictureBuilt = false;
    PlaneByPlanePicture byPlane;
    RasterImage picture;
    Status pictureStatus;

    std::int64_t pixels() const { return static_cast<std::int64_t>(payload.width) * payload.height; }
    std::int64_t planeCost(int i) const
    {
        return planeDecodeCost(pixels(), static_cast<std::int64_t>(payload.wavelet.streams[i].size()));
    }
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
            if (const Status skipped = skipRegion(in, kind); !skipped)
                return halt(skipped.reason());
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
        const Status read = readRegionPayload(in, kind, {header.width - job->x, header.height - job->y}, job->payload);
        if (!read)
            return halt(formatText("at (%d, %d): ", job->x, job->y) + read.reason());
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// Turns a wavelet job's decoded planes into its picture, once all three are decoded and sound, and frees them.
void buildPicture(RecordJob& job)
{
    for (int i = 0; i < 3; ++i) {
        if (!job.planeStatus[i])
            return;
    }
    job.pictureStatus = buildPayloadPicture(job.payload, job.planes, job.picture);
    job.pictureBuilt = true;
    for (FloatImage& plane : job.planes)
        plane = FloatImage();
}

// Decodes the payloads of jobs[first, last): every wavelet plane and every lossless region is one task, the
// largest first. Each task writes only its own job's fields (a plane written into the picture only its channel).
void decodeJobs(std::vector<std::unique_ptr<RecordJob>>& jobs, std::size_t first, std::size_t last, int stages)
{
    std::vector<SizedTask> tasks;
    for (std::size_t j = first; j < last; ++j) {
        RecordJob* job = jobs[j].get();
        if (buildsPictureByPlane(job->payload.kind)) {
            // Each plane goes into the picture as soon as it is decoded, so only the planes being decoded are
            // held as floats.
            for (int i = 0; i < 3; ++i) {
                tasks.push_back({job->planeCost(i), [job, i, stages] {
                                     job->planeStatus[i] = decodePayloadPlaneInto(job->payload, i, stages, job->byPlane);
                                     // The last plane sees the others' results (acquire-release on the count).
                                     if (job->planesLeft.fetch_sub(1, std::memory_order_acq_rel) == 1) {
                                         job->picture = std::move(job->byPlane.picture);
                                         job->pictureBuilt = true;
                                     }
                                 }});
            }
        } else if (isPlaneKind(job->payload.kind)) {
            for (int i = 0; i < 3; ++i) {
                tasks.push_back({job->planeCost(i), [job, i, stages] {
                                     job->planeStatus[i] = decodePayloadPlane(job->payload, i, stages, job->planes[i]);
                                     // The last plane sees the others' results (acquire-release on the count).
                                     if (job->planesLeft.fetch_sub(1, std::memory_order_acq_rel) == 1)
                                         buildPicture(*job);
                                 }});
            }
        } else {
            tasks.push_back({job->pixels(), [job] {
                                 job->losslessStatus = decodeLosslessPayload(job->payload, job->lossless);
                             }});
        }
    }
    runLargestFirst(std::move(tasks));
}

// The decoded picture of a job, or the first failure on its way.
Status decodedPicture(RecordJob& job, RasterImage& picture)
{
    if (!isPlaneKind(job.payload.kind)) {
        NUBO_RETURN_IF_ERROR(job.losslessStatus);
        picture = std::move(job.lossless);
        return {};
    }
    for (const Status& plane : job.planeStatus)
        NUBO_RETURN_IF_ERROR(plane);
    if (job.pictureBuilt) {
        NUBO_RETURN_IF_ERROR(job.pictureStatus);
        picture = std::move(job.picture);
        return {};
    }
    return buildPayloadPicture(job.payload, job.planes, picture);
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
    if (Status read = readStreamHeader(in, header); !read) {
        outcome.status = std::move(read);
        return result;
    }
    outcome.headerRead = true;
    outcome.recordCount = header.recordCount;
    // The black picture and its coverage are made when the first record is pasted, not before: until then the
    // records' own pictures and planes are the memory in use. A picture that one record covers whole, the only
    // one decoded, becomes the result as it stands.
    bool canvasReady = false;
    std::optional<CoverageMask> coverage;
    const auto prepareCanvas = [&] {
        if (canvasReady)
            return true;
        // A fresh picture is black.
        if (!result.image.allocate(header.width, header.height))
            return false;
        coverage.emplace(header.width, header.height);
        canvasReady = true;
        return true;
    };
    const auto stopAt = [&](int index, const std::string& text) {
        outcome.stoppedAt = index + 1;
        outcome.status = failure(formatText("record %d of %d: ", index + 1, header.recordCount) + text);
        if (!prepareCanvas())
            outcome.status = failure("cannot allocate the picture");
    };
    if (!imageSizeAllowed(header.width, header.height)) {
        outcome.status = failure("cannot allocate the picture");
        return result;
    }

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
            if (const Status decoded = decodedPicture(job, region); !decoded) {
                stopAt(job.index, formatText("at (%d, %d): ", job.x, job.y) + decoded.reason());
                return result;
            }
            const int regionWidth = region.width();
            const int regionHeight = region.height();
            const bool wholeAndOnly = !canvasReady && j + 1 == jobs.size() && job.x == 0 && job.y == 0
                && regionWidth == header.width && regionHeight == header.height;
            if (wholeAndOnly) {
                result.image = std::move(region);
                canvasReady = true;
            } else if (!prepareCanvas()) {
                outcome.status = failure("cannot allocate the picture");
                return result;
            } else if (!coverage->paste(result.image, region, job.x, job.y)) {
                stopAt(job.index, formatText("a %d x %d region at (%d, %d) does not lie inside the picture",
                                             regionWidth, regionHeight, job.x, job.y));
                return result;
            }
            if (job.background) {
                result.backgroundPresent = true;
                // A kind without a coder was refused when the payload was read.
                result.backgroundKind = static_cast<CoderKind>(job.payload.kind);
            } else {
                result.regions.add(Region(job.x, job.y, job.x + regionWidth - 1, job.y + regionHeight - 1));
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
    if (!prepareCanvas())
        outcome.status = failure("cannot allocate the picture");
    return result;
}

namespace {

// Reads a string in place, where an istringstream would first copy it: a stream of a large picture is not held
// twice while it is decoded. Seeks within the string, as the readers' tellg and seekg need; never writes.
class StringReadBuffer : public std::streambuf {
public:
    explicit StringReadBuffer(const std::string& text)
    {
        char* begin = const_cast<char*>(text.data());
        setg(begin, begin, begin + text.size());
    }

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override
    {
        const off_type size = egptr() - eback();
        const off_type base = direction == std::ios_base::beg ? 0
            : direction == std::ios_base::cur                 ? gptr() - eback()
                                                              : size;
        if ((which & std::ios_base::in) == 0 || offset < -base || offset > size - base)
            return pos_type(off_type(-1));
        setg(eback(), eback() + base + offset, egptr());
        return pos_type(base + offset);
    }

    pos_type seekpos(pos_type position, std::ios_base::openmode which) override
    {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }
};

} // namespace

DecodedPicture decodeRoiStream(const std::string& stream, const RegionSelection& selection)
{
    StringReadBuffer buffer(stream);
    std::istream in(&buffer);
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
    // Encoding the document again codes its background as the stream did (a lossless kind is not a background
    // coder and changes nothing).
    if (decoded.backgroundPresent)
        document.background().setCoderKind(decoded.backgroundKind);
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
