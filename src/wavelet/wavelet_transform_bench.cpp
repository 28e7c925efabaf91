#include "wavelet/wavelet_transform.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace nubo {
namespace {

constexpr int kSide = 512;
constexpr int kStages = 5;

FloatImage benchPlane()
{
    FloatImage plane(kSide, kSide);
    std::uint32_t state = 1u;
    for (float& sample : plane.data) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<float>(state >> 24);
    }
    return plane;
}

void reportPixels(benchmark::State& state)
{
    const double pixels = static_cast<double>(kSide) * kSide;
    state.counters["Mpixel/s"]
        = benchmark::Counter(pixels * 1e-6 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Forward transform of one 512 x 512 plane over five stages, band table included.
void BM_ForwardTransform(benchmark::State& state)
{
    const Wavelet wavelet(cdf97());
    const FloatImage plane = benchPlane();
    for (auto _ : state) {
        WaveletTransform transform(wavelet, plane, kStages, -1, discardSink());
        benchmark::DoNotOptimize(transform.data());
    }
    reportPixels(state);
}
BENCHMARK(BM_ForwardTransform)->Unit(benchmark::kMillisecond);

// Inverse transform of the same plane into a reused target.
void BM_InverseTransform(benchmark::State& state)
{
    const Wavelet wavelet(cdf97());
    const WaveletTransform transform(wavelet, benchPlane(), kStages, -1, discardSink());
    FloatImage target;
    for (auto _ : state) {
        transform.invert(target);
        benchmark::DoNotOptimize(target.data.data());
    }
    reportPixels(state);
}
BENCHMARK(BM_InverseTransform)->Unit(benchmark::kMillisecond);

// The bare two-dimensional kernels, without the band copies.
void BM_Transform2d(benchmark::State& state)
{
    const Wavelet wavelet(cdf97());
    const FloatImage plane = benchPlane();
    std::vector<float> out(plane.data.size());
    for (auto _ : state) {
        wavelet.transform2d(plane.data.data(), out.data(), kSide, kSide, kStages, -1, discardSink());
        benchmark::DoNotOptimize(out.data());
    }
    reportPixels(state);
}
BENCHMARK(BM_Transform2d)->Unit(benchmark::kMillisecond);

void BM_Invert2d(benchmark::State& state)
{
    const Wavelet wavelet(cdf97());
    const FloatImage plane = benchPlane();
    std::vector<float> out(plane.data.size());
    for (auto _ : state) {
        wavelet.invert2d(plane.data.data(), out.data(), kSide, kSide, kStages, -1);
        benchmark::DoNotOptimize(out.data());
    }
    reportPixels(state);
}
BENCHMARK(BM_Invert2d)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nubo
