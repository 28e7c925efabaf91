#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nubo {

// One statistic of the session, as a row of the results log: what ran on which document and every figure it
// gave. A figure the command does not produce (an encoding has no MSE, a comparison no bytes) is left empty.
struct ResultRecord {
    std::string time;     // local time the command finished, "yyyy-mm-dd hh:mm:ss"
    std::string command;  // "Test ROI", "Test ROI (only decode)", "Encode img to file", "Decode img from file",
                          // "Compare with ..."
    std::string document; // the document the command ran on
    std::string result;   // the decoded document, the .roi file or the compared document
    std::optional<int> recordsDecoded; // records decoded ...
    std::optional<int> recordsInStream; // ... of the stream's records
    std::optional<std::uint64_t> bytes; // the .roi stream
    std::optional<double> bitsPerPixel;
    std::optional<double> mse;
    std::optional<double> snr;
    std::optional<double> psnr; // +infinity for equal pixels
    std::optional<double> ssim;
    std::optional<double> encodeSeconds;
    std::optional<double> decodeSeconds;
};

// The log's columns, in order.
enum class ResultColumn {
    Time, Command, Document, Result, Records, Bytes, BitsPerPixel, Mse, Snr, Psnr, Ssim, EncodeSeconds, DecodeSeconds
};
inline constexpr int kResultColumnCount = 13;

// The column names of the CSV header: time, command, document, result, records, bytes, bpp, mse, snr, psnr, ssim,
// encode_s, decode_s.
const char* resultColumnName(ResultColumn column);

// A cell as the log shows it and the CSV holds it: seconds, bpp, MSE, SNR and PSNR with three decimals as the
// statistic boxes give them ("inf" for an infinite PSNR), SSIM with four; records as "decoded/in stream" (only
// the stream's count for an encoding); empty when the row has no such figure.
std::string resultCell(const ResultRecord& record, ResultColumn column);

// The header line and one line per record, fields separated by commas, each line ended by "\r\n" (RFC 4180);
// a field holding a comma, a quote or a line break is quoted, its quotes doubled.
std::string resultsCsv(const std::vector<ResultRecord>& records);

// The same rows separated by tabs and ended by "\n", as spreadsheets take them from the clipboard; tabs and line
// breaks inside a field become spaces.
std::string resultsTabText(const std::vector<ResultRecord>& records);

} // namespace nubo
