#pragma once

#include "wavelet/bit_stream.h"
#include "wavelet/exact_division.h"
#include "wavelet/frequency_model.h"

#include <cstdint>

namespace nubo {

// Largest model total the 16-bit coder can take: after renormalisation the range is above a quarter of the code
// space (16384), so every nonzero count keeps a nonempty interval and range * total fits in 32 bits.
inline constexpr std::int32_t kMaxCodedTotal = 16384;
static_assert(kMaxCodedTotal <= static_cast<std::int32_t>(kMaxDivisorTabulated));

// 16-bit integer arithmetic encoder writing to a BitOutput it does not own.
class ArithEncoder {
public:
    explicit ArithEncoder(BitOutput& output) : output_(output), reciprocals_(reciprocalTable()) {}

    // Codes the interval [cumulative, cumulative + count) of total. An empty interval, or a total outside
    // 1..kMaxCodedTotal, cannot be coded: that is a caller's error and ends the process.
    void encode(std::int32_t count, std::int32_t cumulative, std::int32_t total);
    // Sixteen final bits, then padding to a byte boundary.
    void finish();

private:
    void outputBit(int bit);

    std::int32_t low_ = 0;
    std::int32_t high_ = 65535;
    std::int32_t pendingBits_ = 0;
    BitOutput& output_;
    const Reciprocal* reciprocals_; // divisions by the total, done as multiplications
};

// The matching decoder; reads its first 16 bits on construction. It does not adapt the model.
class ArithDecoder {
public:
    explicit ArithDecoder(BitInput& input);

    // Returns the decoded symbol. A model whose total is 0 or above kMaxCodedTotal, or a target no symbol holds
    // (damaged input), marks the input failed and returns 0 without touching the coder state.
    int decode(const FrequencyModel& model);

private:
    std::int32_t low_ = 0;
    std::int32_t high_ = 65535;
    std::int32_t value_ = 0;
    BitInput& input_;
    const Reciprocal* reciprocals_;
};

} // namespace nubo
