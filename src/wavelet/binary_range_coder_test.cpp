#include "wavelet/binary_range_coder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

struct CodedBit {
    int model;
    int bit;
};

// Bits from a few sources of different skew (one nearly always 0, as run symbols are), each with its own model.
std::vector<CodedBit> skewedBits(std::uint32_t seed, int count)
{
    std::mt19937 random(seed);
    const double ones[4] = {0.5, 0.2, 0.02, 0.0005};
    std::vector<CodedBit> bits;
    for (int i = 0; i < count; ++i) {
        const int m = static_cast<int>(random() % 4);
        bits.push_back({m, std::uniform_real_distribution<double>(0.0, 1.0)(random) < ones[m] ? 1 : 0});
    }
    return bits;
}

// The code of the first `count` bits as a decoder gets it: the bytes written by then and the ending.
std::string endedCode(const std::string& written, const BinaryRangeEncoder::Ending& ending)
{
    std::string code;
    BitOutput output(code);
    for (std::int64_t k = 0; k < ending.bytes; ++k)
        output.putBits(static_cast<std::uint8_t>(written[static_cast<std::size_t>(k)]), 8);
    BinaryRangeEncoder::writeEnding(output, ending);
    EXPECT_EQ(output.bitCount(), ending.bits());
    output.padToByte();
    return code;
}

// A code ended after any symbol decodes every symbol before its end, with zeros read past it; the bytes written
// later do not change the earlier ones. Long runs of a skewed source make carries and held 0xFF bytes, which the
// endings must resolve.
TEST(BinaryRangeCoderTest, EndingAfterAnySymbolDecodesEverySymbolBefore)
{
    const std::vector<CodedBit> bits = skewedBits(5, 60000);
    std::string written;
    BinaryRangeEncoder encoder(written);
    std::vector<AdaptiveBit> models(4);
    std::vector<std::pair<std::size_t, BinaryRangeEncoder::Ending>> endings;
    int heldRuns = 0;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        const BinaryRangeEncoder::Ending ending = encoder.ending();
        const bool heldRun = ending.afterHeld > 0 && heldRuns < 50;
        if (i % 997 == 0 || i < 5 || heldRun)
            endings.emplace_back(i, ending);
        heldRuns += heldRun ? 1 : 0;
        AdaptiveBit& model = models[static_cast<std::size_t>(bits[i].model)];
        encoder.encode(model.one(), bits[i].bit);
        model.update(bits[i].bit);
    }
    endings.emplace_back(bits.size(), encoder.ending());
    EXPECT_GT(heldRuns, 0) << "no ending met held 0xFF bytes";

    for (const auto& [count, ending] : endings) {
        const std::string code = endedCode(written, ending);
        BinaryRangeDecoder decoder(reinterpret_cast<const std::uint8_t*>(code.data()), code.size());
        std::vector<AdaptiveBit> decoding(4);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < count; ++i) {
            AdaptiveBit& model = decoding[static_cast<std::size_t>(bits[i].model)];
            const int bit = decoder.decode(model.one());
            model.update(bit);
            wrong += bit != bits[i].bit ? 1 : 0;
        }
        EXPECT_EQ(wrong, 0u) << "code ended after " << count << " symbols";
        EXPECT_TRUE(decoder.consistent());
    }
}

// A code costs close to what the adaptive models say it should: the sum of -log2 of each symbol's probability,
// plus the ending's few bits.
TEST(BinaryRangeCoderTest, CodeLengthMatchesTheModelledInformation)
{
    const std::vector<CodedBit> bits = skewedBits(9, 200000);
    std::string written;
    BinaryRangeEncoder encoder(written);
    std::vector<AdaptiveBit> models(4);
    double information = 0.0;
    for (const CodedBit& b : bits) {
        AdaptiveBit& model = models[static_cast<std::size_t>(b.model)];
        const double one = model.one() / 65536.0;
        information -= std::log2(b.bit != 0 ? one : 1.0 - one);
        encoder.encode(model.one(), b.bit);
        model.update(b.bit);
    }
    const auto bits_ = static_cast<double>(encoder.ending().bits());
    EXPECT_GT(bits_, information - 1.0);
    EXPECT_LT(bits_, information * 1.001 + 16.0);
}

// A code of nothing is empty; a damaged code decodes to some symbols without reading outside its buffer, and a
// decoder given garbage notices it has left the range sooner or later.
TEST(BinaryRangeCoderTest, EmptyAndDamagedCodes)
{
    std::string written;
    BinaryRangeEncoder encoder(written);
    EXPECT_EQ(encoder.ending().bits(), 0);

    std::vector<std::uint8_t> garbage(64, 0xFF);
    BinaryRangeDecoder decoder(garbage.data(), garbage.size());
    AdaptiveBit model;
    bool left = false;
    for (int i = 0; i < 10000; ++i) {
        model.update(decoder.decode(model.one()));
        left = left || !decoder.consistent();
    }
    EXPECT_TRUE(left);
}

// The estimate follows a count of each symbol while it has seen fewer than its window: after a 1, 2/3; after
// 1, 0, 1, 3/5. Past the window it keeps moving with a long run of one symbol, beyond 1 / window, and the coders'
// probability stays strictly inside (0, 1).
TEST(BinaryRangeCoderTest, AdaptiveBitCountsThenForgets)
{
    AdaptiveBit model(64);
    EXPECT_EQ(model.one(), 32769u);
    model.update(1);
    EXPECT_NEAR(model.one() / 65536.0, 2.0 / 3.0, 1e-4);
    model.update(0);
    model.update(1);
    EXPECT_NEAR(model.one() / 65536.0, 3.0 / 5.0, 1e-4);

    for (int i = 0; i < 5000; ++i)
        model.update(0);
    EXPECT_GE(model.one(), 1u);
    EXPECT_LT(model.one(), 65536u / 1000u);
    for (int i = 0; i < 5000; ++i)
        model.update(1);
    EXPECT_LE(model.one(), 65535u);
    EXPECT_GT(model.one(), 65535u - 65536u / 1000u);

    // Reset forgets everything.
    model.reset();
    EXPECT_EQ(model.one(), 32769u);
}

} // namespace
} // namespace nubo
