#include "cli/text_report.h"

#include "cli/report_fields.h"

#include <ostream>

namespace nubo::cli {

namespace {

// The warnings of an encoding, each on its own line after the statistic.
void printWarnings(std::ostream& out, const std::vector<std::string>& warnings)
{
    for (const std::string& warning : warnings)
        out << warning << '\n';
}

// The standard metrics' lines, after the workbench's own statistic; nothing when nothing was measured.
void printStandardMetrics(std::ostream& out, const StandardMetrics& metrics)
{
    const std::string text = standardMetricsStatistic(metrics);
    if (!text.empty())
        out << withPlainLineBreaks(text) << '\n';
}

// "region 1, 3 and the background", "no regions, no background".
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

// test's records as a table: "inf" for exact pixels, "-" where nothing was measured.
void printRecords(std::ostream& out, const std::vector<RecordResult>& records)
{
    out << "record  role        kind        left    top  width  height  payload bytes      psnr    ssim\n";
    for (const RecordResult& r : records) {
        const std::string psnr = r.metrics.measured ? formatText("%.3f", r.metrics.psnr) : "-";
        const std::string ssim = r.metrics.ssimMeasured ? formatText("%.4f", r.metrics.ssim) : "-";
        out << formatText("%6d  %-10s  %-10s %5lld  %5lld  %5d  %6d  %13lld  %8s  %6s", r.record,
                          r.background ? "background" : "region", kindName(r.kind), static_cast<long long>(r.left),
                          static_cast<long long>(r.top), r.width, r.height, static_cast<long long>(r.bytes),
                          psnr.c_str(), ssim.c_str())
            << '\n';
    }
}

} // namespace

void printEncodeText(std::ostream& out, const EncodeFileResult& result)
{
    const EncodingFigures& e = result.encoding;
    out << withPlainLineBreaks(encodingStatistic(e.seconds, e.bytes, e.width, e.height)) << '\n';
    printWarnings(out, e.codingWarnings);
}

void printDecodeText(std::ostream& out, const DecodeFileResult& result)
{
    out << formatText("Decoding time: %.3f seconds.", result.seconds) << '\n';
    out << "Decoded " << decodedRecordsText(result.decodedNumbers, result.backgroundPresent) << " into a "
        << result.header.width << " x " << result.header.height << " picture." << '\n';
}

void printTestText(std::ostream& out, const TestFileResult& result)
{
    const EncodingFigures& e = result.encoding;
    out << withPlainLineBreaks(encodingStatistic(e.seconds, e.bytes, e.width, e.height)) << '\n';
    out << withPlainLineBreaks(decodingStatistic(result.decodeSeconds, result.measure)) << '\n';
    printStandardMetrics(out, result.metrics);
    printWarnings(out, e.codingWarnings);
    out << '\n';
    printRecords(out, result.records);
}

void printCompareText(std::ostream& out, const CompareFilesResult& result)
{
    out << withPlainLineBreaks(result.comparison.statistic) << '\n';
    printStandardMetrics(out, result.metrics);
}

void printInfoText(std::ostream& out, const std::string& input, const StreamFileInfo& result)
{
    const StreamHeader& h = result.info.header;
    out << formatText("%s: %d x %d pixels, %d wavelet stages, %d records (%d region%s and the background), "
                      "%llu bytes",
                      input.c_str(), h.width, h.height, h.stages, h.recordCount, h.regionCount(),
                      h.regionCount() == 1 ? "" : "s", static_cast<unsigned long long>(result.bytes))
        << '\n';
    out << "record  role        kind        left    top  width  height  payload bytes\n";
    for (const RecordInfo& r : result.info.records) {
        out << formatText("%6d  %-10s  %-10s %5lld  %5lld  %5d  %6d  %13lld", r.number,
                          r.background ? "background" : "region", kindName(r.kind), static_cast<long long>(r.left),
                          static_cast<long long>(r.top), r.width, r.height, static_cast<long long>(r.payloadBytes))
            << '\n';
    }
}

} // namespace nubo::cli
