// "Wavelet" (three independent planes) against "Wavelet (colour)" (one allocation over Y, Cb, Cr) backgrounds of
// the same picture at the same ratio, encoded and decoded as .roi streams in memory, as nubo-cli codes them but
// without the files: the sample picture (512 x 512) and a 1600 x 1200 one scaled up from it, 5 stages. CPU time
// is the whole process's, so the coding threads count; the time column is the wall time.

#include "document/document_data.h"
#include "image/raster_image.h"
#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
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

// A document whose background, the whole picture, is coded with `kind` at `ratio`.
DocumentData backgroundDocument(CoderKind kind, const RasterImage& image, int ratio)
{
    DocumentData document;
    document.image() = image;
    document.setWaveletStages(kStages);
    document.background().setRatio(ratio);
    document.background().setCoderKind(kind);
    return document;
}

void reportPixels(benchmark::State& state, const RasterImage& image)
{
    state.SetItemsProcessed(state.iterations() * std::int64_t{image.width()} * image.height());
}

// A benchmark's arguments: coder kind, ratio, picture.
struct RecordCase {
    CoderKind kind;
    int ratio;
    const RasterImage* image;
};

// Null picture when it could not be read; the benchmark is then skipped with that reason.
RecordCase recordCase(benchmark::State& state)
{
    RecordCase c{static_cast<CoderKind>(state.range(0)), static_cast<int>(state.range(1)),
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
    const DocumentData document = backgroundDocument(kind, *image, ratio);
    std::string stream;
    for (auto _ : state) {
        const bool ok = encodeRoiStream(document, stream, discardSink()).ok();
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(stream.data());
    }
    state.counters["bytes"] = static_cast<double>(stream.size());
    reportPixels(state, *image);
}

void decodeRecordBench(benchmark::State& state)
{
    const auto [kind, ratio, image] = recordCase(state);
    if (image == nullptr)
        return;
    std::string stream;
    if (!encodeRoiStream(backgroundDocument(kind, *image, ratio), stream, discardSink())) {
        state.SkipWithError("the picture could not be encoded");
        return;
    }
    RegionSelection background;
    background.setBackground(true);
    if (!decodeRoiStream(stream, background).backgroundPresent) {
        state.SkipWithError("the stream could not be decoded");
        return;
    }
    for (auto _ : state) {
        DecodedPicture decoded = decodeRoiStream(stream, background);
        benchmark::DoNotOptimize(decoded.image.data());
    }
    reportPixels(state, *image);
}

void recordArguments(benchmark::internal::Benchmark* bench)
{
    bench->ArgNames({"kind", "ratio", "picture"});
    for (const int which : {0, 1})
        for (const int ratio : {5, 10, 20, 40, 80})
            for (const CoderKind kind : {CoderKind::Wavelet, CoderKind::WaveletColour})
                bench->Args({static_cast<int>(kind), ratio, which});
}

BENCHMARK(encodeRecordBench)->Apply(recordArguments)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(decodeRecordBench)->Apply(recordArguments)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nubo
