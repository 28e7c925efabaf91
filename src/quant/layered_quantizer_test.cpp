#include "quant/layered_quantizer.h"

#include "common/status.h"
#include "wavelet/coder_streams.h"
#include "wavelet/layered_symbol_coder.h"
#include "wavelet/symbol_coder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// Prices every symbol at a fixed cost and remembers what it was asked; reads symbols from a queue.
class RecordingSymbolCoder final : public SymbolCoder {
public:
    struct Call {
        int value;
        int layer;
        int context;
    };

    explicit RecordingSymbolCoder(float bitsPerSymbol = 1.0f) : bitsPerSymbol_(bitsPerSymbol) {}

    float write(EncoderStream* stream, int v, int, int layer, int context) override
    {
        calls.push_back({v, layer, context});
        if (stream != nullptr)
            ++streamWrites;
        return bitsPerSymbol_;
    }
    int read(DecoderStream&, int, int layer, int context) override
    {
        calls.push_back({0, layer, context});
        if (toRead.empty())
            return 0;
        const int v = toRead.front();
        toRead.pop_front();
        return v;
    }
    float cost(int v, int update, int layer, int context) override { return write(nullptr, v, update, layer, context); }
    void reset() override { ++resets; }

    std::vector<Call> calls;
    std::deque<int> toRead;
    int streamWrites = 0;
    int resets = 0;

private:
    float bitsPerSymbol_;
};

std::vector<int> valuesOfLayer(const std::vector<RecordingSymbolCoder::Call>& calls, int layer)
{
    std::vector<int> values;
    for (const auto& call : calls)
        if (call.layer == layer)
            values.push_back(call.value);
    return values;
}

double sumOfSquares(const std::vector<float>& values)
{
    double sum = 0.0;
    for (const float v : values)
        sum += static_cast<double>(v) * v;
    return sum;
}

// The power metric is |e|^p; p = 2 is the exact square of the double.
TEST(ErrorMetric, PowerMetricMeasuresAbsolutePowers)
{
    const PowerErrorMetric square(2.0f);
    EXPECT_EQ(square.error(-3.0f), 9.0);
    EXPECT_EQ(square.error(0.1f), static_cast<double>(0.1f) * static_cast<double>(0.1f));
    EXPECT_EQ(square.error(0.1f), std::pow(std::fabs(static_cast<double>(0.1f)), 2.0));
    const PowerErrorMetric cube(3.0f);
    EXPECT_DOUBLE_EQ(cube.error(-2.0f), 8.0);
    const PowerErrorMetric absolute(1.0f);
    EXPECT_DOUBLE_EQ(absolute.error(-0.25f), 0.25);
}

// Statistics are float sums in order; the mean's code truncates toward zero.
TEST(LayeredQuantizer, LowPassStatisticsAndRange)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, false, 10, &metric);
    const std::vector<float> data = {1.03f, -2.51f, 0.5f, 3.26f};
    q.analyze(data.data(), 4);

    EXPECT_EQ(q.count(), 4);
    EXPECT_EQ(q.maximum(), 3.26f);
    EXPECT_EQ(q.minimum(), -2.51f);
    const float sum = ((1.03f + -2.51f) + 0.5f) + 3.26f;
    EXPECT_EQ(q.sum(), sum);
    EXPECT_EQ(q.mean(), 0.25f * sum);
    // 16 * 3.26 + 0.5 truncates to 52, whose 3.25 lies below the maximum: the code rounds up to 53.
    EXPECT_EQ(q.maximumCode(), 53);
    EXPECT_EQ(q.quantisedMaximum(), 53.0f / 16.0f);
    // 16 * -2.51 + 0.5 = -39.66 truncates toward zero to -39; the range is widened down to -41.
    EXPECT_EQ(q.minimumCode(), -41);
    EXPECT_EQ(q.quantisedMinimum(), -41.0f / 16.0f);
    EXPECT_EQ(q.meanCode(), 9); // 16 * 0.57 + 0.5 = 9.62
    EXPECT_EQ(q.baseValue(), 9.0f / 16.0f);
    EXPECT_EQ(q.threshold(), (53.0f + 41.0f) / 32.0f);
    EXPECT_EQ(q.currentLayer(), -1);
    EXPECT_EQ(coder.resets, 1);
}

// A negative mean's code truncates toward zero rather than rounding down.
TEST(LayeredQuantizer, NegativeMeanCodeTruncatesTowardZero)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, false, 10, &metric);
    const std::vector<float> data = {-2.3f, -2.3f};
    q.analyze(data.data(), 2);
    EXPECT_EQ(q.meanCode(), -36); // 16 * -2.3 + 0.5 = -36.3
}

// The coded range never leaves a coefficient outside it, whatever the rounding of the ends.
TEST(LayeredQuantizer, QuantisedRangeAlwaysHoldsTheCoefficients)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-300.0f, 300.0f);
    for (int trial = 0; trial < 500; ++trial) {
        std::vector<float> data(5);
        for (float& x : data)
            x = value(random);
        for (const bool highPass : {false, true}) {
            RecordingSymbolCoder coder;
            const PowerErrorMetric metric(2.0f);
            LayeredQuantizer q(coder, 4, highPass, 10, &metric);
            q.analyze(data.data(), 5);
            for (const float x : data) {
                ASSERT_GE(q.quantisedMaximum(), x);
                ASSERT_LE(q.quantisedMinimum(), x);
            }
            // Every starting residual lies within +-T.
            for (const float r : q.residuals())
                ASSERT_LE(std::fabs(r), highPass ? 2 * q.threshold() : q.threshold());
        }
    }
}

// A high-pass range is symmetric about 0 around the larger magnitude.
TEST(LayeredQuantizer, HighPassRangeIsSymmetric)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, true, 10, &metric);
    const std::vector<float> data = {0.2f, -1.3f, 0.9f};
    q.analyze(data.data(), 3);
    EXPECT_EQ(q.maximum(), 1.3f);
    EXPECT_EQ(q.minimum(), -1.3f);
    EXPECT_EQ(q.maximumCode(), 21);
    EXPECT_EQ(q.minimumCode(), -21);
    EXPECT_EQ(q.quantisedMinimum(), -21.0f / 16.0f);
    EXPECT_EQ(q.threshold(), 21.0f / 32.0f);
    // High-pass residuals start as the coefficients; the base distortion is their sum of squares.
    EXPECT_EQ(q.residuals(), data);
    EXPECT_NEAR(q.baseDistortion(), sumOfSquares(data), 1e-5);
}

// An all-zero high-pass band can only be coded at precision 0: every further precision is priced +infinity.
TEST(LayeredQuantizer, AllZeroHighPassBandHasOnlyPrecisionZero)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, true, 10, &metric);
    const std::vector<float> data(12, 0.0f);
    q.analyze(data.data(), 12);
    EXPECT_EQ(q.threshold(), 0.0f);
    float rate = -1.0f;
    float distortion = -1.0f;
    q.rateDistortion(0, 0.05f, rate, distortion);
    EXPECT_EQ(rate, 0.0f);
    EXPECT_EQ(distortion, 0.0f);
    for (int p = 1; p < 10; ++p) {
        q.rateDistortion(p, 0.05f, rate, distortion);
        EXPECT_EQ(rate, kInfinity);
        EXPECT_EQ(distortion, kInfinity);
    }
    EXPECT_TRUE(coder.calls.empty());
}

// A coefficient equal to +T or -T stays insignificant; one just above turns significant at +-1.5 T.
TEST(LayeredQuantizer, SignificanceComparesStrictly)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, true, 10, &metric);
    // Maximum 1 gives T = 0.5.
    const std::vector<float> data = {1.0f, 0.5f, -0.5f, 0.0f, -0.5625f};
    q.analyze(data.data(), 5);
    ASSERT_EQ(q.threshold(), 0.5f);
    float rate = 0.0f;
    float distortion = 0.0f;
    q.rateDistortion(1, 0.05f, rate, distortion);
    EXPECT_EQ(valuesOfLayer(coder.calls, 0), (std::vector<int>{1, 0, 0, 0, -1}));
    EXPECT_EQ(q.states(), (std::vector<std::int32_t>{1, 0, 0, 0, -1}));
    EXPECT_EQ(q.residuals(), (std::vector<float>{0.25f, 0.5f, -0.5f, 0.0f, 0.1875f}));
    // Every context of layer 0 is the starting state 0.
    for (const auto& call : coder.calls)
        EXPECT_EQ(call.context, 0);
}

// A refinement residual of exactly 0 yields the bit 0 and moves up by half the threshold.
TEST(LayeredQuantizer, ZeroRefinementResidualGivesBitZero)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, true, 10, &metric);
    const std::vector<float> data = {1.0f, 0.75f};
    q.analyze(data.data(), 2);
    float rate = 0.0f;
    float distortion = 0.0f;
    q.rateDistortion(2, 0.05f, rate, distortion);
    EXPECT_EQ(valuesOfLayer(coder.calls, 0), (std::vector<int>{1, 1}));
    EXPECT_EQ(valuesOfLayer(coder.calls, 1), (std::vector<int>{1, 0}));
    EXPECT_EQ(q.residuals(), (std::vector<float>{0.125f, 0.125f}));
    EXPECT_EQ(q.states(), (std::vector<std::int32_t>{3, 2}));
    // The second layer's contexts are the states after the first.
    EXPECT_EQ(coder.calls[2].context, 1);
    EXPECT_EQ(coder.calls[3].context, 1);
}

// The low-pass band is a binary search of its range: a bit per layer, the residual halving each time.
TEST(LayeredQuantizer, LowPassLayersRefineLikeABinarySearch)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, false, 10, &metric);
    // Range [0, 8]: midpoint 4, T = 4.
    const std::vector<float> data = {0.0f, 8.0f, 5.0f};
    q.analyze(data.data(), 3);
    ASSERT_EQ(q.threshold(), 4.0f);
    EXPECT_EQ(q.residuals(), (std::vector<float>{-4.0f, 4.0f, 1.0f}));
    float rate = 0.0f;
    float distortion = 0.0f;
    q.rateDistortion(3, 0.05f, rate, distortion);
    EXPECT_EQ(valuesOfLayer(coder.calls, 0), (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(valuesOfLayer(coder.calls, 1), (std::vector<int>{0, 1, 0}));
    // A residual of exactly 0 takes the bit 0 and moves up.
    EXPECT_EQ(valuesOfLayer(coder.calls, 2), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(q.states(), (std::vector<std::int32_t>{0, 7, 4}));
    EXPECT_EQ(q.residuals(), (std::vector<float>{-0.5f, 0.5f, 0.5f}));
}

// Rate and distortion of each precision add the layer tables; each layer is computed once.
TEST(LayeredQuantizer, RateDistortionReusesComputedLayers)
{
    RecordingSymbolCoder coder(0.5f);
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, true, 10, &metric);
    const std::vector<float> data = {3.1f, -0.4f, 1.7f, 0.05f, -2.2f, 0.9f};
    q.analyze(data.data(), 6);
    float rate = 0.0f;
    float distortion = 0.0f;
    for (int p = 0; p <= 4; ++p) {
        q.rateDistortion(p, 0.05f, rate, distortion);
        EXPECT_EQ(rate, 0.5f * 6 * p);
        // The distortion left equals the squared residuals left.
        EXPECT_NEAR(distortion, sumOfSquares(q.residuals()), 1e-4) << "precision " << p;
    }
    EXPECT_EQ(coder.calls.size(), 6u * 4);
    // Asking again codes nothing more and gives the same figures.
    float again = 0.0f;
    float againDistortion = 0.0f;
    q.rateDistortion(2, 0.05f, again, againDistortion);
    EXPECT_EQ(coder.calls.size(), 6u * 4);
    EXPECT_EQ(again, 0.5f * 6 * 2);
    EXPECT_EQ(againDistortion, (q.baseDistortion() + q.layerDistortionChange(0)) + q.layerDistortionChange(1));
    EXPECT_LT(q.layerDistortionChange(0), 0.0f);
}

// A layer whose threshold has fallen to the minimum step is priced +infinity, and so is every later one.
TEST(LayeredQuantizer, ThresholdAtMinimumStepEndsThePrecisions)
{
    RecordingSymbolCoder coder;
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, true, 10, &metric);
    // Maximum 0.1 gives code 2, quantised maximum 0.125, T = 0.0625, then 0.03125.
    const std::vector<float> data = {0.1f, -0.02f};
    q.analyze(data.data(), 2);
    float rate = 0.0f;
    float distortion = 0.0f;
    q.rateDistortion(1, 0.05f, rate, distortion);
    EXPECT_EQ(rate, 2.0f);
    q.rateDistortion(2, 0.05f, rate, distortion);
    EXPECT_EQ(rate, kInfinity);
    EXPECT_EQ(distortion, kInfinity);
    EXPECT_EQ(q.layerRate(1), kInfinity);
    EXPECT_EQ(q.layerDistortionChange(1), -kInfinity);
    q.rateDistortion(3, 0.05f, rate, distortion);
    EXPECT_EQ(rate, kInfinity);
    EXPECT_EQ(q.currentLayer(), 0);
    // A threshold exactly at the step counts as fallen.
    q.rateDistortion(2, 0.03125f, rate, distortion);
    EXPECT_EQ(rate, kInfinity);
}

// Pricing all layers in one walk gives, bit for bit, the tables, residuals and states of pricing them one layer at
// a time, for both band kinds, the squared and another metric, and a step that ends the layers early.
TEST(LayeredQuantizer, PricingLayersTogetherEqualsPricingThemInTurn)
{
    std::mt19937 random(5);
    std::normal_distribution<float> value(0.0f, 30.0f);
    std::vector<float> data(2000);
    for (float& x : data)
        x = (random() % 4 == 0) ? 0.0f : value(random);
    for (const bool highPass : {false, true}) {
        for (const float exponent : {2.0f, 1.5f}) {
            for (const float minimumStep : {0.05f, 2.0f}) {
                SCOPED_TRACE(::testing::Message() << "high-pass " << highPass << ", exponent " << exponent
                                                  << ", minimum step " << minimumStep);
                const PowerErrorMetric metric(exponent);
                LayeredSymbolCoder inTurnCoder(9, highPass, 512);
                LayeredSymbolCoder togetherCoder(9, highPass, 512);
                LayeredQuantizer inTurn(inTurnCoder, 4, highPass, 10, &metric);
                LayeredQuantizer together(togetherCoder, 4, highPass, 10, &metric);
                inTurn.analyze(data.data(), static_cast<std::int32_t>(data.size()));
                together.analyze(data.data(), static_cast<std::int32_t>(data.size()));
                together.priceLayersAhead(9, minimumStep);
                for (int p = 0; p < 10; ++p) {
                    float rate[2] = {};
                    float distortion[2] = {};
                    inTurn.rateDistortion(p, minimumStep, rate[0], distortion[0]);
                    together.rateDistortion(p, minimumStep, rate[1], distortion[1]);
                    ASSERT_EQ(rate[0], rate[1]) << "precision " << p;
                    ASSERT_EQ(distortion[0], distortion[1]) << "precision " << p;
                }
                EXPECT_EQ(together.currentLayer(), inTurn.currentLayer());
                EXPECT_EQ(together.threshold(), inTurn.threshold());
                EXPECT_EQ(together.residuals(), inTurn.residuals());
                EXPECT_EQ(together.states(), inTurn.states());
            }
        }
    }
}

// An empty subband has zero statistics and nothing but precision 0.
TEST(LayeredQuantizer, EmptySubbandCodesOnlyItsHeader)
{
    LayeredSymbolCoder coder(10, true, 512);
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, true, 10, &metric);
    q.analyze(nullptr, 0);
    EXPECT_EQ(q.maximum(), 0.0f);
    EXPECT_EQ(q.mean(), 0.0f);
    float rate = 1.0f;
    float distortion = 1.0f;
    q.rateDistortion(0, 0.05f, rate, distortion);
    EXPECT_EQ(rate, 0.0f);
    EXPECT_EQ(distortion, 0.0f);
    q.rateDistortion(1, 0.05f, rate, distortion);
    EXPECT_EQ(rate, kInfinity);

    std::string bytes;
    {
        EncoderStream stream(bytes);
        q.writeHeader(stream, 0);
        q.encode(stream, 0);
        stream.bits.padToByte();
    }
    EXPECT_EQ(bytes, std::string(1, '\x80')); // writeNonnegative(0) is the bit 1

    LayeredSymbolCoder decodingCoder(10, true, 512);
    LayeredQuantizer decoder(decodingCoder, 4, true, 10, nullptr);
    DecoderStream input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    int precision = -1;
    ASSERT_TRUE(decoder.readHeader(input, precision));
    EXPECT_EQ(precision, 0);
    decoder.prepareDecode(nullptr, 0);
    EXPECT_TRUE(decoder.decode(input, precision));
}

struct CodedBand {
    std::string bytes;
    std::vector<float> reconstruction;
};

CodedBand encodeBand(const std::vector<float>& data, bool highPass, int precision)
{
    LayeredSymbolCoder coder(10, highPass, 512);
    const PowerErrorMetric metric(2.0f);
    LayeredQuantizer q(coder, 4, highPass, 10, &metric);
    q.analyze(data.data(), static_cast<std::int32_t>(data.size()));
    float rate = 0.0f;
    float distortion = 0.0f;
    for (int p = 0; p < 10; ++p)
        q.rateDistortion(p, 0.05f, rate, distortion);
    CodedBand band;
    band.reconstruction.resize(data.size());
    EncoderStream stream(band.bytes);
    q.writeHeader(stream, precision);
    q.encodeWithReconstruction(stream, precision, band.reconstruction.data());
    stream.arith.finish();
    return band;
}

// Decodes one band; a stream read past its end is refused too.
Status decodeBand(const std::string& bytes, bool highPass, std::vector<float>& data)
{
    LayeredSymbolCoder coder(10, highPass, 512);
    LayeredQuantizer q(coder, 4, highPass, 10, nullptr);
    DecoderStream stream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    int precision = 0;
    bool ok = q.readHeader(stream, precision);
    if (ok) {
        q.prepareDecode(data.data(), static_cast<std::int32_t>(data.size()));
        ok = q.decode(stream, precision);
    }
    if (!ok)
        return failure(stream.bits.failure());
    if (stream.bits.pastEnd())
        return failure("read past the end of the band");
    return Status();
}

// A precision-0 low-pass band decodes to the quantised mean everywhere.
TEST(LayeredQuantizer, PrecisionZeroLowPassDecodesToQuantisedMean)
{
    const std::vector<float> data = {10.0f, 12.5f, 9.1f, 30.0f};
    const CodedBand band = encodeBand(data, false, 0);
    std::vector<float> decoded(4, -1.0f);
    ASSERT_TRUE(decodeBand(band.bytes, false, decoded));
    const float mean = 0.25f * (((10.0f + 12.5f) + 9.1f) + 30.0f);
    const float quantisedMean = static_cast<float>(static_cast<int>(16.0f * mean + 0.5)) / 16.0f;
    for (const float x : decoded)
        EXPECT_EQ(x, quantisedMean);
    EXPECT_EQ(decoded, band.reconstruction);
}

// Decoding a band gives exactly the encoder's own reconstruction, at every precision, and the error shrinks as
// the precision grows.
TEST(LayeredQuantizer, DecodingMatchesTheEncodersReconstruction)
{
    std::mt19937 random(11);
    std::normal_distribution<float> value(0.0f, 20.0f);
    std::vector<float> data(300);
    for (float& x : data)
        x = value(random);
    for (const bool highPass : {false, true}) {
        double previousError = std::numeric_limits<double>::infinity();
        for (int p = 0; p < 10; ++p) {
            const CodedBand band = encodeBand(data, highPass, p);
            std::vector<float> decoded(data.size(), 0.0f);
            ASSERT_TRUE(decodeBand(band.bytes, highPass, decoded)) << "precision " << p;
            ASSERT_EQ(decoded, band.reconstruction) << "precision " << p << " high-pass " << highPass;
            double error = 0.0;
            for (std::size_t i = 0; i < data.size(); ++i)
                error += std::pow(static_cast<double>(decoded[i]) - data[i], 2.0);
            if (p >= 2) {
                EXPECT_LT(error, previousError) << "precision " << p;
            }
            previousError = error;
        }
    }
}

// A header whose precision exceeds the layer capacity is refused with a reason.
TEST(LayeredQuantizer, HeaderWithTooHighAPrecisionIsRefused)
{
    std::string bytes;
    {
        EncoderStream stream(bytes);
        LayeredSymbolCoder coder(10, true, 512);
        const PowerErrorMetric metric(2.0f);
        LayeredQuantizer q(coder, 4, true, 10, &metric);
        const std::vector<float> data = {1.0f};
        q.analyze(data.data(), 1);
        q.writeHeader(stream, 10);
        stream.arith.finish();
    }
    std::vector<float> decoded(1);
    const Status refused = decodeBand(bytes, true, decoded);
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.reason().find("precision 10"), std::string::npos) << refused.reason();
}

} // namespace
} // namespace nubo
