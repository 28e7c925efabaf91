#pragma once

#include "wavelet/frequency_model.h"
#include "wavelet/symbol_coder.h"

#include <cstdint>
#include <vector>

namespace nubo {

// Codes one ternary value (-1, 0, +1) per coefficient and layer of the layered quantiser. context1 is the layer,
// context2 the coefficient's state. Layer i has contextCount(i) models of 3 symbols: signed layers 3, 7, 15, ...;
// unsigned layers 2, 4, 8, ... Signed contexts run from -contextCount / 2 to +contextCount / 2, unsigned ones
// from 0 to contextCount - 1.
//
// Coding or pricing a value outside -1..+1, a layer or context outside the coder, or a value whose model gives it
// no interval, is a caller's error and ends the process. Reading with a layer or context outside the coder (a
// state a damaged stream drove out of range) marks the stream failed and returns 0.
class LayeredSymbolCoder final : public SymbolCoder {
public:
    // Contexts double with every layer; 16 layers already need 2^17 models.
    static constexpr int kMaxLayers = 16;

    // layerCount 0..kMaxLayers; maxTotal as for FrequencyModel (the codec uses 512).
    LayeredSymbolCoder(int layerCount, bool signedContexts, int maxTotal);

    float write(EncoderStream* stream, int v, int update, int layer, int context) override;
    int read(DecoderStream& stream, int update, int layer, int context) override;
    float cost(int v, int update, int layer, int context) override;
    void reset() override;

    int layerCount() const { return layerCount_; }
    int contextCount(int layer) const { return contextCounts_[static_cast<std::size_t>(layer)]; }

private:
    // Model for (layer, context), or none when the context lies outside the layer (damaged input on decoding).
    FrequencyModel* model(int layer, int context)
    {
        if (static_cast<unsigned>(layer) >= static_cast<unsigned>(layerCount_))
            return nullptr;
        const std::size_t l = static_cast<std::size_t>(layer);
        const int index = context + contextOffsets_[l];
        if (static_cast<unsigned>(index) >= static_cast<unsigned>(contextCounts_[l]))
            return nullptr;
        return &models_[static_cast<std::size_t>(firstModel_[l] + index)];
    }
    FrequencyModel& modelForWriting(int layer, int context);

    int maxTotal_;
    bool signedContexts_;
    int layerCount_;
    std::vector<int> contextCounts_;
    std::vector<int> contextOffsets_;    // per layer: contextCount / 2 when signed, else 0
    std::vector<int> firstModel_;        // per layer: index of its context-index-0 model in models_
    std::vector<FrequencyModel> models_; // all layers, one block
    const float* costTable_;
};

} // namespace nubo
