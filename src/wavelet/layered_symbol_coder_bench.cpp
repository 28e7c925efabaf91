// Throughput of the layered symbol coder as the plane codec drives it: pricing every layer, coding the chosen
// layers into a stream, and reading them back.
#include "wavelet/coder_streams.h"
#include "wavelet/layered_symbol_coder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace nubo {
namespace {

constexpr int kLayers = 10;

struct Symbol {
    int value;
    int layer;
    int context;
};

// A high-pass band of `coefficients` values over all layers: mostly insignificant at first, then refinement
// bits, with states evolving as the quantiser's do.
std::vector<Symbol> bandSymbols(int coefficients)
{
    std::mt19937 random(1234);
    std::vector<Symbol> symbols;
    std::vector<int> states(static_cast<std::size_t>(coefficients), 0);
    for (int layer = 0; layer < kLayers; ++layer) {
        for (int& state : states) {
            int v = static_cast<int>(random() % 2);
            if (state == 0) {
                const unsigned r = random() % 16;
                v = r < static_cast<unsigned>(13 - layer) ? 0 : (r % 2 ? 1 : -1);
            }
            symbols.push_back({v, layer, state});
            state = v + 2 * state;
        }
    }
    return symbols;
}

const std::vector<Symbol>& benchSymbols()
{
    static const std::vector<Symbol> symbols = bandSymbols(1 << 16);
    return symbols;
}

std::string encodeAll(LayeredSymbolCoder& coder, const std::vector<Symbol>& symbols)
{
    std::string bytes;
    bytes.reserve(symbols.size() / 2);
    EncoderStream stream(bytes);
    coder.reset();
    for (const Symbol& s : symbols)
        coder.write(&stream, s.value, 1, s.layer, s.context);
    stream.arith.finish();
    return bytes;
}

void BM_WriteWithStream(benchmark::State& state)
{
    const std::vector<Symbol>& symbols = benchSymbols();
    LayeredSymbolCoder coder(kLayers, true, 512);
    for (auto _ : state) {
        std::string bytes = encodeAll(coder, symbols);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(symbols.size()));
}
BENCHMARK(BM_WriteWithStream)->Unit(benchmark::kMillisecond);

void BM_CostOnly(benchmark::State& state)
{
    const std::vector<Symbol>& symbols = benchSymbols();
    LayeredSymbolCoder coder(kLayers, true, 512);
    for (auto _ : state) {
        coder.reset();
        float rate = 0.0f;
        for (const Symbol& s : symbols)
            rate += coder.write(nullptr, s.value, 1, s.layer, s.context);
        benchmark::DoNotOptimize(rate);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(symbols.size()));
}
BENCHMARK(BM_CostOnly)->Unit(benchmark::kMillisecond);

void BM_Read(benchmark::State& state)
{
    const std::vector<Symbol>& symbols = benchSymbols();
    LayeredSymbolCoder coder(kLayers, true, 512);
    const std::string bytes = encodeAll(coder, symbols);
    for (auto _ : state) {
        coder.reset();
        DecoderStream stream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        int sum = 0;
        for (const Symbol& s : symbols)
            sum += coder.read(stream, 1, s.layer, s.context);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(symbols.size()));
}
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);

// A coder is built per subband and reset before pricing and again before coding.
void BM_ConstructAndReset(benchmark::State& state)
{
    for (auto _ : state) {
        LayeredSymbolCoder coder(kLayers, true, 512);
        coder.reset();
        benchmark::DoNotOptimize(&coder);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConstructAndReset)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace nubo
