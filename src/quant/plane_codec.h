#pragma once

#include "common/diagnostics.h"
#include "common/status.h"
#include "wavelet/float_image.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace nubo {

class RegionSet;
class Wavelet;

// The wavelet coder of one float plane, with its fixed parameters (cdf97, model total 512, squared error, unit
// weights, 4 fraction bits, 10 precisions, minimum step 0.05, 4 header bytes per subband). The budget is
// width * height / ratio bytes (a ratio below 1 counts as 1). The allocation report and any transform
// diagnostics go to `diagnostics`, written in one piece when the call ends. The returned string is the plane's
// code stream; it is empty, with an error line on `diagnostics`, for a plane or stage count the coder refuses
// (a size outside the picture limits, stages outside 1 ... 16).
std::string encodePlane(const FloatImage& plane, int ratio, int stages,
                        DiagnosticSink& diagnostics = standardOutputSink());

// As encodePlane, with the coefficients under the regions of `mask` zeroed before coding (the background).
std::string encodeMaskedPlane(const FloatImage& plane, int ratio, const RegionSet& mask, int stages,
                              DiagnosticSink& diagnostics = standardOutputSink());

// Decodes a code stream made with the same number of stages. Reads only the `length` bytes given (bits past the
// end read as 0). Fails, saying why, for a stream that cannot be a plane (absurd size, a gamma prefix longer
// than 31 bits, a symbol the models cannot produce, a precision above the largest) or that ends before its last
// symbol; `plane` is then left unchanged.
Status decodePlane(const std::uint8_t* bytes, std::size_t length, int stages, FloatImage& plane);

// The full-parameter forms. `weights` holds one distortion weight per subband (3 * stages + 1); the layer bits
// are aimed at budgetBytes - 4 * subbands bytes. precisionCount is 1 ... 16, fractionBits 0 ... 24.
std::string encodePlaneToBudget(const FloatImage& plane, const Wavelet& wavelet, int stages, int modelTotalLimit,
                                float errorExponent, std::span<const float> weights, int fractionBits,
                                int budgetBytes, int precisionCount, float minimumStep,
                                DiagnosticSink& diagnostics = standardOutputSink());

std::string encodeMaskedPlaneToBudget(const FloatImage& plane, const Wavelet& wavelet, int stages,
                                      int modelTotalLimit, float errorExponent, std::span<const float> weights,
                                      int fractionBits, int budgetBytes, int precisionCount, float minimumStep,
                                      const RegionSet& mask, DiagnosticSink& diagnostics = standardOutputSink());

// On success `plane` holds the decoded plane, sized from the stream; on failure it is left unchanged.
Status decodePlaneWithParameters(FloatImage& plane, const Wavelet& wavelet, int stages, int modelTotalLimit,
                                 int fractionBits, const std::uint8_t* bytes, std::size_t length,
                                 int precisionCount);

} // namespace nubo
