#include "roi/coding_commands.h"

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

std::string withPlainLineBreaks(std::string text)
{
    std::string::size_type at = 0;
    while ((at = text.find("\n\r", at)) != std::string::npos) {
        text.erase(at + 1, 1);
        ++at;
    }
    return text;
}

EncodedStream encodeDocument(const DocumentData& document, DiagnosticSink& diagnostics)
{
    EncodedStream result;
    result.outcome = encodeRoiStream(document, result.bytes, diagnostics);
    if (!result.outcome.ok)
        result.bytes.clear();
    return result;
}

bool readStreamHeader(const std::string& stream, StreamHeader& header, std::string* reason)
{
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    return readStreamHeader(in, header, reason);
}

bool loadStreamFile(const std::string& path, std::string& stream, StreamHeader& header, std::string* reason)
{
    if (!readWholeFile(path, stream, reason))
        return false;
    std::string why;
    if (readStreamHeader(stream, header, &why))
        return true;
    if (reason)
        *reason = "not a valid .roi stream: " + why;
    return false;
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

Comparison compareDocuments(const DocumentData& current, const DocumentData& chosen)
{
    Comparison result;
    const RasterImage& source = current.image();
    const RasterImage& other = chosen.image();
    if (!source.isValid()) {
        result.error = text::kSourceInvalid;
        return result;
    }
    if (!other.isValid()) {
        result.error = text::kResultInvalid;
        return result;
    }
    if (source.width() != other.width() || source.height() != other.height()) {
        result.error = text::kDifferentDimensions;
        return result;
    }
    const bool whole = current.regions().count() == 0;
    result.measure.measure(source, other, whole, &current.regions());
    result.statistic = comparisonStatistic(result.measure);
    result.ok = true;
    return result;
}

} // namespace nubo
