#pragma once

#include "common/diagnostics.h"
#include "common/status.h"
#include "wavelet/float_image.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

class RegionSet;
class Wavelet;

// The plane coder of the colour wavelet kind: three planes of one picture (its colour components) coded with
// one rate-distortion allocation over every subband of all three. Each plane is transformed with cdf97, each
// subband quantised by a ContextQuantizer; the distortion of subband b of plane c is weighted by
// planeWeights[c] (the energy gain of the inverse colour transform for that component) times the energy gain of
// the wavelet synthesis for band b, so the allocation minimises the squared error of the rebuilt picture.
//
// Each plane's code stream: its width and height (writeGamma), every subband's header (ContextQuantizer), then
// the arithmetic-coded passes of every subband in band order, then the coder's final bits.

// Fixed parameters of the kind.
inline constexpr int kColourLayers = 20;
inline constexpr int kColourPrecisions = 3 * kColourLayers + 1;
inline constexpr float kColourMinimumStep = 0.05f;

struct ColourPlanesEncoding {
    Status status = failure("not coded"); // the refusal of a plane or the stage count (streams empty)
    std::string streams[3];   // one code stream per plane
    int budgetBytes = 0;      // what the three streams may take together
    int targetBytes = 0;      // what the allocation aimed the passes at
    std::vector<int> precisions; // plane after plane, band after band
    float codedBits = 0.0f;   // priced bits of the chosen passes
    // Starved: every subband of every plane at precision 0 although a pass would have lowered the distortion, so
    // the picture decodes as its planes' means (a picture those means rebuild to within half a level is not). workableBudgetBytes is then the smallest budget (for the three
    // planes together) at which a pass is coded; 0 when not starved.
    bool starved = false;
    int workableBudgetBytes = 0;
};

// Codes the three planes (same size) to `budgetBytes` together. With a mask (the background), the coefficients
// under its regions are zeroed first in every plane. The planes' transform diagnostics and the joint allocation
// table go to `diagnostics` in one piece; `planeNames` label the table.
ColourPlanesEncoding encodeColourPlanes(const FloatImage (&planes)[3], const std::array<float, 3>& planeWeights,
                                        const std::array<const char*, 3>& planeNames, int budgetBytes, int stages,
                                        const RegionSet* mask, DiagnosticSink& diagnostics);
// The same, transforming each plane in its own memory (the planes are left empty): no plane is copied.
ColourPlanesEncoding encodeColourPlanes(FloatImage (&&planes)[3], const std::array<float, 3>& planeWeights,
                                        const std::array<const char*, 3>& planeNames, int budgetBytes, int stages,
                                        const RegionSet* mask, DiagnosticSink& diagnostics);

// Decodes one plane stream of encodeColourPlanes made with the same number of stages, reading only `length`
// bytes. Returns false with a reason for a stream that cannot be such a plane (absurd size or header, a code the
// models cannot produce, a stream that ends before its last symbol); `plane` is then left unchanged.
Status decodeColourPlane(const std::uint8_t* bytes, std::size_t length, int stages, FloatImage& plane);

// Energy (sum of squares) of the picture a unit coefficient of each subband synthesises to, for `stages` stages:
// the product of the one-dimensional gains of its row and column filters at its level.
std::vector<float> subbandEnergyGains(const Wavelet& wavelet, int stages);

} // namespace nubo
