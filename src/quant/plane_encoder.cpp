#include "quant/plane_encoder.h"

#include "common/limits.h"
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
#include <cstdint>
#include <memory>
#include <vector>

namespace nubo {

namespace {

// Fraction bits beyond this would push the range codes of ordinary coefficients past what a header carries.
constexpr int kMaxFractionBits = 24;

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
    if (p.fractionBits < 0 || p.fractionBits > kMaxFractionBits)
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

std::string encodeWithFixedParameters(const FloatImage& plane, int ratio, int stages, const RegionSet* mask,
                                      DiagnosticSink& diagnostics)
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> weights(static_cast<std::size_t>(std::max(3 * stages + 1, 0)), 1.0f);
    PlaneCodingParameters parameters;
    parameters.stages = stages;
    parameters.weights = weights;
    return encodePlaneInDetail(plane, wavelet, parameters, budgetForRatio(plane, ratio), mask, false, diagnostics)
        .stream;
}

} // namespace

EncodedPlane encodePlaneInDetail(const FloatImage& plane, const Wavelet& wavelet,
                                 const PlaneCodingParameters& parameters, int budgetBytes, const RegionSet* mask,
                                 bool reconstruct, DiagnosticSink& diagnostics)
{
    EncodedPlane result;
    // One plane's text stays together even when planes are coded concurrently.
    StringSink report;

    const std::size_t expectedSubbands = static_cast<std::size_t>(3 * std::max(parameters.stages, 0) + 1);
    if (const std::string reason = refusal(plane, parameters, expectedSubbands); !reason.empty()) {
        printError(diagnostics, "%s", reason.c_str());
        return result;
    }

    WaveletTransform transform(wavelet, plane, parameters.stages, -1, report);
    if (!transform.valid()) {
        printError(report, "Cannot transform a plane of size %d by %d", plane.width, plane.height);
        diagnostics.write(report.text());
        return result;
    }
    const int n = transform.subbandCount();

    if (mask != nullptr) {
        for (int b = 0; b < n; ++b)
            clearSubbandUnderMask(transform.subbandData(b), transform.subbandWidth(b), transform.subbandHeight(b),
                                  plane.width, plane.height, *mask);
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
        sets.back().computeRateDistortion(parameters.precisionCount, parameters.minimumStep);
    }

    const int target = budgetBytes - kHeaderReserveBytes * n;
    BitAllocator allocator;
    allocator.allocateToBudget(sets, target, true, parameters.weights.first(static_cast<std::size_t>(n)), report);
    report.write(formatText("Target rate = %d bytes\n", target));
    allocator.printAllocation(sets, report);

    std::unique_ptr<WaveletTransform> rebuilt;
    if (reconstruct)
        rebuilt = std::make_unique<WaveletTransform>(wavelet, plane.width, plane.height, parameters.stages, -1);

    {
        EncoderStream stream(result.stream);
        writeGamma(stream.bits, static_cast<std::uint32_t>(plane.width));
        writeGamma(stream.bits, static_cast<std::uint32_t>(plane.height));
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
    result.ok = true;
    result.targetBytes = target;
    result.precisions = allocator.precisions();
    diagnostics.write(report.text());
    return result;
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
    return encodeWithFixedParameters(plane, ratio, stages, nullptr, diagnostics);
}

std::string encodeMaskedPlane(const FloatImage& plane, int ratio, const RegionSet& mask, int stages,
                              DiagnosticSink& diagnostics)
{
    return encodeWithFixedParameters(plane, ratio, stages, &mask, diagnostics);
}

} // namespace nubo
