// Whole-picture encoding and decoding of the sample picture, background only and with three regions of both kinds.

#include "common/check.h"
#include "document/document_data.h"
#include "roi/roi_stream_decoder.h"
#include "roi/roi_stream_encoder.h"

#include <benchmark/benchmark.h>

namespace nubo {
namespace {

DocumentData sampleDocument(bool withRegions)
{
    DocumentData document;
    NUBO_CHECK(document.image().loadBitmap(NUBO_FIXTURES_DIR "/astronaut.bmp"), "the sample picture is missing");
    document.background().setRatio(40);
    if (withRegions) {
        Region face(160, 60, 300, 190);
        face.ratio = 4;
        Region shuttle(350, 0, 470, 280);
        shuttle.ratio = 20;
        Region badge(130, 345, 215, 425);
        badge.coderKind = CoderKind::Arithmetic;
        document.regions().add(face);
        document.regions().add(shuttle);
        document.regions().add(badge);
    }
    return document;
}

void encodeStream(benchmark::State& state)
{
    const DocumentData document = sampleDocument(state.range(0) != 0);
    std::string stream;
    for (auto _ : state) {
        benchmark::DoNotOptimize(encodeRoiStream(document, stream, discardSink()));
        benchmark::DoNotOptimize(stream.data());
    }
    const auto pixels = static_cast<std::int64_t>(document.image().width()) * document.image().height();
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["bytes"] = static_cast<double>(stream.size());
}

void decodeStream(benchmark::State& state)
{
    const DocumentData document = sampleDocument(state.range(0) != 0);
    std::string stream;
    NUBO_CHECK(encodeRoiStream(document, stream, discardSink()).ok(), "the sample document encodes");
    RegionSelection everything;
    everything.initRegions(document.regions().count());
    for (int i = 0; i < document.regions().count(); ++i)
        everything.select(i);
    everything.setBackground(true);
    for (auto _ : state) {
        DecodedPicture decoded = decodeRoiStream(stream, everything);
        benchmark::DoNotOptimize(decoded.image.data());
    }
    const auto pixels = static_cast<std::int64_t>(document.image().width()) * document.image().height();
    state.SetItemsProcessed(state.iterations() * pixels);
}

BENCHMARK(encodeStream)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(decodeStream)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace nubo
