#include "roi/predictive_region_coder.h"
#include "roi/region_coder_bench.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nubo {
namespace {

// The whole sample photograph (512 x 512) and the coffee photograph (600 x 400).
RasterImage photograph(const char* name)
{
    RasterImage photo;
    if (!photo.loadBitmap(std::string(NUBO_FIXTURES_DIR) + "/" + name))
        photo.clear();
    return photo;
}

RasterImage astronaut() { return photograph("astronaut.bmp"); }
RasterImage coffee() { return photograph("coffee.bmp"); }

struct PredictiveCoder {
    static std::vector<std::uint8_t> encode(const RasterImage& region) { return encodePredictiveCode(region); }
    static bool decode(const std::vector<std::uint8_t>& code, const RasterImage& region, RasterImage& decoded)
    {
        return decodePredictiveCode(code.data(), code.size(), region.width(), region.height(), decoded).ok();
    }
    static void describe(benchmark::State& state, const std::vector<std::uint8_t>& code, const RasterImage& region)
    {
        state.counters["bpp"] = 8.0 * static_cast<double>(code.size()) / (region.size() / 3);
    }
};

[[maybe_unused]] const bool kRegistered = [] {
    bench::registerRegionBenchmarks<PredictiveCoder>("Astronaut", astronaut);
    bench::registerRegionBenchmarks<PredictiveCoder>("Coffee", coffee);
    bench::registerRegionBenchmarks<PredictiveCoder>("Noise", bench::noiseRegion);
    return true;
}();

} // namespace
} // namespace nubo
