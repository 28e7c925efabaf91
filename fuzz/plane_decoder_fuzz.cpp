// Feeds arbitrary bytes to the wavelet plane decoder. The first byte picks the number of stages (1 to 16).
#include "fuzz_input.h"

#include "quant/plane_codec.h"
#include "wavelet/coder_streams.h"
#include "wavelet/integer_codes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    nubo::fuzz::FuzzInput input(data, size);
    const int stages = 1 + input.takeByte() % 16;
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // A few bytes may validly describe a large flat plane, whose inverse transform then takes seconds under the
    // sanitizers: that is work in proportion to the plane, not a hang. While fuzzing, planes are kept small enough
    // to stay well inside the per-input time limit; the replayed fixtures (normal builds) keep every size.
    constexpr std::int64_t kMaxFuzzedSamples = std::int64_t{1} << 19;
    nubo::DecoderStream sizes(input.rest(), input.restSize());
    const std::int64_t width = nubo::readGamma(sizes.bits);
    const std::int64_t height = nubo::readGamma(sizes.bits);
    if (width * height > kMaxFuzzedSamples)
        return 0;
#endif
    nubo::FloatImage plane;
    const nubo::Status decoded = nubo::decodePlane(input.rest(), input.restSize(), stages, plane);
    if (!decoded && decoded.reason().empty())
        std::abort();
    return 0;
}
