#include "quant/colour_plane_codec.h"
#include "test_support/keep_reason.h"
#include "test_support/test_support.h"
#include "quant/context_quantizer.h"
#include "regions/region_set.h"
#include "wavelet/coder_streams.h"
#include "wavelet/filters.h"
#include "wavelet/integer_codes.h"
#include "wavelet/wavelet.h"
#include "wavelet/wavelet_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

// A band of Laplacian-like detail coefficients with a few large ones, from a fixed seed.
std::vector<float> detailBand(int count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::exponential_distribution<float> magnitude(0.15f);
    std::vector<float> band(static_cast<std::size_t>(count));
    for (float& v : band)
        v = (random() & 1 ? 1.0f : -1.0f) * magnitude(random);
    return band;
}

// Smooth planes with some texture, like the colour components of a photo.
void testPlanes(int w, int h, FloatImage (&planes)[3])
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-4.0f, 4.0f);
    for (int c = 0; c < 3; ++c) {
        planes[c] = FloatImage(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                planes[c].data[static_cast<std::size_t>(y * w + x)] =
                    (c == 0 ? 60.0f : 15.0f) * std::sin(0.07f * static_cast<float>(x + c * 5))
                        * std::cos(0.05f * static_cast<float>(y)) + noise(random);
    }
}

double squaredError(const std::vector<float>& a, const std::vector<float>& b)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += (static_cast<double>(a[i]) - b[i]) * (static_cast<double>(a[i]) - b[i]);
    return sum;
}

// Codes `band` at precision p (header and passes) and decodes it again.
std::vector<float> roundTrip(ContextQuantizer& encoder, int w, int h, ContextQuantizer::Orientation orientation,
                             int precision, std::size_t* bytes = nullptr)
{
    std::string stream;
    {
        EncoderStream out(stream);
        encoder.writeHeader(out, precision);
        encoder.encode(out, precision);
        out.bits.padToByte();
    }
    if (bytes != nullptr)
        *bytes = stream.size();
    ContextQuantizer decoder(w, h, orientation, kColourPrecisions);
    DecoderStream in(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size());
    int read = -1;
    EXPECT_TRUE(decoder.readHeader(in, read));
    EXPECT_EQ(read, precision);
    std::vector<float> decoded(static_cast<std::size_t>(w * h), -1.0f);
    decoder.prepareDecode(decoded.data(), w * h);
    EXPECT_TRUE(decoder.decode(in, precision)) << in.bits.failure();
    return decoded;
}

// The tabulated distortion of every precision is what the decoder really leaves, and the priced rate is the
// bits of the band's code and its length, for a detail band and a low-pass band.
TEST(ContextQuantizer, PricedPrecisionsMatchWhatDecodes)
{
    const int w = 37;
    const int h = 23;
    for (const auto orientation : {ContextQuantizer::Orientation::HighBoth, ContextQuantizer::Orientation::LowPass}) {
        std::vector<float> band = detailBand(w * h, 3);
        if (orientation == ContextQuantizer::Orientation::LowPass)
            for (float& v : band)
                v += 300.0f;
        ContextQuantizer quantizer(w, h, orientation, kColourPrecisions);
        quantizer.analyze(band.data(), w * h);
        std::vector<float> rates(kColourPrecisions);
        std::vector<float> distortions(kColourPrecisions);
        for (int p = 0; p < kColourPrecisions; ++p)
            quantizer.rateDistortion(p, kColourMinimumStep, rates[static_cast<std::size_t>(p)],
                                     distortions[static_cast<std::size_t>(p)]);
        for (const int p : {0, 1, 2, 3, 7, 11, 15, 20}) {
            std::size_t bytes = 0;
            const std::vector<float> decoded = roundTrip(quantizer, w, h, orientation, p, &bytes);
            const double actual = squaredError(band, decoded);
            EXPECT_NEAR(actual, distortions[static_cast<std::size_t>(p)], 1e-3 * actual + 1e-2) << "precision " << p;
            const auto bits = static_cast<std::size_t>(quantizer.headerBits(p) + rates[static_cast<std::size_t>(p)]);
            EXPECT_EQ(bytes, (bits + 7) / 8) << "precision " << p;
        }
        // More passes never cost fewer bits nor leave more error.
        for (int p = 1; p < kColourPrecisions && std::isfinite(rates[static_cast<std::size_t>(p)]); ++p) {
            EXPECT_GE(rates[static_cast<std::size_t>(p)], rates[static_cast<std::size_t>(p - 1)]);
            EXPECT_LE(distortions[static_cast<std::size_t>(p)], distortions[static_cast<std::size_t>(p - 1)] * 1.0001f);
        }
    }
}

// A band of zeros has nothing above precision 0, and a rate ceiling stops the tabulation early.
TEST(ContextQuantizer, ZeroBandsAndTheRateCeiling)
{
    std::vector<float> zeros(64, 0.0f);
    ContextQuantizer empty(8, 8, ContextQuantizer::Orientation::HighAlongRows, kColourPrecisions);
    empty.analyze(zeros.data(), 64);
    EXPECT_TRUE(empty.empty());
    float rate = 0.0f;
    float distortion = 0.0f;
    empty.rateDistortion(1, kColourMinimumStep, rate, distortion);
    EXPECT_TRUE(std::isinf(rate));
    EXPECT_EQ(roundTrip(empty, 8, 8, ContextQuantizer::Orientation::HighAlongRows, 0), zeros);

    std::vector<float> band = detailBand(400, 5);
    ContextQuantizer capped(20, 20, ContextQuantizer::Orientation::HighAlongColumns, kColourPrecisions);
    capped.setRateCeiling(200.0f);
    capped.analyze(band.data(), 400);
    int finite = 0;
    for (int p = 0; p < kColourPrecisions; ++p) {
        capped.rateDistortion(p, kColourMinimumStep, rate, distortion);
        if (std::isfinite(rate))
            ++finite;
    }
    EXPECT_GT(finite, 1);
    EXPECT_LT(finite, 20);
}

// Pricing paused by a slope goes on where it stopped when the slope is lowered: the precisions priced are those
// of the whole table, and at every slope the band covers, the least cost among them is the whole table's.
TEST(ContextQuantizer, PausedPricingSettlesWhatTheWholeTableWould)
{
    const std::vector<float> band = detailBand(1600, 11);
    constexpr float kWeight = 0.75f;
    const auto tables = [&band](ContextQuantizer& quantizer, std::vector<float>& rates,
                                std::vector<float>& distortions) {
        rates.assign(kColourPrecisions, 0.0f);
        distortions.assign(kColourPrecisions, 0.0f);
        for (int p = 0; p < kColourPrecisions; ++p)
            quantizer.rateDistortion(p, kColourMinimumStep, rates[static_cast<std::size_t>(p)],
                                     distortions[static_cast<std::size_t>(p)]);
    };
    // The allocator's choice at a slope: least slope * rate + weight * distortion, ties to the lower.
    const auto choice = [](const std::vector<float>& rates, const std::vector<float>& distortions, float slope) {
        int chosen = -1;
        float best = std::numeric_limits<float>::infinity();
        for (std::size_t j = 0; j < rates.size(); ++j) {
            const float cost = slope * rates[j] + distortions[j] * kWeight;
            if (cost < best) {
                best = cost;
                chosen = static_cast<int>(j);
            }
        }
        return chosen;
    };

    ContextQuantizer whole(40, 40, ContextQuantizer::Orientation::HighBoth, kColourPrecisions);
    whole.analyze(band.data(), 1600);
    std::vector<float> wholeRates;
    std::vector<float> wholeDistortions;
    tables(whole, wholeRates, wholeDistortions);

    ContextQuantizer paused(40, 40, ContextQuantizer::Orientation::HighBoth, kColourPrecisions);
    paused.setPricingSlope(1024.0f, kWeight);
    paused.analyze(band.data(), 1600);
    // The same band with its neighbour sums freed at every pause, summed again when it resumes.
    ContextQuantizer dropped(40, 40, ContextQuantizer::Orientation::HighBoth, kColourPrecisions);
    dropped.setPricingSlope(1024.0f, kWeight);
    dropped.analyze(band.data(), 1600);
    std::vector<float> rates;
    std::vector<float> distortions;
    std::vector<float> droppedRates;
    std::vector<float> droppedDistortions;
    int lastPriced = kColourPrecisions;
    for (const float slope : {1024.0f, 64.0f, 4.0f, 0.25f}) {
        paused.setPricingSlope(slope, kWeight);
        tables(paused, rates, distortions);
        dropped.setPricingSlope(slope, kWeight);
        tables(dropped, droppedRates, droppedDistortions);
        dropped.dropNeighbourCounts();
        EXPECT_EQ(droppedRates, rates) << slope;
        EXPECT_EQ(droppedDistortions, distortions) << slope;
        ASSERT_TRUE(paused.pricingPaused()) << slope;
        ASSERT_TRUE(paused.coversSlope(slope)) << slope;
        const int priced = static_cast<int>(std::count_if(rates.begin(), rates.end(),
                                                          [](float r) { return std::isfinite(r); }));
        EXPECT_LT(priced, 40) << slope; // paused well before the step limit
        if (lastPriced < kColourPrecisions) {
            EXPECT_GE(priced, lastPriced) << slope;
        }
        lastPriced = priced;
        for (int p = 0; p < priced; ++p) {
            EXPECT_EQ(rates[static_cast<std::size_t>(p)], wholeRates[static_cast<std::size_t>(p)]);
            EXPECT_EQ(distortions[static_cast<std::size_t>(p)], wholeDistortions[static_cast<std::size_t>(p)]);
        }
        for (float s = slope; s < 1e7f; s *= 1.5f) {
            if (paused.coversSlope(s)) {
                EXPECT_EQ(choice(rates, distortions, s), choice(wholeRates, wholeDistortions, s)) << s;
            }
        }
    }
    // A slope of 0 never pauses: the whole table.
    paused.setPricingSlope(0.0f, kWeight);
    tables(paused, rates, distortions);
    EXPECT_FALSE(paused.pricingPaused());
    EXPECT_EQ(rates, wholeRates);
    EXPECT_EQ(distortions, wholeDistortions);
    dropped.setPricingSlope(0.0f, kWeight);
    tables(dropped, droppedRates, droppedDistortions);
    EXPECT_EQ(droppedRates, wholeRates);
    EXPECT_EQ(droppedDistortions, wholeDistortions);
}

// A band's code is read to the length its header gives, and no further: the bits after it are the next ones
// read, whatever they are. A length that runs past the stream is refused as truncated.
TEST(ContextQuantizer, BandCodeIsReadToTheLengthItsHeaderGives)
{
    const int w = 24;
    const int h = 20;
    const std::vector<float> band = detailBand(w * h, 9);
    ContextQuantizer quantizer(w, h, ContextQuantizer::Orientation::HighAlongRows, kColourPrecisions);
    quantizer.analyze(band.data(), w * h);
    const int p = 9;
    float rate = 0.0f;
    float distortion = 0.0f;
    quantizer.rateDistortion(p, kColourMinimumStep, rate, distortion);
    ASSERT_TRUE(std::isfinite(rate));
    const std::int64_t length = quantizer.codeBits(p);
    std::vector<float> first;
    for (const std::uint32_t after : {0x00u, 0x2Du, 0x3Fu}) {
        for (const std::int64_t claimed : {length, length + 64}) {
            std::string stream;
            {
                EncoderStream out(stream);
                writeNonnegative(out.bits, p);
                writeInteger(out.bits, quantizer.exponent());
                writeNonnegative(out.bits, static_cast<std::int32_t>(claimed));
                quantizer.encode(out, p);
                out.bits.putBits(after, 6); // whatever follows the code
                out.bits.padToByte();
            }
            ContextQuantizer decoder(w, h, ContextQuantizer::Orientation::HighAlongRows, kColourPrecisions);
            DecoderStream in(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size());
            int read = -1;
            ASSERT_TRUE(decoder.readHeader(in, read));
            std::vector<float> decoded(static_cast<std::size_t>(w * h));
            decoder.prepareDecode(decoded.data(), w * h);
            const bool whole = decoder.decode(in, read);
            if (claimed != length) {
                EXPECT_FALSE(whole);
                EXPECT_NE(in.bits.failure().find("truncated"), std::string::npos) << in.bits.failure();
                continue;
            }
            ASSERT_TRUE(whole) << in.bits.failure();
            EXPECT_EQ(in.bits.getBits(6), after);
            if (first.empty())
                first = decoded;
            EXPECT_EQ(decoded, first) << "the bits after the code changed what it decodes to";
        }
    }
}

// Headers a damaged stream carries are refused: a precision beyond the table, an exponent out of range.
TEST(ContextQuantizer, DamagedHeadersAreRefused)
{
    const auto refused = [](int precision, int exponent) {
        std::string stream;
        {
            EncoderStream out(stream);
            writeNonnegative(out.bits, precision);
            writeInteger(out.bits, exponent);
            writeNonnegative(out.bits, 100); // the code's length
        }
        ContextQuantizer decoder(4, 4, ContextQuantizer::Orientation::HighBoth, kColourPrecisions);
        DecoderStream in(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size());
        int read = 0;
        return !decoder.readHeader(in, read) && in.bits.failed();
    };
    EXPECT_FALSE(refused(3, 4));
    EXPECT_TRUE(refused(kColourPrecisions, 4));
    EXPECT_TRUE(refused(3, ContextQuantizer::kMaxExponent + 1));
    EXPECT_TRUE(refused(3, ContextQuantizer::kMinExponent - 1));
}

// The tabulated band gains are the energies that a unit coefficient of each band really synthesises to.
TEST(ColourPlaneCodec, SubbandGainsMatchImpulses)
{
    const Wavelet wavelet(cdf97());
    const int stages = 3;
    const std::vector<float> gains = subbandEnergyGains(wavelet, stages);
    ASSERT_EQ(gains.size(), 10u);
    for (int b = 0; b < 10; ++b) {
        WaveletTransform transform(wavelet, 128, 128, stages, -1);
        const int w = transform.subbandWidth(b);
        const int h = transform.subbandHeight(b);
        transform.subbandData(b)[(h / 2) * w + w / 2] = 1.0f;
        FloatImage picture;
        ASSERT_TRUE(transform.invert(picture));
        double energy = 0.0;
        for (const float v : picture.data)
            energy += static_cast<double>(v) * v;
        EXPECT_NEAR(gains[static_cast<std::size_t>(b)], energy, 0.01 * energy) << "band " << b;
    }
}

// Three planes coded together meet the budget, decode to their size, and a larger budget leaves less error.
TEST(ColourPlaneCodec, JointBudgetAndRoundTrip)
{
    FloatImage planes[3];
    testPlanes(70, 50, planes);
    const std::array<float, 3> weights = {3.0f, 3.26f, 2.48f};
    double previous = std::numeric_limits<double>::infinity();
    for (const int budget : {300, 1200, 4000}) {
        StringSink report;
        const ColourPlanesEncoding coded = encodeColourPlanes(planes, weights, {"Y", "Cb", "Cr"}, budget, 4, nullptr,
                                                              report);
        ASSERT_TRUE(coded.status.ok());
        const std::size_t total = coded.streams[0].size() + coded.streams[1].size() + coded.streams[2].size();
        EXPECT_LE(total, static_cast<std::size_t>(budget) + 8) << budget;
        EXPECT_GE(total, static_cast<std::size_t>(budget) * 9 / 10) << budget;
        EXPECT_NE(report.text().find("three planes allocated together"), std::string::npos);
        double error = 0.0;
        for (int c = 0; c < 3; ++c) {
            FloatImage decoded;
            std::string why;
            ASSERT_TRUE(test::keepReason(decodeColourPlane(reinterpret_cast<const std::uint8_t*>(coded.streams[c].data()),
                                          coded.streams[c].size(), 4, decoded), why))
                << why;
            ASSERT_EQ(decoded.width, 70);
            ASSERT_EQ(decoded.height, 50);
            error += weights[static_cast<std::size_t>(c)] * squaredError(planes[c].data, decoded.data);
        }
        EXPECT_LT(error, previous);
        previous = error;
    }
}

// A joint budget under the header reserve codes every band at precision 0 and says so, with the smallest budget
// that codes a pass: at it the planes are coded, one byte below it they are starved as before. Flat planes, which
// their means code exactly, are never starved.
TEST(ColourPlaneCodec, StarvedPlanesNameTheSmallestWorkableBudget)
{
    FloatImage planes[3];
    testPlanes(41, 41, planes);
    const std::array<float, 3> weights = {3.0f, 3.26f, 2.48f};
    const auto code = [&](const FloatImage (&p)[3], int budget) {
        return encodeColourPlanes(p, weights, {"Y", "Cb", "Cr"}, budget, 5, nullptr, discardSink());
    };
    const ColourPlanesEncoding starved = code(planes, 10);
    ASSERT_TRUE(starved.status.ok());
    EXPECT_TRUE(starved.starved);
    const int workable = starved.workableBudgetBytes;
    EXPECT_GT(workable, 10);
    const ColourPlanesEncoding fed = code(planes, workable);
    EXPECT_FALSE(fed.starved);
    EXPECT_EQ(fed.workableBudgetBytes, 0);
    EXPECT_TRUE(std::any_of(fed.precisions.begin(), fed.precisions.end(), [](int p) { return p > 0; }));
    const ColourPlanesEncoding below = code(planes, workable - 1);
    EXPECT_TRUE(below.starved);
    EXPECT_EQ(below.workableBudgetBytes, workable);

    FloatImage flat[3];
    for (FloatImage& plane : flat) {
        plane = FloatImage(41, 41);
        std::fill(plane.data.begin(), plane.data.end(), 40.0f);
    }
    EXPECT_FALSE(code(flat, 10).starved);

    // A refusal carries the plane coder's own words, as its report line does.
    StringSink report;
    const ColourPlanesEncoding refused =
        encodeColourPlanes(planes, weights, {"Y", "Cb", "Cr"}, 100, 17, nullptr, report);
    EXPECT_EQ(refused.status.reason(), "Cannot code a plane in 17 wavelet stages");
    EXPECT_EQ(report.text(), "Error: Cannot code a plane in 17 wavelet stages\n");
}

// Golden bytes of the kind's plane streams: any change to the coded bytes shows here.
TEST(ColourPlaneCodec, GoldenStreams)
{
    FloatImage planes[3];
    testPlanes(70, 50, planes);
    RegionSet mask;
    mask.add(Region(10, 10, 40, 30));
    const ColourPlanesEncoding coded = encodeColourPlanes(planes, {3.0f, 3.26f, 2.48f}, {"Y", "Cb", "Cr"}, 1500, 4,
                                                          &mask, discardSink());
    ASSERT_TRUE(coded.status.ok());
    EXPECT_EQ(coded.streams[0].size(), 563u);
    EXPECT_EQ(test::fingerprint(coded.streams[0]), 3327125708744538418ull);
    EXPECT_EQ(test::fingerprint(coded.streams[1]), 14428988111716113080ull);
    EXPECT_EQ(test::fingerprint(coded.streams[2]), 8590824199600798191ull);
}

// A plane stream cut short anywhere, or with bytes changed, is refused or decoded, never read out of bounds.
TEST(ColourPlaneCodec, DamagedStreamsNeverCrash)
{
    FloatImage planes[3];
    testPlanes(40, 36, planes);
    const ColourPlanesEncoding coded = encodeColourPlanes(planes, {3.0f, 3.26f, 2.48f}, {"Y", "Cb", "Cr"}, 900, 3,
                                                          nullptr, discardSink());
    ASSERT_TRUE(coded.status.ok());
    const std::string& good = coded.streams[0];
    int refusedCuts = 0;
    for (std::size_t cut = 0; cut < good.size(); cut += 3) {
        FloatImage decoded;
        std::string why;
        if (!test::keepReason(decodeColourPlane(reinterpret_cast<const std::uint8_t*>(good.data()), cut, 3, decoded), why)) {
            ++refusedCuts;
            EXPECT_FALSE(why.empty());
            EXPECT_TRUE(decoded.data.empty());
        }
    }
    EXPECT_GT(refusedCuts, 0);
    std::mt19937 random(11);
    for (int trial = 0; trial < 200; ++trial) {
        std::string damaged = good;
        for (int k = 0; k < 3; ++k)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        FloatImage decoded;
        decodeColourPlane(reinterpret_cast<const std::uint8_t*>(damaged.data()), damaged.size(), 3, decoded).ignore();
        if (!decoded.data.empty()) {
            EXPECT_EQ(decoded.data.size(), static_cast<std::size_t>(decoded.width) * decoded.height);
        }
    }
    FloatImage untouched;
    EXPECT_FALSE(decodeColourPlane(nullptr, 0, 3, untouched));
    EXPECT_FALSE(decodeColourPlane(reinterpret_cast<const std::uint8_t*>(good.data()), good.size(), 0, untouched));
}

} // namespace
} // namespace nubo
