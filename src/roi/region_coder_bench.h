#pragma once

// What the region coders' speed benchmarks share: the noise region, and the timing of one coder encoding and
// decoding one region under the names bench/compare_lossless.sh asks for (BM_Encode<Name>, BM_Decode<Name>).

#include "image/raster_image.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>

namespace nubo::bench {

// 256 x 256 bytes of noise, the same on every run.
inline RasterImage noiseRegion()
{
    RasterImage region;
    region.allocate(256, 256);
    std::mt19937 random(1);
    for (int i = 0; i < region.size(); ++i)
        region.data()[i] = static_cast<std::uint8_t>(random());
    return region;
}

// Registers BM_Encode<name> and BM_Decode<name>, timing Coder on the region that load gives: loaded when the
// first of the two runs, and both skipped when it cannot be. Coder::encode(region) gives the code (bytes with
// data() and size()), Coder::decode(code, region, decoded) decodes it and says whether it did, and
// Coder::describe(state, code, region) sets the encoding benchmark's counters.
template <class Coder>
void registerRegionBenchmarks(const std::string& name, RasterImage (*load)())
{
    const auto loaded = std::make_shared<std::optional<RasterImage>>();
    const auto region = [loaded, load]() -> const RasterImage& {
        if (!loaded->has_value())
            loaded->emplace(load());
        return **loaded;
    };
    benchmark::RegisterBenchmark(("BM_Encode" + name).c_str(), [region](benchmark::State& state) {
        const RasterImage& picture = region();
        if (!picture.isValid()) {
            state.SkipWithError("region not available");
            return;
        }
        decltype(Coder::encode(picture)) code;
        for (auto _ : state) {
            code = Coder::encode(picture);
            benchmark::DoNotOptimize(code.data());
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * picture.size());
        Coder::describe(state, code, picture);
    });
    benchmark::RegisterBenchmark(("BM_Decode" + name).c_str(), [region](benchmark::State& state) {
        const RasterImage& picture = region();
        if (!picture.isValid()) {
            state.SkipWithError("region not available");
            return;
        }
        const auto code = Coder::encode(picture);
        RasterImage decoded;
        for (auto _ : state) {
            if (!Coder::decode(code, picture, decoded))
                state.SkipWithError("the code did not decode");
            benchmark::DoNotOptimize(decoded.data());
        }
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * picture.size());
    });
}

} // namespace nubo::bench
