#pragma once

#include "wavelet/frequency_model.h"
#include "wavelet/symbol_coder.h"

#include <vector>

namespace nubo {

// Codes one ternary value (-1, 0, +1) per coefficient and layer of the layered quantiser. context1 is the layer,
// context2 the coefficient's state. Layer i has contextCount(i) models of 3 symbols: signed layers 3, 7, 15, ...;
// unsigned layers 2, 4, 8, ...
class LayeredSymbolCoder final : public SymbolCoder {
public:
    LayeredSymbolCoder(int layerCount, bool signedContexts, int maxTotal);

    float write(EncoderStream* stream, int v, int update, int layer, int context) override;
    int read(DecoderStream& stream, int update, int layer, int context) override;
    float cost(int v, int update, int layer, int context) override;
    void reset() override;

    int layerCount() const { return layerCount_; }
    int contextCount(int layer) const { return contextCounts_[static_cast<std::size_t>(layer)]; }

private:
    // Model for (layer, context), or none when the context lies outside the layer (damaged input on decoding).
    FrequencyModel* model(int layer, int context);

    int maxTotal_;
    bool signedContexts_;
    int layerCount_;
    std::vector<int> contextCounts_;
    std::vector<std::vector<FrequencyModel>> models_; // [layer][context index]
};

} // namespace nubo
