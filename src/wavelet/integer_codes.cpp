#include "wavelet/integer_codes.h"

namespace nubo {

namespace {

// The writer codes values below 2^31, whose top bit lies at position 30 at most.
constexpr int kMaxGammaZeros = 30;

// Reads one gamma code; false (and the input marked failed) when its prefix is longer than the writer makes.
bool readGammaChecked(BitInput& input, std::int32_t& value)
{
    int zeros = 0;
    while (input.getBit() == 0) {
        if (++zeros > kMaxGammaZeros) {
            input.fail("corrupt stream: integer code longer than 31 bits");
            value = 1;
            return false;
        }
    }
    std::uint32_t result = 1;
    for (int i = 0; i < zeros; ++i)
        result = (result << 1) | static_cast<std::uint32_t>(input.getBit());
    value = static_cast<std::int32_t>(result); // below 2^31: at most 30 bits follow the leading 1
    return true;
}

} // namespace

void writeGamma(BitOutput& output, std::uint32_t v)
{
    int top = 0;
    while (top < 31 && (v >> (top + 1)) != 0)
        ++top;
    for (int i = 0; i < top; ++i)
        output.putBit(0);
    output.putBit(1);
    for (int i = top - 1; i >= 0; --i)
        output.putBit(static_cast<int>((v >> i) & 1U));
}

void writeNonnegative(BitOutput& output, std::int32_t v)
{
    writeGamma(output, static_cast<std::uint32_t>(v) + 1U);
}

void writeInteger(BitOutput& output, std::int32_t v)
{
    if (v >= 0) {
        output.putBit(0);
        writeGamma(output, static_cast<std::uint32_t>(v) + 1U);
    } else {
        output.putBit(1);
        writeGamma(output, 0U - static_cast<std::uint32_t>(v));
    }
}

std::int32_t readGamma(BitInput& input)
{
    std::int32_t value = 1;
    readGammaChecked(input, value);
    return value;
}

std::int32_t readNonnegative(BitInput& input)
{
    std::int32_t value = 1;
    return readGammaChecked(input, value) ? value - 1 : 0;
}

std::int32_t readInteger(BitInput& input)
{
    const int negative = input.getBit();
    std::int32_t value = 1;
    if (!readGammaChecked(input, value))
        return 0;
    return negative ? -value : value - 1;
}

} // namespace nubo
