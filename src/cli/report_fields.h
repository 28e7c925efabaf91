#pragma once

#include <cstdint>

namespace nubo::cli {

// What the text and the JSON reports name alike.

// A record's coder kind: "wavelet", "arithmetic", "colour", "lossless", or "unknown".
const char* kindName(std::int64_t kind);

} // namespace nubo::cli
