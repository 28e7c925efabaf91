#pragma once

#include <span>

namespace nubo {

// The plane coder's parameters, their limits and the fixed values encodePlane and decodePlane use: the encoder and
// the decoder read them from here, so that the two sides cannot drift apart.

// The fixed parameters (with the CDF 9/7 filters and unit subband weights).
inline constexpr int kPlaneModelTotalLimit = 512;
inline constexpr float kPlaneErrorExponent = 2.0f; // squared error
inline constexpr int kPlaneFractionBits = 4;
inline constexpr int kPlanePrecisionCount = 10;
inline constexpr float kPlaneMinimumStep = 0.05f;

// Fraction bits beyond this would push the range codes of ordinary coefficients past what a header carries. The
// precision count runs from 1 to LayeredSymbolCoder::kMaxLayers, the stages from kMinStages to kMaxStages.
inline constexpr int kMaxPlaneFractionBits = 24;

// Every parameter of the plane coder but the plane, the filters and the budget.
struct PlaneCodingParameters {
    int stages = 5;
    int modelTotalLimit = kPlaneModelTotalLimit;
    float errorExponent = kPlaneErrorExponent;
    std::span<const float> weights; // one per subband
    int fractionBits = kPlaneFractionBits;
    int precisionCount = kPlanePrecisionCount;
    float minimumStep = kPlaneMinimumStep;
};

} // namespace nubo
