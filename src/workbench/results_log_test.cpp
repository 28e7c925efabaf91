#include "workbench/results_log.h"

#include <gtest/gtest.h>

#include <limits>

namespace nubo {
namespace {

ResultRecord testRoiRecord()
{
    ResultRecord r;
    r.time = "2026-01-02 03:04:05";
    r.command = "Test ROI";
    r.document = "lena, \"small\".bmp";
    r.result = "new 1";
    r.recordsDecoded = 2;
    r.recordsInStream = 3;
    r.bytes = 3000;
    r.bitsPerPixel = 4.0;
    r.mse = 12.3456;
    r.snr = 20.0;
    r.psnr = std::numeric_limits<double>::infinity();
    r.ssim = 0.98765;
    r.encodeSeconds = 0.0125;
    r.decodeSeconds = 0.5;
    return r;
}

// The CSV holds the header and one quoted-where-needed line per record; absent figures are empty fields.
TEST(ResultsLog, CsvLines)
{
    ResultRecord compare;
    compare.time = "2026-01-02 03:05:00";
    compare.command = "Compare with ...";
    compare.document = "a.bmp";
    compare.result = "b.bmp";
    compare.mse = 9.0;
    compare.snr = 30.25;
    compare.psnr = 38.5;
    compare.ssim = 0.5;
    EXPECT_EQ(resultsCsv({testRoiRecord(), compare}),
              "time,command,document,result,records,bytes,bpp,mse,snr,psnr,ssim,encode_s,decode_s\r\n"
              "2026-01-02 03:04:05,Test ROI,\"lena, \"\"small\"\".bmp\",new 1,2/3,3000,4.000,12.346,20.000,inf,"
              "0.9877,0.013,0.500\r\n"
              "2026-01-02 03:05:00,Compare with ...,a.bmp,b.bmp,,,,9.000,30.250,38.500,0.5000,,\r\n");
}

// The clipboard text has the same cells, tab-separated, with no quoting.
TEST(ResultsLog, TabText)
{
    ResultRecord encode;
    encode.command = "Encode img to file";
    encode.document = "a\tb";
    encode.recordsInStream = 3;
    const std::string text = resultsTabText({encode});
    EXPECT_EQ(text.substr(text.find('\n') + 1), "\tEncode img to file\ta b\t\t3\t\t\t\t\t\t\t\t\n");
}

} // namespace
} // namespace nubo
