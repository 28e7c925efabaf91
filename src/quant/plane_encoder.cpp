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

namespace {

// The encoder of both encodePlaneInDetail forms: `owned`, when given, is `plane` itself, which the transform may
// then take over.
EncodedPlane encodeInDetail(const FloatImage& plane, FloatImage* owned, const Wavelet& wavelet,
                            const PlaneCodingParameters& parameters, int budgetBytes, const RegionSet* mask,
                            bool reconstruct, DiagnosticSink& diagnostics)
{
    EncodedPlane result;
    // One plane's text stays together even when planes are coded concurrently.
    StringSink report;

    const std::size_t expectedSubbands = static_cast<std::size_t>(3 * std::max(parameters.stages, 0) + 1);
    if (const std::string reason = refusal(plane, parameters, expectedSubbands); !reason.empty()) {
        printError(diagnostics, "%s", reason.c_str());
        result.status = failure(reason);
        return result;
    }

    const int width = plane.width;
    const int height = plane.height;
    WaveletTransform transform = owned != nullptr
        ? WaveletTransform(wavelet, std::move(*owned), parameters.stages, -1, report)
        : WaveletTransform(wavelet, plane, parameters.stages, -1, report);
    if (!transform.valid()) {
        printError(report, "Cannot transform a plane of size %d by %d", width, height);
        diagnostics.write(report.text());
        result.status = failure(formatText("Cannot transform a plane of size %d by %d", plane.width, plane.height));
        return result;
    }
    const int n = transform.subbandCount();

    if (mask != nullptr) {
        for (int b = 0; b < n; ++b)
            clearSubbandUnderMask(transform.subbandData(b), transform.subbandWidth(b), transform.subbandHeight(b),
                                  width, height, *mask);
    }

    std::vector<SubbandEncoder> subbands(static_cast<std::size_t>(n));
    std::vector<CoefficientSet> sets;
    sets.reserve(static_cast<std::size_t>(n));
    for (int b = 0; b < n; ++b) {
        SubbandEncoder& s = subbands[static_cast<std::size_t>(b)];
        const bool highPass = b != 0;
        s.metric = std::make_unique<PowerErrorMetric>(parameters.errorExponent);
        // Precisions 0 ... n - 1 code layers 0 ... n - 2 at most, so the coder leaves out the last layer, whose
        // models would be half of all; a layer's contexts do not depend on how many layers follow.
        s.symbolCoder = std::make_unique<LayeredSymbolCoder>(parameters.precisionCount - 1, highPass,
                                                             parameters.modelTotalLimit);
        s.quantizer = std::make_unique<LayeredQuantizer>(*s.symbolCoder, parameters.fractionBits, highPass,
                                                         parameters.precisionCount, s.metric.get());
        sets.emplace_back(transform.subbandData(b), transform.subbandSize(b), *s.quantizer);
    }
    priceSubbands(sets, parameters);

    const int target = budgetBytes - kHeaderReserveBytes * n;
    BitAllocator allocator;
    allocator.allocateToBudget(sets, target, true, parameters.weights.first(static_cast<std::size_t>(n)), report);
    report.write(formatText("Target rate = %d bytes\n", target));
    allocator.printAllocation(sets, report);

    std::unique_ptr<WaveletTransform> rebuilt;
    if (reconstruct)
        rebuilt = std::make_unique<WaveletTransform>(wavelet, width, height, parameters.stages, -1);

    {
        EncoderStream stream(result.stream);
        writeGamma(stream.bits, static_cast<std::uint32_t>(width));
        writeGamma(stream.bits, static_cast<std::uint32_t>(height));
        // Every header comes before the first arithmetic-coded bit.
        for (int b = 0; b < n; ++b)
            subbands[static_cast<std::size_t>(b)].quantizer->writeHeader(stream, allocator.precision(b));
        for (int b = 0; b < n; ++b) {
            LayeredQuantizer& quantizer = *subbands[static_cast<std::size_t>(b)].quantizer;
            if (rebuilt)
                quantizer.encodeWithReconstruction(stream, allocator.precision(b), rebuilt->subbandData(b));
            else
                quantizer.encode(stream, allocator.precision(b));
        }
        stream.arith.finish();
    }

    if (rebuilt)
        rebuilt->invert(result.reconstruction);
    result.budgetBytes = budgetBytes;
    result.targetBytes = target;
    result.precisions = allocator.precisions();
    if (std::all_of(result.precisions.begin(), result.precisions.end(), [](int p) { return p == 0; })) {
        const std::int64_t useful = cheapestUsefulTarget(sets);
        if (useful > 0) {
            result.starved = true;
            result.workableBudgetBytes = static_cast<int>(
                std::min<std::int64_t>(useful + std::int64_t{kHeaderReserveBytes} * n, std::numeric_limits<int>::max()));
        }
    }
    diagnostics.write(report.text());
    return result;
}

EncodedPlane encodeForRatio(const FloatImage& plane, FloatImage* owned, int ratio, int stages, const RegionSet* mask,
                            DiagnosticSink& diagnostics)
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> weights(static_cast<std::size_t>(std::max(3 * stages + 1, 0)), 1.0f);
    PlaneCodingParameters parameters;
    parameters.stages = stages;
    parameters.weights = weights;
    return encodeInDetail(plane, owned, wavelet, parameters, budgetForRatio(plane, ratio), mask, false, diagnostics);
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
