#include "roi/arithmetic_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

using Symbols = std::vector<unsigned>;

// Encodes the symbols with a fresh model of n symbols into an own buffer; returns the code bytes.
std::vector<std::uint8_t> encodeAll(const Symbols& symbols, unsigned n, std::uint32_t bufferSize = 1u << 20)
{
    ArithmeticCodec codec(bufferSize);
    AdaptiveSymbolModel model(n);
    codec.startEncoder();
    for (unsigned s : symbols)
        codec.encode(s, model);
    const std::uint32_t count = codec.stopEncoder();
    return {codec.buffer(), codec.buffer() + count};
}

// Decodes count symbols with a fresh model of n symbols from the code, followed by zero bytes.
Symbols decodeAll(std::vector<std::uint8_t> code, unsigned n, std::size_t count, std::size_t* bytesRead = nullptr)
{
    code.resize(std::max<std::size_t>(code.size(), 16) + 3, 0);
    ArithmeticCodec codec(static_cast<std::uint32_t>(code.size()), code.data());
    AdaptiveSymbolModel model(n);
    codec.startDecoder();
    Symbols symbols(count);
    for (unsigned& s : symbols)
        s = codec.decode(model);
    codec.stopDecoder();
    if (bytesRead)
        *bytesRead = codec.bytesUsed();
    return symbols;
}

// Symbols 0 ... n - 1 with a skewed, seeded distribution, so that the models adapt.
Symbols skewedSymbols(unsigned n, std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::geometric_distribution<unsigned> skewed(0.05);
    std::uniform_int_distribution<unsigned> any(0, n - 1);
    Symbols symbols(count);
    for (unsigned& s : symbols)
        s = (random() & 3) == 0 ? any(random) : skewed(random) % n;
    return symbols;
}

// Every single symbol of a 257-symbol model, the last one included, codes to at least one byte and comes back.
TEST(ArithmeticCodec, SingleSymbolRoundTrips)
{
    for (unsigned s = 0; s < 257; ++s) {
        const std::vector<std::uint8_t> code = encodeAll({s}, 257);
        EXPECT_GE(code.size(), 1u);
        EXPECT_LE(code.size(), 3u);
        EXPECT_EQ(decodeAll(code, 257, 1), Symbols{s});
    }
}

// Sequences round-trip for alphabets on both sides of the bisection / table boundary and of each table size.
TEST(ArithmeticCodec, SequencesRoundTripForEveryAlphabetKind)
{
    for (unsigned n : {2u, 3u, 15u, 16u, 17u, 32u, 33u, 64u, 65u, 257u, 1000u, 2048u}) {
        const Symbols symbols = skewedSymbols(n, 20000, n);
        const std::vector<std::uint8_t> code = encodeAll(symbols, n);
        EXPECT_EQ(decodeAll(code, n, symbols.size()), symbols) << n << " symbols";
    }
}

// Runs of bytes code to the same bytes as symbol-by-symbol encoding, and decode (through the direct lookup for long
// runs, the plain step for short ones and for the end of the buffer) to the same symbols as decode(), for every
// alphabet kind, with the last symbol among them and the code given without any padding.
TEST(ArithmeticCodec, ByteRunsMatchSingleSymbols)
{
    for (unsigned n : {2u, 16u, 17u, 100u, 256u, 257u, 300u}) {
        for (std::size_t count : {std::size_t{100}, std::size_t{4095}, std::size_t{4096}, std::size_t{70000}}) {
            Symbols symbols = skewedSymbols(std::min(n, 256u), count, n + static_cast<std::uint32_t>(count));
            const std::vector<std::uint8_t> bytes(symbols.begin(), symbols.end());
            const std::vector<std::uint8_t> code = encodeAll(symbols, n);

            ArithmeticCodec encoder(1u << 20);
            AdaptiveSymbolModel encoderModel(n);
            encoder.startEncoder();
            encoder.encodeBytes(bytes.data(), bytes.size(), encoderModel);
            const std::uint32_t length = encoder.stopEncoder();
            ASSERT_EQ(std::vector<std::uint8_t>(encoder.buffer(), encoder.buffer() + length), code) << n << "/" << count;

            // With the last symbol mixed in, coded one by one, decoded as a run.
            for (std::size_t i = 7; i < count; i += 37)
                symbols[i] = n - 1;
            std::vector<std::uint8_t> exact = encodeAll(symbols, n);
            exact.resize(std::max<std::size_t>(exact.size(), 16), 0);
            ArithmeticCodec decoder(static_cast<std::uint32_t>(exact.size()), exact.data());
            AdaptiveSymbolModel decoderModel(n);
            decoder.startDecoder();
            std::vector<std::uint8_t> decoded(count);
            EXPECT_EQ(decoder.decodeBytes(decoded.data(), count, decoderModel), n <= 256);
            decoder.stopDecoder();
            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(decoded[i], static_cast<std::uint8_t>(symbols[i])) << n << "/" << count << " at " << i;
        }
    }
}

// A run decoded in several pieces continues where the last piece stopped.
TEST(ArithmeticCodec, ByteRunsContinueAcrossCalls)
{
    const Symbols symbols = skewedSymbols(256, 30000, 3);
    const std::vector<std::uint8_t> code = encodeAll(symbols, 257);
    std::vector<std::uint8_t> padded = code;
    padded.resize(code.size() + 3, 0);
    ArithmeticCodec decoder(static_cast<std::uint32_t>(padded.size()), padded.data());
    AdaptiveSymbolModel model(257);
    decoder.startDecoder();
    std::vector<std::uint8_t> decoded(symbols.size());
    std::size_t done = 0;
    for (std::size_t piece : {std::size_t{1}, std::size_t{999}, std::size_t{5000}, std::size_t{4000}}) {
        ASSERT_TRUE(decoder.decodeBytes(decoded.data() + done, piece, model));
        done += piece;
    }
    while (done < symbols.size())
        decoded[done++] = static_cast<std::uint8_t>(decoder.decode(model));
    decoder.stopDecoder();
    EXPECT_EQ(Symbols(decoded.begin(), decoded.end()), symbols);
}

// Up to 16 symbols decode by bisection without a table; 17 to 32 use a table of 8 slices; larger alphabets the
// smallest table with about four symbols a slice (128 for the 257 byte symbols).
TEST(AdaptiveSymbolModel, DecoderTableSizes)
{
    EXPECT_EQ(AdaptiveSymbolModel(2).tableSize(), 0u);
    EXPECT_EQ(AdaptiveSymbolModel(16).tableSize(), 0u);
    EXPECT_EQ(AdaptiveSymbolModel(17).tableSize(), 8u);
    EXPECT_EQ(AdaptiveSymbolModel(32).tableSize(), 8u);
    EXPECT_EQ(AdaptiveSymbolModel(33).tableSize(), 16u);
    EXPECT_EQ(AdaptiveSymbolModel(257).tableSize(), 128u);
    EXPECT_EQ(AdaptiveSymbolModel(2048).tableSize(), 512u);
}

// 16 symbols (bisection) and 17 symbols (table of 8) both decode every symbol, the last one included, in all
// orders the adaptation produces.
TEST(ArithmeticCodec, BisectionAndTableDecodingAgree)
{
    for (unsigned n : {16u, 17u}) {
        Symbols symbols;
        for (int round = 0; round < 300; ++round)
            for (unsigned s = 0; s < n; ++s)
                symbols.push_back(round % 2 ? n - 1 - s : (s * 7 + round) % n);
        for (int i = 0; i < 5000; ++i)
            symbols.push_back(n - 1); // skew towards the last symbol, coded by its own rule
        const std::vector<std::uint8_t> code = encodeAll(symbols, n);
        EXPECT_EQ(decodeAll(code, n, symbols.size()), symbols) << n << " symbols";
    }
}

// A long run pushes the total count past 32768: the counts are halved, and the code still decodes identically.
TEST(AdaptiveSymbolModel, CountsHalvePastTheLimit)
{
    const unsigned n = 257;
    Symbols symbols(60000, 200);
    for (std::size_t i = 0; i < symbols.size(); i += 97)
        symbols[i] = static_cast<unsigned>(i % n);

    ArithmeticCodec codec(1u << 20);
    AdaptiveSymbolModel model(n);
    codec.startEncoder();
    unsigned previousTotal = model.totalCount();
    int halvings = 0;
    for (unsigned s : symbols) {
        codec.encode(s, model);
        if (model.totalCount() < previousTotal)
            ++halvings;
        EXPECT_LE(model.totalCount(), 32768u);
        previousTotal = model.totalCount();
    }
    const std::uint32_t count = codec.stopEncoder();
    EXPECT_GE(halvings, 2);
    const std::vector<std::uint8_t> code(codec.buffer(), codec.buffer() + count);
    EXPECT_EQ(decodeAll(code, n, symbols.size()), symbols);
}

// Setting the same alphabet again only resets the counts.
TEST(AdaptiveSymbolModel, SameAlphabetResets)
{
    AdaptiveSymbolModel model(20);
    EXPECT_EQ(model.totalCount(), 20u);
    ArithmeticCodec codec(1024);
    codec.startEncoder();
    for (int i = 0; i < 500; ++i)
        codec.encode(3, model);
    codec.stopEncoder();
    EXPECT_GT(model.totalCount(), 20u);
    model.setAlphabet(20);
    EXPECT_EQ(model.totalCount(), 20u);
    model.setAlphabet(300);
    EXPECT_EQ(model.symbolCount(), 300u);
    EXPECT_EQ(model.totalCount(), 300u);
}

// A carry runs back through three 0xFF bytes: 7F FF FF FF becomes 80 00 00 00. With a fresh 2048-symbol model the
// distribution is 16k for symbol k, so the symbols 1024, 16, 2 keep the interval just below one half of the code
// space (emitting 7F, then FF bytes) while reaching above it, and symbol 3 lies wholly above it.
TEST(ArithmeticCodec, CarryPropagatesThroughSeveralFFBytes)
{
    ArithmeticCodec codec(64);
    AdaptiveSymbolModel model(2048);
    codec.startEncoder();
    for (unsigned s : {1024u, 16u, 2u})
        codec.encode(s, model);
    ASSERT_EQ(codec.bytesUsed(), 4u);
    EXPECT_THAT(std::vector<std::uint8_t>(codec.buffer(), codec.buffer() + 4),
                ::testing::ElementsAre(0x7F, 0xFF, 0xFF, 0xFF));
    codec.encode(3, model);
    EXPECT_THAT(std::vector<std::uint8_t>(codec.buffer(), codec.buffer() + 4),
                ::testing::ElementsAre(0x80, 0x00, 0x00, 0x00));
    const std::uint32_t count = codec.stopEncoder();
    const std::vector<std::uint8_t> code(codec.buffer(), codec.buffer() + count);
    EXPECT_EQ(decodeAll(code, 2048, 4), (Symbols{1024, 16, 2, 3}));
}

// The decoder reads the whole code and two or three bytes beyond it (it starts four bytes ahead; the end of the
// code took one or two bytes), never more: those bytes are what a caller must supply as zeros.
TEST(ArithmeticCodec, DecoderReadsTwoOrThreeBytesPastTheCode)
{
    bool sawTwo = false;
    bool sawThree = false;
    for (std::uint32_t seed = 1; seed <= 200; ++seed) {
        const Symbols symbols = skewedSymbols(257, seed * 13, seed);
        const std::vector<std::uint8_t> code = encodeAll(symbols, 257);
        std::size_t bytesRead = 0;
        ASSERT_EQ(decodeAll(code, 257, symbols.size(), &bytesRead), symbols);
        const std::size_t beyond = bytesRead - code.size();
        ASSERT_TRUE(beyond == 2 || beyond == 3) << beyond;
        sawTwo |= beyond == 2;
        sawThree |= beyond == 3;
    }
    EXPECT_TRUE(sawTwo);
    EXPECT_TRUE(sawThree);
}

// Decoding far more symbols than a buffer holds reads zeros past its end instead of leaving it.
TEST(ArithmeticCodec, DecoderNeverReadsPastItsBuffer)
{
    std::vector<std::uint8_t> code(16, 0xA5);
    ArithmeticCodec codec(16, code.data());
    AdaptiveSymbolModel model(257);
    codec.startDecoder();
    for (int i = 0; i < 100000; ++i)
        EXPECT_LE(codec.decode(model), 256u);
    codec.stopDecoder();
    EXPECT_GT(codec.bytesUsed(), 16u);
}

// A damaged code can push the decoder's value above its interval length, so that the quotient it looks up runs
// far past the decoder table: the lookup stays inside the table and every symbol decoded is one of the model's.
TEST(ArithmeticCodec, DamagedCodeStaysInsideTheDecoderTable)
{
    for (unsigned n : {17u, 257u, 2048u}) {
        for (std::uint8_t fill : {0x01, 0x7F, 0xFF}) {
            std::vector<std::uint8_t> code(64, fill);
            code[0] = code[1] = code[2] = code[3] = 0xFF; // value = length at the start
            ArithmeticCodec codec(64, code.data());
            AdaptiveSymbolModel model(n);
            codec.startDecoder();
            for (int i = 0; i < 5000; ++i)
                ASSERT_LT(codec.decode(model), n) << n << " symbols, fill " << int{fill} << ", symbol " << i;
            codec.stopDecoder();
        }
    }
}

// Without a caller's buffer, a smaller size keeps the buffer there; a larger one takes a new own buffer; a
// caller's buffer replaces an own one.
TEST(ArithmeticCodec, SetBufferKeepsOrReplaces)
{
    ArithmeticCodec codec(100);
    std::uint8_t* own = codec.buffer();
    ASSERT_NE(own, nullptr);
    codec.setBuffer(50);
    EXPECT_EQ(codec.buffer(), own);
    EXPECT_EQ(codec.bufferSize(), 100u);

    std::vector<std::uint8_t> mine(32);
    codec.setBuffer(32, mine.data());
    EXPECT_EQ(codec.buffer(), mine.data());
    EXPECT_EQ(codec.bufferSize(), 32u);
    codec.setBuffer(64);
    EXPECT_NE(codec.buffer(), mine.data());
    EXPECT_EQ(codec.bufferSize(), 64u);
}

// The codec's fatal messages, written exactly so to standard error before the process ends with status 1.
std::string fatal(const std::string& message)
{
    return "\n\n -> Arithmetic coding error: " + message + "\n Execution terminated!\n";
}

using ArithmeticCodecDeathTest = ::testing::Test;

// Starting the encoder twice ends the process.
TEST_F(ArithmeticCodecDeathTest, StartEncoderTwice)
{
    EXPECT_EXIT(
        {
            ArithmeticCodec codec(64);
            codec.startEncoder();
            codec.startEncoder();
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("cannot start encoder")));
}

// Stopping the decoder after an encoder ends the process.
TEST_F(ArithmeticCodecDeathTest, StopDecoderAfterEncoder)
{
    EXPECT_EXIT(
        {
            ArithmeticCodec codec(64);
            AdaptiveSymbolModel model(257);
            codec.startEncoder();
            codec.encode(7, model);
            codec.stopEncoder();
            codec.stopDecoder();
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("invalid to stop decoder")));
}

// Stopping an encoder that was never started, or starting a decoder while encoding, ends the process.
TEST_F(ArithmeticCodecDeathTest, StopAndStartOutOfOrder)
{
    EXPECT_EXIT(
        {
            ArithmeticCodec codec(64);
            codec.stopEncoder();
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("invalid to stop encoder")));
    EXPECT_EXIT(
        {
            ArithmeticCodec codec(64);
            codec.startEncoder();
            codec.startDecoder();
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("cannot start decoder")));
}

// Buffer sizes outside 16 ... 2^24, and changing the buffer while coding, end the process.
TEST_F(ArithmeticCodecDeathTest, InvalidBufferSizeOrTime)
{
    EXPECT_EXIT(ArithmeticCodec codec(15), ::testing::ExitedWithCode(1),
                ::testing::StrEq(fatal("invalid codec buffer size")));
    EXPECT_EXIT(ArithmeticCodec codec((1u << 24) + 1), ::testing::ExitedWithCode(1),
                ::testing::StrEq(fatal("invalid codec buffer size")));
    EXPECT_EXIT(
        {
            ArithmeticCodec codec(64);
            codec.startEncoder();
            codec.setBuffer(128);
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("cannot set buffer while encoding or decoding")));
}

// Starting either side without a buffer ends the process.
TEST_F(ArithmeticCodecDeathTest, NoBufferSet)
{
    EXPECT_EXIT(
        {
            ArithmeticCodec codec;
            codec.startEncoder();
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("no code buffer set")));
    EXPECT_EXIT(
        {
            ArithmeticCodec codec;
            codec.startDecoder();
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("no code buffer set")));
}

// Alphabet sizes outside 2 ... 2048 end the process.
TEST_F(ArithmeticCodecDeathTest, InvalidAlphabet)
{
    EXPECT_EXIT(AdaptiveSymbolModel model(1), ::testing::ExitedWithCode(1),
                ::testing::StrEq(fatal("invalid number of data symbols")));
    EXPECT_EXIT(AdaptiveSymbolModel model(2049), ::testing::ExitedWithCode(1),
                ::testing::StrEq(fatal("invalid number of data symbols")));
}

// Incompressible symbols overflow a caller's 16-byte buffer while encoding; the codec stops before writing past it.
TEST_F(ArithmeticCodecDeathTest, OverflowWhileEncoding)
{
    EXPECT_EXIT(
        {
            std::vector<std::uint8_t> buffer(16);
            ArithmeticCodec codec(16, buffer.data());
            AdaptiveSymbolModel model(257);
            codec.startEncoder();
            for (unsigned s = 0; s < 1000; ++s)
                codec.encode((s * 101) % 256, model);
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("code buffer overflow")));
}

// A code that ends within the 16 spare bytes of an own buffer, but past its size, is an overflow at the stop.
TEST_F(ArithmeticCodecDeathTest, OverflowAtStop)
{
    // 17 symbols cost a little over one byte each with a fresh 257-symbol model: about 18 bytes, more than 16 and
    // less than the 32 the own buffer has room for.
    EXPECT_EXIT(
        {
            ArithmeticCodec codec(16);
            AdaptiveSymbolModel model(257);
            codec.startEncoder();
            for (unsigned s = 0; s < 17; ++s)
                codec.encode((s * 101) % 256, model);
            codec.stopEncoder();
        },
        ::testing::ExitedWithCode(1), ::testing::StrEq(fatal("code buffer overflow")));
}

} // namespace
} // namespace nubo
