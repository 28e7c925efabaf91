#pragma once

#include "quant/quantizer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nubo {

class SymbolCoder;
class LayeredSymbolCoder;

// Embedded (bit-plane) quantiser of one subband. Precision p means p layers; each layer codes one ternary symbol
// per coefficient through the symbol coder (layer = context 1, the coefficient's state = context 2) and halves
// the threshold. The low-pass band (high-pass off) is refined like a binary search of its coded range; a
// high-pass coefficient first waits to turn significant (+1 / -1 at threshold T, placed at +-1.5 T) and is
// refined one bit per layer afterwards.
//
// Range parameters are integers in units of 1/2^F (F = fraction bits). The layer tables keep the rate and the
// distortion change of every computed layer, so precisions 0, 1, 2, ... asked in order cost one pass each.
class LayeredQuantizer final : public Quantizer {
public:
    // The symbol coder and the metric stay owned by the caller; the decoding side passes no metric.
    LayeredQuantizer(SymbolCoder& symbolCoder, int fractionBits, bool highPass, int layerCapacity,
                     const ErrorMetric* metric);

    void analyze(const float* data, std::int32_t count) override;
    void prepareDecode(float* data, std::int32_t count) override;
    // As prepareDecode, for a band of width x height coefficients whose rows lie `stride` floats apart (a band in
    // place in its plane), so the decoded coefficients need no copy. Coefficient i is row i / width, column
    // i % width; states and symbols follow that order as they do for a packed band.
    void prepareDecodeRows(float* data, std::int32_t width, std::int32_t height, std::ptrdiff_t stride);
    void rateDistortion(int precision, float minimumStep, float& rate, float& distortion) override;
    // Prices the layers below `layers` that rateDistortion would price, all in one walk over the coefficients
    // when the coder is a LayeredSymbolCoder (its layers have separate models, so the walk order does not show in
    // any table, residual or state). That walk prices through pricing copies of the models and leaves the coder's
    // own as analyze left them; encode resets them anyway. Other coders keep pricing one layer per call.
    void priceLayersAhead(int layers, float minimumStep) override;
    // Frees the residuals and states (the layer tables stay); encode builds them again.
    void endPricing() override;
    void encode(EncoderStream& stream, int precision) override;
    bool decode(DecoderStream& stream, int precision) override;
    void writeHeader(EncoderStream& stream, int precision) override;
    bool readHeader(DecoderStream& stream, int& precision) override;

    // Points the quantiser at another symbol coder with the same contexts for every layer it will code. The
    // decoder reads the headers first and then builds coders of just the layers each precision needs.
    void setSymbolCoder(SymbolCoder& symbolCoder) { symbolCoder_ = &symbolCoder; }

    // As encode, and also writes to `reconstruction` (count values) the coefficients a decoder of this stream
    // rebuilds, computed from the encoder's own symbols with the decoder's arithmetic.
    void encodeWithReconstruction(EncoderStream& stream, int precision, float* reconstruction);

    bool highPass() const { return highPass_; }
    int layerCapacity() const { return layerCapacity_; }
    std::int32_t minimumCode() const { return minimumCode_; }
    std::int32_t maximumCode() const { return maximumCode_; }
    std::int32_t meanCode() const { return meanCode_; }
    float quantisedMinimum() const { return quantisedMinimum_; }
    float quantisedMaximum() const { return quantisedMaximum_; }
    float baseValue() const { return baseValue_; }
    float threshold() const { return threshold_; }
    int currentLayer() const { return currentLayer_; }
    float layerRate(int layer) const { return layerRates_[static_cast<std::size_t>(layer)]; }
    float layerDistortionChange(int layer) const { return layerChanges_[static_cast<std::size_t>(layer)]; }
    const std::vector<std::int32_t>& states() const { return states_; }
    const std::vector<float>& residuals() const { return residuals_; }

private:
    float scale() const;
    float startThreshold() const;
    void resetLayers();
    void releaseWorkingSet();
    void priceLayer();
    void encodeLayers(EncoderStream& stream, int precision, float* reconstruction);

    template <class Coder, class Error>
    void priceLayerWith(Coder& coder, Error error);
    template <class Error>
    void priceLayersTogetherWith(LayeredSymbolCoder& coder, int layers, Error error);

    // Layers priced in one walk at most (the symbol coder has no more).
    static constexpr int kMaxJointLayers = 16;
    template <class Coder>
    void encodeLayerWith(Coder& coder, EncoderStream& stream, float* reconstruction);
    template <class Coder>
    void decodeLayerWith(Coder& coder, DecoderStream& stream);
    void decodeLayerFrom(LayeredSymbolCoder& coder, DecoderStream& stream);

    SymbolCoder* symbolCoder_;
    int fractionBits_;
    bool highPass_;
    int layerCapacity_;
    std::int32_t minimumCode_ = 0;
    std::int32_t maximumCode_ = 0;
    std::int32_t meanCode_ = 0;
    float quantisedMinimum_ = 0.0f;
    float quantisedMaximum_ = 0.0f;
    float baseValue_ = 0.0f;
    int currentLayer_ = -1;
    std::vector<std::int32_t> states_;
    std::vector<float> layerRates_;
    std::vector<float> layerChanges_;
    std::vector<float> residuals_; // encoding side only
    float threshold_ = 0.0f;

    const float* source_ = nullptr; // coefficients being encoded
    float* target_ = nullptr;       // coefficients being decoded, rows of targetWidth_ targetStride_ apart
    std::int32_t targetWidth_ = 0;
    std::ptrdiff_t targetStride_ = 0;
    bool encoding_ = false;
};

} // namespace nubo
