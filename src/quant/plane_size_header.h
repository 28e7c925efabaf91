#pragma once

#include "common/status.h"

#include <cstdint>

namespace nubo {

struct DecoderStream;

struct PlaneSize {
    std::int32_t width;
    std::int32_t height;
};

// Reads the width and height that open every coded plane, refusing a damaged, cut-off or absurd size before
// anything of that size is allocated.
StatusOr<PlaneSize> readPlaneSize(DecoderStream& stream);

} // namespace nubo
