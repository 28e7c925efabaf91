#include "wavelet/bit_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace nubo {
namespace {

// Bits fill each byte from its most significant end, and a byte is only appended once complete.
TEST(BitOutputTest, PacksMostSignificantBitFirst)
{
    std::string bytes;
    BitOutput output(bytes);
    for (int bit : {1, 0, 1, 1, 0, 0, 1})
        output.putBit(bit);
    EXPECT_TRUE(bytes.empty());
    output.putBit(0);
    ASSERT_EQ(bytes.size(), 1u);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0xB2);
}

// Padding completes only a partial byte, with zeros; on a byte boundary it adds nothing.
TEST(BitOutputTest, PadsPartialByteWithZeros)
{
    std::string bytes;
    BitOutput output(bytes);
    output.padToByte();
    EXPECT_TRUE(bytes.empty());
    output.putBit(1);
    output.putBit(1);
    output.padToByte();
    ASSERT_EQ(bytes.size(), 1u);
    EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0xC0);
    output.padToByte();
    EXPECT_EQ(bytes.size(), 1u);
}

// Reading gives back the written bits in order, then zeros past the end without reading outside the buffer.
TEST(BitInputTest, ReadsBitsThenZerosPastTheEnd)
{
    const std::vector<std::uint8_t> bytes = {0xA5, 0xFF};
    BitInput input(bytes.data(), bytes.size());
    std::string bits;
    for (int i = 0; i < 16; ++i)
        bits += static_cast<char>('0' + input.getBit());
    EXPECT_EQ(bits, "1010010111111111");
    EXPECT_FALSE(input.pastEnd());
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(input.getBit(), 0);
    EXPECT_TRUE(input.pastEnd());
    EXPECT_FALSE(input.failed());
}

// An empty buffer (even a null one) is a stream of zeros.
TEST(BitInputTest, EmptyInputReadsZeros)
{
    BitInput input(nullptr, 0);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(input.getBit(), 0);
    EXPECT_TRUE(input.pastEnd());
}

// The first failure reason is kept; later ones do not overwrite it.
TEST(BitInputTest, FailureIsStickyAndKeepsFirstReason)
{
    BitInput input(nullptr, 0);
    EXPECT_FALSE(input.failed());
    input.fail("first");
    input.fail("second");
    EXPECT_TRUE(input.failed());
    EXPECT_EQ(input.failure(), "first");
}

// Bits copied from another output, from any bit position and of any count, arrive as if put one by one, the
// source's unfinished byte included.
TEST(BitOutputTest, PutBitsOfCopiesAnyPrefix)
{
    std::string sourceBytes;
    BitOutput source(sourceBytes);
    std::vector<int> bits;
    for (int i = 0; i < 43; ++i) {
        bits.push_back((i * 7 + i / 3) % 3 == 0 ? 1 : 0);
        source.putBit(bits.back());
    }
    for (const int offset : {0, 3, 8}) {
        for (const std::int64_t count : {0, 5, 16, 40, 43}) {
            std::string copied;
            std::string expected;
            BitOutput viaCopy(copied);
            BitOutput oneByOne(expected);
            for (int k = 0; k < offset; ++k) {
                viaCopy.putBit(1);
                oneByOne.putBit(1);
            }
            viaCopy.putBitsOf(source, count);
            for (std::int64_t k = 0; k < count; ++k)
                oneByOne.putBit(bits[static_cast<std::size_t>(k)]);
            EXPECT_EQ(viaCopy.bitCount(), offset + count);
            viaCopy.padToByte();
            oneByOne.padToByte();
            EXPECT_EQ(copied, expected) << offset << " " << count;
        }
    }
}

// Whole bytes land as putBits of each would put them, at a byte boundary or not; a count beyond the source
// stops at its end.
TEST(BitOutputTest, PutBytesAppendsWholeBytesAnywhere)
{
    const std::string source("\x9c\x01\xff\x5a", 4);
    for (const int offset : {0, 3}) {
        for (const std::int64_t count : {0, 2, 4, 9}) {
            std::string copied;
            std::string expected;
            BitOutput viaBytes(copied);
            BitOutput oneByOne(expected);
            viaBytes.putBits(0x5u, offset);
            oneByOne.putBits(0x5u, offset);
            viaBytes.putBytes(source, count);
            for (std::int64_t k = 0; k < std::min<std::int64_t>(count, 4); ++k)
                oneByOne.putBits(static_cast<std::uint8_t>(source[static_cast<std::size_t>(k)]), 8);
            EXPECT_EQ(viaBytes.bitCount(), oneByOne.bitCount());
            viaBytes.padToByte();
            oneByOne.padToByte();
            EXPECT_EQ(copied, expected) << offset << " " << count;
        }
    }
}

// Skipping lands where as many single reads would, within the bytes and past their end, and bitsRead counts
// the zeros read past it.
TEST(BitInputTest, SkipBitsMatchesReadingThem)
{
    const std::uint8_t bytes[] = {0xA5, 0x3C, 0xFF, 0x01, 0x80};
    for (const std::int64_t skip : {0, 3, 8, 13, 33, 40, 45, 100}) {
        BitInput skipped(bytes, sizeof bytes);
        BitInput read(bytes, sizeof bytes);
        skipped.getBits(2);
        read.getBits(2);
        skipped.skipBits(skip);
        for (std::int64_t k = 0; k < skip; ++k)
            read.getBit();
        EXPECT_EQ(skipped.bitsRead(), 2 + skip);
        EXPECT_EQ(read.bitsRead(), 2 + skip);
        EXPECT_EQ(skipped.getBits(7), read.getBits(7)) << skip;
        EXPECT_EQ(skipped.pastEnd(), read.pastEnd()) << skip;
    }
}

} // namespace
} // namespace nubo
