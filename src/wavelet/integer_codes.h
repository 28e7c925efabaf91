#pragma once

#include "wavelet/bit_stream.h"

#include <cstdint>

namespace nubo {

// Elias gamma code of 1 <= v < 2^31: k zeros, a one, then the k bits of v below its top bit.
void writeGamma(BitOutput& output, std::uint32_t v);
// Gamma of v + 1, for 0 <= v <= 2^31 - 2.
void writeNonnegative(BitOutput& output, std::int32_t v);
// Sign bit 0 and gamma of v + 1 for 0 <= v <= 2^31 - 2; sign bit 1 and gamma of -v for -(2^31 - 1) <= v < 0.
void writeInteger(BitOutput& output, std::int32_t v);

// Readers of the codes above. A gamma prefix longer than 30 zero bits cannot come from the writer: the input is
// marked failed and 0 is returned (1 for readGamma), so a truncated stream never loops or overflows.
std::int32_t readGamma(BitInput& input);
std::int32_t readNonnegative(BitInput& input);
std::int32_t readInteger(BitInput& input);

} // namespace nubo
