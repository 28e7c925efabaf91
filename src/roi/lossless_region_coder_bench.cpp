#include "roi/lossless_region_coder.h"
#include "roi/region_coder_bench.h"

#include <sstream>
#include <string>

namespace nubo {
namespace {

// 256 x 256 pixels from the middle of the sample photograph (the astronaut's face and suit).
RasterImage photographicRegion()
{
    RasterImage photo;
    RasterImage region;
    if (!photo.loadBitmap(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp") || !photo.crop(region, 128, 64, 383, 319))
        region.clear();
    return region;
}

struct LosslessCoder {
    static std::string encode(const RasterImage& region)
    {
        std::ostringstream out(std::ios::binary);
        benchmark::DoNotOptimize(encodeLosslessRegion(region, out));
        return out.str();
    }
    static bool decode(const std::string& code, const RasterImage&, RasterImage& decoded)
    {
        std::istringstream in(code, std::ios::binary);
        return decodeLosslessRegion(decoded, in).ok();
    }
    static void describe(benchmark::State& state, const std::string& code, const RasterImage& region)
    {
        state.counters["code/raw"] = static_cast<double>(code.size()) / region.size();
    }
};

[[maybe_unused]] const bool kRegistered = [] {
    bench::registerRegionBenchmarks<LosslessCoder>("Photographic", photographicRegion);
    bench::registerRegionBenchmarks<LosslessCoder>("Noise", bench::noiseRegion);
    return true;
}();

} // namespace
} // namespace nubo
