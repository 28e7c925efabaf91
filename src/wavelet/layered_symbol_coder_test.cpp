#include "wavelet/layered_symbol_coder.h"

#include "wavelet/coder_streams.h"
#include "wavelet/integer_codes.h"
#include "wavelet/symbol_cost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

const std::uint8_t* bytesOf(const std::string& s)
{
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

// Small deterministic generator, so the golden sequence does not depend on the standard library's distributions.
struct XorShift {
    std::uint32_t state;
    std::uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

// Values as the layered quantiser makes them: a coefficient of state 0 takes -1, 0 or +1 (mostly 0) in a signed
// band; once significant, or in an unsigned band, it takes 0 or 1. The state is then v + 2 * state.
int nextValue(XorShift& random, bool signedBand, int state)
{
    if (signedBand && state == 0) {
        const std::uint32_t r = random.next() % 8;
        return r < 6 ? 0 : (r == 6 ? 1 : -1);
    }
    if (signedBand)
        return static_cast<int>(random.next() & 1);
    return random.next() % 4 == 0 ? 1 : 0;
}

std::uint64_t fnv1a(const std::string& bytes)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

// One band's worth of layers: every coefficient gets one value per layer, in the quantiser's order.
struct BandRun {
    bool signedBand;
    int layers;
    int coefficients;
};

// Writes (stream given) or prices (no stream) the values of a band run; returns the values and sums the cost.
std::vector<int> writeBand(LayeredSymbolCoder& coder, EncoderStream* stream, const BandRun& run, XorShift& random,
                           float& rate)
{
    std::vector<int> values;
    std::vector<int> states(static_cast<std::size_t>(run.coefficients), 0);
    for (int layer = 0; layer < run.layers; ++layer) {
        for (int& state : states) {
            const int v = nextValue(random, run.signedBand, state);
            rate += coder.write(stream, v, 1, layer, state);
            values.push_back(v);
            state = v + 2 * state;
        }
    }
    return values;
}

std::vector<int> readBand(LayeredSymbolCoder& coder, DecoderStream& stream, const BandRun& run)
{
    std::vector<int> values;
    std::vector<int> states(static_cast<std::size_t>(run.coefficients), 0);
    for (int layer = 0; layer < run.layers; ++layer) {
        for (int& state : states) {
            const int v = coder.read(stream, 1, layer, state);
            values.push_back(v);
            state = v + 2 * state;
        }
    }
    return values;
}

// Signed layers have 3, 7, ..., 2047 contexts; unsigned ones 2, 4, ..., 1024.
TEST(LayeredSymbolCoderTest, ContextCountsPerLayer)
{
    LayeredSymbolCoder signedCoder(10, true, 512);
    LayeredSymbolCoder unsignedCoder(10, false, 512);
    ASSERT_EQ(signedCoder.layerCount(), 10);
    for (int layer = 0; layer < 10; ++layer) {
        EXPECT_EQ(signedCoder.contextCount(layer), (4 << layer) - 1);
        EXPECT_EQ(unsignedCoder.contextCount(layer), 2 << layer);
    }
    EXPECT_EQ(signedCoder.contextCount(9), 2047);
    EXPECT_EQ(unsignedCoder.contextCount(9), 1024);
}

// Starting models: the signed centre context prices all three values at log2(3) bits; every other context has
// no room for -1 and prices 0 and +1 at one bit each.
TEST(LayeredSymbolCoderTest, ResetModelsPriceAsStartingCounts)
{
    LayeredSymbolCoder coder(3, true, 512);
    for (int v : {-1, 0, 1})
        EXPECT_EQ(coder.cost(v, 0, 2, 0), symbolCostFormula(1, 3));
    EXPECT_EQ(coder.cost(0, 0, 2, -7), 1.0f);
    EXPECT_EQ(coder.cost(1, 0, 2, 7), 1.0f);
    EXPECT_TRUE(std::isinf(coder.cost(-1, 0, 1, 3)));

    LayeredSymbolCoder unsignedCoder(3, false, 512);
    EXPECT_EQ(unsignedCoder.cost(0, 0, 0, 0), 1.0f);
    EXPECT_EQ(unsignedCoder.cost(1, 0, 2, 7), 1.0f);
    EXPECT_TRUE(std::isinf(unsignedCoder.cost(-1, 0, 0, 0)));
}

// The returned cost is the formula's float for the counts before the update, and the update adapts the model.
TEST(LayeredSymbolCoderTest, CostIsFormulaBeforeUpdate)
{
    LayeredSymbolCoder coder(2, true, 512);
    // Centre model of layer 1 starts at (1, 1, 1): after +1 twice and 0 once, +1 holds 3 of 6.
    EXPECT_EQ(coder.write(nullptr, 1, 1, 1, 0), symbolCostFormula(1, 3));
    EXPECT_EQ(coder.write(nullptr, 1, 1, 1, 0), symbolCostFormula(2, 4));
    EXPECT_EQ(coder.cost(0, 1, 1, 0), symbolCostFormula(1, 5));
    EXPECT_EQ(coder.cost(1, 0, 1, 0), symbolCostFormula(3, 6));
    EXPECT_EQ(coder.cost(1, 0, 1, 0), symbolCostFormula(3, 6)); // update 0 leaves the model alone
    EXPECT_EQ(coder.cost(-1, 0, 1, 0), symbolCostFormula(1, 6));
    // Other contexts of the same layer are untouched.
    EXPECT_EQ(coder.cost(1, 0, 1, 2), 1.0f);
}

// Reset brings adapted models back to their starting counts, so pricing and coding see the same adaptation.
TEST(LayeredSymbolCoderTest, ResetRestoresStartingModels)
{
    LayeredSymbolCoder coder(4, true, 512);
    XorShift random{99};
    float pricedRate = 0.0f;
    writeBand(coder, nullptr, {true, 4, 300}, random, pricedRate);
    coder.reset();

    std::string bytes;
    EncoderStream stream(bytes);
    XorShift again{99};
    float codedRate = 0.0f;
    writeBand(coder, &stream, {true, 4, 300}, again, codedRate);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(codedRate), std::bit_cast<std::uint32_t>(pricedRate));
}

// Pricing copies give, bit for bit, the costs write returns for the same symbols, through many halvings and for
// limits too small to halve below (3), a limit in the cost table (512) and one beyond it (700); the coder's own
// models stay untouched.
TEST(LayeredSymbolCoderTest, PricingCopiesPriceAsWriting)
{
    for (const bool signedBand : {true, false}) {
        for (const int maxTotal : {3, 5, 512, 700}) {
            SCOPED_TRACE(::testing::Message() << "signed " << signedBand << ", limit " << maxTotal);
            LayeredSymbolCoder written(4, signedBand, maxTotal);
            LayeredSymbolCoder priced(4, signedBand, maxTotal);
            // Start from adapted models, not just reset ones: the copies take the models as they are.
            XorShift warm{7};
            float ignored = 0.0f;
            writeBand(written, nullptr, {signedBand, 4, 50}, warm, ignored);
            XorShift warmAgain{7};
            writeBand(priced, nullptr, {signedBand, 4, 50}, warmAgain, ignored);

            XorShift random{11};
            for (int layer = 0; layer < 4; ++layer) {
                std::vector<PricingModel> copies;
                const LayeredSymbolCoder::LayerPricing pricing = priced.startPricing(layer, copies);
                const int half = signedBand ? written.contextCount(layer) / 2 : 0;
                // At most four contexts, so their models halve many times.
                const int lowest = signedBand ? -1 : 0;
                const int highest = std::min(lowest + 3, written.contextCount(layer) - 1 - half);
                const auto spread = static_cast<std::uint32_t>(highest - lowest + 1);
                for (int i = 0; i < 3000; ++i) {
                    const int context = lowest + static_cast<int>(random.next() % spread);
                    const int v = nextValue(random, signedBand, context);
                    const float expected = written.write(nullptr, v, 1, layer, context);
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(LayeredSymbolCoder::priceAndUpdate(pricing, v, context)),
                              std::bit_cast<std::uint32_t>(expected))
                        << "layer " << layer << ", symbol " << i;
                }
            }
            // Pricing moved only the copies: the coder still prices as it did after the warm-up.
            LayeredSymbolCoder reference(4, signedBand, maxTotal);
            XorShift warmThird{7};
            writeBand(reference, nullptr, {signedBand, 4, 50}, warmThird, ignored);
            for (int layer = 0; layer < 4; ++layer) {
                const int half = signedBand ? reference.contextCount(layer) / 2 : 0;
                for (int context = -half; context < reference.contextCount(layer) - half; ++context)
                    for (int v = -1; v <= 1; ++v)
                        ASSERT_EQ(priced.cost(v, 0, layer, context), reference.cost(v, 0, layer, context));
            }
        }
    }
}

// Long random bands round trip through one stream: raw integers first, then the symbols of a signed band and
// an unsigned band, each decoded by its own coder; nothing is read past the code.
TEST(LayeredSymbolCoderTest, RoundTripsRawIntegersThenSymbols)
{
    const std::vector<BandRun> runs = {{true, 10, 4000}, {false, 10, 3000}, {true, 3, 50000}};
    const std::vector<std::int32_t> header = {10, -5, 123456, 0, -1};

    std::string bytes;
    std::vector<std::vector<int>> written;
    {
        EncoderStream stream(bytes);
        for (std::int32_t v : header)
            writeInteger(stream.bits, v);
        writeNonnegative(stream.bits, 42);
        XorShift random{5};
        for (const BandRun& run : runs) {
            LayeredSymbolCoder coder(run.layers, run.signedBand, 512);
            float rate = 0.0f;
            written.push_back(writeBand(coder, &stream, run, random, rate));
        }
        stream.arith.finish();
    }

    DecoderStream stream(bytesOf(bytes), bytes.size());
    for (std::int32_t v : header)
        EXPECT_EQ(readInteger(stream.bits), v);
    EXPECT_EQ(readNonnegative(stream.bits), 42);
    for (std::size_t r = 0; r < runs.size(); ++r) {
        LayeredSymbolCoder coder(runs[r].layers, runs[r].signedBand, 512);
        const std::vector<int> read = readBand(coder, stream, runs[r]);
        ASSERT_EQ(read.size(), written[r].size());
        for (std::size_t i = 0; i < read.size(); ++i)
            ASSERT_EQ(read[i], written[r][i]) << "run " << r << " symbol " << i;
    }
    EXPECT_FALSE(stream.bits.failed());
    EXPECT_FALSE(stream.bits.pastEnd());
}

// Golden bytes of a fixed sequence, cross-checked against an independent implementation of the same coding
// rules: any change to model order, halving, interval arithmetic or bit output changes them.
TEST(LayeredSymbolCoderTest, GoldenBytesOfFixedSequence)
{
    std::string bytes;
    float rate = 0.0f;
    {
        EncoderStream stream(bytes);
        writeNonnegative(stream.bits, 6);
        writeInteger(stream.bits, -1234);
        writeInteger(stream.bits, 77);
        XorShift random{2024};
        LayeredSymbolCoder signedCoder(6, true, 512);
        writeBand(signedCoder, &stream, {true, 6, 700}, random, rate);
        LayeredSymbolCoder unsignedCoder(4, false, 512);
        writeBand(unsignedCoder, &stream, {false, 4, 300}, random, rate);
        stream.arith.finish();
    }
    EXPECT_EQ(bytes.size(), 688u);
    EXPECT_EQ(fnv1a(bytes), 0xc4794de931997319ULL);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(rate), 1168780409u); // 5445.55908203125 bits
    EXPECT_EQ(fnv1a(bytes.substr(0, 16)), fnv1a(std::string("\x3c\x00\x9a\x40\x27\x58\xb4\xb3\x88\x0d\xb1\x61\x42\x1e\x86\x9d", 16)));
}

// A state outside the layer, or a layer outside the coder, as a damaged stream can produce, marks the stream
// failed and reads 0 instead of touching memory outside the models.
TEST(LayeredSymbolCoderTest, ReadOutsideContextsFails)
{
    const std::vector<std::uint8_t> bytes(8, 0x5A);
    for (auto [layer, context] : std::vector<std::pair<int, int>>{{0, 2}, {0, -2}, {2, 8}, {3, 0}, {-1, 0}}) {
        LayeredSymbolCoder coder(3, true, 512);
        DecoderStream stream(bytes.data(), bytes.size());
        EXPECT_EQ(coder.read(stream, 1, layer, context), 0);
        EXPECT_TRUE(stream.bits.failed()) << layer << ", " << context;
    }
    LayeredSymbolCoder unsignedCoder(2, false, 512);
    DecoderStream stream(bytes.data(), bytes.size());
    EXPECT_EQ(unsignedCoder.read(stream, 1, 1, -1), 0);
    EXPECT_TRUE(stream.bits.failed());
}

// The encoder's contexts come from the caller's own arithmetic; one outside the coder is a bug and ends the
// process rather than corrupting memory or the stream.
TEST(LayeredSymbolCoderDeathTest, WritingOutsideContextsAborts)
{
    LayeredSymbolCoder coder(2, true, 512);
    EXPECT_DEATH(coder.cost(0, 1, 0, 2), "context outside");
    EXPECT_DEATH(coder.cost(0, 1, 2, 0), "context outside");
    EXPECT_DEATH(coder.cost(2, 1, 0, 0), "value outside");
    std::string bytes;
    EncoderStream stream(bytes);
    EXPECT_DEATH(coder.write(&stream, -1, 1, 1, 1), "no interval");
}

} // namespace
} // namespace nubo
