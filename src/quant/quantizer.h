#pragma once

#include "quant/error_metric.h"

#include <cstdint>
#include <limits>

namespace nubo {

struct EncoderStream;
struct DecoderStream;

// The quantiser of one subband. The encoding side analyses the coefficients, prices every precision for the bit
// allocation, then writes the chosen precision's header and layers; the decoding side reads the header and
// rebuilds the coefficients. Decoding operations return false once the stream is damaged; the reason is kept by
// the stream's bit input.
class Quantizer {
public:
    explicit Quantizer(const ErrorMetric* metric) : metric_(metric) {}
    virtual ~Quantizer() = default;

    Quantizer(const Quantizer&) = delete;
    Quantizer& operator=(const Quantizer&) = delete;

    // Encoding side: statistics, coded range and starting residuals of `count` coefficients at `data`.
    virtual void analyze(const float* data, std::int32_t count) = 0;
    // Decoding side, after readHeader: every coefficient at `data` gets its start value.
    virtual void prepareDecode(float* data, std::int32_t count) = 0;
    // Rate (bits) and distortion of precision p; +infinity for a precision whose step fell to minimumStep.
    virtual void rateDistortion(int precision, float minimumStep, float& rate, float& distortion) = 0;
    // A hint before precisions 0 ... layers are asked in order: a quantiser may price what they need at once.
    // What rateDistortion then returns is the same either way.
    virtual void priceLayersAhead(int /*layers*/, float /*minimumStep*/) {}
    // After the last rateDistortion: the quantiser may free what pricing needed (encode builds it anew).
    virtual void endPricing() {}
    virtual void encode(EncoderStream& stream, int precision) = 0;
    virtual bool decode(DecoderStream& stream, int precision) = 0;
    virtual void writeHeader(EncoderStream& stream, int precision) = 0;
    virtual bool readHeader(DecoderStream& stream, int& precision) = 0;

    std::int32_t count() const { return count_; }
    float maximum() const { return maximum_; }
    float minimum() const { return minimum_; }
    float mean() const { return mean_; }
    float variance() const { return variance_; }
    float sum() const { return sum_; }
    float sumOfSquares() const { return sumOfSquares_; }
    float baseDistortion() const { return baseDistortion_; }

protected:
    // Statistics in 32-bit floats, in coefficient order (the coded range and so the bytes depend on them).
    // An empty subband keeps zeros everywhere.
    void computeStatistics(const float* data, std::int32_t count)
    {
        count_ = count;
        maximum_ = -std::numeric_limits<float>::infinity();
        minimum_ = std::numeric_limits<float>::infinity();
        sum_ = 0.0f;
        sumOfSquares_ = 0.0f;
        mean_ = 0.0f;
        variance_ = 0.0f;
        if (count <= 0) {
            maximum_ = 0.0f;
            minimum_ = 0.0f;
            return;
        }
        for (std::int32_t i = 0; i < count; ++i) {
            const float x = data[i];
            if (x < minimum_)
                minimum_ = x;
            if (x > maximum_)
                maximum_ = x;
            sum_ += x;
            sumOfSquares_ += x * x;
        }
        // A subband of NaNs never moves the extremes; keep them finite so the range stays defined.
        if (!(maximum_ >= minimum_)) {
            maximum_ = 0.0f;
            minimum_ = 0.0f;
        }
        const float reciprocal = 1.0f / static_cast<float>(count);
        mean_ = reciprocal * sum_;
        variance_ = reciprocal * sumOfSquares_ - mean_ * mean_;
    }

    const ErrorMetric* metric_;
    std::int32_t count_ = 0;
    float maximum_ = 0.0f;
    float minimum_ = 0.0f;
    float mean_ = 0.0f;
    float variance_ = 0.0f;
    float sum_ = 0.0f;
    float sumOfSquares_ = 0.0f;
    float baseDistortion_ = 0.0f;
};

} // namespace nubo
