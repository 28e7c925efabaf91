#include "quant/plane_size_header.h"

#include "common/limits.h"
#include "common/diagnostics.h"
#include "wavelet/coder_streams.h"
#include "wavelet/integer_codes.h"

namespace nubo {

StatusOr<PlaneSize> readPlaneSize(DecoderStream& stream)
{
    const std::int32_t width = readGamma(stream.bits);
    const std::int32_t height = readGamma(stream.bits);
    if (stream.bits.failed())
        return failure("plane size: " + stream.bits.failure());
    if (stream.bits.pastEnd())
        return failure("truncated stream: the plane size is incomplete");
    if (!imageSizeAllowed(width, height))
        return failure(formatText("absurd plane size %d by %d", width, height));
    return PlaneSize{width, height};
}

} // namespace nubo
