#pragma once

#include "common/diagnostics.h"
#include "common/status.h"
#include "quant/plane_parameters.h"
#include "wavelet/float_image.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace nubo {

class RegionSet;
class Wavelet;

// What one encoding produced, beyond the code stream.
struct EncodedPlane {
    std::string stream;
    Status status;            // the refusal when the plane or the parameters were refused (stream empty)
    int budgetBytes = 0;      // the budget asked for
    int targetBytes = 0;      // budget - header reserve, as handed to the allocation
    std::vector<int> precisions;
    // Starved: the allocation left every subband at precision 0 although coding a layer somewhere would have
    // lowered the distortion, so the plane decodes as its mean alone. workableBudgetBytes is then the smallest
    // budget at which the allocation codes a layer (the header reserve plus the cheapest useful layers' bytes);
    // 0 when the plane is not starved.
    bool starved = false;
    int workableBudgetBytes = 0;
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
// As above, for a plane the caller is done with: the transform takes its memory over (the plane is left empty),
// so coding holds one plane less.
EncodedPlane encodePlaneInDetail(FloatImage&& plane, const Wavelet& wavelet, const PlaneCodingParameters& parameters,
                                 int budgetBytes, const RegionSet* mask, bool reconstruct, DiagnosticSink& diagnostics);

// The plane encoder of encodePlane and encodeMaskedPlane (mask may be null), with its budget of width * height /
// ratio bytes (a ratio below 1 counts as 1) and its fixed parameters, reporting what it did.
EncodedPlane encodePlaneForRatio(const FloatImage& plane, int ratio, int stages, const RegionSet* mask,
                                 DiagnosticSink& diagnostics);
EncodedPlane encodePlaneForRatio(FloatImage&& plane, int ratio, int stages, const RegionSet* mask,
                                 DiagnosticSink& diagnostics);

// encodePlaneForRatio in two steps, for a caller that codes several planes: preparePlaneForRatio transforms the
// plane (taking its memory over), prices it and allocates the budget, work that the team's idle threads share;
// codePreparedPlane then runs the one serial part, the coding pass, and reports to `diagnostics` exactly what
// encodePlaneForRatio would have (the same stream and fields). A caller can so prepare every plane before coding
// any and run the coding passes side by side.
class PreparedPlane {
public:
    PreparedPlane();
    PreparedPlane(PreparedPlane&&) noexcept;
    PreparedPlane& operator=(PreparedPlane&&) noexcept;
    ~PreparedPlane();

    struct Encoding;

private:
    friend PreparedPlane preparePlaneForRatio(FloatImage&&, int, int, const RegionSet*);
    friend EncodedPlane codePreparedPlane(PreparedPlane&&, DiagnosticSink&);
    std::unique_ptr<Encoding> encoding_;
};
PreparedPlane preparePlaneForRatio(FloatImage&& plane, int ratio, int stages, const RegionSet* mask);
EncodedPlane codePreparedPlane(PreparedPlane&& prepared, DiagnosticSink& diagnostics);

} // namespace nubo
