#include "wavelet/binary_range_coder.h"

namespace nubo {

BinaryRangeEncoder::Ending BinaryRangeEncoder::ending() const
{
    // The value with the fewest leading bits in the 32-bit window, zeros after them, inside [low, low + range).
    // A range of at least 2^24 holds a multiple of 2^24, so 8 bits at most.
    const std::uint64_t end = low_ + range_;
    std::uint64_t value = low_;
    int bits = 32;
    for (int k = 0; k <= 32; ++k) {
        const std::uint64_t unit = std::uint64_t{1} << (32 - k);
        const std::uint64_t v = (low_ + unit - 1) & ~(unit - 1);
        if (v < end) {
            value = v;
            bits = k;
            break;
        }
    }
    const auto carry = static_cast<std::uint8_t>(value >> 32);
    Ending e;
    e.bytes = bytesWritten();
    e.writesHeld = !phantom_;
    e.held = static_cast<std::uint8_t>(held_ + carry);
    e.afterHeld = holding_ - 1;
    e.after = static_cast<std::uint8_t>(0xFF + carry);
    e.tail = bits == 0 ? 0u : static_cast<std::uint32_t>(value & 0xFFFFFFFFu) >> (32 - bits);
    e.tailBits = bits;
    return e;
}

void BinaryRangeEncoder::writeEnding(BitOutput& output, const Ending& ending)
{
    if (ending.writesHeld)
        output.putBits(ending.held, 8);
    for (std::int64_t k = 0; k < ending.afterHeld; ++k)
        output.putBits(ending.after, 8);
    output.putBits(ending.tail, ending.tailBits);
}

} // namespace nubo
