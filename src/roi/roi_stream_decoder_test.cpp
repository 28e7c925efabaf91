#include "roi/roi_stream_decoder.h"
#include "test_support/keep_reason.h"

#include "document/document_data.h"
#include "roi/roi_stream_encoder.h"
#include "test_support/stream_pieces.h"
#include "test_support/test_support.h"
#include "roi/wavelet_region_coder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace nubo {
namespace {

using test::Bgr;
using test::field;
using test::makeDocument;
using test::patternImage;
using test::pixelAt;
using test::region;
using test::selection;

// A 64 x 48 picture with a lossless region, a wavelet region and a small "Wavelet" region coded losslessly.
struct EncodedDocument {
    DocumentData document = makeDocument(patternImage(64, 48, 9),
                                         {region(2, 3, 21, 17, CoderKind::Arithmetic),
                                          region(24, 4, 60, 40, CoderKind::Wavelet, 3),
                                          region(3, 30, 20, 44, CoderKind::Wavelet)},
                                         2, 3);
    std::string stream;

    EncodedDocument() { EXPECT_TRUE(encodeRoiStream(document, stream, discardSink()).ok()); }

    // The picture the background record decodes to by itself.
    RasterImage backgroundAlone() const
    {
        std::ostringstream out(std::ios::out | std::ios::binary);
        EXPECT_TRUE(encodeWaveletRegion(document.image(), out, 2, 3, &document.regions(), discardSink()).ok());
        std::istringstream in(out.str(), std::ios::in | std::ios::binary);
        RasterImage decoded;
        EXPECT_TRUE(decodeWaveletRegion(decoded, in, 3, {64, 48}).ok());
        return decoded;
    }

    bool insideRegion(int index, int x, int y) const
    {
        const Region& r = document.regions().at(index);
        return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
    }
};

bool isBlack(const RasterImage& image, int x, int y) { return pixelAt(image, x, y) == Bgr{}; }

// Nothing selected: a black picture of the header's size and no regions, and every record read through.
TEST(RoiStreamDecoder, NothingSelectedGivesBlackPicture)
{
    const EncodedDocument encoded;
    const DecodedPicture decoded = decodeRoiStream(encoded.stream, selection(3, {}, false));
    EXPECT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    ASSERT_EQ(decoded.image.width(), 64);
    ASSERT_EQ(decoded.image.height(), 48);
    for (int i = 0; i < decoded.image.size(); ++i)
        ASSERT_EQ(decoded.image.data()[i], 0);
    EXPECT_EQ(decoded.regions.count(), 0);
    EXPECT_FALSE(decoded.backgroundPresent);
}

// Background only: the whole picture, the regions' areas included, comes from the background record.
TEST(RoiStreamDecoder, BackgroundOnlyFillsEverything)
{
    const EncodedDocument encoded;
    const DecodedPicture decoded = decodeRoiStream(encoded.stream, selection(3, {}, true));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    const RasterImage background = encoded.backgroundAlone();
    ASSERT_EQ(decoded.image.size(), background.size());
    EXPECT_TRUE(std::equal(background.data(), background.data() + background.size(), decoded.image.data()));
    EXPECT_TRUE(decoded.backgroundPresent);
    EXPECT_EQ(decoded.regions.count(), 0);
}

// Some regions without the background: exactly their pixels (lossless here), black elsewhere, and the region set
// holds just them with their decoded sizes and the defaults, nothing selected.
TEST(RoiStreamDecoder, SelectedRegionsOnly)
{
    const EncodedDocument encoded;
    const DecodedPicture decoded = decodeRoiStream(encoded.stream, selection(3, {0, 2}, false));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (encoded.insideRegion(0, x, y) || encoded.insideRegion(2, x, y))
                ASSERT_EQ(pixelAt(decoded.image, x, y), pixelAt(encoded.document.image(), x, y)) << x << "," << y;
            else
                ASSERT_TRUE(isBlack(decoded.image, x, y)) << x << "," << y;
        }
    }
    ASSERT_EQ(decoded.regions.count(), 2);
    const Region& first = decoded.regions.at(0);
    EXPECT_EQ((PixelRect{first.left, first.top, first.right, first.bottom}), (PixelRect{2, 3, 21, 17}));
    const Region& second = decoded.regions.at(1);
    EXPECT_EQ((PixelRect{second.left, second.top, second.right, second.bottom}), (PixelRect{3, 30, 20, 44}));
    EXPECT_EQ(second.ratio, 1);
    EXPECT_EQ(second.coderKind, CoderKind::Wavelet);
    EXPECT_EQ(decoded.regions.selectedIndex(), -1);
    EXPECT_FALSE(decoded.backgroundPresent);
}

// Some regions with the background: selected regions keep their own pixels; an unselected region's area and the
// rest come from the background.
TEST(RoiStreamDecoder, SelectedRegionsWithBackground)
{
    const EncodedDocument encoded;
    const DecodedPicture decoded = decodeRoiStream(encoded.stream, selection(3, {0}, true));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    const RasterImage background = encoded.backgroundAlone();
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            const Bgr expected = encoded.insideRegion(0, x, y) && !(pixelAt(encoded.document.image(), x, y) == Bgr{})
                ? pixelAt(encoded.document.image(), x, y)
                : pixelAt(background, x, y);
            ASSERT_EQ(pixelAt(decoded.image, x, y), expected) << x << "," << y;
        }
    }
    EXPECT_EQ(decoded.regions.count(), 1);
    EXPECT_TRUE(decoded.backgroundPresent);
}

// A wavelet region decodes to its own size at its place.
TEST(RoiStreamDecoder, WaveletRegionKeepsItsRectangle)
{
    const EncodedDocument encoded;
    const DecodedPicture decoded = decodeRoiStream(encoded.stream, selection(3, {1}, false));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    ASSERT_EQ(decoded.regions.count(), 1);
    const Region& r = decoded.regions.at(0);
    EXPECT_EQ((PixelRect{r.left, r.top, r.right, r.bottom}), (PixelRect{24, 4, 60, 40}));
    EXPECT_FALSE(isBlack(decoded.image, 40, 20));
    EXPECT_TRUE(isBlack(decoded.image, 61, 20));
}

// A hand-built stream: region 1 red with one black pixel, region 2 green overlapping it, a blue background.
std::string overlappingStream(const std::string& secondRecordHeader = "6;5;2;")
{
    RasterImage red = test::uniformImage(10, 8, 200, 0, 0);
    red.data()[(10 * (8 - 1 - 1) + 1) * 3 + 2] = 0; // (1, 1) of the region, y from the top: pure black
    const RasterImage green = test::uniformImage(10, 8, 0, 200, 0);
    const RasterImage blue = test::uniformImage(40, 30, 0, 0, 200);
    return "40;30;3;2;" + field(2) + field(2) + field(2) + test::losslessPayload(red) + secondRecordHeader
        + test::losslessPayload(green) + "0;0;1;" + test::waveletPayload(blue, 1, 2);
}

// The first region covering a pixel wins, and a black decoded pixel stays black under the background.
TEST(RoiStreamDecoder, PasteOrderFirstRegionWinsAndKeepsItsBlack)
{
    const std::string stream = overlappingStream();
    const DecodedPicture decoded = decodeRoiStream(stream, test::selectEverything(2));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    EXPECT_EQ(pixelAt(decoded.image, 7, 6), (Bgr{0, 0, 200}));  // both regions: the first
    EXPECT_EQ(pixelAt(decoded.image, 14, 11), (Bgr{0, 200, 0})); // the second only
    const Bgr background = pixelAt(decoded.image, 30, 20);
    EXPECT_GT(background.b, 150);
    EXPECT_EQ(pixelAt(decoded.image, 3, 3), (Bgr{})); // the black pixel of region 1
    EXPECT_EQ(decoded.regions.count(), 2);
}

// A stream whose second record lacks the ";" after its kind ends after the first record, keeping it, and says so.
TEST(RoiStreamDecoder, MissingSeparatorEndsAfterFirstRecord)
{
    const std::string stream = overlappingStream("6;5;2");
    const DecodedPicture decoded = decodeRoiStream(stream, test::selectEverything(2));
    EXPECT_FALSE(decoded.outcome.complete());
    EXPECT_EQ(decoded.outcome.stoppedAt, 2);
    EXPECT_EQ(decoded.outcome.reason().rfind("record 2 of 3: ", 0), 0u) << decoded.outcome.reason();
    EXPECT_EQ(decoded.regions.count(), 1);
    EXPECT_EQ(pixelAt(decoded.image, 7, 6), (Bgr{0, 0, 200}));
    EXPECT_TRUE(isBlack(decoded.image, 14, 11));
    EXPECT_FALSE(decoded.backgroundPresent);
}

// Damaged records end decoding where they stand: a rectangle reaching outside the picture, an unknown kind, a
// skipped record whose payload header is malformed, a background cut short.
TEST(RoiStreamDecoder, DamagedRecordsStopDecoding)
{
    const RasterImage red = test::uniformImage(10, 8, 200, 0, 0);
    const std::string background = "0;0;1;" + test::waveletPayload(test::uniformImage(40, 30, 0, 0, 200), 1, 2);
    struct Case {
        std::string stream;
        RegionSelection selection;
        int stoppedAt;
        const char* expect;
    };
    const Case cases[] = {
        {"40;30;2;2;31;2;2;" + test::losslessPayload(red) + background, test::selectEverything(1), 1, "outside"},
        {"40;30;2;2;40;2;2;" + test::losslessPayload(red) + background, test::selectEverything(1), 1, "outside"},
        {"40;30;2;2;2;2;9;" + test::losslessPayload(red) + background, test::selectEverything(1), 1, "kind"},
        {"40;30;2;2;2;2;9;" + test::losslessPayload(red) + background, selection(1, {}, true), 1, "kind"},
        {"40;30;2;2;2;2;2;-5;10;8;" + background, selection(1, {}, true), 1, "negative"},
        {"40;30;1;2;" + background.substr(0, background.size() - 3), selection(0, {}, true), 1, "end"},
    };
    for (const Case& c : cases) {
        const DecodedPicture decoded = decodeRoiStream(c.stream, c.selection);
        EXPECT_FALSE(decoded.outcome.complete());
        EXPECT_EQ(decoded.outcome.stoppedAt, c.stoppedAt) << decoded.outcome.reason();
        EXPECT_NE(decoded.outcome.reason().find(c.expect), std::string::npos) << decoded.outcome.reason();
        EXPECT_EQ(decoded.regions.count(), 0);
        EXPECT_TRUE(isBlack(decoded.image, 35, 5));
    }
}

// Absurd headers are refused before anything is allocated; sound ones at the limits pass.
TEST(RoiStreamDecoder, HeaderChecks)
{
    const char* refused[] = {
        "0;10;1;5;",     "10;-3;1;5;",    "40000;10;1;5;", "10;10;0;5;", "10;10;102;5;",
        "10;10;1;0;",    "10;10;1;17;",   "10;10;1",       "10;10;1;5",  "8192;8193;1;5;",
        "300;300;65538;5;",
    };
    for (const char* text : refused) {
        std::istringstream in(text);
        StreamHeader header;
        std::string reason;
        EXPECT_FALSE(test::keepReason(readStreamHeader(in, header), reason)) << text;
        EXPECT_EQ(reason.rfind("header: ", 0), 0u) << reason;
        const DecodedPicture decoded = decodeRoiStream(std::string(text), test::selectEverything(0));
        EXPECT_FALSE(decoded.outcome.headerRead);
        EXPECT_FALSE(decoded.image.isValid());
    }
    std::istringstream in("10;10;101;16;rest");
    StreamHeader header;
    ASSERT_TRUE(peekStreamHeader(in, header));
    EXPECT_EQ(header.regionCount(), 100);
    EXPECT_EQ(header.stages, 16);
    EXPECT_EQ(in.tellg(), 0);
}

// The header's separators are read but not checked: any character after a header number will do, while the
// record fields still need their ";".
TEST(RoiStreamDecoder, HeaderSeparatorsAreNotChecked)
{
    const EncodedDocument encoded;
    const std::string sound = encoded.stream;
    ASSERT_EQ(sound.rfind("64;48;4;3;", 0), 0u);
    const std::string odd = "64:48,4 x3-" + sound.substr(10);
    const DecodedPicture expected = decodeRoiStream(sound, test::selectEverything(3));
    const DecodedPicture decoded = decodeRoiStream(odd, test::selectEverything(3));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    EXPECT_EQ(decoded.regions.count(), 3);
    EXPECT_TRUE(decoded.backgroundPresent);
    ASSERT_EQ(decoded.image.size(), expected.image.size());
    EXPECT_TRUE(std::equal(decoded.image.data(), decoded.image.data() + decoded.image.size(), expected.image.data()));

    const DecodedPicture recordDamaged = decodeRoiStream(sound.substr(0, 10) + "2:3;2;" + sound.substr(16),
                                                         test::selectEverything(3));
    EXPECT_FALSE(recordDamaged.outcome.complete());
    EXPECT_EQ(recordDamaged.outcome.stoppedAt, 1);
}

// Decoding into a document replaces its picture and regions and hides labels; a refused header changes nothing.
TEST(RoiStreamDecoder, DecodeIntoDocument)
{
    const EncodedDocument encoded;
    DocumentData target = makeDocument(patternImage(10, 10), {region(1, 1, 5, 5, CoderKind::Arithmetic)});
    target.setDescriptionMode(DescriptionMode::Full);
    std::istringstream in(encoded.stream, std::ios::in | std::ios::binary);
    const DecodeOutcome outcome = decodeRoiStreamInto(in, selection(3, {2}, false), target);
    EXPECT_TRUE(outcome.complete());
    EXPECT_EQ(target.image().width(), 64);
    EXPECT_EQ(target.regions().count(), 1);
    EXPECT_EQ(target.regions().at(0).left, 3);
    EXPECT_FALSE(target.background().backgroundPresent());
    EXPECT_EQ(target.descriptionMode(), DescriptionMode::Hidden);

    std::istringstream bad("0;0;1;5;");
    EXPECT_FALSE(decodeRoiStreamInto(bad, selection(0, {}, true), target).headerRead);
    EXPECT_EQ(target.image().width(), 64);
}

// Records covering the picture many times over (only a damaged stream has them) are decoded in turns, and the
// first one still wins every pixel; a record in a later turn that fails keeps what the earlier turns pasted.
TEST(RoiStreamDecoder, ManyFullSizeRecordsDecodeInTurns)
{
    std::string stream = "40;30;7;2;";
    for (int i = 0; i < 6; ++i) {
        const auto shade = static_cast<std::uint8_t>(20 * (i + 1));
        stream += "0;0;2;" + test::losslessPayload(test::uniformImage(40, 30, shade, shade, shade));
    }
    const std::string background = "0;0;1;" + test::waveletPayload(test::uniformImage(40, 30, 0, 0, 200), 1, 2);
    const DecodedPicture decoded = decodeRoiStream(stream + background, test::selectEverything(6));
    ASSERT_TRUE(decoded.outcome.complete()) << decoded.outcome.reason();
    EXPECT_EQ(decoded.regions.count(), 6);
    EXPECT_EQ(pixelAt(decoded.image, 39, 29), (Bgr{20, 20, 20}));

    // The fifth record's code bytes are cut to nothing: the first four stay, and decoding stops at the fifth.
    std::string damaged = "40;30;7;2;";
    for (int i = 0; i < 6; ++i) {
        const std::string payload = test::losslessPayload(test::uniformImage(40, 30, 9, 9, 9));
        damaged += "0;0;2;" + (i == 4 ? std::string("0;40;30;") : payload);
    }
    const DecodedPicture stopped = decodeRoiStream(damaged + background, test::selectEverything(6));
    EXPECT_FALSE(stopped.outcome.complete());
    EXPECT_EQ(stopped.outcome.stoppedAt, 5) << stopped.outcome.reason();
    EXPECT_EQ(stopped.regions.count(), 4);
}

} // namespace
} // namespace nubo
