#include "quant/plane_encoder.h"

#include "common/limits.h"
#include "common/worker_team.h"
#include "quant/bit_allocator.h"
#include "quant/coefficient_set.h"
#include "quant/layered_quantizer.h"
#include "quant/plane_codec.h"
#include "quant/plane_mask.h"
#include "regions/region_set.h"
#include "wavelet/coder_streams.h"
#include "wavelet/filters.h"
#include "wavelet/integer_codes.h"
#include "wavelet/layered_symbol_coder.h"
#include "wavelet/wavelet.h"
#include "wavelet/wavelet_transform.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace nubo {

namespace {

// The coder objects of one subband on the encoding side.
struct SubbandEncoder {
    std::unique_ptr<PowerErrorMetric> metric;
    std::unique_ptr<LayeredSymbolCoder> symbolCoder;
    std::unique_ptr<LayeredQuantizer> quantizer;
};

std::string refusal(const FloatImage& plane, const PlaneCodingParameters& p, std::size_t subbands)
{
    if (!imageSizeAllowed(plane.width, plane.height)
        || plane.data.size() != static_cast<std::size_t>(plane.width) * static_cast<std::size_t>(plane.height))
        return formatText("Cannot code a plane of size %d by %d", plane.width, plane.height);
    if (p.stages < kMinStages || p.stages > kMaxStages)
        return formatText("Cannot code a plane in %d wavelet stages", p.stages);
    if (p.precisionCount < 1 || p.precisionCount > LayeredSymbolCoder::kMaxLayers)
        return formatText("Cannot code a plane at %d precisions", p.precisionCount);
    if (p.fractionBits < 0 || p.fractionBits > kMaxPlaneFractionBits)
        return formatText("Cannot code a plane with %d fraction bits", p.fractionBits);
    if (p.weights.size() < subbands)
        return formatText("Cannot code a plane with %zu weights for %zu subbands", p.weights.size(), subbands);
    return {};
}

// The budget of the fixed-parameter entry points: one byte per sample divided by the ratio.
int budgetForRatio(const FloatImage& plane, int ratio)
{
    const std::int64_t samples = std::int64_t{plane.width} * plane.height;
    return static_cast<int>(samples / std::max(ratio, 1));
}

// The smallest target, in bytes, at which the allocation codes a layer when it now codes none: the bits of the
// cheapest precision that lowers some subband's distortion, rounded up to bytes (from an all-zero choice the
// remainder is spent on any such precision that fits). 0 when no precision lowers any distortion.
std::int64_t cheapestUsefulTarget(std::span<const CoefficientSet> sets)
{
    float cheapest = std::numeric_limits<float>::infinity();
    for (const CoefficientSet& set : sets) {
        for (int j = 1; j < set.precisionCount(); ++j) {
            const float rate = set.rate(j);
            if (std::isfinite(rate) && rate > 0.0f && set.distortion(j) < set.distortion(0))
                cheapest = std::min(cheapest, rate);
        }
    }
    if (!std::isfinite(cheapest))
        return 0;
    return static_cast<std::int64_t>(std::ceil(static_cast<double>(cheapest) / 8.0));
}

// Tabulates every subband's rates and distortions. Each subband has its own quantiser, symbol coder and metric, so
// the subbands are priced side by side by the idle threads of the caller's team, the largest first.
void priceSubbands(std::vector<CoefficientSet>& sets, const PlaneCodingParameters& parameters)
{
    std::vector<CoefficientSet*> order;
    for (CoefficientSet& set : sets)
        order.push_back(&set);
    std::stable_sort(order.begin(), order.end(),
                     [](const CoefficientSet* a, const CoefficientSet* b) { return a->count() > b->count(); });
    std::vector<std::function<void()>> tasks;
    tasks.reserve(order.size());
    for (CoefficientSet* set : order) {
        tasks.emplace_back([set, &parameters] {
            set->computeRateDistortion(parameters.precisionCount, parameters.minimumStep);
        });
    }
    runTeamTasks(tasks);
}

} // namespace

// One plane's encoding from its transform to the allocation, held for the coding pass. Heap-held and never moved:
// the transform points at the wavelet, the coefficient sets at the quantisers and the transform's bands.
struct PreparedPlane::Encoding {
    EncodedPlane result;
    // One plane's text stays together even when planes are coded concurrently.
    StringSink report;
    std::optional<Wavelet> ownWavelet; // the wavelet of the fixed-parameter entry points
    std::optional<WaveletTransform> transform;
    std::vector<SubbandEncoder> subbands;
    std::vector<CoefficientSet> sets;
    BitAllocator allocator;
    int width = 0;
    int height = 0;
    int n = 0;
    int budgetBytes = 0;
    int target = 0;
    const Wavelet* wavelet = nullptr;
    bool reconstruct = false;
    bool refused = false; // result.status says why; nothing is left to code
};

PreparedPlane::PreparedPlane() = default;
PreparedPlane::PreparedPlane(PreparedPlane&&) noexcept = default;
PreparedPlane& PreparedPlane::operator=(PreparedPlane&&) noexcept = default;
PreparedPlane::~PreparedPlane() = default;

namespace {

// Transforms, prices and allocates `plane` into `e`: `owned`, when given, is `plane` itself, which the transform may
// then take over. A refusal's message goes to `refusals`, the transform's text and the allocation to e.report.
void prepareEncoding(PreparedPlane::Encoding& e, const FloatImage& plane, FloatImage* owned, const Wavelet& wavelet,
                     const PlaneCodingParameters& parameters, int budgetBytes, const RegionSet* mask,
                     bool reconstruct, DiagnosticSink& refusals)
{
    const std::size_t expectedSubbands = static_cast<std::size_t>(3 * std::max(parameters.stages, 0) + 1);
    if (const std::string reason = refusal(plane, parameters, expectedSubbands); !reason.empty()) {
        printError(refusals, "%s", reason.c_str());
        e.result.status = failure(reason);
        e.refused = true;
        return;
    }

    const int width = plane.width;
    const int height = plane.height;
    e.width = width;
    e.height = height;
    e.wavelet = &wavelet;
    e.reconstruct = reconstruct;
    e.budgetBytes = budgetBytes;
    if (owned != nullptr)
        e.transform.emplace(wavelet, std::move(*owned), parameters.stages, -1, e.report);
    else
        e.transform.emplace(wavelet, plane, parameters.stages, -1, e.report);
    WaveletTransform& transform = *e.transform;
    if (!transform.valid()) {
        printError(e.report, "Cannot transform a plane of size %d by %d", width, height);
        e.result.status = failure(formatText("Cannot transform a plane of size %d by %d", plane.width, plane.height));
        e.refused = true;
        return;
    }
    const int n = transform.subbandCount();
    e.n = n;

    if (mask != nullptr) {
        for (int b = 0; b < n; ++b)
            clearSubbandUnderMask(transform.subbandData(b), transform.subbandWidth(b), transform.subbandHeight(b),
                                  width, height, *mask);
    }

    e.subbands.resize(static_cast<std::size_t>(n));
    e.sets.reserve(static_cast<std::size_t>(n));
    for (int b = 0; b < n; ++b) {
        SubbandEncoder& s = e.subbands[static_cast<std::size_t>(b)];
        const bool highPass = b != 0;
        s.metric = std::make_unique<PowerErrorMetric>(parameters.errorExponent);
        // Precisions 0 ... n - 1 code layers 0 ... n - 2 at most, so the coder leaves out the last layer, whose
        // models would be half of all; a layer's contexts do not depend on how many layers follow.
        s.symbolCoder = std::make_unique<LayeredSymbolCoder>(parameters.precisionCount - 1, highPass,
                                                             parameters.modelTotalLimit);
        s.quantizer = std::make_unique<LayeredQuantizer>(*s.symbolCoder, parameters.fractionBits, highPass,
                                                         parameters.precisionCount, s.metric.get());
        e.sets.emplace_back(transform.subbandData(b), transform.subbandSize(b), *s.quantizer);
    }
    priceSubbands(e.sets, parameters);

    e.target = budgetBytes - kHeaderReserveBytes * n;
    e.allocator.allocateToBudget(e.sets, e.target, true, parameters.weights.first(static_cast<std::size_t>(n)),
                                 e.report);
    e.report.write(formatText("Target rate = %d bytes\n", e.target));
    e.allocator.printAllocation(e.sets, e.report);
}

// The coding pass of a prepared plane: the one serial part, every subband into one arithmetic-coded stream.
EncodedPlane codeEncoding(PreparedPlane::Encoding& e, DiagnosticSink& diagnostics)
{
    EncodedPlane& result = e.result;
    if (e.refused) {
        const std::string text = e.report.text();
        if (!text.empty())
            diagnostics.write(text);
        return std::move(result);
    }
    const int n = e.n;
    const BitAllocator& allocator = e.allocator;
    std::unique_ptr<WaveletTransform> rebuilt;
    if (e.reconstruct)
        rebuilt = std::make_unique<WaveletTransform>(*e.wavelet, e.width, e.height, e.transform->steps(), -1);

    {
        EncoderStream stream(result.stream);
        writeGamma(stream.bits, static_cast<std::uint32_t>(e.width));
        writeGamma(stream.bits, static_cast<std::uint32_t>(e.height));
        // Every header comes before the first arithmetic-coded bit.
        for (int b = 0; b < n; ++b)
            e.subbands[static_cast<std::size_t>(b)].quantizer->writeHeader(stream, allocator.precision(b));
        for (int b = 0; b < n; ++b) {
            LayeredQuantizer& quantizer = *e.subbands[static_cast<std::size_t>(b)].quantizer;
            if (rebuilt)
                quantizer.encodeWithReconstruction(stream, allocator.precision(b), rebuilt->subbandData(b));
            else
                quantizer.encode(stream, allocator.precision(b));
        }
        stream.arith.finish();
    }

    if (rebuilt)
        rebuilt->invert(result.reconstruction);
    result.budgetBytes = e.budgetBytes;
    result.targetBytes = e.target;
    result.precisions = allocator.precisions();
    if (std::all_of(result.precisions.begin(), result.precisions.end(), [](int p) { return p == 0; })) {
        const std::int64_t useful = cheapestUsefulTarget(e.sets);
        if (useful > 0) {
            result.starved = true;
            result.workableBudgetBytes = static_cast<int>(
                std::min<std::int64_t>(useful + std::int64_t{kHeaderReserveBytes} * n, std::numeric_limits<int>::max()));
        }
    }
    diagnostics.write(e.report.text());
    return std::move(result);
}

// The encoder of both encodePlaneInDetail forms: `owned`, when given, is `plane` itself, which the transform may
// then take over.
EncodedPlane encodeInDetail(const FloatImage& plane, FloatImage* owned, const Wavelet& wavelet,
                            const PlaneCodingParameters& parameters, int budgetBytes, const RegionSet* mask,
                            bool reconstruct, DiagnosticSink& diagnostics)
{
    PreparedPlane::Encoding e;
    prepareEncoding(e, plane, owned, wavelet, parameters, budgetBytes, mask, reconstruct, diagnostics);
    return codeEncoding(e, diagnostics);
}

// The weights of the fixed-parameter entry points: every subband alike.
std::vector<float> ratioWeights(int stages)
{
    return std::vector<float>(static_cast<std::size_t>(std::max(3 * stages + 1, 0)), 1.0f);
}

PlaneCodingParameters ratioParameters(int stages, std::span<const float> weights)
{
    PlaneCodingParameters parameters;
    parameters.stages = stages;
    parameters.weights = weights;
    return parameters;
}

EncodedPlane encodeForRatio(const FloatImage& plane, FloatImage* owned, int ratio, int stages, const RegionSet* mask,
                            DiagnosticSink& diagnostics)
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> weights = ratioWeights(stages);
    return encodeInDetail(plane, owned, wavelet, ratioParameters(stages, weights), budgetForRatio(plane, ratio), mask,
                          false, diagnostics);
}

} // namespace

EncodedPlane encodePlaneInDetail(const FloatImage& plane, const Wavelet& wavelet,
                                 const PlaneCodingParameters& parameters, int budgetBytes, const RegionSet* mask,
                                 bool reconstruct, DiagnosticSink& diagnostics)
{
    return encodeInDetail(plane, nullptr, wavelet, parameters, budgetBytes, mask, reconstruct, diagnostics);
}

EncodedPlane encodePlaneInDetail(FloatImage&& plane, const Wavelet& wavelet, const PlaneCodingParameters& parameters,
                                 int budgetBytes, const RegionSet* mask, bool reconstruct, DiagnosticSink& diagnostics)
{
    return encodeInDetail(plane, &plane, wavelet, parameters, budgetBytes, mask, reconstruct, diagnostics);
}

EncodedPlane encodePlaneForRatio(const FloatImage& plane, int ratio, int stages, const RegionSet* mask,
                                 DiagnosticSink& diagnostics)
{
    return encodeForRatio(plane, nullptr, ratio, stages, mask, diagnostics);
}

EncodedPlane encodePlaneForRatio(FloatImage&& plane, int ratio, int stages, const RegionSet* mask,
                                 DiagnosticSink& diagnostics)
{
    return encodeForRatio(plane, &plane, ratio, stages, mask, diagnostics);
}

PreparedPlane preparePlaneForRatio(FloatImage&& plane, int ratio, int stages, const RegionSet* mask)
{
    PreparedPlane prepared;
    prepared.encoding_ = std::make_unique<PreparedPlane::Encoding>();
    PreparedPlane::Encoding& e = *prepared.encoding_;
    const Wavelet& wavelet = e.ownWavelet.emplace(cdf97());
    const std::vector<float> weights = ratioWeights(stages);
    const int budget = budgetForRatio(plane, ratio);
    prepareEncoding(e, plane, &plane, wavelet, ratioParameters(stages, weights), budget, mask, false, e.report);
    return prepared;
}

EncodedPlane codePreparedPlane(PreparedPlane&& prepared, DiagnosticSink& diagnostics)
{
    const std::unique_ptr<PreparedPlane::Encoding> e = std::move(prepared.encoding_);
    if (!e) {
        EncodedPlane missing;
        missing.status = failure("the plane was not prepared");
        return missing;
    }
    return codeEncoding(*e, diagnostics);
}

std::string encodePlaneToBudget(const FloatImage& plane, const Wavelet& wavelet, int stages, int modelTotalLimit,
                                float errorExponent, std::span<const float> weights, int fractionBits,
                                int budgetBytes, int precisionCount, float minimumStep, DiagnosticSink& diagnostics)
{
    const PlaneCodingParameters parameters{stages,       modelTotalLimit, errorExponent, weights,
                                           fractionBits, precisionCount,  minimumStep};
    return encodePlaneInDetail(plane, wavelet, parameters, budgetBytes, nullptr, false, diagnostics).stream;
}

std::string encodeMaskedPlaneToBudget(const FloatImage& plane, const Wavelet& wavelet, int stages,
                                      int modelTotalLimit, float errorExponent, std::span<const float> weights,
                                      int fractionBits, int budgetBytes, int precisionCount, float minimumStep,
                                      const RegionSet& mask, DiagnosticSink& diagnostics)
{
    const PlaneCodingParameters parameters{stages,       modelTotalLimit, errorExponent, weights,
                                           fractionBits, precisionCount,  minimumStep};
    return encodePlaneInDetail(plane, wavelet, parameters, budgetBytes, &mask, false, diagnostics).stream;
}

std::string encodePlane(const FloatImage& plane, int ratio, int stages, DiagnosticSink& diagnostics)
{
    return encodePlaneForRatio(plane, ratio, stages, nullptr, diagnostics).stream;
}

std::string encodeMaskedPlane(const FloatImage& plane, int ratio, const RegionSet& mask, int stages,
                              DiagnosticSink& diagnostics)
{
    return encodePlaneForRatio(plane, ratio, stages, &mask, diagnostics).stream;
}

} // namespace nubo
