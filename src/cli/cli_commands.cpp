#include "cli/cli_commands.h"

#include "cli/json_report.h"
#include "cli/progress_line.h"
#include "cli/text_report.h"
#include "commands/file_commands.h"
#include "commands/rate_sweep_csv.h"
#include "common/version.h"

#include <optional>
#include <ostream>

namespace nubo::cli {

namespace {

// "nubo-cli: reason"; a request that does not fit its input is a usage error, anything else a failure.
int failed(std::ostream& err, const Status& status)
{
    err << "nubo-cli: " << status.reason() << '\n';
    return status.isBadArgument() ? kExitUsage : kExitFailure;
}

int usageError(std::ostream& err, const std::string& text)
{
    err << "nubo-cli: " << text << '\n';
    return kExitUsage;
}

// A command's progress on standard error: the picture warnings as they come, the progress line while coding.
class CliObserver : public CommandObserver {
public:
    explicit CliObserver(std::ostream& err) : err_(err) {}
    void pictureWarning(const std::string& path, const std::string& warning) override
    {
        err_ << "nubo-cli: warning: " << path << ": " << warning << '\n';
    }
    void waitBegins(const std::string& text) override { progress_.emplace(text); }
    void waitEnds() override { progress_.reset(); }

private:
    std::ostream& err_;
    std::optional<ProgressLine> progress_;
};

PictureRequest pictureRequest(const CliOptions& options)
{
    PictureRequest request;
    request.picture = options.inputs[0];
    request.regions = options.regions;
    request.backgroundRatio = options.backgroundRatio;
    request.backgroundCoder = options.backgroundCoder;
    request.stages = options.stages;
    request.smallRegionKind = options.smallRegionKind;
    return request;
}

// --report FILE writes the wavelet coder's report to the file, --report - keeps it for standard output.
ReportRequest reportRequest(const CliOptions& options)
{
    ReportRequest request;
    if (options.report == "-")
        request.keep = true;
    else
        request.file = options.report;
    return request;
}

int runEncode(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    EncodeFileRequest request;
    request.document = pictureRequest(options);
    request.output = options.output;
    request.report = reportRequest(options);
    CliObserver observer(err);
    const StatusOr<EncodeFileResult> result = encodePictureFile(request, observer);
    if (!result)
        return failed(err, result.status());
    out << result->encoding.report;
    if (options.json)
        out << encodeJson(request, *result) << '\n';
    else
        printEncodeText(out, *result);
    return kExitSuccess;
}

int runDecode(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    DecodeFileRequest request;
    request.input = options.inputs[0];
    request.output = options.output;
    request.choice = options.choice;
    request.background = options.background;
    CliObserver observer(err);
    const StatusOr<DecodeFileResult> result = decodeStreamFile(request, observer);
    if (!result)
        return failed(err, result.status());
    if (options.json)
        out << decodeJson(request, *result) << '\n';
    else
        printDecodeText(out, *result);
    if (!result->outcome.complete())
        return failed(err, fileFailure(request.input, "damaged stream, decoding stopped at " + result->outcome.reason()));
    return kExitSuccess;
}

int runTest(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    TestFileRequest request;
    request.document = pictureRequest(options);
    request.choice = options.choice;
    request.background = options.background;
    request.output = options.output;
    request.saveStream = options.saveStream;
    request.report = reportRequest(options);
    CliObserver observer(err);
    const StatusOr<TestFileResult> result = testPictureFile(request, observer);
    if (!result)
        return failed(err, result.status());
    out << result->encoding.report;
    if (options.json)
        out << testJson(request, *result) << '\n';
    else
        printTestText(out, *result);
    if (!result->outcome.complete())
        return failed(err, fileFailure(request.document.picture,
                                       "the encoded stream did not decode: " + result->outcome.reason()));
    return kExitSuccess;
}

int runCompare(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    CompareFilesRequest request;
    request.document = pictureRequest(options);
    request.result = options.inputs[1];
    CliObserver observer(err);
    const StatusOr<CompareFilesResult> result = comparePictureFiles(request, observer);
    if (!result)
        return failed(err, result.status());
    if (options.json)
        out << compareJson(request, *result) << '\n';
    else
        printCompareText(out, *result);
    return result->comparison.measure.measured() ? kExitSuccess : kExitFailure;
}

int runInfo(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    const std::string& input = options.inputs[0];
    const StatusOr<StreamFileInfo> result = inspectStreamFile(input);
    if (!result)
        return failed(err, result.status());
    if (options.json)
        out << infoJson(input, *result) << '\n';
    else
        printInfoText(out, input, *result);
    if (!result->info.complete())
        return failed(err, fileFailure(input, "damaged stream: " + result->info.reason()));
    return kExitSuccess;
}

// The sweep's lines go out as soon as each ratio is measured, so that a long sweep can be followed or collected;
// the CSV header once the picture was read and accepted.
class SweepObserver final : public CliObserver {
public:
    SweepObserver(std::ostream& out, std::ostream& err, bool csv) : CliObserver(err), out_(out), csv_(csv) {}
    void inputsAccepted() override
    {
        if (csv_)
            out_ << sweepCsvHeader() << '\n' << std::flush;
    }

private:
    std::ostream& out_;
    bool csv_;
};

int runSweep(const CliOptions& options, std::ostream& out, std::ostream& err)
{
    const PictureRequest request = pictureRequest(options);
    const SweepVary vary = options.vary == VaryChoice::Regions ? SweepVary::Regions
        : options.vary == VaryChoice::All                      ? SweepVary::All
                                                               : SweepVary::Background;
    std::optional<ProgressLine> progress;
    const auto report = [&](int finished, int total, const SweepPoint* point) {
        if (!point) {
            progress.emplace(formatText("Sweeping, ratio %d (%d of %d)...",
                                        options.ratios[static_cast<std::size_t>(finished)], finished + 1, total));
            return true;
        }
        progress.reset();
        out << (options.csv ? sweepCsvRow(request.picture, vary, *point)
                            : sweepJsonLine(request.picture, vary, *point))
            << '\n' << std::flush;
        return true;
    };
    SweepObserver observer(out, err, options.csv);
    const StatusOr<SweepResult> swept = sweepPictureFile(request, options.ratios, vary, observer, report);
    progress.reset();
    if (!swept)
        return failed(err, swept.status());
    return kExitSuccess;
}

} // namespace

std::string versionText() { return std::string("nubo ") + kVersionText; }

int runCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err)
{
    const StatusOr<CliOptions> parsed = parseArguments(arguments);
    if (!parsed)
        return usageError(err, parsed.reason());
    const CliOptions& options = *parsed;
    switch (options.command) {
    case Command::Help: out << usageText(options.helpFor); return kExitSuccess;
    case Command::Version: out << versionText() << '\n'; return kExitSuccess;
    case Command::Encode: return runEncode(options, out, err);
    case Command::Decode: return runDecode(options, out, err);
    case Command::Test: return runTest(options, out, err);
    case Command::Compare: return runCompare(options, out, err);
    case Command::Info: return runInfo(options, out, err);
    case Command::Sweep: return runSweep(options, out, err);
    case Command::None: break;
    }
    return usageError(err, "no command given (see nubo-cli --help)");
}

} // namespace nubo::cli
