#include "roi/roi_stream_info.h"

#include "roi/roi_stream_encoder.h"
#include "test_support/stream_pieces.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace nubo {
namespace {

using test::region;

// Each record's kind, corner, size and payload length; header, record fields and payloads add up to the stream.
TEST(RoiStreamInfo, DescribesEveryRecord)
{
    const DocumentData document = test::makeDocument(
        test::patternImage(80, 60), {region(3, 4, 14, 20, CoderKind::Arithmetic), region(20, 5, 70, 50, CoderKind::Wavelet, 6)},
        8, 4);
    std::string stream;
    ASSERT_TRUE(encodeRoiStream(document, stream, discardSink()));
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    const StreamInfo info = inspectRoiStream(in);
    ASSERT_TRUE(info.complete()) << info.reason();
    EXPECT_EQ(info.header.width, 80);
    EXPECT_EQ(info.header.stages, 4);
    EXPECT_EQ(info.streamBytes, static_cast<std::int64_t>(stream.size()));
    ASSERT_EQ(info.records.size(), 3u);
    EXPECT_EQ(info.records[0].kind, 2);
    EXPECT_EQ(info.records[0].width, 12);
    EXPECT_EQ(info.records[0].height, 17);
    EXPECT_EQ(info.records[1].left, 20);
    EXPECT_EQ(info.records[1].width, 51);
    EXPECT_EQ(info.records[1].height, 46);
    EXPECT_TRUE(info.records[2].background);
    EXPECT_EQ(info.records[2].width, 80);
    std::int64_t total = std::string("80;60;3;4;").size();
    total += std::string("3;4;2;").size() + std::string("20;5;1;").size() + std::string("0;0;1;").size();
    for (const RecordInfo& record : info.records)
        total += record.payloadBytes;
    EXPECT_EQ(total, static_cast<std::int64_t>(stream.size()));
}

} // namespace
} // namespace nubo

namespace nubo {
namespace {

// A record reaching outside the picture is listed and ends the walk, as it ends decoding.
TEST(RoiStreamInfo, RecordOutsideThePictureIsDamage)
{
    const std::string stream = "40;30;2;2;35;2;2;" + test::losslessPayload(test::uniformImage(10, 8, 1, 2, 3))
        + "0;0;1;" + test::waveletPayload(test::uniformImage(40, 30, 0, 0, 9), 1, 2);
    std::istringstream in(stream, std::ios::in | std::ios::binary);
    const StreamInfo info = inspectRoiStream(in);
    EXPECT_FALSE(info.complete());
    ASSERT_EQ(info.records.size(), 1u);
    EXPECT_EQ(info.records[0].width, 10);
    EXPECT_EQ(info.reason().rfind("record 1 of 2: ", 0), 0u) << info.reason();
}

} // namespace
} // namespace nubo
