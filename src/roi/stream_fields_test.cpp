#include "roi/stream_fields.h"

#include <gtest/gtest.h>

#include <sstream>

namespace nubo {
namespace {

// Numbers are plain decimal, a minus sign only when negative, each followed by ";" and nothing else.
TEST(StreamFields, WritesDecimalFollowedBySeparator)
{
    std::ostringstream out;
    writeField(out, 417);
    writeField(out, 0);
    writeField(out, -3);
    EXPECT_EQ(out.str(), "417;0;-3;");
}

// White space before a number or before its separator is accepted; any other character in place of ";" is not.
TEST(StreamFields, ReadsWithWhiteSpaceButOnlyTheRealSeparator)
{
    std::istringstream good(" 12 ;\n7;");
    std::int64_t a = 0;
    std::int64_t b = 0;
    EXPECT_TRUE(readField(good, a));
    EXPECT_TRUE(readField(good, b));
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 7);

    std::istringstream wrong("12:");
    EXPECT_FALSE(readField(wrong, a));
    std::istringstream missing("12");
    EXPECT_FALSE(readField(missing, a));
    std::istringstream notANumber(";");
    EXPECT_FALSE(readField(notANumber, a));

    std::istringstream unchecked("12:5;");
    EXPECT_TRUE(readFieldUncheckedSeparator(unchecked, a));
    EXPECT_TRUE(readField(unchecked, b));
    EXPECT_EQ(b, 5);
}

// Counting what is left does not move the read position.
TEST(StreamFields, RemainingBytesKeepsThePosition)
{
    std::istringstream in("abcdef");
    in.get();
    EXPECT_EQ(remainingBytes(in), 5);
    EXPECT_EQ(in.get(), 'b');
}

// A byte run longer than the stream is refused without reading or moving; a run that fits is read exactly.
TEST(StreamFields, ByteRunsMustFitInTheStream)
{
    std::istringstream in("0123456789");
    std::string bytes;
    EXPECT_FALSE(readBytes(in, 11, bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(skipBytes(in, 11));
    EXPECT_FALSE(readBytes(in, -1, bytes));
    ASSERT_TRUE(readBytes(in, 4, bytes));
    EXPECT_EQ(bytes, "0123");
    ASSERT_TRUE(skipBytes(in, 6));
    EXPECT_EQ(remainingBytes(in), 0);
    EXPECT_TRUE(readBytes(in, 0, bytes));
}

} // namespace
} // namespace nubo
