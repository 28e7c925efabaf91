#include "roi/colour_region_coder.h"
#include "common/worker_team.h"
#include "test_support/keep_reason.h"
#include "roi/colour_transform.h"
#include "roi/region_coder.h"
#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"
#include "test_support/stream_pieces.h"
#include "test_support/test_support.h"
#include "roi/stream_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

namespace nubo {
namespace {

using test::region;

double psnr(const RasterImage& a, const RasterImage& b)
{
    double sum = 0.0;
    for (int i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a.data()[i]) - b.data()[i];
        sum += d * d;
    }
    const double mse = sum / a.size();
    return mse == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

std::string colourPayload(const RasterImage& image, int ratio, int stages)
{
    std::string payload;
    EXPECT_TRUE(encodeColourRegion(image, payload, ratio, stages, nullptr, discardSink()));
    return payload;
}

// The colour transform and its inverse give back every byte to within one step, and its gains are the squared
// column sums of the inverse.
TEST(ColourTransform, RoundTripAndGains)
{
    const RasterImage image = test::patternImage(23, 17, 4);
    FloatImage planes[3];
    forwardColourTransform(image, planes);
    ASSERT_EQ(planes[0].width, 23);
    RasterImage back;
    ASSERT_TRUE(inverseColourTransform(planes, back));
    ASSERT_EQ(back.size(), image.size());
    for (int i = 0; i < image.size(); ++i)
        EXPECT_LE(std::abs(back.data()[i] - image.data()[i]), 1) << i;
    const std::array<float, 3> gains = colourEnergyGains();
    EXPECT_FLOAT_EQ(gains[0], 3.0f);
    EXPECT_NEAR(gains[1], 3.2584f, 1e-3);
    EXPECT_NEAR(gains[2], 2.4756f, 1e-3);
    planes[1].width = 22;
    EXPECT_FALSE(inverseColourTransform(planes, back));
}

// On a team of threads both transforms cut the picture into pieces of rows: every sample comes out as it does in
// one piece.
TEST(ColourTransform, SameInPiecesOnATeam)
{
    const RasterImage image = test::patternImage(301, 157, 9);
    FloatImage alone[3];
    forwardColourTransform(image, alone);
    RasterImage rebuiltAlone;
    ASSERT_TRUE(inverseColourTransform(alone, rebuiltAlone));

    FloatImage shared[3];
    RasterImage rebuiltShared;
    bool rebuilt = false;
    runTasks({[&] {
                  ASSERT_EQ(teamSize(), 2u);
                  forwardColourTransform(image, shared);
                  rebuilt = inverseColourTransform(shared, rebuiltShared);
              }},
             2);
    ASSERT_TRUE(rebuilt);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(shared[c].width, 301);
        EXPECT_EQ(shared[c].height, 157);
        EXPECT_EQ(shared[c].data, alone[c].data) << "plane " << c;
    }
    ASSERT_EQ(rebuiltShared.size(), rebuiltAlone.size());
    EXPECT_TRUE(std::equal(rebuiltShared.data(), rebuiltShared.data() + rebuiltShared.size(), rebuiltAlone.data()));
}

// A payload decodes to its picture's size, near the source at a low ratio and further from it at a high one,
// and its budget is three bytes per pixel over the ratio.
TEST(ColourRegionCoder, PayloadRoundTrip)
{
    const RasterImage image = test::patternImage(80, 64, 2);
    double previous = 100.0;
    for (const int ratio : {2, 10, 40}) {
        const std::string payload = colourPayload(image, ratio, 4);
        // The lengths' text and the coder's final bits come on top; the passes stay within the budget, give or take
        // what pricing and coding differ by.
        const int budget = colourBudgetBytes(80, 64, ratio);
        EXPECT_LE(static_cast<int>(payload.size()), budget + budget / 200 + 24);
        EXPECT_GE(static_cast<int>(payload.size()), budget * 9 / 10);
        std::istringstream in(payload);
        RasterImage decoded;
        std::string why;
        ASSERT_TRUE(test::keepReason(decodeColourRegion(decoded, in, 4, {80, 64}), why)) << why;
        ASSERT_EQ(decoded.width(), 80);
        ASSERT_EQ(decoded.height(), 64);
        const double quality = psnr(image, decoded);
        EXPECT_LT(quality, previous);
        previous = quality;
    }
    EXPECT_GT(psnr(image, [&] {
                  std::istringstream in(colourPayload(image, 2, 4));
                  RasterImage d;
                  EXPECT_TRUE(decodeColourRegion(d, in, 4, {80, 64}).ok());
                  return d;
              }()),
              30.0);
    EXPECT_EQ(colourBudgetBytes(80, 64, 40), 384);
    EXPECT_EQ(colourBudgetBytes(80, 64, 0), 15360);
}

// Damaged payloads are refused before decoding, leaving the picture as it was: missing or negative lengths,
// lengths beyond the stream, planes of different sizes, a picture larger than the room; skipping refuses the
// same headers and moves exactly over a good payload.
TEST(ColourRegionCoder, DamagedPayloadsAreRefused)
{
    const RasterImage image = test::patternImage(40, 36, 3);
    const std::string good = colourPayload(image, 8, 3);
    const RasterImage other = test::patternImage(41, 36, 3);
    const std::string wider = colourPayload(other, 8, 3);

    std::istringstream lengths(good);
    std::int64_t y = 0;
    std::int64_t cb = 0;
    std::int64_t cr = 0;
    ASSERT_TRUE(readField(lengths, y) && readField(lengths, cb) && readField(lengths, cr));
    const std::string header = test::field(y) + test::field(cb) + test::field(cr);
    const std::string body = good.substr(header.size());
    std::istringstream otherLengths(wider);
    std::int64_t oy = 0;
    ASSERT_TRUE(readField(otherLengths, oy));

    const std::string cases[] = {
        "",
        "12;",
        "12;5,7;",
        test::field(-4) + test::field(cb) + test::field(cr) + body,
        test::field(y) + test::field(cb) + test::field(cr + 1000) + body,
        test::field(y) + test::field(cb) + test::field(cr) + body.substr(0, body.size() / 2),
        test::field(0) + test::field(cb) + test::field(cr) + body.substr(static_cast<std::size_t>(y)),
    };
    for (const std::string& c : cases) {
        RasterImage kept = test::uniformImage(3, 3, 1, 2, 3);
        std::istringstream in(c);
        std::string why;
        EXPECT_FALSE(test::keepReason(decodeColourRegion(kept, in, 3, {40, 36}), why)) << c.substr(0, 20);
        EXPECT_FALSE(why.empty());
        EXPECT_EQ(kept.width(), 3);
        std::istringstream skip(c);
        if (c.size() < header.size() || c.rfind(test::field(-4), 0) == 0) {
            EXPECT_FALSE(skipColourRegion(skip));
        }
    }
    // Too large for the room it is pasted into.
    {
        RasterImage kept;
        std::istringstream in(good);
        std::string why;
        EXPECT_FALSE(test::keepReason(decodeColourRegion(kept, in, 3, {39, 36}), why));
        EXPECT_NE(why.find("outside"), std::string::npos);
    }
    // Y of one picture with Cb and Cr of another size.
    {
        const std::string mixed = test::field(oy) + test::field(cb) + test::field(cr)
                                + wider.substr(wider.find(';', wider.find(';', wider.find(';') + 1) + 1) + 1,
                                               static_cast<std::size_t>(oy))
                                + body.substr(static_cast<std::size_t>(y));
        RasterImage kept;
        std::istringstream in(mixed);
        std::string why;
        EXPECT_FALSE(test::keepReason(decodeColourRegion(kept, in, 3, {60, 60}), why));
        EXPECT_NE(why.find("different sizes"), std::string::npos) << why;
    }
    std::istringstream skip(good + "tail");
    ASSERT_TRUE(skipColourRegion(skip));
    std::string rest;
    skip >> rest;
    EXPECT_EQ(rest, "tail");
}

// Changed bytes anywhere in a payload never crash the decoder nor make it allocate beyond the room.
TEST(ColourRegionCoder, ChangedBytesNeverCrash)
{
    const RasterImage image = test::patternImage(48, 40, 5);
    const std::string good = colourPayload(image, 6, 3);
    std::mt19937 random(3);
    for (int trial = 0; trial < 150; ++trial) {
        std::string damaged = good;
        for (int k = 0; k < 4; ++k)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        RasterImage decoded;
        std::istringstream in(damaged);
        if (decodeColourRegion(decoded, in, 3, {48, 40})) {
            EXPECT_TRUE(decoded.width() <= 48 && decoded.height() <= 40);
        }
    }
}

DocumentData colourDocument()
{
    DocumentData document = test::makeDocument(test::patternImage(96, 72, 7),
                                                  {region(4, 6, 27, 29, CoderKind::WaveletColour, 4),
                                                   region(36, 8, 91, 60, CoderKind::WaveletColour, 6),
                                                   region(6, 40, 30, 66, CoderKind::Wavelet, 3)},
                                                  20, 4);
    document.background().setCoderKind(CoderKind::WaveletColour);
    return document;
}

// Streams with colour regions and a colour background: the small colour region falls back to lossless coding,
// the background record names kind 3, and every selection decodes (skipped records are stepped over exactly).
TEST(ColourRegionCoder, StreamsWithColourRecords)
{
    const DocumentData document = colourDocument();
    std::string stream;
    StringSink report;
    ASSERT_TRUE(encodeRoiStream(document, stream, report));
    EXPECT_EQ(stream.substr(0, 16), "96;72;4;4;4;6;2;");
    EXPECT_NE(stream.find("36;8;3;"), std::string::npos);
    EXPECT_NE(stream.find("0;0;3;"), std::string::npos);
    EXPECT_NE(report.text().find("Plane Band"), std::string::npos);

    const DecodedPicture all = decodeRoiStream(stream, test::selectEverything(3));
    ASSERT_TRUE(all.outcome.complete()) << all.outcome.reason();
    EXPECT_EQ(all.regions.count(), 3);
    EXPECT_GT(psnr(document.image(), all.image), 25.0);

    const DecodedPicture second = decodeRoiStream(stream, test::selection(3, {1}, false));
    ASSERT_TRUE(second.outcome.complete()) << second.outcome.reason();
    ASSERT_EQ(second.regions.count(), 1);
    EXPECT_EQ(second.regions.at(0).right, 91);
    EXPECT_EQ(test::pixelAt(second.image, 0, 0), (test::Bgr{0, 0, 0}));

    const DecodedPicture background = decodeRoiStream(stream, test::selection(3, {}, true));
    ASSERT_TRUE(background.outcome.complete()) << background.outcome.reason();
    EXPECT_TRUE(background.backgroundPresent);
    EXPECT_EQ(background.regions.count(), 0);

    // The default background coder is kind 1, so such a document writes no kind 3 record for it.
    DocumentData plain = colourDocument();
    plain.background().setCoderKind(CoderKind::Wavelet);
    std::string plainStream;
    ASSERT_TRUE(encodeRoiStream(plain, plainStream, discardSink()));
    EXPECT_NE(plainStream.find("0;0;1;"), std::string::npos);
    EXPECT_EQ(plainStream.find("0;0;3;"), std::string::npos);
}

// The masked colour background leaves out the coefficients under the regions: it differs from the unmasked one,
// and an empty mask changes nothing.
TEST(ColourRegionCoder, MaskedBackground)
{
    const RasterImage image = test::patternImage(90, 70, 9);
    RegionSet none;
    RegionSet one;
    one.add(Region(20, 15, 70, 55));
    std::string unmasked;
    std::string empty;
    std::string masked;
    ASSERT_TRUE(encodeColourRegion(image, unmasked, 20, 4, nullptr, discardSink()));
    ASSERT_TRUE(encodeColourRegion(image, empty, 20, 4, &none, discardSink()));
    ASSERT_TRUE(encodeColourRegion(image, masked, 20, 4, &one, discardSink()));
    EXPECT_EQ(unmasked, empty);
    EXPECT_NE(unmasked, masked);
}

// Golden bytes of a stream with colour records; kinds 1 and 2 keep their own golden tests.
TEST(ColourRegionCoder, GoldenStream)
{
    std::string stream;
    StringSink report;
    ASSERT_TRUE(encodeRoiStream(colourDocument(), stream, report));
    EXPECT_EQ(stream.size(), 6134u);
    EXPECT_EQ(test::fingerprint(stream), 7059595746800635758ull);
    EXPECT_EQ(test::fingerprint(report.text()), 12233327789951297708ull);
    const DecodedPicture decoded = decodeRoiStream(stream, test::selectEverything(3));
    EXPECT_EQ(test::pixelFingerprint(decoded.image), 14446072047953780327ull);
}

// A stored stream of an earlier layout decodes to the very pixels it did when it was written, whole and its first
// region alone. Damaged, such a stream is refused or decoded with a reason, never read out of bounds.
void expectStoredStreamDecodes(const std::string& name, std::size_t size, std::uint64_t allPixels,
                               std::uint64_t firstRegionPixels)
{
    SCOPED_TRACE(name);
    std::ifstream file(std::string(NUBO_FIXTURES_DIR) + "/" + name, std::ios::binary);
    const std::string stream((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_EQ(stream.size(), size);
    const DecodedPicture all = decodeRoiStream(stream, test::selectEverything(3));
    ASSERT_TRUE(all.outcome.complete()) << all.outcome.reason();
    EXPECT_EQ(test::pixelFingerprint(all.image), allPixels);
    const DecodedPicture first = decodeRoiStream(stream, test::selection(3, {0}, false));
    ASSERT_TRUE(first.outcome.complete()) << first.outcome.reason();
    EXPECT_EQ(test::pixelFingerprint(first.image), firstRegionPixels);

    std::mt19937 random(21);
    for (int trial = 0; trial < 60; ++trial) {
        std::string damaged = stream.substr(0, trial % 2 == 0 ? stream.size() : 200 + random() % (stream.size() - 200));
        for (int k = 0; k < 4; ++k)
            damaged[200 + random() % (damaged.size() - 200)] = static_cast<char>(random());
        const DecodedPicture decoded = decodeRoiStream(damaged, test::selectEverything(3));
        if (!decoded.outcome.complete()) {
            EXPECT_FALSE(decoded.outcome.reason().empty());
        }
    }
}

// Streams written by earlier versions: one arithmetic code per plane, then one per band.
TEST(ColourRegionCoder, EarlierLayoutsStillDecode)
{
    expectStoredStreamDecodes("colour-first-layout.roi", 18516, 10789120828426629755ull, 14871436266321726023ull);
    expectStoredStreamDecodes("colour-band-code-layout.roi", 24547, 15705656480872040051ull, 15259276759775758069ull);
}

} // namespace
} // namespace nubo
