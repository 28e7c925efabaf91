#include "quant/plane_codec.h"

#include "common/limits.h"
#include "quant/plane_parameters.h"
#include "quant/plane_size_header.h"
#include "quant/layered_quantizer.h"
#include "wavelet/coder_streams.h"
#include "wavelet/filters.h"
#include "wavelet/integer_codes.h"
#include "wavelet/layered_symbol_coder.h"
#include "wavelet/wavelet.h"
#include "wavelet/wavelet_transform.h"

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace nubo {

namespace {

// The coder objects of one subband on the decoding side (no metric).
struct SubbandDecoder {
    std::unique_ptr<LayeredSymbolCoder> symbolCoder;
    std::unique_ptr<LayeredQuantizer> quantizer;
    int precision = 0;
};

} // namespace

Status decodePlaneWithParameters(FloatImage& plane, const Wavelet& wavelet, int stages, int modelTotalLimit,
                                 int fractionBits, const std::uint8_t* bytes, std::size_t length,
                                 int precisionCount)
{
    if (stages < kMinStages || stages > kMaxStages)
        return failure(formatText("unsupported number of wavelet stages: %d", stages));
    if (precisionCount < 1 || precisionCount > LayeredSymbolCoder::kMaxLayers)
        return failure(formatText("unsupported precision count: %d", precisionCount));
    if (fractionBits < 0 || fractionBits > kMaxPlaneFractionBits)
        return failure(formatText("unsupported fraction bits: %d", fractionBits));
    if (bytes == nullptr)
        length = 0;

    DecoderStream stream(bytes, length);
    const StatusOr<PlaneSize> size = readPlaneSize(stream);
    if (!size)
        return size.status();
    const auto [width, height] = *size;

    const int n = 3 * stages + 1;

    // The headers come first; each subband then gets a symbol coder of just the layers its precision codes
    // (the contexts of a layer do not depend on how many layers follow), so an empty or coarse band costs no
    // models. Until then the quantisers share coders without layers.
    LayeredSymbolCoder noLayers[2] = {LayeredSymbolCoder(0, false, modelTotalLimit),
                                      LayeredSymbolCoder(0, true, modelTotalLimit)};
    std::vector<SubbandDecoder> subbands(static_cast<std::size_t>(n));
    for (int b = 0; b < n; ++b) {
        SubbandDecoder& s = subbands[static_cast<std::size_t>(b)];
        const bool highPass = b != 0;
        s.quantizer = std::make_unique<LayeredQuantizer>(noLayers[highPass ? 1 : 0], fractionBits, highPass,
                                                         precisionCount, nullptr);
        if (!s.quantizer->readHeader(stream, s.precision))
            return failure(formatText("subband %d header: ", b) + stream.bits.failure());
    }
    if (stream.bits.pastEnd())
        return failure("truncated stream: it ends inside the subband headers");

    // Each band is decoded in place in the plane, which the inverse transform then rebuilds in place: one plane
    // in memory and no copy of a band.
    const std::vector<SubbandRect> layout = subbandLayout(width, height, stages);
    if (layout.size() != static_cast<std::size_t>(n))
        return failure(formatText("cannot hold a plane of size %d by %d", width, height));
    const auto rowLength = static_cast<std::size_t>(width);
    std::vector<float> samples;
    try {
        samples.resize(rowLength * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return failure(formatText("cannot hold a plane of size %d by %d", width, height));
    }

    for (int b = 0; b < n; ++b) {
        SubbandDecoder& s = subbands[static_cast<std::size_t>(b)];
        const SubbandRect& rect = layout[static_cast<std::size_t>(b)];
        const bool highPass = b != 0;
        // A stream that ran out in an earlier band is refused before this band's working memory is taken.
        if (stream.bits.pastEnd())
            return failure(formatText("subband %d: truncated stream: it ends before its last symbol", b));
        if (s.precision > 0) {
            s.symbolCoder = std::make_unique<LayeredSymbolCoder>(s.precision, highPass, modelTotalLimit);
            s.quantizer->setSymbolCoder(*s.symbolCoder);
        }
        float* const origin
            = samples.data() + static_cast<std::size_t>(rect.y) * rowLength + static_cast<std::size_t>(rect.x);
        s.quantizer->prepareDecodeRows(origin, rect.width, rect.height, static_cast<std::ptrdiff_t>(rowLength));
        if (!s.quantizer->decode(stream, s.precision))
            return failure(formatText("subband %d: ", b) + stream.bits.failure());
        // Nothing of a decoded band but its coefficients is needed any more.
        s.quantizer.reset();
        s.symbolCoder.reset();
    }
    if (stream.bits.pastEnd())
        return failure("truncated stream: it ends before its last symbol");

    wavelet.invert2d(samples.data(), samples.data(), width, height, stages, -1);
    plane.data = std::move(samples);
    plane.width = width;
    plane.height = height;
    return {};
}

Status decodePlane(const std::uint8_t* bytes, std::size_t length, int stages, FloatImage& plane)
{
    const Wavelet wavelet(cdf97());
    return decodePlaneWithParameters(plane, wavelet, stages, kPlaneModelTotalLimit, kPlaneFractionBits, bytes, length,
                                     kPlanePrecisionCount);
}

} // namespace nubo
