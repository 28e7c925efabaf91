#include "cli/json_report.h"

#include "cli/json_writer.h"
#include "cli/report_fields.h"

namespace nubo::cli {

namespace {

// The picture's warnings first, then the encoder's.
void warningsJson(JsonWriter& json, const EncodingFigures& encoding)
{
    json.key("warnings").beginArray();
    for (const std::string& warning : encoding.pictureWarnings)
        json.value(warning);
    for (const std::string& warning : encoding.codingWarnings)
        json.value(warning);
    json.endArray();
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

// PSNR (overall and per channel) and SSIM; null where there is no finite value or nothing was measured.
void standardMetricsJson(JsonWriter& json, const StandardMetrics& metrics)
{
    const auto number = [&](const char* name, bool known, double value) {
        json.key(name);
        if (known)
            json.value(value);
        else
            json.null();
    };
    number("psnr", metrics.measured, metrics.psnr);
    number("psnrRed", metrics.measured, metrics.psnrRed);
    number("psnrGreen", metrics.measured, metrics.psnrGreen);
    number("psnrBlue", metrics.measured, metrics.psnrBlue);
    number("ssim", metrics.ssimMeasured, metrics.ssim);
}

// test's "records": each record's place, payload and metrics over its own pixels.
void recordsJson(JsonWriter& json, const std::vector<RecordResult>& records)
{
    json.key("records").beginArray();
    for (const RecordResult& r : records) {
        json.beginObject().key("record").value(r.record).key("role").value(r.background ? "background" : "region");
        json.key("kind").value(kindName(r.kind)).key("left").value(r.left).key("top").value(r.top);
        json.key("width").value(r.width).key("height").value(r.height).key("bytes").value(r.bytes);
        json.key("decoded").value(r.decoded);
        json.key("psnr");
        if (r.metrics.measured)
            json.value(r.metrics.psnr);
        else
            json.null();
        json.key("ssim");
        if (r.metrics.ssimMeasured)
            json.value(r.metrics.ssim);
        else
            json.null();
        json.endObject();
    }
    json.endArray();
}

void decodeOutcomeJson(JsonWriter& json, const DecodeOutcome& outcome)
{
    json.key("complete").value(outcome.complete());
    if (!outcome.complete()) {
        json.key("stoppedAt").value(outcome.stoppedAt);
        json.key("damage").value(outcome.reason());
    }
}

// The picture and coding choices encode and test share.
void documentJson(JsonWriter& json, const PictureRequest& document, const EncodingFigures& encoding)
{
    json.key("width").value(encoding.width).key("height").value(encoding.height);
    json.key("regions").value(encoding.regionCount).key("stages").value(document.stages);
    json.key("backgroundRatio").value(document.backgroundRatio);
}

} // namespace

std::string encodeJson(const EncodeFileRequest& request, const EncodeFileResult& result)
{
    const EncodingFigures& e = result.encoding;
    JsonWriter json;
    json.beginObject();
    json.key("command").value("encode").key("input").value(request.document.picture);
    json.key("output").value(request.output);
    documentJson(json, request.document, e);
    json.key("bytes").value(static_cast<std::int64_t>(e.bytes));
    json.key("seconds").value(e.seconds);
    json.key("bitRate").value(bitRate(e.bytes, e.width, e.height));
    warningsJson(json, e);
    json.endObject();
    return json.text();
}

std::string decodeJson(const DecodeFileRequest& request, const DecodeFileResult& result)
{
    const StreamHeader& header = result.header;
    JsonWriter json;
    json.beginObject();
    json.key("command").value("decode").key("input").value(request.input).key("output").value(request.output);
    json.key("width").value(header.width).key("height").value(header.height);
    json.key("records").value(header.recordCount).key("stages").value(header.stages);
    json.key("decodedRegions").beginArray();
    for (std::size_t i = 0; i < result.decodedRegions.size(); ++i) {
        const Region& r = result.decodedRegions[i];
        json.beginObject();
        if (i < result.decodedNumbers.size())
            json.key("number").value(result.decodedNumbers[i]);
        json.key("left").value(r.left).key("top").value(r.top).key("right").value(r.right);
        json.key("bottom").value(r.bottom).endObject();
    }
    json.endArray();
    json.key("background").value(result.backgroundPresent);
    json.key("seconds").value(result.seconds);
    decodeOutcomeJson(json, result.outcome);
    json.endObject();
    return json.text();
}

std::string testJson(const TestFileRequest& request, const TestFileResult& result)
{
    const EncodingFigures& e = result.encoding;
    JsonWriter json;
    json.beginObject();
    json.key("command").value("test").key("input").value(request.document.picture);
    documentJson(json, request.document, e);
    json.key("encode").beginObject();
    json.key("bytes").value(static_cast<std::int64_t>(e.bytes)).key("seconds").value(e.seconds);
    json.key("bitRate").value(bitRate(e.bytes, e.width, e.height));
    json.endObject();
    json.key("decode").beginObject();
    json.key("seconds").value(result.decodeSeconds);
    decodeOutcomeJson(json, result.outcome);
    measureJson(json, result.measure);
    standardMetricsJson(json, result.metrics);
    json.endObject();
    recordsJson(json, result.records);
    warningsJson(json, e);
    json.endObject();
    return json.text();
}

std::string compareJson(const CompareFilesRequest& request, const CompareFilesResult& result)
{
    const QualityMeasure& measure = result.comparison.measure;
    JsonWriter json;
    json.beginObject();
    json.key("command").value("compare").key("source").value(request.document.picture);
    json.key("result").value(request.result);
    json.key("width").value(result.width).key("height").value(result.height);
    json.key("whole").value(measure.whole());
    measureJson(json, measure);
    standardMetricsJson(json, result.metrics);
    json.endObject();
    return json.text();
}

std::string infoJson(const std::string& input, const StreamFileInfo& result)
{
    const StreamInfo& info = result.info;
    const StreamHeader& h = info.header;
    JsonWriter json;
    json.beginObject();
    json.key("command").value("info").key("input").value(input);
    json.key("width").value(h.width).key("height").value(h.height).key("records").value(h.recordCount);
    json.key("stages").value(h.stages).key("bytes").value(static_cast<std::int64_t>(result.bytes));
    json.key("recordList").beginArray();
    for (const RecordInfo& r : info.records) {
        json.beginObject().key("number").value(r.number).key("background").value(r.background);
        json.key("kind").value(kindName(r.kind)).key("left").value(static_cast<std::int64_t>(r.left));
        json.key("top").value(static_cast<std::int64_t>(r.top)).key("width").value(r.width);
        json.key("height").value(r.height).key("payloadBytes").value(static_cast<std::int64_t>(r.payloadBytes));
        json.endObject();
    }
    json.endArray();
    json.key("complete").value(info.complete());
    if (!info.complete())
        json.key("damage").value(info.reason());
    json.endObject();
    return json.text();
}

std::string sweepJsonLine(const std::string& input, SweepVary vary, const SweepPoint& p)
{
    JsonWriter json;
    const auto number = [&json](const char* name, bool known, double value) {
        if (known)
            json.key(name).value(value);
        else
            json.key(name).null();
    };
    json.beginObject();
    json.key("input").value(input);
    json.key("ratio").value(static_cast<std::int64_t>(p.ratio));
    json.key("vary").value(std::string(sweepVaryName(vary)));
    json.key("bytes").value(static_cast<std::int64_t>(p.bytes));
    number("bpp", true, p.bitsPerPixel);
    number("psnr", p.whole.measured, p.whole.psnr);
    number("psnrRed", p.whole.measured, p.whole.psnrRed);
    number("psnrGreen", p.whole.measured, p.whole.psnrGreen);
    number("psnrBlue", p.whole.measured, p.whole.psnrBlue);
    number("ssim", p.whole.ssimMeasured, p.whole.ssim);
    number("regionPsnr", p.regions.measured, p.regions.psnr);
    number("regionSsim", p.regions.ssimMeasured, p.regions.ssim);
    number("backgroundPsnr", p.background.measured, p.background.psnr);
    number("backgroundSsim", p.background.ssimMeasured, p.background.ssim);
    number("encodeSeconds", true, p.encodeSeconds);
    number("decodeSeconds", true, p.decodeSeconds);
    json.endObject();
    return json.text();
}

} // namespace nubo::cli
