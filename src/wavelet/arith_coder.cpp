#include "wavelet/arith_coder.h"

#include <cstdio>
#include <cstdlib>

namespace nubo {

namespace {

constexpr std::int32_t kHalf = 32768;
constexpr std::int32_t kQuarter = 16384;
constexpr std::int32_t kThreeQuarters = 49152;

} // namespace

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
        if (high_ < kHalf) {
            outputBit(0);
        } else if (low_ >= kHalf) {
            outputBit(1);
            low_ -= kHalf;
            high_ -= kHalf;
        } else if (low_ >= kQuarter && high_ < kThreeQuarters) {
            ++pendingBits_;
            low_ -= kQuarter;
            high_ -= kQuarter;
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
        if (low_ >= kHalf) {
            outputBit(1);
            low_ -= kHalf;
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

int ArithDecoder::decode(const FrequencyModel& model)
{
    const std::int32_t total = model.total();
    if (total <= 0 || total > kMaxCodedTotal) {
        input_.fail("corrupt stream: symbol model cannot be decoded");
        return 0;
    }
    const Reciprocal& divisor = reciprocals_[total];
    const std::int32_t range = high_ - low_ + 1;
    const std::int32_t target = ((value_ - low_ + 1) * total - 1) / range;
    std::int32_t cumulative = 0;
    std::int32_t count = 0;
    const int symbol = model.find(target, cumulative, count);
    if (symbol < 0) {
        input_.fail("corrupt stream: arithmetic code outside every symbol");
        return 0;
    }
    high_ = low_ + divideExactly(range * (cumulative + count), divisor) - 1;
    low_ = low_ + divideExactly(range * cumulative, divisor);
    for (;;) {
        if (high_ >= kHalf) {
            if (low_ >= kHalf) {
                value_ -= kHalf;
                low_ -= kHalf;
                high_ -= kHalf;
            } else if (low_ >= kQuarter && high_ < kThreeQuarters) {
                value_ -= kQuarter;
                low_ -= kQuarter;
                high_ -= kQuarter;
            } else {
                break;
            }
        }
        low_ = 2 * low_;
        high_ = 2 * high_ + 1;
        value_ = 2 * value_ + input_.getBit();
    }
    return symbol;
}

} // namespace nubo
