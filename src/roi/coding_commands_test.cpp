#include "roi/coding_commands.h"

#include "common/atomic_file.h"
#include "document/document_data.h"
#include "roi/roi_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace nubo {
namespace {

using testing::makeDocument;
using testing::patternImage;
using testing::region;
using testing::selection;

// 3000 bytes for a 100 x 60 picture are 4 bits per pixel, shown with three decimals.
TEST(CodingCommands, BitRateAndEncodingStatistic)
{
    EXPECT_EQ(bitRate(3000, 100, 60), 4.0);
    EXPECT_EQ(encodingStatistic(1.23456, 3000, 100, 60),
              "Encoding time: 1.235 seconds.\n\rResult bit rate: 4.000 bpp.");
    EXPECT_EQ(bitRate(3000, 0, 60), 0.0);
}

// The statistic texts keep their "\n\r" line breaks; the plain form has "\n" only.
TEST(CodingCommands, StatisticTextsAndPlainLineBreaks)
{
    const RasterImage source = patternImage(8, 8);
    QualityMeasure measure;
    ASSERT_TRUE(measure.measure(source, source, true, nullptr));
    const std::string text = decodingStatistic(0.5, measure);
    EXPECT_EQ(text.rfind("Decoding time: 0.500 seconds.\n\rResult MSE: 0.000 .\n\rResult SNR: ", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 4), " dB.");
    EXPECT_EQ(withPlainLineBreaks("a\n\rb\n\rc"), "a\nb\nc");
    EXPECT_EQ(comparisonStatistic(measure).rfind("Result MSE: 0.000 .\n\rResult SNR: ", 0), 0u);

    QualityMeasure nothing;
    RegionSet none;
    nothing.measure(source, source, false, &none);
    EXPECT_EQ(decodingStatistic(2.0, nothing),
              "Decoding time: 2.000 seconds.\n\rNothing was measured: no pixel was selected.");
}

// "Compare with ...": the error texts in their order, then the whole picture without regions or only the
// current document's regions with them.
TEST(CodingCommands, CompareDocuments)
{
    const DocumentData empty;
    const DocumentData small = makeDocument(patternImage(10, 10), {});
    const DocumentData other = makeDocument(patternImage(10, 12), {});
    EXPECT_EQ(compareDocuments(empty, small).error, text::kSourceInvalid);
    EXPECT_EQ(compareDocuments(small, empty).error, text::kResultInvalid);
    EXPECT_EQ(compareDocuments(small, other).error, text::kDifferentDimensions);

    const DocumentData same = makeDocument(patternImage(10, 10, 2), {});
    const Comparison whole = compareDocuments(small, same);
    ASSERT_TRUE(whole.ok);
    EXPECT_EQ(whole.measure.pixelCount(), 100);
    const DocumentData withRegion = makeDocument(patternImage(10, 10), {region(1, 1, 3, 4, CoderKind::Arithmetic)});
    const Comparison inRegion = compareDocuments(withRegion, same);
    ASSERT_TRUE(inRegion.ok);
    EXPECT_EQ(inRegion.measure.pixelCount(), 12);
    EXPECT_EQ(inRegion.statistic, comparisonStatistic(inRegion.measure));
}

// "Test ROI": the encoded stream decodes into a new document; with only the background the measure covers every
// pixel, with only some regions just theirs; without outlines the new document keeps no regions.
TEST(CodingCommands, TestRoiEncodeThenDecodeSelections)
{
    DocumentData source = makeDocument(patternImage(64, 48), {region(2, 2, 20, 20, CoderKind::Arithmetic),
                                                              region(25, 5, 62, 45, CoderKind::Wavelet, 4)},
                                       10, 3);
    EncodedStream encoded = encodeDocument(source, discardSink());
    ASSERT_TRUE(encoded.outcome.ok) << encoded.outcome.reason;
    source.replaceLastEncoding(std::move(encoded.bytes));

    StreamHeader header;
    ASSERT_TRUE(readStreamHeader(*source.lastEncoding(), header));
    EXPECT_EQ(header.regionCount(), 2);

    RegionSelection backgroundOnly = selection(2, {}, true);
    DocumentData first;
    const TestDecodeResult whole = finishTestDecode(source, first, decodeDocument(*source.lastEncoding(), backgroundOnly),
                                                    backgroundOnly, 0.25);
    EXPECT_TRUE(whole.measure.whole());
    EXPECT_EQ(whole.measure.pixelCount(), 64 * 48);
    EXPECT_EQ(whole.statistic, decodingStatistic(0.25, whole.measure));

    RegionSelection lossless = selection(2, {0}, false);
    lossless.setShowOutlines(true);
    DocumentData second;
    const TestDecodeResult regionOnly = finishTestDecode(source, second, decodeDocument(*source.lastEncoding(), lossless),
                                                         lossless, 0.25);
    EXPECT_FALSE(regionOnly.measure.whole());
    EXPECT_EQ(regionOnly.measure.pixelCount(), 19 * 19);
    EXPECT_EQ(regionOnly.measure.mse(), 0.00001f); // lossless
    EXPECT_EQ(second.regions().count(), 1);
    EXPECT_FALSE(second.background().backgroundPresent());

    lossless.setShowOutlines(false);
    DocumentData third;
    finishTestDecode(source, third, decodeDocument(*source.lastEncoding(), lossless), lossless, 0.25);
    EXPECT_EQ(third.regions().count(), 0);
    EXPECT_TRUE(third.background().backgroundPresent());
    EXPECT_EQ(third.descriptionMode(), DescriptionMode::Hidden);
}

// Nothing selected: no pixel is measured and the statistic says so rather than showing NaN.
TEST(CodingCommands, TestRoiWithNothingSelected)
{
    DocumentData source = makeDocument(patternImage(40, 40), {}, 4, 3);
    const EncodedStream encoded = encodeDocument(source, discardSink());
    ASSERT_TRUE(encoded.outcome.ok);
    const RegionSelection nothing = selection(0, {}, false);
    DocumentData decoded;
    const TestDecodeResult result = finishTestDecode(source, decoded, decodeDocument(encoded.bytes, nothing), nothing, 1.0);
    EXPECT_FALSE(result.measure.measured());
    EXPECT_EQ(result.statistic, "Decoding time: 1.000 seconds.\n\rNothing was measured: no pixel was selected.");
}

// A failed encoding hands back no stream at all.
TEST(CodingCommands, FailedEncodingLeavesNoStream)
{
    const DocumentData document = makeDocument(patternImage(40, 40), {region(0, 0, 39, 39, CoderKind::Wavelet, 900)});
    const EncodedStream encoded = encodeDocument(document, discardSink());
    EXPECT_FALSE(encoded.outcome.ok);
    EXPECT_TRUE(encoded.bytes.empty());
}

// "Decode img from file": the document takes the picture and drops the decoded regions.
TEST(CodingCommands, FileDecodeReplacesPictureAndDropsRegions)
{
    const DocumentData source = makeDocument(patternImage(48, 40), {region(2, 2, 12, 12, CoderKind::Arithmetic)}, 4, 3);
    const EncodedStream encoded = encodeDocument(source, discardSink());
    ASSERT_TRUE(encoded.outcome.ok);
    DocumentData target = makeDocument(patternImage(8, 8), {region(1, 1, 2, 2, CoderKind::Arithmetic)});
    target.setDescriptionMode(DescriptionMode::Short);
    finishFileDecode(target, decodeDocument(encoded.bytes, testing::selectEverything(1)));
    EXPECT_EQ(target.image().width(), 48);
    EXPECT_EQ(target.regions().count(), 0);
    EXPECT_EQ(target.descriptionMode(), DescriptionMode::Hidden);
    EXPECT_TRUE(target.background().backgroundPresent());
}

// A .roi file is read whole with its header; a missing file or a refused header fails with a reason.
TEST(CodingCommands, LoadStreamFile)
{
    const std::string folder = ::testing::TempDir();
    const std::string good = folder + "/nubo-load-" + std::to_string(::getpid()) + ".roi";
    const std::string bad = folder + "/nubo-bad-" + std::to_string(::getpid()) + ".roi";
    const EncodedStream encoded = encodeDocument(makeDocument(patternImage(40, 36), {}, 4, 3), discardSink());
    ASSERT_TRUE(writeFileAtomically(good, encoded.bytes));
    ASSERT_TRUE(writeFileAtomically(bad, "40;36;0;3;"));
    std::string stream;
    StreamHeader header;
    std::string reason;
    ASSERT_TRUE(loadStreamFile(good, stream, header, &reason)) << reason;
    EXPECT_EQ(stream, encoded.bytes);
    EXPECT_EQ(header.height, 36);
    EXPECT_FALSE(loadStreamFile(bad, stream, header, &reason));
    EXPECT_EQ(reason.rfind("not a valid .roi stream: header: ", 0), 0u) << reason;
    EXPECT_FALSE(loadStreamFile(folder + "/no-such-file.roi", stream, header, &reason));
    std::remove(good.c_str());
    std::remove(bad.c_str());
}

} // namespace
} // namespace nubo
