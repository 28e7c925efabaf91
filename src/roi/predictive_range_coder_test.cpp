#include "roi/predictive_range_coder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace nubo {
namespace {

struct Piece {
    int symbol;
    std::uint32_t bits;
    int bitCount;
};

// Symbols drawn from a skewed distribution, each followed by 0 to 16 raw bits.
std::vector<Piece> randomPieces(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::geometric_distribution<int> skewed(0.3);
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < count; ++i) {
        const int symbol = std::min(skewed(random), 35);
        const int bitCount = static_cast<int>(random() % 17);
        const std::uint32_t bits = bitCount == 0 ? 0 : static_cast<std::uint32_t>(random()) & ((1u << bitCount) - 1);
        pieces.push_back({symbol, bits, bitCount});
    }
    return pieces;
}

// Range code of the symbols, then the raw bits back to front; returns the range code's length too.
std::vector<std::uint8_t> encodePieces(const std::vector<Piece>& pieces, std::size_t& rangeBytes)
{
    std::vector<std::uint8_t> code;
    RangeEncoder encoder(code);
    RawBitWriter bits;
    FrequencyModel<36> models[2];
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        encoder.encode(models[i & 1], pieces[i].symbol);
        bits.put(pieces[i].bits, pieces[i].bitCount);
    }
    encoder.finish();
    rangeBytes = code.size();
    bits.appendTo(code);
    return code;
}

// Long runs of symbols and raw bits (enough for many carries and count halvings) decode exactly, and the two
// readers together take exactly the bytes the encoder wrote.
TEST(PredictiveRangeCoder, RoundTripTakesEveryByte)
{
    const std::vector<Piece> pieces = randomPieces(400000, 7);
    std::size_t rangeBytes = 0;
    const std::vector<std::uint8_t> code = encodePieces(pieces, rangeBytes);
    RangeDecoder decoder(code.data(), rangeBytes);
    RawBitReader bits(code.data(), code.size());
    FrequencyModel<36> models[2];
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        ASSERT_EQ(decoder.decode(models[i & 1]), pieces[i].symbol) << "piece " << i;
        ASSERT_EQ(bits.get(pieces[i].bitCount), pieces[i].bits) << "piece " << i;
    }
    EXPECT_EQ(decoder.bytesRead(), rangeBytes);
    EXPECT_EQ(rangeBytes + bits.bytesUsed(), code.size());
}

// A model that sees one symbol only learns it: the code of 100000 equal symbols is a few hundred bytes, and a
// symbol never seen still keeps a frequency, so it can be coded at any time.
TEST(PredictiveRangeCoder, ModelAdaptsAndKeepsEverySymbolCodable)
{
    std::vector<std::uint8_t> code;
    RangeEncoder encoder(code);
    FrequencyModel<36> model;
    for (int i = 0; i < 100000; ++i)
        encoder.encode(model, 3);
    EXPECT_GE(model.frequency(35), 1u);
    encoder.encode(model, 35);
    encoder.finish();
    EXPECT_LT(code.size(), 600u);

    RangeDecoder decoder(code.data(), code.size());
    FrequencyModel<36> mirror;
    for (int i = 0; i < 100000; ++i)
        ASSERT_EQ(decoder.decode(mirror), 3);
    EXPECT_EQ(decoder.decode(mirror), 35);
    EXPECT_EQ(decoder.bytesRead(), code.size());
}

// Bytes that no encoder wrote still decode to symbols of the alphabet and bits of the width asked for, and
// both readers go on past the end reading zeros.
TEST(PredictiveRangeCoder, ArbitraryBytesDecodeWithinTheAlphabet)
{
    std::mt19937 random(3);
    std::vector<std::uint8_t> garbage(2000);
    for (std::uint8_t& b : garbage)
        b = static_cast<std::uint8_t>(random());
    garbage[0] = 0xFF;
    garbage[1] = 0xFF;
    RangeDecoder decoder(garbage.data(), garbage.size());
    RawBitReader bits(garbage.data(), garbage.size());
    FrequencyModel<36> model;
    for (int i = 0; i < 5000; ++i) {
        const int symbol = decoder.decode(model);
        ASSERT_GE(symbol, 0);
        ASSERT_LT(symbol, 36);
        ASSERT_LT(bits.get(5), 32u);
    }
    EXPECT_GT(decoder.bytesRead(), garbage.size());
    EXPECT_GT(bits.bytesUsed(), garbage.size());
}

} // namespace
} // namespace nubo
