// One subband of the colour wavelet coder (ContextQuantizer): tabulating every precision, encoding and decoding.
// The band is 800 x 600 (a first-level band of a 1600 x 1200 picture), its coefficients Laplacian with a scale
// that varies smoothly over the band, as detail does in a photo; the argument is the precision coded.

#include "quant/coefficient_set.h"
#include "quant/colour_plane_codec.h"
#include "quant/context_quantizer.h"
#include "wavelet/coder_streams.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace nubo {
namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 600;

const std::vector<float>& band()
{
    static const std::vector<float> values = [] {
        std::vector<float> v(static_cast<std::size_t>(kWidth) * kHeight);
        std::uint64_t state = 0x9e3779b97f4a7c15ull;
        const auto uniform = [&state] {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
        };
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const double scale = 0.5 + 6.0 * (0.5 + 0.5 * std::sin(x * 0.013) * std::cos(y * 0.021));
                const double magnitude = -std::log(uniform()) * scale;
                v[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)]
                    = static_cast<float>(uniform() < 0.5 ? -magnitude : magnitude);
            }
        }
        return v;
    }();
    return values;
}

ContextQuantizer makeQuantizer()
{
    return ContextQuantizer(kWidth, kHeight, ContextQuantizer::Orientation::HighBoth, kColourPrecisions);
}

void tabulateBand(benchmark::State& state)
{
    std::vector<float> data = band();
    ContextBufferPool pool;
    for (auto _ : state) {
        ContextQuantizer quantizer = makeQuantizer();
        quantizer.setBufferPool(&pool);
        CoefficientSet set(data.data(), static_cast<std::int32_t>(data.size()), quantizer);
        set.computeRateDistortion(kColourPrecisions, kColourMinimumStep);
        benchmark::DoNotOptimize(set.rate(kColourPrecisions - 1));
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

std::string encodedBand(int precision, ContextBufferPool& pool)
{
    ContextQuantizer quantizer = makeQuantizer();
    quantizer.setBufferPool(&pool);
    quantizer.analyze(band().data(), static_cast<std::int32_t>(band().size()));
    std::string bytes;
    EncoderStream stream(bytes);
    quantizer.writeHeader(stream, precision);
    quantizer.encode(stream, precision);
    stream.arith.finish();
    return bytes;
}

void encodeBand(benchmark::State& state)
{
    const int precision = static_cast<int>(state.range(0));
    ContextBufferPool pool;
    std::size_t size = 0;
    for (auto _ : state) {
        size = encodedBand(precision, pool).size();
        benchmark::DoNotOptimize(size);
    }
    state.counters["bytes"] = static_cast<double>(size);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

void decodeBand(benchmark::State& state)
{
    const int precision = static_cast<int>(state.range(0));
    ContextBufferPool pool;
    const std::string bytes = encodedBand(precision, pool);
    std::vector<float> decoded(band().size());
    for (auto _ : state) {
        DecoderStream stream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        ContextQuantizer quantizer = makeQuantizer();
        quantizer.setBufferPool(&pool);
        int read = 0;
        bool ok = quantizer.readHeader(stream, read);
        quantizer.prepareDecode(decoded.data(), static_cast<std::int32_t>(decoded.size()));
        ok = ok && quantizer.decode(stream, read);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(decoded.data());
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}

BENCHMARK(tabulateBand)->Unit(benchmark::kMillisecond);
BENCHMARK(encodeBand)->Arg(12)->Arg(18)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(decodeBand)->Arg(12)->Arg(18)->Arg(24)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nubo
