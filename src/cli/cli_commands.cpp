#include "cli/cli_commands.h"

#include "cli/json_writer.h"
#include "cli/progress_line.h"
#include "common/atomic_file.h"
#include "document/document_data.h"
#include "roi/coding_commands.h"
#include "roi/roi_stream_info.h"
#include "roi/stopwatch.h"

#include <algorithm>
#include <ostream>
#include <sstream>

#ifndef NUBO_VERSION_TEXT
#define NUBO_VERSION_TEXT "1.2"
#endif

namespace nubo::cli {

namespace {

// "nubo-cli: FILE: reason", without naming the file twice when the reason already does.
int fileError(std::ostream& err, int status, const std::string& file, const std::string& reason)
{
    err << "nubo-cli: ";
    if (reason.find(file) == std::string::npos)
        err << file << ": ";
    err << reason << '\n';
    return status;
}

int usageError(std::ostream& err, const std::string& text)
{
    err << "nubo-cli: " << text << '\n';
    return kExitUsage;
}

bool loadPicture(const std::string& path, RasterImage& image, std::ostream& err)
{
    std::string reason;
    if (image.loadBitmap(path, &reason))
        return true;
    fileError(err, kExitFailure, path, reason);
    return false;
}

// The document the encoder sees: the picture, the regions in the order given, the ratios and stages.
void describeDocument(const CliOptions& options, DocumentData& document)
{
    for (const Region& region : options.regions)
        document.regions().add(region);
    document.regions().deselect();
    document.background().setRatio(options.backgroundRatio);
    document.setWaveletStages(options.stages);
}

// The records a decode asks for, or false (with the error written) for a region number the stream lacks.
bool buildSelection(const CliOptions& options, int regionCount, const std::string& file, RegionSelection& selection,
                    std::ostream& err)
{
    selection.initRegions(regionCount);
    if (options.choice.all) {
        for (int i = 0; i < regionCount; ++i)
            selection.select(i);
    }
    for (int number : options.choice.numbers) {
        if (number > regionCount) {
            usageError(err, file + ": --regions " + std::to_string(number) + ": the stream has "
                                + std::to_string(regionCount) + (regionCount == 1 ? " region" : " regions"));
            return false;
        }
        selection.select(number - 1);
    }
    selection.setBackground(options.background);
    selection.setShowOutlines(true);
    return true;
}

// Writes the wavelet coder's report where --report asks; false (error written) when the file cannot be written.
bool deliverReport(const CliOptions& options, const StringSink& report, std::ostream& out, std::ostream& err)
{
    if (options.report.empty())
        return true;
    if (options.report == "-") {
        out << report.text();
        return true;
    }
    std::string reason;
    if (writeFileAtomically(options.report, report.text(), &reason))
        return true;
    fileError(err, kExitFailure, options.report, reason);
    return false;
}

struct EncodeRun {
    bool ok = false;
    std::string stream;
    double seconds = 0.0;
};

EncodeRun encodeTimed(const DocumentData& document, const CliOptions& options, StringSink& report,
                      const std::string& file, std::ostream& err)
{
    EncodeRun run;
    Stopwatch watch;
    EncodedStream encoded;
    {
        ProgressLine progress(text::kEncodingWait);
        watch.start();
        encoded = encodeDocument(document, options.report.empty() ? discardSink() : report);
        watch.stop();
    }
    run.seconds = watch.seconds();
    if (!encoded.outcome.ok) {
        fileError(err, kExitFailure, file, "cannot encode: " + encoded.outcome.reason);
        return run;
    }
    run.stream = std::move(encoded.bytes);
    run.ok = true;
    return run;
}

struct DecodeRun {
    DecodedPicture picture;
    double seconds = 0.0;
};

DecodeRun decodeTimed(const std::string& stream, const RegionSelection& selection)
{
    DecodeRun run;
    Stopwatch watch;
    ProgressLine progress(text::kDecodingWait);
    watch.start();
    run.picture = decodeDocument(stream, selection);
    watch.stop();
    run.seconds = watch.seconds();
    return run;
}

// The region numbers (from 1) whose records were decoded: the selected ones before the record decoding stopped at.
std::vector<int> decodedRegionNumbers(int regionCount, const RegionSelection& selection, const DecodeOutcome& outcome)
{
    std::vector<int> numbers;
    for (int i = 0; i < regionCount; ++i) {
        if (selection.isSelected(i) && (outcome.complete || i + 1 < outcome.stoppedAt))
            numbers.push_back(i + 1);
    }
    return numbers;
}

std::string decodedRecordsText(const std::vector<int>& numbers, bool background)
{
    std::string text;
    if (numbers.empty()) {
        text = "no regions";
    } else {
        text = numbers.size() == 1 ? "region " : "regions ";
        for (std::size_t i = 0; i < numbers.size(); ++i)
            text += (i ? ", " : "") + std::to_string(numbers[i]);
    }
    text += background ? " and the background" : ", no background";
    return text;
}

void measureJson(JsonWriter& json, const QualityMeasure& measure)
{
    json.key("measured").value(measure.measured());
    json.key("pixels").value(static_cast<std::int64_t>(measure.pixelCount()));
    if (measure.measured()) {
        json.key("mse").value(measure.mse());
        json.key("snr").value(measure.snr());
    } else {
        json.key("mse").null();
        json.key("snr").null();
        json.key("reason").value(measure.reason());
    }
}

void decodeOutcomeJson(JsonWriter& json, const DecodeOutcome& outcome)
{
    json.key("complete").value(outcome.complete);
    if (!outcome.complete) {
        json.key("stoppedAt").value(outcome.stoppedAt);
        json.key("damage").value(outcome.reason);
    }
}

int runEncode(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    const std::string& picture = options.inputs[0];
    DocumentData document;
    if (!loadPicture(picture, document.image(), err))
        return kExitFailure;
    std::string error;
    if (!checkRegions(options.regions, document.image().width(), document.image().height(), error))
        return usageError(err, picture + ": " + error);
    describeDocument(options, document);

    StringSink report;
    const EncodeRun run = encodeTimed(document, options, report, picture, err);
    if (!run.ok)
        return kExitFailure;
    std::string reason;
    if (!writeFileAtomically(options.output, run.stream, &reason))
        return fileError(err, kExitFailure, options.output, reason);
    if (!deliverReport(options, report, out, err))
        return kExitFailure;

    const int width = document.image().width();
    const int height = document.image().height();
    if (options.json) {
        JsonWriter json;
        json.beginObject();
        json.key("command").value("encode").key("input").value(picture).key("output").value(options.output);
        json.key("width").value(width).key("height").value(height);
        json.key("regions").value(document.regions().count()).key("stages").value(options.stages);
        json.key("backgroundRatio").value(options.backgroundRatio);
        json.key("bytes").value(static_cast<std::int64_t>(run.stream.size()));
        json.key("seconds").value(run.seconds);
        json.key("bitRate").value(bitRate(run.stream.size(), width, height));
        json.endObject();
        out << json.text() << '\n';
    } else {
        out << withPlainLineBreaks(encodingStatistic(run.seconds, run.stream.size(), width, height)) << '\n';
    }
    return kExitSuccess;
}

int runDecode(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    const std::string& input = options.inputs[0];
    std::string stream;
    std::string reason;
    StreamHeader header;
    if (!loadStreamFile(input, stream, header, &reason))
        return fileError(err, kExitFailure, input, reason);
    RegionSelection selection;
    if (!buildSelection(options, header.regionCount(), input, selection, err))
        return kExitUsage;

    DecodeRun run = decodeTimed(stream, selection);
    const DecodedPicture& picture = run.picture;
    if (!picture.image.saveBitmap(options.output, &reason))
        return fileError(err, kExitFailure, options.output, reason);
    const std::vector<int> numbers = decodedRegionNumbers(header.regionCount(), selection, picture.outcome);

    if (options.json) {
        JsonWriter json;
        json.beginObject();
        json.key("command").value("decode").key("input").value(input).key("output").value(options.output);
        json.key("width").value(header.width).key("height").value(header.height);
        json.key("records").value(header.recordCount).key("stages").value(header.stages);
        json.key("decodedRegions").beginArray();
        for (int i = 0; i < picture.regions.count(); ++i) {
            const Region& r = picture.regions.at(i);
            json.beginObject();
            if (static_cast<std::size_t>(i) < numbers.size())
                json.key("number").value(numbers[static_cast<std::size_t>(i)]);
            json.key("left").value(r.left).key("top").value(r.top).key("right").value(r.right);
            json.key("bottom").value(r.bottom).endObject();
        }
        json.endArray();
        json.key("background").value(picture.backgroundPresent);
        json.key("seconds").value(run.seconds);
        decodeOutcomeJson(json, picture.outcome);
        json.endObject();
        out << json.text() << '\n';
    } else {
        out << formatText("Decoding time: %.3f seconds.", run.seconds) << '\n';
        out << "Decoded " << decodedRecordsText(numbers, picture.backgroundPresent)
            << " into a " << header.width << " x " << header.height << " picture." << '\n';
    }
    if (!picture.outcome.complete)
        return fileError(err, kExitFailure, input, "damaged stream, decoding stopped at " + picture.outcome.reason);
    return kExitSuccess;
}

int runTest(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    const std::string& input = options.inputs[0];
    DocumentData source;
    if (!loadPicture(input, source.image(), err))
        return kExitFailure;
    std::string error;
    if (!checkRegions(options.regions, source.image().width(), source.image().height(), error))
        return usageError(err, input + ": " + error);
    describeDocument(options, source);
    RegionSelection selection;
    if (!buildSelection(options, source.regions().count(), input, selection, err))
        return kExitUsage;

    StringSink report;
    EncodeRun encoded = encodeTimed(source, options, report, input, err);
    if (!encoded.ok)
        return kExitFailure;
    std::string reason;
    if (!options.saveStream.empty() && !writeFileAtomically(options.saveStream, encoded.stream, &reason))
        return fileError(err, kExitFailure, options.saveStream, reason);
    if (!deliverReport(options, report, out, err))
        return kExitFailure;
    const std::uint64_t bytes = encoded.stream.size();
    source.replaceLastEncoding(std::move(encoded.stream));

    DecodeRun decoded = decodeTimed(*source.lastEncoding(), selection);
    const DecodeOutcome outcome = decoded.picture.outcome;
    DocumentData result;
    const TestDecodeResult measured =
        finishTestDecode(source, result, std::move(decoded.picture), selection, decoded.seconds);
    if (!options.output.empty() && !result.image().saveBitmap(options.output, &reason))
        return fileError(err, kExitFailure, options.output, reason);

    const int width = source.image().width();
    const int height = source.image().height();
    if (options.json) {
        JsonWriter json;
        json.beginObject();
        json.key("command").value("test").key("input").value(input);
        json.key("width").value(width).key("height").value(height);
        json.key("regions").value(source.regions().count()).key("stages").value(options.stages);
        json.key("backgroundRatio").value(options.backgroundRatio);
        json.key("encode").beginObject();
        json.key("bytes").value(static_cast<std::int64_t>(bytes)).key("seconds").value(encoded.seconds);
        json.key("bitRate").value(bitRate(bytes, width, height));
        json.endObject();
        json.key("decode").beginObject();
        json.key("seconds").value(decoded.seconds);
        decodeOutcomeJson(json, outcome);
        measureJson(json, measured.measure);
        json.endObject();
        json.endObject();
        out << json.text() << '\n';
    } else {
        out << withPlainLineBreaks(encodingStatistic(encoded.seconds, bytes, width, height)) << '\n';
        out << withPlainLineBreaks(measured.statistic) << '\n';
    }
    if (!outcome.complete)
        return fileError(err, kExitFailure, input, "the encoded stream did not decode: " + outcome.reason);
    return kExitSuccess;
}

int runCompare(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    DocumentData current;
    DocumentData chosen;
    if (!loadPicture(options.inputs[0], current.image(), err) || !loadPicture(options.inputs[1], chosen.image(), err))
        return kExitFailure;
    std::string error;
    if (!checkRegions(options.regions, current.image().width(), current.image().height(), error))
        return usageError(err, options.inputs[0] + ": " + error);
    describeDocument(options, current);
    const Comparison comparison = compareDocuments(current, chosen);
    if (!comparison.ok)
        return fileError(err, kExitFailure, options.inputs[1],
                         comparison.error
                             + formatText(" (%d x %d against %d x %d)", current.image().width(),
                                          current.image().height(), chosen.image().width(), chosen.image().height()));
    if (options.json) {
        JsonWriter json;
        json.beginObject();
        json.key("command").value("compare").key("source").value(options.inputs[0]);
        json.key("result").value(options.inputs[1]);
        json.key("width").value(current.image().width()).key("height").value(current.image().height());
        json.key("whole").value(comparison.measure.whole());
        measureJson(json, comparison.measure);
        json.endObject();
        out << json.text() << '\n';
    } else {
        out << withPlainLineBreaks(comparison.statistic) << '\n';
    }
    return comparison.measure.measured() ? kExitSuccess : kExitFailure;
}

const char* kindName(std::int64_t kind)
{
    if (kind == static_cast<std::int64_t>(CoderKind::Wavelet))
        return "wavelet";
    if (kind == static_cast<std::int64_t>(CoderKind::Arithmetic))
        return "arithmetic";
    return "unknown";
}

int runInfo(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    const std::string& input = options.inputs[0];
    std::string stream;
    std::string reason;
    if (!readWholeFile(input, stream, &reason))
        return fileError(err, kExitFailure, input, reason);
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    const StreamInfo info = inspectRoiStream(in);
    if (!info.headerRead)
        return fileError(err, kExitFailure, input, "not a valid .roi stream: " + info.reason);

    const StreamHeader& h = info.header;
    if (options.json) {
        JsonWriter json;
        json.beginObject();
        json.key("command").value("info").key("input").value(input);
        json.key("width").value(h.width).key("height").value(h.height).key("records").value(h.recordCount);
        json.key("stages").value(h.stages).key("bytes").value(static_cast<std::int64_t>(stream.size()));
        json.key("recordList").beginArray();
        for (const RecordInfo& r : info.records) {
            json.beginObject().key("number").value(r.number).key("background").value(r.background);
            json.key("kind").value(kindName(r.kind)).key("left").value(static_cast<std::int64_t>(r.left));
            json.key("top").value(static_cast<std::int64_t>(r.top)).key("width").value(r.width);
            json.key("height").value(r.height).key("payloadBytes").value(static_cast<std::int64_t>(r.payloadBytes));
            json.endObject();
        }
        json.endArray();
        json.key("complete").value(info.complete);
        if (!info.complete)
            json.key("damage").value(info.reason);
        json.endObject();
        out << json.text() << '\n';
    } else {
        out << formatText("%s: %d x %d pixels, %d wavelet stages, %d records (%d region%s and the background), "
                          "%zu bytes",
                          input.c_str(), h.width, h.height, h.stages, h.recordCount, h.regionCount(),
                          h.regionCount() == 1 ? "" : "s", stream.size())
            << '\n';
        out << "record  role        kind        left    top  width  height  payload bytes\n";
        for (const RecordInfo& r : info.records) {
            out << formatText("%6d  %-10s  %-10s %5lld  %5lld  %5d  %6d  %13lld", r.number,
                              r.background ? "background" : "region", kindName(r.kind), static_cast<long long>(r.left),
                              static_cast<long long>(r.top), r.width, r.height, static_cast<long long>(r.payloadBytes))
                << '\n';
        }
    }
    if (!info.complete)
        return fileError(err, kExitFailure, input, "damaged stream: " + info.reason);
    return kExitSuccess;
}

} // namespace

std::string versionText() { return "nubo " NUBO_VERSION_TEXT; }

int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    const ParseResult parsed = parseArguments(arguments);
    if (!parsed.options)
        return usageError(err, parsed.error);
    const CliOptions& options = *parsed.options;
    switch (options.command) {
    case Command::Help: out << usageText(options.helpFor); return kExitSuccess;
    case Command::Version: out << versionText() << '\n'; return kExitSuccess;
    case Command::Encode: return runEncode(options, out, err);
    case Command::Decode: return runDecode(options, out, err);
    case Command::Test: return runTest(options, out, err);
    case Command::Compare: return runCompare(options, out, err);
    case Command::Info: return runInfo(options, out, err);
    case Command::None: break;
    }
    return usageError(err, "no command given (see nubo-cli --help)");
}

} // namespace nubo::cli
