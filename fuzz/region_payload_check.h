#pragma once

#include "common/status.h"
#include "image/raster_image.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <sstream>
#include <string>

namespace nubo::fuzz {

// Feeds the fuzzer's bytes to a region decoder, Status(RasterImage&, std::istream&), as a payload: it must refuse
// with a reason or give a valid picture; anything else ends the process for the fuzzer to report.
template <typename Decode>
int checkRegionPayload(const std::uint8_t* data, std::size_t size, Decode decode)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size), std::ios::binary);
    RasterImage region;
    const Status decoded = decode(region, in);
    if (decoded) {
        if (!region.isValid())
            std::abort();
    } else if (decoded.reason().empty()) {
        std::abort();
    }
    return 0;
}

} // namespace nubo::fuzz
