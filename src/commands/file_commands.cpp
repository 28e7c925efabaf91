#include "commands/file_commands.h"

#include "commands/region_layout.h"
#include "commands/timed_run.h"
#include "common/atomic_file.h"
#include "document/document_data.h"
#include "picture_io/picture_file.h"

#include <sstream>
#include <utility>

namespace nubo {

void CommandObserver::pictureWarning(const std::string&, const std::string&) {}
void CommandObserver::inputsAccepted() {}
void CommandObserver::waitBegins(const std::string&) {}
void CommandObserver::waitEnds() {}

Status fileFailure(const std::string& file, const std::string& reason)
{
    if (reason.find(file) != std::string::npos)
        return failure(reason);
    return failure(file + ": " + reason);
}

namespace {

// Reads any picture format the command-line tool takes; each change made on the way in goes to the observer and,
// as "FILE: warning", to *warnings when given.
Status loadPicture(const std::string& path, RasterImage& image, CommandObserver& observer,
                   std::vector<std::string>* warnings = nullptr)
{
    const StatusOr<PictureRead> read = readPictureFile(path, image);
    if (!read)
        return fileFailure(path, read.reason());
    for (const std::string& warning : read->warnings) {
        observer.pictureWarning(path, warning);
        if (warnings)
            warnings->push_back(path + ": " + warning);
    }
    return Status();
}

// Gives the document, whose picture was read, the request's regions (checked against it), ratios and stages.
Status describeDocument(const PictureRequest& request, DocumentData& document)
{
    NUBO_RETURN_IF_ERROR(checkRegionLayout(request.regions, document.image().width(), document.image().height())
                             .withContext(request.picture));
    for (const Region& region : request.regions)
        document.regions().add(region);
    document.regions().deselect();
    document.background().setRatio(request.backgroundRatio);
    document.background().setCoderKind(request.backgroundCoder);
    document.setWaveletStages(request.stages);
    document.setSmallRegionKind(request.smallRegionKind);
    return Status();
}

// Reads the picture into the document and describes it.
Status loadDocument(const PictureRequest& request, DocumentData& document, CommandObserver& observer,
                    std::vector<std::string>* warnings = nullptr)
{
    NUBO_RETURN_IF_ERROR(loadPicture(request.picture, document.image(), observer, warnings));
    return describeDocument(request, document);
}

// The records a decode asks for; a region number the stream lacks is a bad argument.
StatusOr<RegionSelection> selectRecords(const RegionChoice& choice, bool background, int regionCount,
                                        const std::string& file)
{
    RegionSelection selection;
    selection.initRegions(regionCount);
    if (choice.all) {
        for (int i = 0; i < regionCount; ++i)
            selection.select(i);
    }
    for (int number : choice.numbers) {
        if (number > regionCount)
            return Status::badArgument(file + ": --regions " + std::to_string(number) + ": the stream has "
                                       + std::to_string(regionCount) + (regionCount == 1 ? " region" : " regions"));
        selection.select(number - 1);
    }
    selection.setBackground(background);
    selection.setShowOutlines(true);
    return selection;
}

// Shows the wait around `work` and returns the seconds it took.
template <class Work>
double waitFor(CommandObserver& observer, const char* text, Work&& work)
{
    observer.waitBegins(text);
    const double seconds = secondsToRun(work);
    observer.waitEnds();
    return seconds;
}

struct Encoded {
    std::string stream;
    EncodingFigures figures;
};

// Encodes the document and delivers the report; `writeStream` stores the stream (when the command keeps it)
// before the report is written, as a file written first is the one the user asked for first.
template <class WriteStream>
StatusOr<Encoded> encodeAndReport(const DocumentData& document, const std::string& picture,
                                  const ReportRequest& reportRequest, CommandObserver& observer,
                                  std::vector<std::string> pictureWarnings, WriteStream&& writeStream)
{
    const bool wantReport = reportRequest.keep || !reportRequest.file.empty();
    StringSink report;
    StatusOr<EncodedStream> encoded = failure("not encoded");
    Encoded result;
    result.figures.seconds = waitFor(observer, text::kEncodingWait, [&] {
        encoded = encodeDocument(document, wantReport ? static_cast<DiagnosticSink&>(report) : discardSink());
    });
    if (!encoded)
        return fileFailure(picture, "cannot encode: " + encoded.reason());
    NUBO_RETURN_IF_ERROR(writeStream(encoded->bytes));
    if (!reportRequest.file.empty()) {
        if (const Status written = writeFileAtomically(reportRequest.file, report.text()); !written)
            return fileFailure(reportRequest.file, written.reason());
    }
    if (reportRequest.keep)
        result.figures.report = report.text();

    EncodingFigures& figures = result.figures;
    figures.width = document.image().width();
    figures.height = document.image().height();
    figures.regionCount = document.regions().count();
    figures.bytes = encoded->bytes.size();
    figures.pictureWarnings = std::move(pictureWarnings);
    figures.codingWarnings = starvedRecordWarnings(encoded->report);
    result.stream = std::move(encoded->bytes);
    return result;
}

Status writeStreamFile(const std::string& path, const std::string& stream)
{
    if (const Status written = writeFileAtomically(path, stream); !written)
        return fileFailure(path, written.reason());
    return Status();
}

Status writePicture(const std::string& path, const RasterImage& image)
{
    if (const Status written = writePictureFile(path, image); !written)
        return fileFailure(path, written.reason());
    return Status();
}

// The region numbers (from 1) whose records were decoded: the selected ones before the record decoding stopped at.
std::vector<int> decodedRegionNumbers(int regionCount, const RegionSelection& selection, const DecodeOutcome& outcome)
{
    std::vector<int> numbers;
    for (int i = 0; i < regionCount; ++i) {
        if (selection.isSelected(i) && (outcome.complete() || i + 1 < outcome.stoppedAt))
            numbers.push_back(i + 1);
    }
    return numbers;
}

} // namespace

StatusOr<EncodeFileResult> encodePictureFile(const EncodeFileRequest& request, CommandObserver& observer)
{
    DocumentData document;
    std::vector<std::string> warnings;
    NUBO_RETURN_IF_ERROR(loadDocument(request.document, document, observer, &warnings));
    observer.inputsAccepted();
    StatusOr<Encoded> encoded =
        encodeAndReport(document, request.document.picture, request.report, observer, std::move(warnings),
                        [&](const std::string& stream) { return writeStreamFile(request.output, stream); });
    if (!encoded)
        return std::move(encoded).status();
    return EncodeFileResult{std::move(encoded->figures)};
}

StatusOr<DecodeFileResult> decodeStreamFile(const DecodeFileRequest& request, CommandObserver& observer)
{
    StatusOr<LoadedStream> loaded = loadStreamFile(request.input);
    if (!loaded)
        return fileFailure(request.input, loaded.reason());
    const StreamHeader& header = loaded->header;
    const StatusOr<RegionSelection> selection =
        selectRecords(request.choice, request.background, header.regionCount(), request.input);
    if (!selection)
        return selection.status();
    observer.inputsAccepted();

    DecodedPicture picture;
    DecodeFileResult result;
    result.seconds = waitFor(observer, text::kDecodingWait,
                             [&] { picture = decodeDocument(loaded->bytes, *selection); });
    NUBO_RETURN_IF_ERROR(writePicture(request.output, picture.image));
    result.header = header;
    result.decodedNumbers = decodedRegionNumbers(header.regionCount(), *selection, picture.outcome);
    for (int i = 0; i < picture.regions.count(); ++i)
        result.decodedRegions.push_back(picture.regions.at(i));
    result.backgroundPresent = picture.backgroundPresent;
    result.outcome = std::move(picture.outcome);
    return result;
}

StatusOr<TestFileResult> testPictureFile(const TestFileRequest& request, CommandObserver& observer)
{
    const std::string& input = request.document.picture;
    DocumentData source;
    std::vector<std::string> warnings;
    NUBO_RETURN_IF_ERROR(loadDocument(request.document, source, observer, &warnings));
    const StatusOr<RegionSelection> selection =
        selectRecords(request.choice, request.background, source.regions().count(), input);
    if (!selection)
        return selection.status();
    observer.inputsAccepted();

    StatusOr<Encoded> encoded =
        encodeAndReport(source, input, request.report, observer, std::move(warnings), [&](const std::string& stream) {
            return request.saveStream.empty() ? Status() : writeStreamFile(request.saveStream, stream);
        });
    if (!encoded)
        return std::move(encoded).status();
    TestFileResult result;
    result.encoding = std::move(encoded->figures);
    source.replaceLastEncoding(std::move(encoded->stream));

    DecodedPicture picture;
    result.decodeSeconds = waitFor(observer, text::kDecodingWait,
                                   [&] { picture = decodeDocument(*source.lastEncoding(), *selection); });
    result.outcome = picture.outcome;
    DocumentData decoded;
    result.measure =
        finishTestDecode(source, decoded, std::move(picture), *selection, result.decodeSeconds).measure;
    if (!request.output.empty())
        NUBO_RETURN_IF_ERROR(writePicture(request.output, decoded.image()));
    result.metrics =
        measureStandardMetrics(source.image(), decoded.image(), result.measure.whole(), &decoded.regions());
    result.records = recordResults(*source.lastEncoding(), source.image(), decoded.image(), *selection,
                                   result.outcome, result.measure.whole());
    return result;
}

StatusOr<CompareFilesResult> comparePictureFiles(const CompareFilesRequest& request, CommandObserver& observer)
{
    DocumentData current;
    DocumentData chosen;
    NUBO_RETURN_IF_ERROR(loadPicture(request.document.picture, current.image(), observer));
    NUBO_RETURN_IF_ERROR(loadPicture(request.result, chosen.image(), observer));
    // The regions are checked after both pictures were read, so that an unreadable picture is named first.
    NUBO_RETURN_IF_ERROR(describeDocument(request.document, current));
    observer.inputsAccepted();

    StatusOr<Comparison> compared = compareDocuments(current, chosen);
    if (!compared)
        return fileFailure(request.result,
                           compared.reason()
                               + formatText(" (%d x %d against %d x %d)", current.image().width(),
                                            current.image().height(), chosen.image().width(), chosen.image().height()));
    CompareFilesResult result;
    result.width = current.image().width();
    result.height = current.image().height();
    result.comparison = std::move(*compared);
    result.metrics = measureStandardMetrics(current.image(), chosen.image(), result.comparison.measure.whole(),
                                            &current.regions());
    return result;
}

StatusOr<StreamFileInfo> inspectStreamFile(const std::string& input)
{
    const StatusOr<std::string> stream = readWholeFile(input);
    if (!stream)
        return fileFailure(input, stream.reason());
    std::istringstream in(*stream, std::ios::in | std::ios::binary);
    StreamFileInfo result;
    result.bytes = stream->size();
    result.info = inspectRoiStream(in);
    if (!result.info.headerRead)
        return fileFailure(input, "not a valid .roi stream: " + result.info.reason());
    return result;
}

StatusOr<SweepResult> sweepPictureFile(const PictureRequest& request, const std::vector<int>& ratios,
                                       SweepVary vary, CommandObserver& observer, const SweepProgress& progress)
{
    DocumentData document;
    NUBO_RETURN_IF_ERROR(loadDocument(request, document, observer));
    observer.inputsAccepted();
    StatusOr<SweepResult> swept = runRateSweep(document, ratios, vary, progress);
    if (!swept)
        return fileFailure(request.picture, swept.reason());
    return swept;
}

} // namespace nubo
