// The standard metrics on the sample picture: the SSIM map of a whole 512 x 512 comparison, and the PSNR and SSIM
// of one selection over a map already made (what each record and each sweep point costs).

#include "common/check.h"
#include "image/raster_image.h"
#include "roi/picture_metrics.h"

#include <benchmark/benchmark.h>

namespace nubo {
namespace {

struct SamplePair {
    RasterImage source;
    RasterImage result;
    SamplePair()
    {
        NUBO_CHECK(source.loadBitmap(NUBO_FIXTURES_DIR "/astronaut.bmp"), "the sample picture is missing");
        result = source;
        for (int i = 0; i < result.size(); i += 7)
            result.data()[i] = static_cast<std::uint8_t>(result.data()[i] ^ 0x0F);
    }
};

const SamplePair& samplePair()
{
    static const SamplePair pair;
    return pair;
}

void BM_CompareWholePicture(benchmark::State& state)
{
    const SamplePair& pair = samplePair();
    for (auto _ : state) {
        PictureMetrics metrics;
        benchmark::DoNotOptimize(metrics.compare(pair.source, pair.result).ok());
        benchmark::DoNotOptimize(metrics.overWhole().ssim);
    }
    state.SetItemsProcessed(state.iterations() * pair.source.width() * pair.source.height());
}
BENCHMARK(BM_CompareWholePicture)->Unit(benchmark::kMillisecond);

void BM_OneSelection(benchmark::State& state)
{
    const SamplePair& pair = samplePair();
    PictureMetrics metrics;
    NUBO_CHECK(metrics.compare(pair.source, pair.result).ok(), "the pictures compare");
    const PixelSelection face = PixelSelection::rectangle(512, 512, 160, 60, 300, 190);
    for (auto _ : state)
        benchmark::DoNotOptimize(metrics.over(face).ssim);
}
BENCHMARK(BM_OneSelection)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace nubo
