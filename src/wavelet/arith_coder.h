#pragma once

#include "wavelet/bit_stream.h"
#include "wavelet/frequency_model.h"

#include <cstdint>

namespace nubo {

// 16-bit integer arithmetic encoder writing to a BitOutput it does not own.
class ArithEncoder {
public:
    explicit ArithEncoder(BitOutput& output) : output_(output) {}

    // Codes the interval [cumulative, cumulative + count) of total.
    void encode(std::int32_t count, std::int32_t cumulative, std::int32_t total);
    // Sixteen final bits, then padding to a byte boundary.
    void finish();

private:
    void outputBit(int bit);

    std::int32_t low_ = 0;
    std::int32_t high_ = 65535;
    std::int32_t pendingBits_ = 0;
    BitOutput& output_;
};

// The matching decoder; reads its first 16 bits on construction. It does not adapt the model.
class ArithDecoder {
public:
    explicit ArithDecoder(BitInput& input);

    // Returns the decoded symbol. A model with total 0, or a target no symbol holds (damaged input), marks the
    // input failed and returns 0 without touching the coder state.
    int decode(const FrequencyModel& model);

private:
    std::int32_t low_ = 0;
    std::int32_t high_ = 65535;
    std::int32_t value_ = 0;
    BitInput& input_;
};

} // namespace nubo
