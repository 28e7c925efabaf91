#include "commands/rate_sweep_csv.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace nubo {

namespace {

// The same order as the JSON Lines form of nubo-cli sweep.
const char* const kSweepColumns[] = {"input", "ratio", "vary", "bytes", "bpp", "psnr", "psnrRed", "psnrGreen",
                                     "psnrBlue", "ssim", "regionPsnr", "regionSsim", "backgroundPsnr",
                                     "backgroundSsim", "encodeSeconds", "decodeSeconds"};

std::string quotedCell(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

// The shortest text that reads back as the same double; "null" for NaN, as the JSON form writes it.
std::string numberCell(bool known, double number)
{
    if (!known)
        return {};
    if (std::isinf(number))
        return "inf";
    if (std::isnan(number))
        return "null";
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string sweepCsvHeader()
{
    std::string header;
    for (const char* column : kSweepColumns) {
        if (!header.empty())
            header += ',';
        header += column;
    }
    return header;
}

std::string sweepCsvRow(const std::string& input, SweepVary vary, const SweepPoint& p)
{
    const std::string cells[] = {quotedCell(input),
                                 std::to_string(p.ratio),
                                 sweepVaryName(vary),
                                 std::to_string(static_cast<std::int64_t>(p.bytes)),
                                 numberCell(true, p.bitsPerPixel),
                                 numberCell(p.whole.measured, p.whole.psnr),
                                 numberCell(p.whole.measured, p.whole.psnrRed),
                                 numberCell(p.whole.measured, p.whole.psnrGreen),
                                 numberCell(p.whole.measured, p.whole.psnrBlue),
                                 numberCell(p.whole.ssimMeasured, p.whole.ssim),
                                 numberCell(p.regions.measured, p.regions.psnr),
                                 numberCell(p.regions.ssimMeasured, p.regions.ssim),
                                 numberCell(p.background.measured, p.background.psnr),
                                 numberCell(p.background.ssimMeasured, p.background.ssim),
                                 numberCell(true, p.encodeSeconds),
                                 numberCell(true, p.decodeSeconds)};
    std::string row;
    for (const std::string& cell : cells) {
        if (&cell != &cells[0])
            row += ',';
        row += cell;
    }
    return row;
}

std::string sweepCsvTable(const std::string& input, SweepVary vary, const std::vector<SweepPoint>& points)
{
    std::string table = sweepCsvHeader() + "\n";
    for (const SweepPoint& point : points)
        table += sweepCsvRow(input, vary, point) + "\n";
    return table;
}

} // namespace nubo
