#include "wavelet/arith_coder.h"

#include <gtest/gtest.h>

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

// An encoder that coded nothing still ends its code: sixteen 0 bits (its low of 0), two whole bytes.
TEST(ArithCoderTest, FinishWithNothingCodedWritesTwoZeroBytes)
{
    std::string bytes;
    BitOutput output(bytes);
    ArithEncoder encoder(output);
    encoder.finish();
    EXPECT_EQ(bytes, std::string(2, '\0'));
}

// Finishing pads the partial byte left by earlier bits to a whole byte.
TEST(ArithCoderTest, FinishPadsToByteBoundary)
{
    std::string bytes;
    BitOutput output(bytes);
    output.putBit(1);
    ArithEncoder encoder(output);
    encoder.finish();
    ASSERT_EQ(bytes.size(), 3u);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0x80);
    EXPECT_EQ(bytes[1], '\0');
    EXPECT_EQ(bytes[2], '\0');
}

// Symbols coded with adapting models of several sizes decode back exactly, the decoder adapting its own copy
// of each model in step; the decoder reads no bit beyond the code.
TEST(ArithCoderTest, RoundTripsWithAdaptingModels)
{
    std::mt19937 random(11);
    const std::vector<int> sizes = {2, 3, 5, 16};
    std::vector<FrequencyModel> encoderModels;
    for (int n : sizes) {
        encoderModels.emplace_back(n, 512);
        std::vector<std::int32_t> counts(static_cast<std::size_t>(n), 1);
        encoderModels.back().initialise(counts.data());
    }
    std::vector<FrequencyModel> decoderModels = encoderModels;

    std::vector<std::pair<int, int>> coded; // (model, symbol)
    for (int i = 0; i < 50000; ++i) {
        const int m = static_cast<int>(random() % sizes.size());
        const int n = sizes[static_cast<std::size_t>(m)];
        // Mostly small symbols, so the models grow skewed and intervals get narrow.
        int symbol = static_cast<int>(random() % static_cast<unsigned>(n));
        if (random() % 4 != 0)
            symbol = symbol / 3;
        coded.emplace_back(m, symbol);
    }

    std::string bytes;
    BitOutput output(bytes);
    ArithEncoder encoder(output);
    for (auto [m, symbol] : coded) {
        FrequencyModel& model = encoderModels[static_cast<std::size_t>(m)];
        encoder.encode(model.count(symbol), model.cumulative(symbol), model.total());
        model.update(symbol);
    }
    encoder.finish();

    BitInput input(bytesOf(bytes), bytes.size());
    ArithDecoder decoder(input);
    for (std::size_t i = 0; i < coded.size(); ++i) {
        FrequencyModel& model = decoderModels[static_cast<std::size_t>(coded[i].first)];
        const int symbol = decoder.decode(model);
        ASSERT_EQ(symbol, coded[i].second) << "symbol " << i;
        model.update(symbol);
    }
    EXPECT_FALSE(input.failed());
    EXPECT_FALSE(input.pastEnd());
}

// The largest total the coder takes still gives a count of 1 its own interval.
TEST(ArithCoderTest, RoundTripsAtLargestTotal)
{
    FrequencyModel model(4, kMaxCodedTotal + 1);
    const std::int32_t counts[] = {kMaxCodedTotal - 3, 1, 1, 1};
    ASSERT_TRUE(model.initialise(counts));
    ASSERT_EQ(model.total(), kMaxCodedTotal);
    const std::vector<int> symbols = {1, 0, 0, 3, 2, 0, 1, 1, 3, 0, 2, 2, 0};

    std::string bytes;
    BitOutput output(bytes);
    ArithEncoder encoder(output);
    for (int s : symbols)
        encoder.encode(model.count(s), model.cumulative(s), model.total());
    encoder.finish();

    BitInput input(bytesOf(bytes), bytes.size());
    ArithDecoder decoder(input);
    for (int s : symbols)
        EXPECT_EQ(decoder.decode(model), s);
    EXPECT_FALSE(input.failed());
}

// A model with nothing in it cannot be decoded from: the input is marked failed instead of dividing by zero.
TEST(ArithCoderTest, DecodingFromEmptyModelFails)
{
    const std::vector<std::uint8_t> bytes = {0x12, 0x34, 0x56};
    BitInput input(bytes.data(), bytes.size());
    ArithDecoder decoder(input);
    FrequencyModel empty(3, 512);
    EXPECT_EQ(decoder.decode(empty), 0);
    EXPECT_TRUE(input.failed());
}

// A total beyond what 16-bit codes can hold is refused on decoding rather than overflowing.
TEST(ArithCoderTest, DecodingFromOversizedModelFails)
{
    const std::vector<std::uint8_t> bytes = {0xFF, 0xFF};
    BitInput input(bytes.data(), bytes.size());
    ArithDecoder decoder(input);
    FrequencyModel big(2, 1 << 20);
    const std::int32_t counts[] = {kMaxCodedTotal, 1};
    big.initialise(counts);
    EXPECT_EQ(decoder.decode(big), 0);
    EXPECT_TRUE(input.failed());
}

// Coding an empty interval is a caller's error that would corrupt the code; it ends the process.
TEST(ArithCoderDeathTest, EncodingEmptyIntervalAborts)
{
    std::string bytes;
    BitOutput output(bytes);
    ArithEncoder encoder(output);
    EXPECT_DEATH(encoder.encode(0, 1, 2), "cannot code");
    EXPECT_DEATH(encoder.encode(1, 0, 0), "cannot code");
}

// A two-symbol model of fixed counts, 1 in 7 for symbol 1, as encodeBinary and decodeBinary take it.
struct SkewedBinary {
    int front() const { return 0; }
    std::int32_t backCount() const { return 1; }
    std::int32_t total() const { return 7; }
    int find(std::int32_t target, std::int32_t& cumulative, std::int32_t& count) const
    {
        if (target < 0 || target >= 7)
            return -1;
        cumulative = target < 1 ? 0 : 1;
        count = target < 1 ? 1 : 6;
        return target < 1 ? 1 : 0;
    }
};

// A code ended anywhere by its two-bit ending decodes every symbol coded before it, whatever bits follow it,
// and the decoder, 16 bits ahead, stands exactly kDecoderLookahead bits past the ending.
TEST(ArithCoderTest, EndingClosesTheCodeWhateverFollows)
{
    std::mt19937 random(5);
    std::vector<int> symbols(3000);
    for (int& s : symbols)
        s = random() % 7 == 0 ? 1 : 0; // skewed, so intervals narrow and bits are owed
    std::string whole;
    BitOutput output(whole);
    ArithEncoder encoder(output);
    const SkewedBinary model;
    std::vector<std::int64_t> positions;
    std::vector<ArithEncoder::Ending> endings;
    for (std::size_t i = 0; i <= symbols.size(); ++i) {
        positions.push_back(output.bitCount());
        endings.push_back(encoder.ending());
        if (i == symbols.size())
            break;
        encoder.encodeBinary(model, symbols[i]);
    }
    for (const std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{17}, std::size_t{999}, symbols.size()}) {
        for (const int follower : {0x00, 0xFF, 0x5A}) {
            std::string code;
            BitOutput ended(code);
            ended.putBitsOf(output, positions[count]);
            ArithEncoder::writeEnding(ended, endings[count]);
            const std::int64_t length = ended.bitCount();
            EXPECT_EQ(length, positions[count] + endings[count].pendingBits + ArithEncoder::kEndingBits);
            for (int k = 0; k < 4; ++k)
                ended.putBits(static_cast<std::uint32_t>(follower), 8);
            BitInput input(bytesOf(code), code.size());
            ArithDecoder decoder(input);
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(decoder.decodeBinary(model), symbols[i]) << "symbol " << i << " of " << count;
            EXPECT_EQ(input.bitsRead() - ArithEncoder::kDecoderLookahead, length) << count;
        }
    }
}

} // namespace
} // namespace nubo
