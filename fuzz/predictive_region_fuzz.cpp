// Feeds arbitrary bytes to the predictive lossless region decoder as a kind-4 payload: it must refuse with a
// reason or give a picture of the size the payload announces.
#include "region_payload_check.h"
#include "roi/predictive_region_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return nubo::fuzz::checkRegionPayload(data, size, nubo::decodePredictiveRegion);
}
