// "Wavelet" (three independent planes) against "Wavelet (colour)" (one allocation over Y, Cb, Cr) records of the
// same picture at the same ratio, encoding and decoding: the sample picture (512 x 512) and a 1600 x 1200 one
// scaled up from it, 5 stages. CPU time is the whole process's, so the plane threads count; the time column is
// the wall time.

#include "image/raster_image.h"
#include "roi/colour_region_coder.h"
#include "roi/wavelet_region_coder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

namespace nubo {
namespace {

constexpr int kStages = 5;

// Byte offset of pixel (x, y) in buffer order (rows of width x 3 bytes); scaling needs no flip of the rows.
std::size_t pixelOffset(int width, int x, int y)
{
    return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
}

// The sample picture scaled bilinearly to width x height (about 2 megapixels for 1600 x 1200).
RasterImage scaledSample(const RasterImage& sample, int width, int height)
{
    RasterImage scaled;
    if (!scaled.allocate(width, height))
        return scaled;
    const int sw = sample.width();
    const int sh = sample.height();
    for (int y = 0; y < height; ++y) {
        const double fy = (y + 0.5) * sh / height - 0.5;
        const int y0 = std::clamp(static_cast<int>(fy), 0, sh - 1);
        const int y1 = std::min(y0 + 1, sh - 1);
        const double wy = std::clamp(fy - y0, 0.0, 1.0);
        for (int x = 0; x < width; ++x) {
            const double fx = (x + 0.5) * sw / width - 0.5;
            const int x0 = std::clamp(static_cast<int>(fx), 0, sw - 1);
            const int x1 = std::min(x0 + 1, sw - 1);
            const double wx = std::clamp(fx - x0, 0.0, 1.0);
            std::uint8_t* out = scaled.data() + pixelOffset(width, x, y);
            for (int c = 0; c < 3; ++c) {
                const auto at = [&](int px, int py) {
                    return static_cast<double>(sample.data()[pixelOffset(sw, px, py) + static_cast<std::size_t>(c)]);
                };
                const double top = at(x0, y0) * (1.0 - wx) + at(x1, y0) * wx;
                const double bottom = at(x0, y1) * (1.0 - wx) + at(x1, y1) * wx;
                out[c] = static_cast<std::uint8_t>(top * (1.0 - wy) + bottom * wy + 0.5);
            }
        }
    }
    return scaled;
}

// Picture 0: the sample picture; 1: the sample scaled to 1600 x 1200.
const RasterImage* picture(int which)
{
    static const RasterImage sample = [] {
        RasterImage image;
        image.loadBitmap(NUBO_FIXTURES_DIR "/astronaut.bmp");
        return image;
    }();
    static const RasterImage large = sample.isValid() ? scaledSample(sample, 1600, 1200) : RasterImage();
    const RasterImage& chosen = which == 0 ? sample : large;
    return chosen.isValid() ? &chosen : nullptr;
}

enum Kind { kWavelet = 1, kWaveletColour = 3 };

Status encodeRecord(int kind, const RasterImage& image, int ratio, std::string& payload)
{
    if (kind == kWaveletColour)
        return encodeColourRegion(image, payload, ratio, kStages, nullptr, discardSink());
    std::ostringstream out(std::ios::out | std::ios::binary);
    Status status = encodeWaveletRegion(image, out, ratio, kStages, nullptr, discardSink());
    payload += std::move(out).str();
    return status;
}

Status decodeRecord(int kind, const std::string& payload, RasterImage& image)
{
    std::istringstream in(payload, std::ios::in | std::ios::binary);
    const RegionRoom room{image.width(), image.height()};
    return kind == kWaveletColour ? decodeColourRegion(image, in, kStages, room)
                                  : decodeWaveletRegion(image, in, kStages, room);
}

void reportPixels(benchmark::State& state, const RasterImage& image)
{
    state.SetItemsProcessed(state.iterations() * std::int64_t{image.width()} * image.height());
}

// A benchmark's arguments: coder kind, ratio, picture.
struct RecordCase {
    int kind;
    int ratio;
    const RasterImage* image;
};

// Null picture when it could not be read; the benchmark is then skipped with that reason.
RecordCase recordCase(benchmark::State& state)
{
    RecordCase c{static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                 picture(static_cast<int>(state.range(2)))};
    if (c.image == nullptr)
        state.SkipWithError("astronaut.bmp could not be read");
    return c;
}

void encodeRecordBench(benchmark::State& state)
{
    const auto [kind, ratio, image] = recordCase(state);
    if (image == nullptr)
        return;
    std::string payload;
    for (auto _ : state) {
        payload.clear();
        const bool ok = encodeRecord(kind, *image, ratio, payload).ok();
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(payload.data());
    }
    state.counters["bytes"] = static_cast<double>(payload.size());
    reportPixels(state, *image);
}

void decodeRecordBench(benchmark::State& state)
{
    const auto [kind, ratio, image] = recordCase(state);
    if (image == nullptr)
        return;
    std::string payload;
    if (!encodeRecord(kind, *image, ratio, payload)) {
        state.SkipWithError("the record could not be encoded");
        return;
    }
    RasterImage decoded = *image;
    for (auto _ : state) {
        const bool ok = decodeRecord(kind, payload, decoded).ok();
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(decoded.data());
    }
    reportPixels(state, *image);
}

void recordArguments(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"kind", "ratio", "picture"});
    for (const int which : {0, 1})
        for (const int ratio : {20, 40, 80})
            for (const int kind : {kWavelet, kWaveletColour})
                bench->Args({kind, ratio, which});
}

BENCHMARK(encodeRecordBench)->Apply(recordArguments)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(decodeRecordBench)->Apply(recordArguments)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nubo
