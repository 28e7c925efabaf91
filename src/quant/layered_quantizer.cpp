#include "quant/layered_quantizer.h"

#include "quant/waiting_layers.h"

#include "wavelet/coder_streams.h"
#include "wavelet/integer_codes.h"
#include "wavelet/layered_symbol_coder.h"
#include "wavelet/symbol_coder.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>

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

// The thresholds of one layer: T, the refinement step T / 2 and the significance placement 1.5 T.
struct LayerStep {
    float t = 0.0f;
    float half = 0.0f;
    float significant = 0.0f;

    LayerStep() = default;
    explicit LayerStep(float threshold)
        : t(threshold), half(halved(threshold)), significant(static_cast<float>(static_cast<double>(threshold) * 1.5))
    {
    }
};

// One layer's symbol for a coefficient with residual r, which moves by what the symbol adds to the
// reconstruction. A refined coefficient (every low-pass one, a high-pass one once significant) takes a bit at
// +-T / 2; a waiting high-pass one turns significant beyond +-T, placed at +-1.5 T. Pricing and coding share it,
// so the symbols they see are the same by construction.
inline int chooseSymbol(bool refining, const LayerStep& step, float& r)
{
    if (refining) {
        if (r > 0.0f) {
            r -= step.half;
            return 1;
        }
        r += step.half;
        return 0;
    }
    if (r > step.t) {
        r -= step.significant;
        return 1;
    }
    if (r < -step.t) {
        r += step.significant;
        return -1;
    }
    return 0;
}

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

void LayeredQuantizer::releaseWorkingSet()
{
    std::vector<float>().swap(residuals_);
    std::vector<std::int32_t>().swap(states_);
}

void LayeredQuantizer::endPricing() { releaseWorkingSet(); }

void LayeredQuantizer::resetLayers()
{
    if (encoding_) {
        if (highPass_) {
            // A copy, without first zeroing what it overwrites.
            residuals_.assign(source_, source_ + std::max(count_, 0));
        } else {
            residuals_.resize(static_cast<std::size_t>(count_));
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
    const LayerStep step(threshold_);
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
        const int symbol = chooseSymbol(!highPass || state != 0, step, r);
        residuals[i] = r;
        change = accumulate(change, error(r));
        rate += coder.write(nullptr, symbol, 1, layer, state);
        states[i] = symbol + 2 * state;
    }
    threshold_ = halved(step.t);
    layerRates_[static_cast<std::size_t>(layer)] = rate;
    layerChanges_[static_cast<std::size_t>(layer)] = change;
}

namespace {

// A layer's sums in a joint pricing walk.
struct LayerSums {
    float rate = 0.0f;
    float change = 0.0f;
};

// Layers of a joint pricing walk (at most kMaxJointLayers), every layer of one coefficient before the next
// coefficient. (Walking blocks of coefficients layer by layer takes fewer instructions but more time: a
// coefficient's symbols follow one another from layer to layer, which is what the branches predict from.)
template <bool HighPass, bool TotalsInTable, class Error>
void priceJointly(const LayeredSymbolCoder::LayerPricing* pricing, const LayerStep* steps, int layers, Error error,
                   std::int32_t count, float* residuals, std::int32_t* states, LayerSums* sums)
{
    // Every layer of one coder shares the cost table and the limit; a waiting coefficient's model (context 0)
    // is looked up and checked once per layer.
    const float* const costs = pricing[0].costTable();
    const std::int32_t maxTotal = pricing[0].maxTotal();
    PricingModel* waiting[LayeredSymbolCoder::kMaxLayers] = {};
    if constexpr (HighPass) {
        for (int k = 0; k < layers; ++k)
            waiting[k] = &LayeredSymbolCoder::pricingCopy(pricing[k], 0, 0);
    }
    for (std::int32_t i = 0; i < count; ++i) {
        float r = residuals[i];
        std::int32_t state = states[i];
        double e = error(r);
        int k = 0;
        // A waiting high-pass coefficient waits through the layers whose threshold its residual does not pass
        // (|r| > t exactly when r > t or r < -t, and neither holds for NaN), then turns significant; from then
        // on, as a low-pass coefficient always, it is refined in every layer (a nonzero state stays nonzero).
        if (HighPass && state == 0) {
            const float magnitude = std::fabs(r);
            for (; k < layers && !(magnitude > steps[k].t); ++k) {
                sums[k].change = accumulate(deduct(sums[k].change, e), e);
                sums[k].rate += LayeredSymbolCoder::priceAndUpdateIn<TotalsInTable>(costs, maxTotal, *waiting[k], 0);
            }
            if (k < layers) {
                const float change = deduct(sums[k].change, e);
                const int symbol = chooseSymbol(false, steps[k], r);
                e = error(r);
                sums[k].change = accumulate(change, e);
                PricingModel& m = LayeredSymbolCoder::pricingCopy(pricing[k], symbol, 0);
                sums[k].rate += LayeredSymbolCoder::priceAndUpdateIn<TotalsInTable>(costs, maxTotal, m, symbol);
                state = symbol;
                ++k;
            }
        }
        for (; k < layers; ++k) {
            const float change = deduct(sums[k].change, e);
            const int symbol = chooseSymbol(true, steps[k], r);
            e = error(r);
            sums[k].change = accumulate(change, e);
            PricingModel& m = LayeredSymbolCoder::pricingCopy(pricing[k], symbol, state);
            sums[k].rate += LayeredSymbolCoder::priceAndUpdateIn<TotalsInTable>(costs, maxTotal, m, symbol);
            state = symbol + 2 * state;
        }
        residuals[i] = r;
        states[i] = state;
    }
}

// priceJointly for a high-pass band whose totals are all in the cost table, the layers' sums and waiting models
// held in WaitingLayers so that the layers a waiting coefficient passes through are priced side by side
// (eight to an instruction with Avx2). Every symbol is priced, and every sum moved, exactly as priceJointly does;
// only the order across layers, which share nothing, differs.
template <bool Avx2, class Error>
[[gnu::always_inline]] inline void priceHighPassIn(const LayeredSymbolCoder::LayerPricing* pricing,
                                                   const LayerStep* steps, int layers, Error error,
                                                   std::int32_t count, float* residuals, std::int32_t* states,
                                                   LayerSums* sums)
{
    const float* const costs = pricing[0].costTable();
    const std::int32_t maxTotal = pricing[0].maxTotal();
    WaitingLayers w;
    PricingModel* waiting[WaitingLayers::kLanes] = {};
    float refineMoves[WaitingLayers::kLanes][2] = {}; // what a refinement bit of 0, 1 adds to the residual
    for (int k = 0; k < layers; ++k) {
        waiting[k] = &LayeredSymbolCoder::pricingCopy(pricing[k], 0, 0);
        w.load(k, *waiting[k]);
        w.thresholds[k] = steps[k].t;
        refineMoves[k][0] = steps[k].half;
        refineMoves[k][1] = -steps[k].half;
        w.rates[k] = sums[k].rate;
        w.changes[k] = sums[k].change;
    }
    for (std::int32_t i = 0; i < count; ++i) {
        float r = residuals[i];
        std::int32_t state = states[i];
        double e = error(r);
        int k = 0;
        if (state == 0) {
            const float magnitude = std::fabs(r);
            if constexpr (Avx2) {
                k = leadingWaitsAvx2(w, layers, magnitude);
                priceWaitingAvx2(w, k, e, costs, maxTotal);
            } else {
                k = leadingWaitsScalar(w, layers, magnitude);
                priceWaitingScalar(w, k, e, costs, maxTotal);
            }
            if (k < layers) {
                const float change = deduct(w.changes[k], e);
                const int symbol = chooseSymbol(false, steps[k], r);
                e = error(r);
                w.changes[k] = accumulate(change, e);
                w.rates[k] += w.priceAndUpdate(costs, maxTotal, k, symbol + 1);
                state = symbol;
                ++k;
            }
        }
        for (; k < layers; ++k) {
            const float change = deduct(w.changes[k], e);
            // chooseSymbol(true, steps[k], r) without a branch on the bit, which is as good as random: r - T / 2
            // is r + (-T / 2) exactly (T is finite), so adding the move the bit selects gives the same r.
            const int symbol = r > 0.0f ? 1 : 0;
            r += refineMoves[k][symbol];
            e = error(r);
            w.changes[k] = accumulate(change, e);
            PricingModel& m = LayeredSymbolCoder::pricingCopy(pricing[k], symbol, state);
            w.rates[k] += LayeredSymbolCoder::priceAndUpdateIn<true>(costs, maxTotal, m, symbol);
            state = symbol + 2 * state;
        }
        residuals[i] = r;
        states[i] = state;
    }
    for (int k = 0; k < layers; ++k) {
        w.store(k, *waiting[k]);
        sums[k].rate = w.rates[k];
        sums[k].change = w.changes[k];
    }
}

#if NUBO_WAITING_AVX2
template <class Error>
__attribute__((target("avx2"))) void priceHighPassAvx2(const LayeredSymbolCoder::LayerPricing* pricing,
                                                        const LayerStep* steps, int layers, Error error,
                                                        std::int32_t count, float* residuals,
                                                        std::int32_t* states, LayerSums* sums)
{
    priceHighPassIn<true>(pricing, steps, layers, error, count, residuals, states, sums);
}
#endif

template <class Error>
void priceHighPass(const LayeredSymbolCoder::LayerPricing* pricing, const LayerStep* steps, int layers, Error error,
                   std::int32_t count, float* residuals, std::int32_t* states, LayerSums* sums)
{
#if NUBO_WAITING_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        priceHighPassAvx2(pricing, steps, layers, error, count, residuals, states, sums);
        return;
    }
#endif
    priceHighPassIn<false>(pricing, steps, layers, error, count, residuals, states, sums);
}

} // namespace

template <class Error>
void LayeredQuantizer::priceLayersTogetherWith(LayeredSymbolCoder& coder, int layers, Error error)
{
    static_assert(kMaxJointLayers <= WaitingLayers::kLanes, "a high-pass walk holds every layer's sums in lanes");
    const int first = currentLayer_ + 1;
    LayerStep steps[kMaxJointLayers] = {};
    std::vector<PricingModel> copies[kMaxJointLayers];
    LayeredSymbolCoder::LayerPricing pricing[kMaxJointLayers];
    float t = threshold_;
    for (int k = 0; k < layers; ++k) {
        steps[k] = LayerStep(t);
        pricing[k] = coder.startPricing(first + k, copies[k]);
        t = halved(t);
    }
    LayerSums sums[kMaxJointLayers] = {};
    float* residuals = residuals_.data();
    std::int32_t* states = states_.data();
    // Every layer of one coder has the same limit, so the first tells for all.
    const bool inTable = layers > 0 && pricing[0].totalsInTable();
    if (highPass_ && inTable)
        priceHighPass(pricing, steps, layers, error, count_, residuals, states, sums);
    else if (highPass_)
        priceJointly<true, false>(pricing, steps, layers, error, count_, residuals, states, sums);
    else if (inTable)
        priceJointly<false, true>(pricing, steps, layers, error, count_, residuals, states, sums);
    else
        priceJointly<false, false>(pricing, steps, layers, error, count_, residuals, states, sums);
    for (int k = 0; k < layers; ++k) {
        layerRates_[static_cast<std::size_t>(first + k)] = sums[k].rate;
        layerChanges_[static_cast<std::size_t>(first + k)] = sums[k].change;
    }
    currentLayer_ = first + layers - 1;
    threshold_ = t;
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

void LayeredQuantizer::priceLayersAhead(int layers, float minimumStep)
{
    auto* layered = dynamic_cast<LayeredSymbolCoder*>(symbolCoder_);
    if (layered == nullptr)
        return;
    const int end = std::min(layers, layerCapacity_);
    // The layers rateDistortion would price one by one: those whose threshold stays above the minimum step.
    int next = currentLayer_ + 1;
    float t = threshold_;
    int pending = 0;
    while (next + pending < end && !(t <= minimumStep)) {
        ++pending;
        t = halved(t);
    }
    const auto* power = dynamic_cast<const PowerErrorMetric*>(metric_);
    while (pending > 0) {
        const int batch = std::min(pending, kMaxJointLayers);
        if (power != nullptr && power->isSquare())
            priceLayersTogetherWith(*layered, batch, SquaredError{});
        else if (metric_ == nullptr)
            priceLayersTogetherWith(*layered, batch, NoError{});
        else
            priceLayersTogetherWith(*layered, batch, MetricError{metric_});
        pending -= batch;
        next += batch;
    }
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

namespace {

// The symbol coder's write for any coder; the layered coder's models of the layer looked up once, and coded
// through a local copy of the stream's encoder, which finish() hands back.
template <class Coder>
struct LayerWriter {
    Coder& coder;
    int layer;
    EncoderStream& stream;
    void operator()(int v, int context) { coder.write(&stream, v, 1, layer, context); }
    void finish() {}
};

template <>
struct LayerWriter<LayeredSymbolCoder> {
    LayeredSymbolCoder::LayerModels models;
    ArithEncoder& shared;
    ArithEncoder arith;
    LayerWriter(LayeredSymbolCoder& c, int layer, EncoderStream& stream)
        : models(c.layerModels(layer)), shared(stream.arith), arith(stream.arith)
    {
    }
    void operator()(int v, int context) { LayeredSymbolCoder::codeWith(models, arith, v, context); }
    void finish() { shared.resumeFrom(arith); }
};

// One layer of a band through the layered coder when no reconstruction is asked: the encoder's hot loop with
// nothing else live in it, so that the coder's interval and the layer's models stay in registers. Not inlined:
// as a function of its own it gets its own inlining budget, and every step of the coder is inlined into it.
template <bool HighPass>
[[gnu::noinline]] void codeLayer(const LayeredSymbolCoder::LayerModels models, ArithEncoder& shared, const LayerStep step,
                                 std::int32_t count, float* residuals, std::int32_t* states)
{
    ArithEncoder arith = shared;
    for (std::int32_t i = 0; i < count; ++i) {
        float r = residuals[i];
        const std::int32_t state = states[i];
        const int symbol = chooseSymbol(!HighPass || state != 0, step, r);
        residuals[i] = r;
        LayeredSymbolCoder::codeWith(models, arith, symbol, state);
        states[i] = symbol + 2 * state;
    }
    shared.resumeFrom(arith);
}

} // namespace

template <class Coder>
void LayeredQuantizer::encodeLayerWith(Coder& coder, EncoderStream& stream, float* reconstruction)
{
    const int layer = ++currentLayer_;
    if constexpr (std::is_same_v<Coder, LayeredSymbolCoder>) {
        if (reconstruction == nullptr) {
            const LayeredSymbolCoder::LayerModels models = coder.layerModels(layer);
            const LayerStep step(threshold_);
            if (highPass_)
                codeLayer<true>(models, stream.arith, step, count_, residuals_.data(), states_.data());
            else
                codeLayer<false>(models, stream.arith, step, count_, residuals_.data(), states_.data());
            threshold_ = halved(step.t);
            return;
        }
    }
    LayerWriter<Coder> write{coder, layer, stream};
    const LayerStep step(threshold_);
    const float t = step.t;
    const bool highPass = highPass_;
    const std::int32_t count = count_;
    float* residuals = residuals_.data();
    std::int32_t* states = states_.data();
    for (std::int32_t i = 0; i < count; ++i) {
        float r = residuals[i];
        const std::int32_t state = states[i];
        const bool refining = !highPass || state != 0;
        const int symbol = chooseSymbol(refining, step, r);
        residuals[i] = r;
        write(symbol, state);
        states[i] = symbol + 2 * state;
        if (reconstruction != nullptr) {
            // The decoder's update, exactly as it is written there.
            const double x = static_cast<double>(reconstruction[i]);
            reconstruction[i] = refining ? static_cast<float>(x + (symbol - 0.5) * t)
                                         : static_cast<float>(x + 1.5 * t * symbol);
        }
    }
    write.finish();
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

// A plane's subbands are coded one after another, so only one holds residuals and states at a time.
void LayeredQuantizer::encode(EncoderStream& stream, int precision)
{
    encodeLayers(stream, precision, nullptr);
    releaseWorkingSet();
}

void LayeredQuantizer::encodeWithReconstruction(EncoderStream& stream, int precision, float* reconstruction)
{
    encodeLayers(stream, precision, reconstruction);
    releaseWorkingSet();
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
    prepareDecodeRows(data, count, count > 0 ? 1 : 0, count);
}

void LayeredQuantizer::prepareDecodeRows(float* data, std::int32_t width, std::int32_t height, std::ptrdiff_t stride)
{
    target_ = data;
    source_ = nullptr;
    encoding_ = false;
    if (width <= 0 || height <= 0) {
        width = 0;
        height = 0;
    }
    targetWidth_ = width;
    targetStride_ = stride;
    count_ = width * height;
    residuals_.clear();
    const float start = highPass_ ? 0.0f : baseValue_;
    for (std::int32_t y = 0; y < height; ++y)
        std::fill(data + y * stride, data + y * stride + width, start);
    resetLayers();
    symbolCoder_->reset();
}

namespace {

// The decoder's update of one coefficient by its layer's symbol.
inline float refined(float value, bool refining, int symbol, float t)
{
    const double x = static_cast<double>(value);
    return refining ? static_cast<float>(x + (symbol - 0.5) * t) : static_cast<float>(x + 1.5 * t * symbol);
}

// What refined adds for each symbol of a layer, computed once per layer by the same expressions: entry
// 1 + symbol for a refined coefficient, 4 + symbol for a waiting one.
struct LayerSteps {
    double added[6];

    explicit LayerSteps(float t)
    {
        for (int symbol = -1; symbol <= 1; ++symbol) {
            added[1 + symbol] = (symbol - 0.5) * t;
            added[4 + symbol] = 1.5 * t * symbol;
        }
    }
    float refined(float value, bool refining, int symbol) const
    {
        return static_cast<float>(static_cast<double>(value) + added[(refining ? 1 : 4) + symbol]);
    }
};

} // namespace

template <class Coder>
void LayeredQuantizer::decodeLayerWith(Coder& coder, DecoderStream& stream)
{
    const int layer = ++currentLayer_;
    const float t = threshold_;
    const bool highPass = highPass_;
    const std::int32_t width = targetWidth_;
    const std::int32_t count = count_;
    std::int32_t* states = states_.data();
    float* row = target_;
    std::int32_t x = 0;
    // In runs of coefficients: a stream that ran out stops within a run, so a cut-off or forged stream announcing
    // a huge band costs no more than one run of decoding past its end (a whole stream never runs out).
    constexpr std::int32_t kRun = 4096;
    for (std::int32_t start = 0; start < count && !stream.bits.pastEnd(); start += kRun) {
        const std::int32_t end = count - start > kRun ? start + kRun : count;
        for (std::int32_t i = start; i < end; ++i) {
            const std::int32_t state = states[i];
            const int symbol = coder.read(stream, 1, layer, state);
            row[x] = refined(row[x], !highPass || state != 0, symbol, t);
            states[i] = symbol + 2 * state;
            if (++x == width) {
                x = 0;
                row += targetStride_;
            }
        }
    }
    threshold_ = halved(t);
}

// decodeLayerWith for the layered coder, its layer looked up once.
void LayeredQuantizer::decodeLayerFrom(LayeredSymbolCoder& coder, DecoderStream& stream)
{
    const int layer = ++currentLayer_;
    const LayeredSymbolCoder::LayerModels models = coder.layerModels(layer);
    const float t = threshold_;
    const bool highPass = highPass_;
    const std::int32_t width = targetWidth_;
    const std::int32_t height = width > 0 ? count_ / width : 0;
    std::int32_t* states = states_.data();
    // A damaged stream is found out at its first bad symbol, where the layer stops (decode then reports it).
    if (stream.bits.failed()) {
        threshold_ = halved(t);
        return;
    }
    const LayerSteps step(t);
    BitInput& bits = stream.bits;
    ArithDecoder& shared = stream.arithDecoder();
    ArithDecoder arith = shared;
    bool whole = true;
    // Row by row: a cut-off or forged stream announcing a huge band stops within a row of running out.
    for (std::int32_t y = 0; whole && y < height && !bits.pastEnd(); ++y, states += width) {
        float* data = target_ + y * targetStride_;
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t state = states[x];
            int symbol = 0;
            if (!LayeredSymbolCoder::readWith(models, arith, bits, state, symbol)) {
                whole = false;
                break;
            }
            data[x] = step.refined(data[x], !highPass || state != 0, symbol);
            states[x] = symbol + 2 * state;
        }
    }
    shared.resumeFrom(arith);
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
        if (layered != nullptr && layered->hasLayer(currentLayer_ + 1))
            decodeLayerFrom(*layered, stream);
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
    // The states are only needed while layers are read; a plane's subbands are decoded one after another.
    releaseWorkingSet();
    return true;
}

} // namespace nubo
