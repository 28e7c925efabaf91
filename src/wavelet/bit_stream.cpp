#include "wavelet/bit_stream.h"

#include <algorithm>

namespace nubo {

void BitOutput::padToByte()
{
    while (bitCount_ != 0)
        putBit(0);
}

void BitOutput::putBytes(const std::string& source, std::int64_t count)
{
    const std::size_t whole = std::min(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)), source.size());
    if (bitCount_ == 0) {
        bytes_.append(source, 0, whole);
        return;
    }
    for (std::size_t i = 0; i < whole; ++i)
        putBits(static_cast<std::uint8_t>(source[i]), 8);
}

void BitOutput::putBitsOf(const BitOutput& source, std::int64_t count)
{
    const std::size_t whole = std::min(static_cast<std::size_t>(count / 8), source.bytes_.size());
    putBytes(source.bytes_, static_cast<std::int64_t>(whole));
    int rest = static_cast<int>(count - static_cast<std::int64_t>(whole) * 8);
    if (rest <= 0)
        return;
    // The rest lies in one more byte: a whole one written, or the unfinished one.
    if (whole < source.bytes_.size()) {
        putBits(static_cast<std::uint32_t>(static_cast<std::uint8_t>(source.bytes_[whole]) >> (8 - rest)), rest);
        return;
    }
    rest = std::min(rest, source.bitCount_);
    putBits(source.acc_ >> (source.bitCount_ - rest), rest);
}

void BitInput::skipBits(std::int64_t count)
{
    const int fromByte = static_cast<int>(std::min<std::int64_t>(count, bitCount_));
    getBits(fromByte);
    count -= fromByte;
    if (count <= 0)
        return;
    // Whole bytes, then what is left of one more.
    const auto bytes = static_cast<std::uint64_t>(count / 8);
    const std::uint64_t inside = std::min<std::uint64_t>(bytes, length_ - position_);
    position_ += static_cast<std::size_t>(inside);
    if (inside < bytes) {
        pastEnd_ = true;
        zeroBytes_ += static_cast<std::size_t>(bytes - inside);
    }
    getBits(static_cast<int>(count % 8));
}

void BitInput::fail(const char* reason)
{
    if (failure_.empty())
        failure_ = reason;
}

} // namespace nubo
