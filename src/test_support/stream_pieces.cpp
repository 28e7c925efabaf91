#include "test_support/stream_pieces.h"

#include "common/check.h"
#include "common/diagnostics.h"
#include "roi/lossless_region_coder.h"
#include "roi/wavelet_region_coder.h"

#include <sstream>

namespace nubo::test {

std::string field(long long value) { return std::to_string(value) + ";"; }

std::string losslessPayload(const RasterImage& image)
{
    std::ostringstream out(std::ios::out | std::ios::binary);
    NUBO_CHECK(encodeLosslessRegion(image, out).ok(), "a test picture codes losslessly");
    return out.str();
}

std::string waveletPayload(const RasterImage& image, int ratio, int stages)
{
    std::ostringstream out(std::ios::out | std::ios::binary);
    NUBO_CHECK(encodeWaveletRegion(image, out, ratio, stages, nullptr, discardSink()).ok(), "a test picture codes");
    return out.str();
}

} // namespace nubo::test
