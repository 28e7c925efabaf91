#include "wavelet/arith_coder.h"

#include <cstdio>
#include <cstdlib>

namespace nubo {

void ArithEncoder::outputBit(int bit)
{
    output_.putBit(bit);
    for (; pendingBits_ > 0; --pendingBits_)
        output_.putBit(1 - bit);
}

void ArithEncoder::encode(std::int32_t count, std::int32_t cumulative, std::int32_t total)
{
    if (count <= 0 || cumulative < 0 || total <= 0 || total > kMaxCodedTotal || cumulative > total - count) {
        std::fprintf(stderr, "ArithEncoder: cannot code interval [%d, %d) of %d\n", static_cast<int>(cumulative),
                     static_cast<int>(cumulative + count), static_cast<int>(total));
        std::abort();
    }
    const Reciprocal& divisor = reciprocals_[total];
    const std::int32_t range = high_ - low_ + 1;
    high_ = low_ + divideExactly(range * (cumulative + count), divisor) - 1;
    low_ = low_ + divideExactly(range * cumulative, divisor);
    for (;;) {
        if (high_ < kArithHalf) {
            outputBit(0);
        } else if (low_ >= kArithHalf) {
            outputBit(1);
            low_ -= kArithHalf;
            high_ -= kArithHalf;
        } else if (low_ >= kArithQuarter && high_ < kArithThreeQuarters) {
            ++pendingBits_;
            low_ -= kArithQuarter;
            high_ -= kArithQuarter;
        } else {
            break;
        }
        low_ = 2 * low_;
        high_ = 2 * high_ + 1;
    }
}

void ArithEncoder::finish()
{
    for (int i = 0; i < 16; ++i) {
        if (low_ >= kArithHalf) {
            outputBit(1);
            low_ -= kArithHalf;
        } else {
            outputBit(0);
        }
        low_ = 2 * low_;
    }
    output_.padToByte();
}

ArithDecoder::ArithDecoder(BitInput& input) : input_(input), reciprocals_(reciprocalTable())
{
    for (int i = 0; i < 16; ++i)
        value_ = 2 * value_ + input_.getBit();
}

} // namespace nubo
