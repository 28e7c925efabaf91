#include "quant/plane_codec.h"

#include "common/limits.h"
#include "quant/layered_quantizer.h"
#include "wavelet/coder_streams.h"
#include "wavelet/filters.h"
#include "wavelet/integer_codes.h"
#include "wavelet/layered_symbol_coder.h"
#include "wavelet/wavelet.h"
#include "wavelet/wavelet_transform.h"

#include <memory>
#include <string>
#include <vector>

namespace nubo {

namespace {

constexpr int kMaxFractionBits = 24;

// The coder objects of one subband on the decoding side (no metric).
struct SubbandDecoder {
    std::unique_ptr<LayeredSymbolCoder> symbolCoder;
    std::unique_ptr<LayeredQuantizer> quantizer;
    int precision = 0;
};

bool refuse(std::string* reason, std::string text)
{
    if (reason != nullptr)
        *reason = std::move(text);
    return false;
}

} // namespace

bool decodePlaneWithParameters(FloatImage& plane, const Wavelet& wavelet, int stages, int modelTotalLimit,
                               int fractionBits, const std::uint8_t* bytes, std::size_t length,
                               int precisionCount, std::string* reason)
{
    if (stages < kMinStages || stages > kMaxStages)
        return refuse(reason, formatText("unsupported number of wavelet stages: %d", stages));
    if (precisionCount < 1 || precisionCount > LayeredSymbolCoder::kMaxLayers)
        return refuse(reason, formatText("unsupported precision count: %d", precisionCount));
    if (fractionBits < 0 || fractionBits > kMaxFractionBits)
        return refuse(reason, formatText("unsupported fraction bits: %d", fractionBits));
    if (bytes == nullptr)
        length = 0;

    DecoderStream stream(bytes, length);
    const std::int32_t width = readGamma(stream.bits);
    const std::int32_t height = readGamma(stream.bits);
    if (stream.bits.failed())
        return refuse(reason, "plane size: " + stream.bits.failure());
    if (stream.bits.pastEnd())
        return refuse(reason, "truncated stream: the plane size is incomplete");
    // Refused before anything of that size is allocated.
    if (!imageSizeAllowed(width, height))
        return refuse(reason, formatText("absurd plane size %d by %d", width, height));

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
            return refuse(reason, formatText("subband %d header: ", b) + stream.bits.failure());
    }
    if (stream.bits.pastEnd())
        return refuse(reason, "truncated stream: it ends inside the subband headers");

    WaveletTransform transform(wavelet, width, height, stages, -1);
    if (!transform.valid() || transform.subbandCount() != n)
        return refuse(reason, formatText("cannot hold a plane of size %d by %d", width, height));

    for (int b = 0; b < n; ++b) {
        SubbandDecoder& s = subbands[static_cast<std::size_t>(b)];
        const bool highPass = b != 0;
        if (s.precision > 0) {
            s.symbolCoder = std::make_unique<LayeredSymbolCoder>(s.precision, highPass, modelTotalLimit);
            s.quantizer->setSymbolCoder(*s.symbolCoder);
        }
        s.quantizer->prepareDecode(transform.subbandData(b), transform.subbandSize(b));
        if (!s.quantizer->decode(stream, s.precision))
            return refuse(reason, formatText("subband %d: ", b) + stream.bits.failure());
        // Nothing of a decoded band but its coefficients is needed any more.
        s.quantizer.reset();
        s.symbolCoder.reset();
    }
    if (stream.bits.pastEnd())
        return refuse(reason, "truncated stream: it ends before its last symbol");

    FloatImage decoded;
    if (!transform.invert(decoded))
        return refuse(reason, formatText("cannot rebuild a plane of size %d by %d", width, height));
    plane = std::move(decoded);
    return true;
}

bool decodePlane(const std::uint8_t* bytes, std::size_t length, int stages, FloatImage& plane, std::string* reason)
{
    const Wavelet wavelet(cdf97());
    return decodePlaneWithParameters(plane, wavelet, stages, 512, 4, bytes, length, 10, reason);
}

} // namespace nubo
