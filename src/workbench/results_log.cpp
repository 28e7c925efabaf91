#include "workbench/results_log.h"

#include "common/diagnostics.h"

#include <cmath>

namespace nubo {

namespace {

std::string fixed(const std::optional<double>& value, int decimals)
{
    if (!value)
        return {};
    if (std::isinf(*value))
        return *value > 0 ? "inf" : "-inf";
    return formatText("%.*f", decimals, *value);
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string tabField(std::string text)
{
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return text;
}

template <class Field>
std::string joinedRows(const std::vector<ResultRecord>& records, char separator, const char* lineEnd, Field field)
{
    std::string text;
    for (int c = 0; c < kResultColumnCount; ++c) {
        if (c > 0)
            text += separator;
        text += field(resultColumnName(static_cast<ResultColumn>(c)));
    }
    text += lineEnd;
    for (const ResultRecord& record : records) {
        for (int c = 0; c < kResultColumnCount; ++c) {
            if (c > 0)
                text += separator;
            text += field(resultCell(record, static_cast<ResultColumn>(c)));
        }
        text += lineEnd;
    }
    return text;
}

} // namespace

const char* resultColumnName(ResultColumn column)
{
    switch (column) {
    case ResultColumn::Time:
        return "time";
    case ResultColumn::Command:
        return "command";
    case ResultColumn::Document:
        return "document";
    case ResultColumn::Result:
        return "result";
    case ResultColumn::Records:
        return "records";
    case ResultColumn::Bytes:
        return "bytes";
    case ResultColumn::BitsPerPixel:
        return "bpp";
    case ResultColumn::Mse:
        return "mse";
    case ResultColumn::Snr:
        return "snr";
    case ResultColumn::Psnr:
        return "psnr";
    case ResultColumn::Ssim:
        return "ssim";
    case ResultColumn::EncodeSeconds:
        return "encode_s";
    case ResultColumn::DecodeSeconds:
        return "decode_s";
    }
    return "";
}

std::string resultCell(const ResultRecord& record, ResultColumn column)
{
    switch (column) {
    case ResultColumn::Time:
        return record.time;
    case ResultColumn::Command:
        return record.command;
    case ResultColumn::Document:
        return record.document;
    case ResultColumn::Result:
        return record.result;
    case ResultColumn::Records:
        if (!record.recordsInStream)
            return {};
        if (!record.recordsDecoded)
            return std::to_string(*record.recordsInStream);
        return std::to_string(*record.recordsDecoded) + "/" + std::to_string(*record.recordsInStream);
    case ResultColumn::Bytes:
        return record.bytes ? std::to_string(*record.bytes) : std::string();
    case ResultColumn::BitsPerPixel:
        return fixed(record.bitsPerPixel, 3);
    case ResultColumn::Mse:
        return fixed(record.mse, 3);
    case ResultColumn::Snr:
        return fixed(record.snr, 3);
    case ResultColumn::Psnr:
        return fixed(record.psnr, 3);
    case ResultColumn::Ssim:
        return fixed(record.ssim, 4);
    case ResultColumn::EncodeSeconds:
        return fixed(record.encodeSeconds, 3);
    case ResultColumn::DecodeSeconds:
        return fixed(record.decodeSeconds, 3);
    }
    return {};
}

std::string resultsCsv(const std::vector<ResultRecord>& records)
{
    return joinedRows(records, ',', "\r\n", [](const std::string& text) { return csvField(text); });
}

std::string resultsTabText(const std::vector<ResultRecord>& records)
{
    return joinedRows(records, '\t', "\n", [](const std::string& text) { return tabField(text); });
}

} // namespace nubo
