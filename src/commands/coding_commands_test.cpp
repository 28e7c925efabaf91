#include "commands/coding_commands.h"

#include "common/atomic_file.h"
#include "document/document_data.h"
#include "test_support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace nubo {
namespace {

using test::makeDocument;
using test::patternImage;
using test::region;
using test::selection;

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
    EXPECT_EQ(compareDocuments(empty, small).reason(), text::kSourceInvalid);
    EXPECT_EQ(compareDocuments(small, empty).reason(), text::kResultInvalid);
    EXPECT_EQ(compareDocuments(small, other).reason(), text::kDifferentDimensions);

    const DocumentData same = makeDocument(patternImage(10, 10, 2), {});
    const StatusOr<Comparison> whole = compareDocuments(small, same);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole->measure.pixelCount(), 100);
    const DocumentData withRegion = makeDocument(patternImage(10, 10), {region(1, 1, 3, 4, CoderKind::Arithmetic)});
    const StatusOr<Comparison> inRegion = compareDocuments(withRegion, same);
    ASSERT_TRUE(inRegion.ok());
    EXPECT_EQ(inRegion->measure.pixelCount(), 12);
    EXPECT_EQ(inRegion->statistic, comparisonStatistic(inRegion->measure));
}

// "Test ROI": the encoded stream decodes into a new document; with only the background the measure covers every
// pixel, with only some regions just theirs; without outlines the new document keeps no regions.
TEST(CodingCommands, TestRoiEncodeThenDecodeSelections)
{
    DocumentData source = makeDocument(patternImage(64, 48), {region(2, 2, 20, 20, CoderKind::Arithmetic),
                                                              region(25, 5, 62, 45, CoderKind::Wavelet, 4)},
                                       10, 3);
    StatusOr<EncodedStream> encoded = encodeDocument(source, discardSink());
    ASSERT_TRUE(encoded.ok()) << encoded.reason();
    source.replaceLastEncoding(std::move(encoded->bytes));

    const StatusOr<StreamHeader> header = readStreamHeader(*source.lastEncoding());
    ASSERT_TRUE(header.ok()) << header.reason();
    EXPECT_EQ(header->regionCount(), 2);

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
    const StatusOr<EncodedStream> encoded = encodeDocument(source, discardSink());
    ASSERT_TRUE(encoded.ok());
    const RegionSelection nothing = selection(0, {}, false);
    DocumentData decoded;
    const TestDecodeResult result = finishTestDecode(source, decoded, decodeDocument(encoded->bytes, nothing), nothing, 1.0);
    EXPECT_FALSE(result.measure.measured());
    EXPECT_EQ(result.statistic, "Decoding time: 1.000 seconds.\n\rNothing was measured: no pixel was selected.");
}

// A failed encoding hands back no stream at all.
TEST(CodingCommands, FailedEncodingLeavesNoStream)
{
    const DocumentData document = makeDocument(patternImage(40, 40), {region(0, 0, 39, 39, CoderKind::Wavelet, 900)});
    const StatusOr<EncodedStream> encoded = encodeDocument(document, discardSink());
    EXPECT_FALSE(encoded.ok());
    EXPECT_NE(encoded.reason().find("ratio 900 is outside"), std::string::npos) << encoded.reason();
}

// "Decode img from file": the document takes the picture and drops the decoded regions.
TEST(CodingCommands, FileDecodeReplacesPictureAndDropsRegions)
{
    const DocumentData source = makeDocument(patternImage(48, 40), {region(2, 2, 12, 12, CoderKind::Arithmetic)}, 4, 3);
    const StatusOr<EncodedStream> encoded = encodeDocument(source, discardSink());
    ASSERT_TRUE(encoded.ok());
    DocumentData target = makeDocument(patternImage(8, 8), {region(1, 1, 2, 2, CoderKind::Arithmetic)});
    target.setDescriptionMode(DescriptionMode::Short);
    finishFileDecode(target, decodeDocument(encoded->bytes, test::selectEverything(1)));
    EXPECT_EQ(target.image().width(), 48);
    EXPECT_EQ(target.regions().count(), 0);
    EXPECT_EQ(target.descriptionMode(), DescriptionMode::Hidden);
    EXPECT_TRUE(target.background().backgroundPresent());
}

// A decode that reaches the background gives the document the stream's background coder; one that leaves the
// background out keeps the document's.
TEST(CodingCommands, FileDecodeTakesTheBackgroundCoder)
{
    for (const CoderKind kind : {CoderKind::WaveletColour, CoderKind::Wavelet}) {
        DocumentData source = makeDocument(patternImage(48, 40), {region(2, 2, 40, 36, CoderKind::Wavelet, 4)}, 8, 3);
        source.background().setCoderKind(kind);
        const StatusOr<EncodedStream> encoded = encodeDocument(source, discardSink());
        ASSERT_TRUE(encoded.ok());
        const CoderKind other = kind == CoderKind::Wavelet ? CoderKind::WaveletColour : CoderKind::Wavelet;
        DocumentData target = makeDocument(patternImage(8, 8), {});
        target.background().setCoderKind(other);
        finishFileDecode(target, decodeDocument(encoded->bytes, selection(1, {0}, false)));
        EXPECT_EQ(target.background().coderKind(), other);
        finishFileDecode(target, decodeDocument(encoded->bytes, test::selectEverything(1)));
        EXPECT_EQ(target.background().coderKind(), kind);
    }
}

// A .roi file is read whole with its header; a missing file or a refused header fails with a reason.
TEST(CodingCommands, LoadStreamFile)
{
    const std::string folder = ::testing::TempDir();
    const std::string good = folder + "/nubo-load-" + std::to_string(::getpid()) + ".roi";
    const std::string bad = folder + "/nubo-bad-" + std::to_string(::getpid()) + ".roi";
    const StatusOr<EncodedStream> encoded = encodeDocument(makeDocument(patternImage(40, 36), {}, 4, 3), discardSink());
    ASSERT_TRUE(encoded.ok());
    ASSERT_TRUE(writeFileAtomically(good, encoded->bytes));
    ASSERT_TRUE(writeFileAtomically(bad, "40;36;0;3;"));
    const StatusOr<LoadedStream> loaded = loadStreamFile(good);
    ASSERT_TRUE(loaded.ok()) << loaded.reason();
    EXPECT_EQ(loaded->bytes, encoded->bytes);
    EXPECT_EQ(loaded->header.height, 36);
    const StatusOr<LoadedStream> refused = loadStreamFile(bad);
    EXPECT_FALSE(refused.ok());
    EXPECT_EQ(refused.reason().rfind("not a valid .roi stream: header: ", 0), 0u) << refused.reason();
    const StatusOr<LoadedStream> missing = loadStreamFile(folder + "/no-such-file.roi");
    EXPECT_EQ(missing.reason().rfind("cannot open ", 0), 0u) << missing.reason();
    std::remove(good.c_str());
    std::remove(bad.c_str());
}

} // namespace
} // namespace nubo
