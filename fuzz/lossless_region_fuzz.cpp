// Feeds arbitrary bytes to the lossless region decoder as a kind-2 payload.
#include "region_payload_check.h"
#include "roi/lossless_region_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return nubo::fuzz::checkRegionPayload(data, size, nubo::decodeLosslessRegion);
}
