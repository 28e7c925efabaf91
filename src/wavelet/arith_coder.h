#pragma once

#include "wavelet/bit_stream.h"
#include "wavelet/exact_division.h"
#include "wavelet/frequency_model.h"

#include <bit>
#include <cstdint>

namespace nubo {

inline constexpr std::int32_t kArithHalf = 32768;
inline constexpr std::int32_t kArithQuarter = 16384;
inline constexpr std::int32_t kArithThreeQuarters = 49152;

// Largest model total the 16-bit coder can take: after renormalisation the range is above a quarter of the code
// space (16384), so every nonzero count keeps a nonempty interval and range * total fits in 32 bits.
inline constexpr std::int32_t kMaxCodedTotal = 16384;
static_assert(kMaxCodedTotal <= static_cast<std::int32_t>(kMaxDivisorTabulated));

// range * count / total for a range of at most 2^16 and a count below a total of at most kMaxCodedTotal, the
// total's reciprocal given: divideExactly(range * count, reciprocal), with count times the multiplier formed
// first. That product does not wait for the range, so a coder whose model is known before its interval spends
// one multiplication on the interval's chain instead of two; below 2^14 * 2^33 * 2^16 it cannot overflow.
inline std::int32_t scaledQuotient(std::int32_t range, std::int32_t count, const Reciprocal& reciprocal)
{
    const std::uint64_t scaled = static_cast<std::uint64_t>(count) * reciprocal.multiplier;
    return static_cast<std::int32_t>((static_cast<std::uint64_t>(range) * scaled) >> reciprocal.shift);
}

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
    // the half or quarter it moved by, all doublings of one kind at once: first those of a half, one per leading
    // bit that low and high share (settled(n) runs before those n), then those of the middle half, which cannot
    // be followed by a half's (middle(m) runs before those m). The same interval as doubling one step at a time.
    template <class Settled, class Middle>
    [[gnu::always_inline]] void rescale(Settled settled, Middle middle);

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
    // encode for an interval a FrequencyModel gave, which lies inside its total (cumulative >= 0 and
    // cumulative + count <= total): only the count and the total are checked.
    // Always inlined: a loop coding through a local copy keeps the interval in registers only when no call
    // takes the copy's address.
    [[gnu::always_inline]] void encodeFromModel(std::int32_t count, std::int32_t cumulative, std::int32_t total);
    // encodeFromModel for a model of two symbols with front() (the symbol whose interval lies above the
    // other's), backCount() (the other's count) and total(): the same interval and bits, narrowed with one
    // division instead of two (see ArithDecoder::decodeBinary).
    template <class Model>
    [[gnu::always_inline]] void encodeBinary(const Model& model, int symbol);
    // Sixteen final bits, then padding to a byte boundary.
    void finish();

    // A code may also end where it stands, in two bits besides those owed (as the band codes of older colour
    // streams end, which decoders still check by kDecoderLookahead): an ending (writeEnding) after the
    // bits written so far lets a decoder that reads any bits at all after it decode every symbol coded so far.
    // After rescaling, low < half <= high, and either low < a quarter, so every value of [quarter, half) lies in
    // the interval (ending 0, then 1s), or high >= three quarters and [half, three quarters) does (1, then 0s).
    // Such a code takes exactly 2 bits more than the decoder's doublings, so a decoder knows where it ended:
    // kDecoderLookahead bits before its reading position, having read 16 bits ahead.
    struct Ending {
        int bit;                  // the ending's first bit
        std::int32_t pendingBits; // owed bits, opposite to it, that follow it before its last bit
    };
    Ending ending() const { return {low_ >= kArithQuarter ? 1 : 0, pendingBits_}; }
    static void writeEnding(BitOutput& output, const Ending& ending)
    {
        output.putBit(ending.bit);
        output.putRepeated(1 - ending.bit, std::int64_t{ending.pendingBits} + 1);
    }
    // Bits an ending adds besides the owed ones.
    static constexpr int kEndingBits = 2;
    // What the decoder reads ahead of the code's end.
    static constexpr int kDecoderLookahead = 14;

    // A loop that codes many symbols works on a copy of the encoder (`ArithEncoder local = shared;`), whose
    // interval the compiler may keep in registers: the loop's stores through pointers might alias the shared
    // one's. This takes the copy's state back; both write to the same output.
    void resumeFrom(const ArithEncoder& copy)
    {
        low_ = copy.low_;
        high_ = copy.high_;
        pendingBits_ = copy.pendingBits_;
    }

private:
    [[gnu::always_inline]] void outputBit(int bit);
    // rescale, writing the bits it settles.
    [[gnu::always_inline]] void rescaleAndEmit();
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
    // decodeInline and the model's update of the decoded symbol in one step (the symbol's position found once);
    // -1, with the input marked failed and nothing changed, where decodeInline fails.
    // Always inlined, as ArithEncoder::encodeFromModel.
    [[gnu::always_inline]] int decodeAndUpdateInline(FrequencyModel& model);

    // A loop that decodes many symbols works on a copy of the decoder (`ArithDecoder local = shared;`), whose
    // interval the compiler may keep in registers: the loop's stores through pointers might alias the shared
    // one's. This takes the copy's state back; both read the same input.
    void resumeFrom(const ArithDecoder& copy)
    {
        value_ = copy.value_;
        low_ = copy.low_;
        high_ = copy.high_;
    }

    // As decode, for another model type with total() and find(target, cumulative, count) of the same meaning.
    template <class Model>
    int decodeWithModel(const Model& model) { return decodeWith<false>(model); }

    // As decodeWithModel, for a model of two symbols with front() (the symbol whose interval lies above the
    // other's) and backCount() (the other's count): the same symbol and coder state, found with the one
    // quotient that narrowing by either symbol forms instead of comparing products and dividing twice; but -1
    // where decodeWithModel fails (the input marked failed, nothing changed), so a loop tells a bad symbol by
    // the value rather than by the input's flag. Always inlined, as decodeAndUpdateInline.
    template <class Model>
    [[gnu::always_inline]] int decodeBinary(const Model& model);

private:
    template <bool Inline, class Model>
    int decodeWith(const Model& model);
    // rescale, the value shifted along with the interval and fed the next bits of the input.
    [[gnu::always_inline]] void rescaleValue();
    // The same, one doubling at a time: quicker after a binary symbol, which mostly needs none or one, each
    // branch well predicted, than counting the doublings first.
    [[gnu::always_inline]] void rescaleValueStepwise();
    // decodeBinary's way for a model or interval it does not take (never met on an undamaged stream), out of
    // the decoding loop.
    template <class Model>
    [[gnu::noinline, gnu::cold]] int decodeBinaryAnyhow(const Model& model);

    std::int32_t value_ = 0;
    BitInput& input_;
    const Reciprocal* reciprocals_;
};

template <class Settled, class Middle>
inline void ArithInterval::rescale(Settled settled, Middle middle)
{
    auto low = static_cast<std::uint32_t>(low_);
    auto high = static_cast<std::uint32_t>(high_);
    // Both lie in 0..65535; bit 15 marks the upper half. Most steps need no doubling: low and high differ in
    // bit 15 and do not lie in the middle half (low's bit 14 set, high's clear).
    if ((((low ^ high) & 0x8000u) | (low & ~high & 0x4000u)) == 0x8000u)
        return;
    // The 1 below bit 16 caps the count of shared bits at 16 (low == high).
    const int n = std::countl_zero(((low ^ high) << 16) | 0x8000u);
    if (n > 0) {
        settled(n);
        low = (low << n) & 0xFFFFu;
        high = ((high << n) | ((1u << n) - 1)) & 0xFFFFu;
    }
    // Now low < half <= high; the interval lies in the middle half while low's next bit is 1 and high's is 0.
    const int m = std::countl_one((low & ~high) << 17);
    if (m > 0) {
        middle(m);
        low = (low << m) & 0x7FFFu;
        high = ((high << m) & 0x7FFFu) | 0x8000u | ((1u << m) - 1);
    }
    low_ = static_cast<std::int32_t>(low);
    high_ = static_cast<std::int32_t>(high);
}

// Kept in the header, as the decoder's step below: the quantiser codes every symbol through it.
inline void ArithEncoder::outputBit(int bit)
{
    output_.putBit(bit);
    if (pendingBits_ > 0) {
        output_.putRepeated(1 - bit, pendingBits_);
        pendingBits_ = 0;
    }
}

inline void ArithEncoder::encode(std::int32_t count, std::int32_t cumulative, std::int32_t total)
{
    // One test for all (count > 0, cumulative >= 0 and cumulative + count <= total also make total > 0).
    if ((count <= 0) | (cumulative < 0) | (total > kMaxCodedTotal) | (cumulative > total - count)) [[unlikely]]
        refuse(count, cumulative, total);
    encodeFromModel(count, cumulative, total);
}

inline void ArithEncoder::encodeFromModel(std::int32_t count, std::int32_t cumulative, std::int32_t total)
{
    if ((count <= 0) | (total > kMaxCodedTotal)) [[unlikely]]
        refuse(count, cumulative, total);
    narrow(high_ - low_ + 1, cumulative, count, reciprocals_[total]);
    rescaleAndEmit();
}

inline void ArithEncoder::rescaleAndEmit()
{
    // A half taken off is a settled bit (low's leading bits); a quarter, a bit settled by the next one, opposite
    // to it.
    rescale(
        [this](int settled) __attribute__((always_inline)) {
            const auto low = static_cast<std::uint32_t>(low_);
            outputBit(static_cast<int>(low >> 15));
            output_.putBits(low >> (16 - settled), settled - 1);
        },
        [this](int middle) __attribute__((always_inline)) { pendingBits_ += middle; });
}

template <class Model>
inline void ArithEncoder::encodeBinary(const Model& model, int symbol)
{
    const std::int32_t total = model.total();
    if (total > kMaxCodedTotal) [[unlikely]]
        refuse(model.backCount(), 0, total);
    // The front symbol's interval ends at the total, so its high end stays; the back one's starts at 0, so its
    // low end stays.
    const std::int32_t q = scaledQuotient(high_ - low_ + 1, model.backCount(), reciprocals_[total]);
    if (symbol == model.front())
        low_ += q;
    else
        high_ = low_ + q - 1;
    rescaleAndEmit();
}

inline void ArithDecoder::rescaleValue()
{
    // Within a half the value shares the interval's settled bits; within the middle half it keeps its leading
    // bit and drops the next, as the interval's ends do.
    rescale(
        [this](int settled) __attribute__((always_inline)) {
            const auto v = static_cast<std::uint32_t>(value_);
            value_ = static_cast<std::int32_t>(((v << settled) & 0xFFFFu) | input_.getBits(settled));
        },
        [this](int middle) __attribute__((always_inline)) {
            const auto v = static_cast<std::uint32_t>(value_);
            value_ = static_cast<std::int32_t>((v & 0x8000u) | ((v << middle) & 0x7FFFu) | input_.getBits(middle));
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
    rescaleValue();
    return symbol;
}

inline int ArithDecoder::decodeAndUpdateInline(FrequencyModel& model)
{
    const std::int32_t total = model.total();
    if (total <= 0 || total > kMaxCodedTotal) {
        input_.fail("corrupt stream: symbol model cannot be decoded");
        return -1;
    }
    // decodeWith's target, (value - low + 1) * total - 1 over the range, is compared with the model's interval
    // ends times the range instead of divided out (a division a step is the longest wait in the decoder's
    // chain); those products are also the ones narrow forms. The value lies in [low, high], so a < range * total
    // <= 2^30 and no product overflows.
    const std::int32_t range = high_ - low_ + 1;
    const auto a = static_cast<std::uint32_t>((value_ - low_ + 1) * total - 1);
    std::uint32_t below = 0;
    std::uint32_t end = 0;
    const int position = model.findInlinePositionScaled(a, static_cast<std::uint32_t>(range), below, end);
    if (position < 0) {
        input_.fail("corrupt stream: arithmetic code outside every symbol");
        return -1;
    }
    const Reciprocal& divisor = reciprocals_[total];
    high_ = low_ + divideExactly(static_cast<std::int32_t>(end), divisor) - 1;
    low_ = low_ + divideExactly(static_cast<std::int32_t>(below), divisor);
    rescaleValue();
    return model.updateInlineAtPosition(position);
}

template <class Model>
inline int ArithDecoder::decodeBinary(const Model& model)
{
    const std::int32_t total = model.total();
    const std::int32_t range = high_ - low_ + 1;
    // Rescaling keeps the range above a quarter of the code space; any other state takes the general way.
    if (total <= 0 || total > kMaxCodedTotal || range <= kArithQuarter || range > 2 * kArithHalf) [[unlikely]]
        return decodeBinaryAnyhow(model);
    // The general way's target, ((value - low + 1) * total - 1) / range, reaches the front symbol's cumulative
    // count c exactly when value - low >= q = c * range / total (both sides are integers), and q is the very
    // quotient narrowing by either symbol forms: the front symbol keeps high (its interval ends at the total,
    // range * total / total = range) and moves low up by q, the back one keeps low and ends at low + q. One
    // division instead of two, and no product waits for the comparison.
    const std::int32_t offset = value_ - low_;
    if (static_cast<std::uint32_t>(offset) >= static_cast<std::uint32_t>(range)) [[unlikely]] {
        input_.fail("corrupt stream: arithmetic code outside every symbol");
        return -1;
    }
    const int front = model.front();
    const std::int32_t q = scaledQuotient(range, model.backCount(), reciprocals_[total]);
    const bool upper = offset >= q;
    const std::int32_t low = low_;
    low_ = upper ? low + q : low;
    high_ = upper ? high_ : low + q - 1;
    rescaleValueStepwise();
    return upper ? front : front ^ 1;
}

template <class Model>
int ArithDecoder::decodeBinaryAnyhow(const Model& model)
{
    // decodeWith tells a failure only by the input's mark.
    const int symbol = decodeWith<false>(model);
    return input_.failed() ? -1 : symbol;
}

inline void ArithDecoder::rescaleValueStepwise()
{
    for (;;) {
        std::int32_t taken = 0;
        if (high_ < kArithHalf)
            taken = 0;
        else if (low_ >= kArithHalf)
            taken = kArithHalf;
        else if (low_ >= kArithQuarter && high_ < kArithThreeQuarters)
            taken = kArithQuarter;
        else
            break;
        low_ = 2 * (low_ - taken);
        high_ = 2 * (high_ - taken) + 1;
        value_ = 2 * (value_ - taken) + input_.getBit();
    }
}

} // namespace nubo
