#include "wavelet/layered_symbol_coder.h"

#include "common/check.h"
#include "common/diagnostics.h"

namespace nubo {

namespace {

constexpr int kSymbols = 3; // -1, 0, +1 as symbols 0, 1, 2
static_assert(kSymbols == FrequencyModel::kInlineSymbols, "read() uses the models' inline walks");

} // namespace

void LayeredSymbolCoder::misuse(const char* what, int v, int layer, int context)
{
    checkFailed(__FILE__, __LINE__, "LayeredSymbolCoder",
                formatText("%s (value %d, layer %d, context %d)", what, v, layer, context));
}

LayeredSymbolCoder::LayeredSymbolCoder(int layerCount, bool signedContexts, int maxTotal)
    : maxTotal_(maxTotal), signedContexts_(signedContexts), layerCount_(layerCount),
      totalsInTable_(maxTotal <= kCostTableTotals)
{
    NUBO_CHECK(layerCount >= 0 && layerCount <= kMaxLayers,
               formatText("%d layers is outside 0..%d", layerCount, kMaxLayers));
    int contexts = signedContexts ? 3 : 2;
    int models = 0;
    for (int layer = 0; layer < layerCount; ++layer) {
        if (layer > 0)
            contexts = signedContexts ? 2 * contexts + 1 : 2 * contexts;
        layers_.push_back({contexts, signedContexts ? contexts / 2 : 0, models});
        models += contexts;
    }
    models_.assign(static_cast<std::size_t>(models), FrequencyModel(kSymbols, maxTotal));
    reset();
}

LayeredSymbolCoder::LayerPricing LayeredSymbolCoder::startPricing(int layer, std::vector<PricingModel>& copies)
{
    const LayerModels models = layerModels(layer);
    copies.resize(models.contexts);
    for (unsigned index = 0; index < models.contexts; ++index) {
        const FrequencyModel& m = models.models[index];
        copies[index] = {{m.countInline(0), m.countInline(1), m.countInline(2)}, m.total()};
    }
    if (costTable_ == nullptr)
        costTable_ = symbolCostTable();
    LayerPricing pricing;
    pricing.models_ = copies.data();
    pricing.offset_ = models.offset;
    pricing.contexts_ = models.contexts;
    pricing.layer_ = layer;
    pricing.maxTotal_ = maxTotal_;
    pricing.totalsInTable_ = totalsInTable_;
    pricing.costs_ = costTable_;
    return pricing;
}

void LayeredSymbolCoder::reset()
{
    // Every model starts as one of two prepared models; copying them is far cheaper than sorting each anew.
    static constexpr std::int32_t kCentreCounts[kSymbols] = {1, 1, 1};
    static constexpr std::int32_t kSignCounts[kSymbols] = {0, 1, 1};
    FrequencyModel centre(kSymbols, maxTotal_);
    centre.initialise(kCentreCounts);
    FrequencyModel other(kSymbols, maxTotal_);
    other.initialise(kSignCounts);

    for (const Layer& layer : layers_) {
        for (int index = 0; index < layer.contextCount; ++index) {
            const bool isCentre = signedContexts_ && index == layer.contextOffset;
            models_[static_cast<std::size_t>(layer.firstModel + index)] = isCentre ? centre : other;
        }
    }
}

} // namespace nubo
