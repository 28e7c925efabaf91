#include "wavelet/integer_codes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

std::string bitString(const std::string& bytes)
{
    std::string bits;
    for (char byte : bytes)
        for (int i = 7; i >= 0; --i)
            bits += static_cast<char>('0' + ((static_cast<unsigned char>(byte) >> i) & 1));
    return bits;
}

// The bits one code writes, padded with zeros to whole bytes.
template <typename Write> std::string codeBits(Write write)
{
    std::string bytes;
    BitOutput output(bytes);
    write(output);
    output.padToByte();
    return bitString(bytes);
}

std::string padded(std::string bits)
{
    while (bits.size() % 8 != 0)
        bits += '0';
    return bits;
}

// The worked examples of the gamma, non-negative and signed codes.
TEST(IntegerCodesTest, WritesExactBitStrings)
{
    EXPECT_EQ(codeBits([](BitOutput& o) { writeGamma(o, 1); }), padded("1"));
    EXPECT_EQ(codeBits([](BitOutput& o) { writeGamma(o, 5); }), padded("00101"));
    EXPECT_EQ(codeBits([](BitOutput& o) { writeNonnegative(o, 0); }), padded("1"));
    EXPECT_EQ(codeBits([](BitOutput& o) { writeInteger(o, -3); }), padded("1011"));
    EXPECT_EQ(codeBits([](BitOutput& o) { writeInteger(o, 0); }), padded("01"));
    EXPECT_EQ(codeBits([](BitOutput& o) { writeInteger(o, 2); }), padded("0011"));
    EXPECT_EQ(codeBits([](BitOutput& o) { writeGamma(o, 0x7FFFFFFFu); }),
              padded(std::string(30, '0') + std::string(31, '1')));
}

// Values of every magnitude up to the largest of each code survive a round trip, packed back to back.
TEST(IntegerCodesTest, RoundTripsUpToTheLargestValues)
{
    std::vector<std::int32_t> gammas = {1, 2, 3, 4, 5, 255, 256, 0x3FFFFFFF, 0x40000000, 0x7FFFFFFF};
    std::vector<std::int32_t> nonnegatives = {0, 1, 2, 1000, 0x7FFFFFFE};
    std::vector<std::int32_t> integers = {0, -1, 1, -2, 2, 123456, -123456, 0x7FFFFFFE, -0x7FFFFFFF};
    std::mt19937 random(7);
    for (int shift = 0; shift < 31; ++shift) {
        for (int i = 0; i < 20; ++i) {
            const std::int32_t magnitude =
                static_cast<std::int32_t>((std::uint32_t{1} << shift) | (random() & ((std::uint32_t{1} << shift) - 1)));
            gammas.push_back(magnitude);
            nonnegatives.push_back(magnitude - 1);
            integers.push_back(i % 2 ? -magnitude : magnitude - 1);
        }
    }

    std::string bytes;
    BitOutput output(bytes);
    for (std::size_t i = 0; i < gammas.size(); ++i) {
        writeGamma(output, static_cast<std::uint32_t>(gammas[i]));
        if (i < nonnegatives.size())
            writeNonnegative(output, nonnegatives[i]);
        if (i < integers.size())
            writeInteger(output, integers[i]);
    }
    output.padToByte();

    BitInput input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    for (std::size_t i = 0; i < gammas.size(); ++i) {
        ASSERT_EQ(readGamma(input), gammas[i]) << i;
        if (i < nonnegatives.size()) {
            ASSERT_EQ(readNonnegative(input), nonnegatives[i]) << i;
        }
        if (i < integers.size()) {
            ASSERT_EQ(readInteger(input), integers[i]) << i;
        }
    }
    EXPECT_FALSE(input.failed());
    EXPECT_FALSE(input.pastEnd());
}

// Thirty zeros still make a code; a thirty-first cannot come from the writer and marks the input failed.
TEST(IntegerCodesTest, RefusesPrefixLongerThanThirtyZeros)
{
    const std::vector<std::uint8_t> longest = {0x00, 0x00, 0x00, 0x03}; // 30 zeros, 1, then one more bit 1
    BitInput good(longest.data(), longest.size());
    EXPECT_EQ(readGamma(good), 0x40000000 + (1 << 29));
    EXPECT_FALSE(good.failed());

    const std::vector<std::uint8_t> tooLong = {0x00, 0x00, 0x00, 0x01}; // 31 zeros, then 1
    BitInput bad(tooLong.data(), tooLong.size());
    EXPECT_EQ(readGamma(bad), 1);
    EXPECT_TRUE(bad.failed());
    EXPECT_FALSE(bad.failure().empty());
}

// A truncated stream reads as endless zeros: every reader stops, marks the input failed and returns its neutral
// value (also for a negative sign bit, which must not turn into -1).
TEST(IntegerCodesTest, TruncatedStreamFailsInsteadOfLooping)
{
    BitInput empty(nullptr, 0);
    EXPECT_EQ(readNonnegative(empty), 0);
    EXPECT_TRUE(empty.failed());

    const std::vector<std::uint8_t> signOnly = {0x80};
    BitInput negative(signOnly.data(), signOnly.size());
    EXPECT_EQ(readInteger(negative), 0);
    EXPECT_TRUE(negative.failed());

    BitInput positive(nullptr, 0);
    EXPECT_EQ(readInteger(positive), 0);
    EXPECT_TRUE(positive.failed());
}

} // namespace
} // namespace nubo
