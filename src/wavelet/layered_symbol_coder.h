#pragma once

#include "wavelet/coder_streams.h"
#include "wavelet/frequency_model.h"
#include "wavelet/pricing_model.h"
#include "wavelet/symbol_coder.h"
#include "wavelet/symbol_cost.h"

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

    // layerCount 0..kMaxLayers; maxTotal as for FrequencyModel (the codec uses 512). Coding with a stream needs
    // totals of at most kMaxCodedTotal, so maxTotal <= kMaxCodedTotal + 1 there.
    LayeredSymbolCoder(int layerCount, bool signedContexts, int maxTotal);

    float write(EncoderStream* stream, int v, int update, int layer, int context) override;
    int read(DecoderStream& stream, int update, int layer, int context) override;
    float cost(int v, int update, int layer, int context) override;
    void reset() override;

    int layerCount() const { return layerCount_; }
    int contextCount(int layer) const { return layers_[static_cast<std::size_t>(layer)].contextCount; }

    // The models of one layer, looked up once by a walk that prices many of its symbols.
    class LayerModels {
    public:
        LayerModels() = default;

    private:
        friend class LayeredSymbolCoder;
        FrequencyModel* models = nullptr; // the layer's model index 0
        int offset = 0;
        unsigned contexts = 0;
        int layer = 0;
    };
    // A layer outside the coder is a caller's error and ends the process.
    LayerModels layerModels(int layer);

    // Pricing copies of one layer's models (PricingModel: counts and total only), for a walk that prices every
    // symbol of the layer; pricing through them leaves the coder's own models as they are. The copies are the
    // caller's; this is what pricing one symbol reads, small enough for a loop to keep in registers.
    class LayerPricing {
    public:
        LayerPricing() = default;
        // Whether every total the copies reach has its costs in the cost table.
        bool totalsInTable() const { return totalsInTable_; }
        // The cost table and the models' total limit, the same for every layer of one coder.
        const float* costTable() const { return costs_; }
        std::int32_t maxTotal() const { return maxTotal_; }

    private:
        friend class LayeredSymbolCoder;
        PricingModel* models_ = nullptr; // the copy of the layer's model index 0
        int offset_ = 0;
        unsigned contexts_ = 0;
        int layer_ = 0;
        std::int32_t maxTotal_ = 0;
        bool totalsInTable_ = false;
        const float* costs_ = nullptr; // the cost table (built on first use; decoding never needs it)
    };
    // Fills `copies` with the layer's models as they are now and returns their pricing, valid while `copies` is
    // neither resized nor freed. A layer outside the coder is a caller's error and ends the process.
    LayerPricing startPricing(int layer, std::vector<PricingModel>& copies);
    // What write(nullptr, v, 1, layer, context) would return after the symbols priced so far through `pricing`
    // had been written; the copies are updated as the models would be.
    static float priceAndUpdate(const LayerPricing& pricing, int v, int context)
    {
        return pricing.totalsInTable() ? priceAndUpdateKnowing<true>(pricing, v, context)
                                       : priceAndUpdateKnowing<false>(pricing, v, context);
    }
    // priceAndUpdate for a caller that tested totalsInTable() once for many symbols: TotalsInTable equals it.
    template <bool TotalsInTable>
    static float priceAndUpdateKnowing(const LayerPricing& pricing, int v, int context)
    {
        return priceAndUpdateIn<TotalsInTable>(pricing, pricingCopy(pricing, v, context), v);
    }
    // The copy of the model of a context, looked up and checked once by a walk that prices many symbols in it;
    // a context outside the layer or a value outside -1..+1 is a caller's error.
    static PricingModel& pricingCopy(const LayerPricing& pricing, int v, int context);
    // priceAndUpdateKnowing on a copy that pricingCopy gave.
    template <bool TotalsInTable>
    static float priceAndUpdateIn(const LayerPricing& pricing, PricingModel& m, int v)
    {
        return priceAndUpdateIn<TotalsInTable>(pricing.costs_, pricing.maxTotal_, m, v);
    }
    // The same with the pricing's costTable() and maxTotal(), which a walk over many layers of one coder holds
    // once for all.
    template <bool TotalsInTable>
    static float priceAndUpdateIn(const float* costs, std::int32_t maxTotal, PricingModel& m, int v);
    // write(&stream, v, 1, layer, context) on the layer's models, without pricing: the same code and update,
    // through the stream's encoder or a local copy of it (see ArithEncoder::resumeFrom). Always inlined, as the
    // coder's steps under it: see ArithEncoder::encodeFromModel.
    [[gnu::always_inline]] static void codeWith(const LayerModels& layer, ArithEncoder& arith, int v, int context);
    // read(stream, 1, layer, context) on the layer's models, through a local copy of the stream's decoder (see
    // ArithDecoder::resumeFrom), `bits` the stream's input: false, with the input marked failed, where read
    // fails; else the value in `v`.
    [[gnu::always_inline]] static bool readWith(const LayerModels& layer, ArithDecoder& arith, BitInput& bits,
                                                int context, int& v);
    // Whether layerModels(layer) may be asked (a damaged stream can ask for a layer the coder lacks).
    bool hasLayer(int layer) const { return static_cast<unsigned>(layer) < static_cast<unsigned>(layerCount_); }

private:
    struct Layer {
        int contextCount;
        int contextOffset; // added to a context to give its model index: contextCount / 2 when signed, else 0
        int firstModel;    // index in models_ of the layer's model index 0
    };

    // Model for (layer, context), or none when the context lies outside the layer (damaged input on decoding).
    // Constant time: the quantiser selects a model for every symbol it prices.
    FrequencyModel* model(int layer, int context)
    {
        if (static_cast<unsigned>(layer) >= static_cast<unsigned>(layerCount_))
            return nullptr;
        const Layer& l = layers_[static_cast<std::size_t>(layer)];
        const int index = context + l.contextOffset;
        if (static_cast<unsigned>(index) >= static_cast<unsigned>(l.contextCount))
            return nullptr;
        return &models_[static_cast<std::size_t>(l.firstModel + index)];
    }
    // The model of context among a layer's models (contexts of them, context + offset the index) for coding or
    // pricing v, whether the coder's own models or pricing copies; a context outside the layer or a value outside
    // -1..+1 is a caller's error.
    template <class Model>
    static Model& modelFor(Model* models, unsigned contexts, int offset, int layer, int v, int context);
    [[noreturn]] static void misuse(const char* what, int v, int layer, int context);

    int maxTotal_;
    bool signedContexts_;
    int layerCount_;
    std::vector<Layer> layers_;
    std::vector<FrequencyModel> models_; // all layers in one block, layer by layer
    const float* costTable_ = nullptr;
    // maxTotal <= kCostTableTotals: every model total stays below the table's end (a model halves when its total
    // reaches maxTotal, and a total of at most 4 when maxTotal is tiny), so pricing reads the table unchecked.
    bool totalsInTable_;
};

// Kept in the header so that a quantiser holding this (final) class prices its symbols without a call.
inline float LayeredSymbolCoder::write(EncoderStream* stream, int v, int update, int layer, int context)
{
    FrequencyModel* const m = model(layer, context);
    if (m == nullptr)
        misuse("context outside the coder", v, layer, context);
    if (v < -1 || v > 1)
        misuse("value outside -1..+1", v, layer, context);
    // Every model here has three symbols, the inline size.
    const int symbol = v + 1;
    const std::int32_t count = m->countInline(symbol);
    const std::int32_t total = m->total();
    // The table is fetched at the first priced symbol: building it takes a log per entry, which a decoder, never
    // pricing, should not pay for.
    if (costTable_ == nullptr)
        costTable_ = symbolCostTable();
    const float bits = symbolCost(costTable_, count, total);
    if (stream != nullptr) {
        if (count == 0)
            misuse("value has no interval in its model", v, layer, context);
        stream->arith.encode(count, m->cumulativeInline(symbol), total);
    }
    if (update)
        m->updateInline(symbol);
    return bits;
}

inline LayeredSymbolCoder::LayerModels LayeredSymbolCoder::layerModels(int layer)
{
    if (static_cast<unsigned>(layer) >= static_cast<unsigned>(layerCount_))
        misuse("layer outside the coder", 0, layer, 0);
    const Layer& l = layers_[static_cast<std::size_t>(layer)];
    LayerModels models;
    models.models = &models_[static_cast<std::size_t>(l.firstModel)];
    models.offset = l.contextOffset;
    models.contexts = static_cast<unsigned>(l.contextCount);
    models.layer = layer;
    return models;
}

inline PricingModel& LayeredSymbolCoder::pricingCopy(const LayerPricing& pricing, int v, int context)
{
    return modelFor(pricing.models_, pricing.contexts_, pricing.offset_, pricing.layer_, v, context);
}

template <bool TotalsInTable>
inline float LayeredSymbolCoder::priceAndUpdateIn(const float* costs, std::int32_t maxTotal, PricingModel& m, int v)
{
    const int symbol = v + 1;
    const std::int32_t count = m.counts[symbol];
    const std::int32_t total = m.total;
    float bits;
    if constexpr (TotalsInTable) {
        // Totals held below the table's end: every (count, total) is in the table.
        const auto t = static_cast<std::uint32_t>(total);
        bits = costs[t * (t + 1) / 2 + static_cast<std::uint32_t>(count)];
    } else {
        bits = symbolCost(costs, count, total);
    }
    m.update(symbol, maxTotal);
    return bits;
}

inline float LayeredSymbolCoder::cost(int v, int update, int layer, int context)
{
    return write(nullptr, v, update, layer, context);
}

template <class Model>
inline Model& LayeredSymbolCoder::modelFor(Model* models, unsigned contexts, int offset, int layer, int v, int context)
{
    const unsigned index = static_cast<unsigned>(context + offset);
    if (index >= contexts)
        misuse("context outside the coder", v, layer, context);
    if (v < -1 || v > 1)
        misuse("value outside -1..+1", v, layer, context);
    return models[index];
}

inline void LayeredSymbolCoder::codeWith(const LayerModels& layer, ArithEncoder& arith, int v, int context)
{
    FrequencyModel& m = modelFor(layer.models, layer.contexts, layer.offset, layer.layer, v, context);
    std::int32_t count = 0;
    std::int32_t cumulative = 0;
    std::int32_t total = 0;
    // The model is read and updated before the coder's state is written, so no load waits on those stores.
    m.intervalThenUpdateInline(v + 1, count, cumulative, total);
    if (count == 0)
        misuse("value has no interval in its model", v, layer.layer, context);
    arith.encodeFromModel(count, cumulative, total);
}

inline bool LayeredSymbolCoder::readWith(const LayerModels& layer, ArithDecoder& arith, BitInput& bits, int context,
                                         int& v)
{
    const unsigned index = static_cast<unsigned>(context + layer.offset);
    if (index >= layer.contexts) {
        bits.fail("corrupt stream: symbol context outside its layer");
        return false;
    }
    const int symbol = arith.decodeAndUpdateInline(layer.models[index]);
    v = symbol - 1;
    return symbol >= 0;
}

// Kept in the header for the same reason: the decoding quantiser reads every symbol through it.
inline int LayeredSymbolCoder::read(DecoderStream& stream, int update, int layer, int context)
{
    FrequencyModel* const m = model(layer, context);
    if (m == nullptr) {
        stream.bits.fail("corrupt stream: symbol context outside its layer");
        return 0;
    }
    // Every model here has three symbols, the inline size.
    const int symbol = stream.arithDecoder().decodeInline(*m);
    if (stream.bits.failed())
        return 0;
    if (update)
        m->updateInline(symbol);
    return symbol - 1;
}

} // namespace nubo
