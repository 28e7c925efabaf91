#include "roi/predictive_region_coder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
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

RasterImage noiseRegion()
{
    RasterImage region;
    region.allocate(256, 256);
    std::mt19937 random(1);
    for (int i = 0; i < region.size(); ++i)
        region.data()[i] = static_cast<std::uint8_t>(random());
    return region;
}

void encodeRegion(benchmark::State& state, const RasterImage& region)
{
    if (!region.isValid()) {
        state.SkipWithError("region not available");
        return;
    }
    std::vector<std::uint8_t> code;
    for (auto _ : state) {
        code = encodePredictiveCode(region);
        benchmark::DoNotOptimize(code.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * region.size());
    state.counters["bpp"] = 8.0 * static_cast<double>(code.size()) / (region.size() / 3);
}

void decodeRegion(benchmark::State& state, const RasterImage& region)
{
    if (!region.isValid()) {
        state.SkipWithError("region not available");
        return;
    }
    const std::vector<std::uint8_t> code = encodePredictiveCode(region);
    RasterImage decoded;
    for (auto _ : state) {
        if (!decodePredictiveCode(code.data(), code.size(), region.width(), region.height(), decoded))
            state.SkipWithError("the code did not decode");
        benchmark::DoNotOptimize(decoded.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * region.size());
}

void BM_EncodeAstronaut(benchmark::State& state)
{
    static const RasterImage region = photograph("astronaut.bmp");
    encodeRegion(state, region);
}

void BM_DecodeAstronaut(benchmark::State& state)
{
    static const RasterImage region = photograph("astronaut.bmp");
    decodeRegion(state, region);
}

void BM_EncodeCoffee(benchmark::State& state)
{
    static const RasterImage region = photograph("coffee.bmp");
    encodeRegion(state, region);
}

void BM_DecodeCoffee(benchmark::State& state)
{
    static const RasterImage region = photograph("coffee.bmp");
    decodeRegion(state, region);
}

void BM_EncodeNoise(benchmark::State& state)
{
    static const RasterImage region = noiseRegion();
    encodeRegion(state, region);
}

void BM_DecodeNoise(benchmark::State& state)
{
    static const RasterImage region = noiseRegion();
    decodeRegion(state, region);
}

BENCHMARK(BM_EncodeAstronaut);
BENCHMARK(BM_DecodeAstronaut);
BENCHMARK(BM_EncodeCoffee);
BENCHMARK(BM_DecodeCoffee);
BENCHMARK(BM_EncodeNoise);
BENCHMARK(BM_DecodeNoise);

} // namespace
} // namespace nubo
