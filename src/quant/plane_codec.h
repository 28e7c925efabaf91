#pragma once

#include "common/diagnostics.h"
#include "wavelet/float_image.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace nubo {

class RegionSet;

// The wavelet coder of one float plane, with its fixed parameters (cdf97, model total 512, squared error, unit
// weights, 4 fraction bits, 10 precisions, minimum step 0.05, 4 header bytes per subband). The budget is
// width * height / ratio bytes. The allocation report and any transform diagnostics go to `diagnostics`, written
// in one piece when the call ends. The returned string is the plane's code stream.
std::string encodePlane(const FloatImage& plane, int ratio, int stages,
                        DiagnosticSink& diagnostics = standardOutputSink());

// As encodePlane, with the coefficients under the regions of `mask` zeroed before coding (the background).
std::string encodeMaskedPlane(const FloatImage& plane, int ratio, const RegionSet& mask, int stages,
                              DiagnosticSink& diagnostics = standardOutputSink());

// Decodes a code stream made with the same number of stages. Reads only the `length` bytes given (bits past the
// end read as 0). Returns false, with a one-line reason when `reason` is given, for a stream that cannot be a
// plane (absurd size, a gamma prefix longer than 31 bits, a symbol the models cannot produce).
bool decodePlane(const std::uint8_t* bytes, std::size_t length, int stages, FloatImage& plane,
                 std::string* reason = nullptr);

} // namespace nubo
