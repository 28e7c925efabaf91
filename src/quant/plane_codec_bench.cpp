// Encoding and decoding of the sample picture's three planes (512 x 512, 5 stages) at ratios 10, 40 and 100.
#include "image/raster_image.h"
#include "quant/plane_codec.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using nubo::FloatImage;

constexpr int kStages = 5;

struct SamplePlanes {
    std::array<FloatImage, 3> planes; // red, green, blue
    bool loaded = false;
};

const SamplePlanes& samplePlanes()
{
    static const SamplePlanes sample = [] {
        SamplePlanes s;
        nubo::RasterImage picture;
        if (!picture.loadBitmap(std::string(NUBO_FIXTURES_DIR) + "/astronaut.bmp"))
            return s;
        const std::array<std::vector<float>, 3> values = {picture.redPlane(), picture.greenPlane(),
                                                           picture.bluePlane()};
        for (std::size_t i = 0; i < 3; ++i)
            s.planes[i] = FloatImage(values[i].data(), picture.width(), picture.height());
        s.loaded = true;
        return s;
    }();
    return sample;
}

void reportThroughput(benchmark::State& state, std::int64_t pixelsPerIteration)
{
    state.counters["Mpixel/s"] = benchmark::Counter(static_cast<double>(pixelsPerIteration) * 1e-6,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

// Encodes the three planes at the ratio given by the benchmark argument.
void encodeThreePlanes(benchmark::State& state)
{
    const SamplePlanes& sample = samplePlanes();
    if (!sample.loaded) {
        state.SkipWithError("astronaut.bmp could not be read");
        return;
    }
    const int ratio = static_cast<int>(state.range(0));
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const FloatImage& plane : sample.planes)
            bytes += nubo::encodePlane(plane, ratio, kStages, nubo::discardSink()).size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    reportThroughput(state, 3 * std::int64_t{sample.planes[0].width} * sample.planes[0].height);
}

// Decodes the three planes' streams made at the ratio given by the benchmark argument.
void decodeThreePlanes(benchmark::State& state)
{
    const SamplePlanes& sample = samplePlanes();
    if (!sample.loaded) {
        state.SkipWithError("astronaut.bmp could not be read");
        return;
    }
    const int ratio = static_cast<int>(state.range(0));
    std::array<std::string, 3> streams;
    for (std::size_t i = 0; i < 3; ++i)
        streams[i] = nubo::encodePlane(sample.planes[i], ratio, kStages, nubo::discardSink());
    FloatImage decoded;
    for (auto _ : state) {
        for (const std::string& stream : streams) {
            const bool ok = nubo::decodePlane(reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
                                              kStages, decoded).ok();
            benchmark::DoNotOptimize(ok);
        }
    }
    reportThroughput(state, 3 * std::int64_t{sample.planes[0].width} * sample.planes[0].height);
}

// One plane (green) at ratio 40: the figure the performance target is set for.
void encodeOnePlaneAtRatio40(benchmark::State& state)
{
    const SamplePlanes& sample = samplePlanes();
    if (!sample.loaded) {
        state.SkipWithError("astronaut.bmp could not be read");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(nubo::encodePlane(sample.planes[1], 40, kStages, nubo::discardSink()));
    reportThroughput(state, std::int64_t{sample.planes[1].width} * sample.planes[1].height);
}

void decodeOnePlaneAtRatio40(benchmark::State& state)
{
    const SamplePlanes& sample = samplePlanes();
    if (!sample.loaded) {
        state.SkipWithError("astronaut.bmp could not be read");
        return;
    }
    const std::string stream = nubo::encodePlane(sample.planes[1], 40, kStages, nubo::discardSink());
    FloatImage decoded;
    for (auto _ : state)
        benchmark::DoNotOptimize(nubo::decodePlane(reinterpret_cast<const std::uint8_t*>(stream.data()),
                                                   stream.size(), kStages, decoded));
    reportThroughput(state, std::int64_t{sample.planes[1].width} * sample.planes[1].height);
}

} // namespace

BENCHMARK(encodeThreePlanes)->Arg(10)->Arg(40)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeThreePlanes)->Arg(10)->Arg(40)->Arg(100)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeOnePlaneAtRatio40)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeOnePlaneAtRatio40)->Unit(benchmark::kMillisecond);
