#include "editor/view_overlay.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace nubo {
namespace {

class NoLabels : public LabelSink {
public:
    void drawLabel(const Label&, bool) override {}
};

// One full repaint of a side x side view: picture copy, three outlines, the selected region's highlight.
void BM_PaintWholeView(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    DocumentData doc;
    doc.image().allocate(side, side);
    doc.image().fill(0x5A);
    doc.regions().add(Region(side / 10, side / 10, side / 3, side / 3));
    doc.regions().add(Region(side / 2, side / 10, side - 10, side / 2));
    doc.regions().add(Region(side / 10, side / 2, side / 2 - 10, side - 10));
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(side) * static_cast<std::size_t>(side));
    NoLabels labels;
    for (auto _ : state) {
        OverlayCanvas canvas(pixels.data(), side, side, side, 0, 0);
        paintView(canvas, doc, nullptr, labels);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
    state.SetLabel("pixels");
}
BENCHMARK(BM_PaintWholeView)->Arg(512)->Arg(2048);

// The repaint of one rubber-band step: two thin strips along the band's edges of a large picture.
void BM_PaintBandStrip(benchmark::State& state)
{
    DocumentData doc;
    doc.image().allocate(4096, 4096);
    doc.image().fill(0x5A);
    doc.regions().add(Region(100, 100, 900, 900));
    const Region band(1000, 1000, 3000, 3000);
    std::vector<std::uint32_t> pixels(2001u * 3u);
    NoLabels labels;
    for (auto _ : state) {
        OverlayCanvas canvas(pixels.data(), 2001, 3, 2001, 1000, 2999);
        paintView(canvas, doc, &band, labels);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetItemsProcessed(state.iterations() * 2001 * 3);
}
BENCHMARK(BM_PaintBandStrip);

} // namespace
} // namespace nubo
