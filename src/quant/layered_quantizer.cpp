#include "quant/layered_quantizer.h"

#include "wavelet/coder_streams.h"
#include "wavelet/integer_codes.h"
#include "wavelet/layered_symbol_coder.h"
#include "wavelet/symbol_coder.h"

#include <cmath>
#include <limits>
#include <string>

namespace nubo {

namespace {

// Range codes stay well inside what writeInteger can carry (|v| < 2^31 - 1). Only a plane of non-finite or
// absurdly large samples meets this bound; its codes are clamped so the search loops below always end.
constexpr std::int32_t kCodeLimit = std::int32_t{1} << 30;

// (int)((double)value + 0.5), truncating toward zero, with out-of-range and NaN values clamped.
std::int32_t rangeCode(float value)
{
    const double v = static_cast<double>(value) + 0.5;
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(kCodeLimit))
        return kCodeLimit;
    if (v <= -static_cast<double>(kCodeLimit))
        return -kCodeLimit;
    return static_cast<std::int32_t>(v);
}

float fromCode(std::int32_t code, float scale) { return static_cast<float>(code) / scale; }

float halved(float t) { return static_cast<float>(static_cast<double>(t) * 0.5); }

float midpoint(float a, float b) { return static_cast<float>(static_cast<double>(a + b) * 0.5); }

struct NoError {
    double operator()(float) const { return 0.0; }
};

struct SquaredError {
    double operator()(float e) const { return PowerErrorMetric::squaredError(e); }
};

struct MetricError {
    const ErrorMetric* metric;
    double operator()(float e) const { return metric->error(e); }
};

// Distortion sums are kept in the float itself: every step goes through double and is rounded back.
inline float accumulate(float sum, double term) { return static_cast<float>(static_cast<double>(sum) + term); }
inline float deduct(float sum, double term) { return static_cast<float>(static_cast<double>(sum) - term); }

} // namespace

LayeredQuantizer::LayeredQuantizer(SymbolCoder& symbolCoder, int fractionBits, bool highPass, int layerCapacity,
                                   const ErrorMetric* metric)
    : Quantizer(metric),
      symbolCoder_(&symbolCoder),
      fractionBits_(fractionBits),
      highPass_(highPass),
      layerCapacity_(layerCapacity > 0 ? layerCapacity : 0),
      layerRates_(static_cast<std::size_t>(layerCapacity_), 0.0f),
      layerChanges_(static_cast<std::size_t>(layerCapacity_), 0.0f)
{
}

float LayeredQuantizer::scale() const { return static_cast<float>(std::int64_t{1} << fractionBits_); }

float LayeredQuantizer::startThreshold() const
{
    if (highPass_)
        return halved(quantisedMaximum_);
    return halved(quantisedMaximum_ - quantisedMinimum_);
}

void LayeredQuantizer::analyze(const float* data, std::int32_t count)
{
    source_ = data;
    target_ = nullptr;
    encoding_ = true;
    computeStatistics(data, count);
    const float s = scale();

    if (highPass_) {
        const float m = std::fabs(maximum_) > std::fabs(minimum_) ? std::fabs(maximum_) : std::fabs(minimum_);
        maximum_ = m;
        minimum_ = -m;
    }

    // The coded range must hold every coefficient: round the ends outward until it does.
    maximumCode_ = rangeCode(s * maximum_);
    quantisedMaximum_ = fromCode(maximumCode_, s);
    while (quantisedMaximum_ < maximum_ && maximumCode_ < kCodeLimit)
        quantisedMaximum_ = fromCode(++maximumCode_, s);

    if (highPass_) {
        minimumCode_ = -maximumCode_;
        quantisedMinimum_ = -quantisedMaximum_;
    } else {
        minimumCode_ = rangeCode(s * minimum_);
        quantisedMinimum_ = fromCode(minimumCode_, s);
        while (quantisedMinimum_ > minimum_ && minimumCode_ > -kCodeLimit)
            quantisedMinimum_ = fromCode(--minimumCode_, s);
    }

    meanCode_ = rangeCode(s * mean_);
    baseValue_ = fromCode(meanCode_, s);

    states_.assign(static_cast<std::size_t>(count_), 0);
    residuals_.assign(static_cast<std::size_t>(count_), 0.0f);
    resetLayers();

    // Precision 0 leaves the residuals of resetLayers: for the low-pass band the error against the midpoint of
    // the coded range (not against the mean that a precision-0 band decodes to).
    baseDistortion_ = 0.0f;
    if (metric_ != nullptr) {
        const auto* power = dynamic_cast<const PowerErrorMetric*>(metric_);
        if (power != nullptr && power->isSquare()) {
            for (const float r : residuals_)
                baseDistortion_ = accumulate(baseDistortion_, PowerErrorMetric::squaredError(r));
        } else {
            for (const float r : residuals_)
                baseDistortion_ = accumulate(baseDistortion_, metric_->error(r));
        }
    }

    symbolCoder_->reset();
}

void LayeredQuantizer::resetLayers()
{
    if (encoding_) {
        if (highPass_) {
            for (std::int32_t i = 0; i < count_; ++i)
                residuals_[static_cast<std::size_t>(i)] = source_[i];
        } else {
            const float mid = midpoint(quantisedMinimum_, quantisedMaximum_);
            for (std::int32_t i = 0; i < count_; ++i)
                residuals_[static_cast<std::size_t>(i)] = source_[i] - mid;
        }
    }
    states_.assign(static_cast<std::size_t>(count_), 0);
    currentLayer_ = -1;
    threshold_ = startThreshold();
}

template <class Coder, class Error>
void LayeredQuantizer::priceLayerWith(Coder& coder, Error error)
{
    const int layer = ++currentLayer_;
    const float t = threshold_;
    const float h = halved(t);
    const float g = static_cast<float>(static_cast<double>(t) * 1.5);
    float rate = 0.0f;
    float change = 0.0f;
    // Locals, so the loop need not reload them after every call into the coder.
    const bool highPass = highPass_;
    const std::int32_t count = count_;
    float* residuals = residuals_.data();
    std::int32_t* states = states_.data();
    for (std::int32_t i = 0; i < count; ++i) {
        float r = residuals[i];
        const std::int32_t state = states[i];
        change = deduct(change, error(r));
        int symbol;
        if (!highPass || state != 0) {
            if (r > 0.0f) {
                symbol = 1;
                r -= h;
            } else {
                symbol = 0;
                r += h;
            }
        } else if (r > t) {
            symbol = 1;
            r -= g;
        } else if (r < -t) {
            symbol = -1;
            r += g;
        } else {
            symbol = 0;
        }
        residuals[i] = r;
        change = accumulate(change, error(r));
        rate += coder.write(nullptr, symbol, 1, layer, state);
        states[i] = symbol + 2 * state;
    }
    threshold_ = halved(t);
    layerRates_[static_cast<std::size_t>(layer)] = rate;
    layerChanges_[static_cast<std::size_t>(layer)] = change;
}

void LayeredQuantizer::priceLayer()
{
    const auto* power = dynamic_cast<const PowerErrorMetric*>(metric_);
    auto* layered = dynamic_cast<LayeredSymbolCoder*>(symbolCoder_);
    if (layered != nullptr && power != nullptr && power->isSquare())
        priceLayerWith(*layered, SquaredError{});
    else if (metric_ == nullptr)
        priceLayerWith(*symbolCoder_, NoError{});
    else
        priceLayerWith(*symbolCoder_, MetricError{metric_});
}

void LayeredQuantizer::rateDistortion(int precision, float minimumStep, float& rate, float& distortion)
{
    constexpr float infinity = std::numeric_limits<float>::infinity();
    float r = 0.0f;
    float d = baseDistortion_;
    for (int l = 0; l < precision; ++l) {
        if (l >= layerCapacity_) {
            // Beyond the tables: no such precision.
            r = infinity;
            d = infinity;
            break;
        }
        if (l > currentLayer_) {
            if (threshold_ <= minimumStep) {
                layerRates_[static_cast<std::size_t>(l)] = infinity;
                layerChanges_[static_cast<std::size_t>(l)] = -infinity;
                r = infinity;
                d = infinity;
                continue;
            }
            priceLayer();
        }
        r += layerRates_[static_cast<std::size_t>(l)];
        d += layerChanges_[static_cast<std::size_t>(l)];
    }
    rate = r;
    distortion = d;
}

template <class Coder>
void LayeredQuantizer::encodeLayerWith(Coder& coder, EncoderStream& stream, float* reconstruction)
{
    const int layer = ++currentLayer_;
    const float t = threshold_;
    const float h = halved(t);
    const float g = static_cast<float>(static_cast<double>(t) * 1.5);
    const bool highPass = highPass_;
    const std::int32_t count = count_;
    float* residuals = residuals_.data();
    std::int32_t* states = states_.data();
    for (std::int32_t i = 0; i < count; ++i) {
        float r = residuals[i];
        const std::int32_t state = states[i];
        const bool refining = !highPass || state != 0;
        int symbol;
        if (refining) {
            if (r > 0.0f) {
                symbol = 1;
                r -= h;
            } else {
                symbol = 0;
                r += h;
            }
        } else if (r > t) {
            symbol = 1;
            r -= g;
        } else if (r < -t) {
            symbol = -1;
            r += g;
        } else {
            symbol = 0;
        }
        residuals[i] = r;
        coder.write(&stream, symbol, 1, layer, state);
        states[i] = symbol + 2 * state;
        if (reconstruction != nullptr) {
            // The decoder's update, exactly as it is written there.
            const double x = static_cast<double>(reconstruction[i]);
            reconstruction[i] = refining ? static_cast<float>(x + (symbol - 0.5) * t)
                                         : static_cast<float>(x + 1.5 * t * symbol);
        }
    }
    threshold_ = halved(t);
}

void LayeredQuantizer::encodeLayers(EncoderStream& stream, int precision, float* reconstruction)
{
    resetLayers();
    symbolCoder_->reset();
    if (reconstruction != nullptr) {
        float start = 0.0f;
        if (!highPass_)
            start = precision >= 1 ? midpoint(quantisedMinimum_, quantisedMaximum_) : baseValue_;
        for (std::int32_t i = 0; i < count_; ++i)
            reconstruction[i] = start;
    }
    const int layers = precision < layerCapacity_ ? precision : layerCapacity_;
    auto* layered = dynamic_cast<LayeredSymbolCoder*>(symbolCoder_);
    for (int l = 0; l < layers; ++l) {
        if (layered != nullptr)
            encodeLayerWith(*layered, stream, reconstruction);
        else
            encodeLayerWith(*symbolCoder_, stream, reconstruction);
    }
}

void LayeredQuantizer::encode(EncoderStream& stream, int precision) { encodeLayers(stream, precision, nullptr); }

void LayeredQuantizer::encodeWithReconstruction(EncoderStream& stream, int precision, float* reconstruction)
{
    encodeLayers(stream, precision, reconstruction);
}

void LayeredQuantizer::writeHeader(EncoderStream& stream, int precision)
{
    writeNonnegative(stream.bits, precision);
    if (precision >= 1) {
        writeInteger(stream.bits, maximumCode_);
        if (!highPass_)
            writeInteger(stream.bits, minimumCode_);
    } else if (!highPass_) {
        writeInteger(stream.bits, meanCode_);
    }
}

bool LayeredQuantizer::readHeader(DecoderStream& stream, int& precision)
{
    const float s = scale();
    precision = readNonnegative(stream.bits);
    if (stream.bits.failed())
        return false;
    if (precision >= layerCapacity_) {
        stream.bits.fail("corrupt stream: precision " + std::to_string(precision) + " above the largest, "
                         + std::to_string(layerCapacity_ - 1));
        precision = 0;
        return false;
    }
    if (precision >= 1) {
        maximumCode_ = readInteger(stream.bits);
        quantisedMaximum_ = fromCode(maximumCode_, s);
        if (highPass_) {
            minimumCode_ = -maximumCode_;
            quantisedMinimum_ = -quantisedMaximum_;
            baseValue_ = 0.0f;
        } else {
            minimumCode_ = readInteger(stream.bits);
            quantisedMinimum_ = fromCode(minimumCode_, s);
            baseValue_ = midpoint(quantisedMinimum_, quantisedMaximum_);
        }
    } else if (!highPass_) {
        meanCode_ = readInteger(stream.bits);
        quantisedMinimum_ = quantisedMaximum_ = baseValue_ = fromCode(meanCode_, s);
    } else {
        quantisedMinimum_ = quantisedMaximum_ = baseValue_ = 0.0f;
    }
    return !stream.bits.failed();
}

void LayeredQuantizer::prepareDecode(float* data, std::int32_t count)
{
    target_ = data;
    source_ = nullptr;
    encoding_ = false;
    count_ = count > 0 ? count : 0;
    residuals_.clear();
    const float start = highPass_ ? 0.0f : baseValue_;
    for (std::int32_t i = 0; i < count_; ++i)
        data[i] = start;
    resetLayers();
    symbolCoder_->reset();
}

template <class Coder>
void LayeredQuantizer::decodeLayerWith(Coder& coder, DecoderStream& stream)
{
    const int layer = ++currentLayer_;
    const float t = threshold_;
    const bool highPass = highPass_;
    const std::int32_t count = count_;
    float* data = target_;
    std::int32_t* states = states_.data();
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t state = states[i];
        const int symbol = coder.read(stream, 1, layer, state);
        const double x = static_cast<double>(data[i]);
        if (!highPass || state != 0)
            data[i] = static_cast<float>(x + (symbol - 0.5) * t);
        else
            data[i] = static_cast<float>(x + 1.5 * t * symbol);
        states[i] = symbol + 2 * state;
    }
    threshold_ = halved(t);
}

bool LayeredQuantizer::decode(DecoderStream& stream, int precision)
{
    resetLayers();
    if (precision < 0 || precision > layerCapacity_) {
        stream.bits.fail("corrupt stream: precision " + std::to_string(precision) + " out of range");
        return false;
    }
    auto* layered = dynamic_cast<LayeredSymbolCoder*>(symbolCoder_);
    for (int l = 0; l < precision; ++l) {
        if (layered != nullptr)
            decodeLayerWith(*layered, stream);
        else
            decodeLayerWith(*symbolCoder_, stream);
        // A damaged stream stops at the layer where it was found out. A whole stream holds every bit its decoder
        // reads (the encoder's final bits cover the decoder's look-ahead), so reading past the end means the
        // stream was cut short.
        if (stream.bits.pastEnd())
            stream.bits.fail("truncated stream: it ends before its last symbol");
        if (stream.bits.failed())
            return false;
    }
    return true;
}

} // namespace nubo
