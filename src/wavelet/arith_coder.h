#pragma once

#include "wavelet/bit_stream.h"
#include "wavelet/exact_division.h"
#include "wavelet/frequency_model.h"

#include <cstdint>

namespace nubo {

inline constexpr std::int32_t kArithHalf = 32768;
inline constexpr std::int32_t kArithQuarter = 16384;
inline constexpr std::int32_t kArithThreeQuarters = 49152;

// Largest model total the 16-bit coder can take: after renormalisation the range is above a quarter of the code
// space (16384), so every nonzero count keeps a nonempty interval and range * total fits in 32 bits.
inline constexpr std::int32_t kMaxCodedTotal = 16384;
static_assert(kMaxCodedTotal <= static_cast<std::int32_t>(kMaxDivisorTabulated));

// The code interval [low, high] that the encoder and the decoder narrow and rescale in step.
class ArithInterval {
protected:
    // Narrows the interval to [cumulative, cumulative + count) of the total that divisor divides by; range is
    // the interval's width before.
    void narrow(std::int32_t range, std::int32_t cumulative, std::int32_t count, const Reciprocal& divisor)
    {
        high_ = low_ + divideExactly(range * (cumulative + count), divisor) - 1;
        low_ = low_ + divideExactly(range * cumulative, divisor);
    }
    // Doubles the interval while it lies in one half of the code space or in its middle half, after taking off
    // the half or quarter it moved by; shifted(taken) runs before each doubling with that amount (0, kArithHalf
    // or kArithQuarter), a constant at each call so that the coder's step is written out for each case.
    template <class Shifted>
    void rescale(Shifted shifted);

    std::int32_t low_ = 0;
    std::int32_t high_ = 65535;
};

// 16-bit integer arithmetic encoder writing to a BitOutput it does not own.
class ArithEncoder : private ArithInterval {
public:
    explicit ArithEncoder(BitOutput& output) : output_(output), reciprocals_(reciprocalTable()) {}

    // Codes the interval [cumulative, cumulative + count) of total. An empty interval, or a total outside
    // 1..kMaxCodedTotal, cannot be coded: that is a caller's error and ends the process.
    void encode(std::int32_t count, std::int32_t cumulative, std::int32_t total);
    // Sixteen final bits, then padding to a byte boundary.
    void finish();

private:
    void outputBit(int bit);
    [[noreturn]] static void refuse(std::int32_t count, std::int32_t cumulative, std::int32_t total);

    std::int32_t pendingBits_ = 0;
    BitOutput& output_;
    const Reciprocal* reciprocals_; // divisions by the total, done as multiplications
};

// The matching decoder; reads its first 16 bits on construction. It does not adapt the model.
class ArithDecoder : private ArithInterval {
public:
    explicit ArithDecoder(BitInput& input);

    // Returns the decoded symbol. A model whose total is 0 or above kMaxCodedTotal, or a target no symbol holds
    // (damaged input), marks the input failed and returns 0 without touching the coder state.
    int decode(const FrequencyModel& model) { return decodeWith<false>(model); }
    // As decode, for a model of exactly FrequencyModel::kInlineSymbols symbols.
    int decodeInline(const FrequencyModel& model) { return decodeWith<true>(model); }
    // As decode, for another model type with total() and find(target, cumulative, count) of the same meaning.
    template <class Model>
    int decodeWithModel(const Model& model) { return decodeWith<false>(model); }

    // As decodeWithModel, for a model of two symbols with front() (the symbol whose interval lies above the
    // other's) and count(symbol): the same symbol and coder state, found by comparing products instead of
    // dividing by the range.
    template <class Model>
    int decodeBinary(const Model& model);

private:
    template <bool Inline, class Model>
    int decodeWith(const Model& model);

    std::int32_t value_ = 0;
    BitInput& input_;
    const Reciprocal* reciprocals_;
};

template <class Shifted>
inline void ArithInterval::rescale(Shifted shifted)
{
    for (;;) {
        if (high_ < kArithHalf) {
            shifted(0);
        } else if (low_ >= kArithHalf) {
            shifted(kArithHalf);
            low_ -= kArithHalf;
            high_ -= kArithHalf;
        } else if (low_ >= kArithQuarter && high_ < kArithThreeQuarters) {
            shifted(kArithQuarter);
            low_ -= kArithQuarter;
            high_ -= kArithQuarter;
        } else {
            break;
        }
        low_ = 2 * low_;
        high_ = 2 * high_ + 1;
    }
}

// Kept in the header, as the decoder's step below: the quantiser codes every symbol through it.
inline void ArithEncoder::outputBit(int bit)
{
    output_.putBit(bit);
    for (; pendingBits_ > 0; --pendingBits_)
        output_.putBit(1 - bit);
}

inline void ArithEncoder::encode(std::int32_t count, std::int32_t cumulative, std::int32_t total)
{
    if (count <= 0 || cumulative < 0 || total <= 0 || total > kMaxCodedTotal || cumulative > total - count)
        [[unlikely]] refuse(count, cumulative, total);
    narrow(high_ - low_ + 1, cumulative, count, reciprocals_[total]);
    // A half taken off is a settled bit; a quarter, a bit settled by the next one, opposite to it.
    rescale([this](std::int32_t taken) {
        if (taken == kArithQuarter)
            ++pendingBits_;
        else
            outputBit(taken == kArithHalf ? 1 : 0);
    });
}

// Kept in the header: the quantiser decodes every symbol through it.
template <bool Inline, class Model>
inline int ArithDecoder::decodeWith(const Model& model)
{
    const std::int32_t total = model.total();
    if (total <= 0 || total > kMaxCodedTotal) {
        input_.fail("corrupt stream: symbol model cannot be decoded");
        return 0;
    }
    const Reciprocal& divisor = reciprocals_[total];
    const std::int32_t range = high_ - low_ + 1;
    // Both operands are positive (low_ <= value_, total >= 1), so the unsigned division gives the same quotient.
    const std::int32_t target = static_cast<std::int32_t>(static_cast<std::uint32_t>((value_ - low_ + 1) * total - 1)
                                                          / static_cast<std::uint32_t>(range));
    std::int32_t cumulative = 0;
    std::int32_t count = 0;
    int symbol = 0;
    if constexpr (Inline)
        symbol = model.findInline(target, cumulative, count);
    else
        symbol = model.find(target, cumulative, count);
    if (symbol < 0) {
        input_.fail("corrupt stream: arithmetic code outside every symbol");
        return 0;
    }
    narrow(range, cumulative, count, divisor);
    rescale([this](std::int32_t taken) { value_ = 2 * (value_ - taken) + input_.getBit(); });
    return symbol;
}

template <class Model>
inline int ArithDecoder::decodeBinary(const Model& model)
{
    const std::int32_t total = model.total();
    const std::int32_t range = high_ - low_ + 1;
    // Rescaling keeps the range above a quarter of the code space; any other state takes the general way.
    if (total <= 0 || total > kMaxCodedTotal || range <= kArithQuarter || range > 2 * kArithHalf)
        return decodeWith<false>(model);
    // The general way's target is a / range; target >= c exactly when a >= c * range.
    const std::uint32_t a = static_cast<std::uint32_t>((value_ - low_ + 1) * total - 1);
    const std::uint32_t r = static_cast<std::uint32_t>(range);
    if (a >= static_cast<std::uint32_t>(total) * r) {
        input_.fail("corrupt stream: arithmetic code outside every symbol");
        return 0;
    }
    const int front = model.front();
    const int back = front ^ 1;
    const std::int32_t backCount = model.count(back);
    const bool upper = a >= static_cast<std::uint32_t>(backCount) * r;
    narrow(range, upper ? backCount : 0, upper ? model.count(front) : backCount, reciprocals_[total]);
    rescale([this](std::int32_t taken) { value_ = 2 * (value_ - taken) + input_.getBit(); });
    return upper ? front : back;
}

} // namespace nubo
