#include "roi/lossless_region_coder.h"

#include "common/check.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
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

RasterImage noiseRegion()
{
    RasterImage region;
    region.allocate(256, 256);
    std::mt19937 random(1);
    for (int i = 0; i < region.size(); ++i)
        region.data()[i] = static_cast<std::uint8_t>(random());
    return region;
}

std::string payloadOf(const RasterImage& region)
{
    std::ostringstream out(std::ios::binary);
    NUBO_CHECK(encodeLosslessRegion(region, out).ok(), "the benchmark region codes");
    return out.str();
}

void encodeRegion(benchmark::State& state, const RasterImage& region)
{
    if (!region.isValid()) {
        state.SkipWithError("region not available");
        return;
    }
    std::string payload;
    for (auto _ : state) {
        std::ostringstream out(std::ios::binary);
        benchmark::DoNotOptimize(encodeLosslessRegion(region, out));
        payload = out.str();
        benchmark::DoNotOptimize(payload.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * region.size());
    state.counters["code/raw"] = static_cast<double>(payload.size()) / region.size();
}

void decodeRegion(benchmark::State& state, const RasterImage& region)
{
    if (!region.isValid()) {
        state.SkipWithError("region not available");
        return;
    }
    const std::string payload = payloadOf(region);
    RasterImage decoded;
    for (auto _ : state) {
        std::istringstream in(payload, std::ios::binary);
        benchmark::DoNotOptimize(decodeLosslessRegion(decoded, in));
        benchmark::DoNotOptimize(decoded.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * region.size());
}

void BM_EncodePhotographic(benchmark::State& state)
{
    static const RasterImage region = photographicRegion();
    encodeRegion(state, region);
}

void BM_DecodePhotographic(benchmark::State& state)
{
    static const RasterImage region = photographicRegion();
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

BENCHMARK(BM_EncodePhotographic);
BENCHMARK(BM_DecodePhotographic);
BENCHMARK(BM_EncodeNoise);
BENCHMARK(BM_DecodeNoise);

} // namespace
} // namespace nubo
