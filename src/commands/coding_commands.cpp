#include "commands/coding_commands.h"

#include "common/atomic_file.h"
#include "document/document_data.h"

#include <sstream>

namespace nubo {

namespace {

std::string nothingMeasured(const QualityMeasure& measure)
{
    return "Nothing was measured: " + measure.reason() + ".";
}

} // namespace

double bitRate(std::uint64_t bytes, int width, int height)
{
    const long long pixels = static_cast<long long>(width) * height;
    if (pixels <= 0)
        return 0.0;
    return static_cast<double>(bytes) * 8.0 / static_cast<double>(pixels);
}

std::string encodingStatistic(double seconds, std::uint64_t bytes, int width, int height)
{
    return formatText("Encoding time: %.3f seconds.\n\rResult bit rate: %.3f bpp.", seconds,
                      bitRate(bytes, width, height));
}

std::string decodingStatistic(double seconds, const QualityMeasure& measure)
{
    if (!measure.measured())
        return formatText("Decoding time: %.3f seconds.\n\r", seconds) + nothingMeasured(measure);
    return formatText("Decoding time: %.3f seconds.\n\rResult MSE: %.3f .\n\rResult SNR: %.3f dB.", seconds,
                      static_cast<double>(measure.mse()), static_cast<double>(measure.snr()));
}

std::string comparisonStatistic(const QualityMeasure& measure)
{
    if (!measure.measured())
        return nothingMeasured(measure);
    return formatText("Result MSE: %.3f .\n\rResult SNR: %.3f dB.", static_cast<double>(measure.mse()),
                      static_cast<double>(measure.snr()));
}

std::string starvedRecordWarning(const StarvedRecord& record)
{
    const std::string who = record.background ? std::string("the background") : formatText("region %d", record.record);
    const char* per = record.sharedBudget ? "for its three colour planes together" : "per colour plane";
    std::string text = formatText("Warning: %s is starved: its budget of %d bytes %s codes nothing but the mean; the "
                                  "smallest workable budget is %d bytes",
                                  who.c_str(), record.budgetBytes, per, record.workableBudgetBytes);
    const int ratio = largestWorkableRatio(record);
    text += ratio >= 1 ? formatText(" (ratio %d or less).", ratio) : std::string(", more than any ratio gives it.");
    return text;
}

std::vector<std::string> starvedRecordWarnings(const EncodeReport& report)
{
    std::vector<std::string> warnings;
    for (const StarvedRecord& record : report.starved)
        warnings.push_back(starvedRecordWarning(record));
    return warnings;
}

std::string withPlainLineBreaks(std::string text)
{
    std::string::size_type at = 0;
    while ((at = text.find("\n\r", at)) != std::string::npos) {
        text.erase(at + 1, 1);
        ++at;
    }
    return text;
}

StatusOr<EncodedStream> encodeDocument(const DocumentData& document, DiagnosticSink& diagnostics)
{
    EncodedStream encoded;
    StatusOr<EncodeReport> report = encodeRoiStream(document, encoded.bytes, diagnostics);
    if (!report)
        return report.status();
    encoded.report = std::move(report).value();
    return encoded;
}

StatusOr<StreamHeader> readStreamHeader(const std::string& stream)
{
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    StreamHeader header;
    NUBO_RETURN_IF_ERROR(readStreamHeader(in, header));
    return header;
}

StatusOr<LoadedStream> loadStreamFile(const std::string& path)
{
    StatusOr<std::string> bytes = readWholeFile(path);
    if (!bytes)
        return bytes.status();
    StatusOr<StreamHeader> header = readStreamHeader(*bytes);
    if (!header)
        return header.status().withContext("not a valid .roi stream");
    return LoadedStream{std::move(bytes).value(), *header};
}

DecodedPicture decodeDocument(const std::string& stream, const RegionSelection& selection)
{
    return decodeRoiStream(stream, selection);
}

DecodedPicture decodeDocument(std::istream& stream, const RegionSelection& selection)
{
    return decodeRoiStream(stream, selection);
}

TestDecodeResult finishTestDecode(const DocumentData& source, DocumentData& decoded, DecodedPicture&& picture,
                                  const RegionSelection& selection, double seconds)
{
    adoptDecodedPicture(decoded, std::move(picture));
    TestDecodeResult result;
    const bool whole = decoded.background().backgroundPresent();
    result.measure.measure(source.image(), decoded.image(), whole, &decoded.regions());
    result.statistic = decodingStatistic(seconds, result.measure);
    if (!selection.showOutlines()) {
        decoded.regions().clear();
        decoded.setDescriptionMode(DescriptionMode::Hidden);
        decoded.background().setBackgroundPresent(true);
    }
    return result;
}

void finishFileDecode(DocumentData& document, DecodedPicture&& picture)
{
    adoptDecodedPicture(document, std::move(picture));
    document.regions().clear();
    document.setDescriptionMode(DescriptionMode::Hidden);
}

StatusOr<Comparison> compareDocuments(const DocumentData& current, const DocumentData& chosen)
{
    Comparison result;
    const RasterImage& source = current.image();
    const RasterImage& other = chosen.image();
    if (!source.isValid())
        return failure(text::kSourceInvalid);
    if (!other.isValid())
        return failure(text::kResultInvalid);
    if (source.width() != other.width() || source.height() != other.height())
        return failure(text::kDifferentDimensions);
    const bool whole = current.regions().count() == 0;
    result.measure.measure(source, other, whole, &current.regions());
    result.statistic = comparisonStatistic(result.measure);
    return result;
}

} // namespace nubo
