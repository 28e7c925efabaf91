#pragma once

#include "common/diagnostics.h"
#include "wavelet/float_image.h"

#include <span>
#include <string>
#include <vector>

namespace nubo {

class RegionSet;
class Wavelet;

// Every parameter of the plane coder but the plane, the filters and the budget.
struct PlaneCodingParameters {
    int stages = 5;
    int modelTotalLimit = 512;
    float errorExponent = 2.0f;
    std::span<const float> weights; // one per subband
    int fractionBits = 4;
    int precisionCount = 10;
    float minimumStep = 0.05f;
};

// What one encoding produced, beyond the code stream.
struct EncodedPlane {
    std::string stream;
    bool ok = false;          // false when the plane or the parameters were refused (stream empty)
    int targetBytes = 0;      // budget - header reserve, as handed to the allocation
    std::vector<int> precisions;
    FloatImage reconstruction; // when asked: the plane a decoder of `stream` rebuilds, from the encoder's symbols
};

// Bytes reserved per subband for its header; the layer bits are aimed at the budget less this.
inline constexpr int kHeaderReserveBytes = 4;

// The plane encoder behind encodePlaneToBudget and encodeMaskedPlaneToBudget (mask may be null). The transform
// diagnostics, a refusal, the allocation messages, "Target rate = %d bytes" and the allocation table go to
// `diagnostics` as one write at the end.
EncodedPlane encodePlaneInDetail(const FloatImage& plane, const Wavelet& wavelet,
                                 const PlaneCodingParameters& parameters, int budgetBytes, const RegionSet* mask,
                                 bool reconstruct, DiagnosticSink& diagnostics);

} // namespace nubo
