#include "editor/view_overlay.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace nubo {
namespace {

// Picture colour (R, G, B) = (0xFF, 0x0F, 0x55): bits that overlap both the outline and the highlight colours.
constexpr std::uint32_t kPicture = 0xFF0F55u;
constexpr std::uint32_t kOutline = 0xA0A003u; // (160, 160, 3)
constexpr std::uint32_t kHighlight = 0x161603u; // (22, 22, 3)

struct RecordedLabel {
    Label label;
    bool opaque;
};

class RecordingSink : public LabelSink {
public:
    void drawLabel(const Label& label, bool opaque) override { labels.push_back({label, opaque}); }
    std::vector<RecordedLabel> labels;
};

DocumentData documentWithPicture(int w, int h)
{
    DocumentData doc;
    EXPECT_TRUE(doc.image().allocate(w, h));
    for (int i = 0; i < doc.image().size(); i += 3) {
        doc.image().data()[i] = 0x55;
        doc.image().data()[i + 1] = 0x0F;
        doc.image().data()[i + 2] = 0xFF;
    }
    return doc;
}

// Paints the document into a canvas covering (x0, y0) .. (x0 + w, y0 + h) and returns its words without alpha.
std::vector<std::uint32_t> paint(const DocumentData& doc, const Region* band, int w, int h, int x0 = 0, int y0 = 0,
                                 RecordingSink* sink = nullptr)
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w * h));
    OverlayCanvas canvas(pixels.data(), w, h, w, x0, y0);
    canvas.fill(kWhite);
    RecordingSink local;
    paintView(canvas, doc, band, sink ? *sink : local);
    for (std::uint32_t& p : pixels)
        p &= 0xFFFFFFu;
    return pixels;
}

std::uint32_t at(const std::vector<std::uint32_t>& pixels, int w, int x, int y)
{
    return pixels[static_cast<std::size_t>(y * w + x)];
}

// An unselected region gets a dotted XOR outline on its border and an unchanged interior.
TEST(ViewOverlay, UnselectedRegionDottedXorOutline)
{
    DocumentData doc = documentWithPicture(40, 30);
    doc.regions().add(Region(5, 5, 20, 15));
    doc.regions().deselect();
    const auto px = paint(doc, nullptr, 40, 30);
    EXPECT_EQ(at(px, 40, 5, 5), kPicture ^ kOutline);
    EXPECT_EQ(at(px, 40, 6, 5), kPicture);
    EXPECT_EQ(at(px, 40, 7, 5), kPicture ^ kOutline);
    EXPECT_EQ(at(px, 40, 10, 10), kPicture);
    EXPECT_EQ(at(px, 40, 4, 5), kPicture);
    EXPECT_EQ(at(px, 40, 21, 15), kPicture);
    int changed = 0;
    for (std::uint32_t p : px)
        changed += p != kPicture ? 1 : 0;
    EXPECT_EQ(changed, (2 * (16 + 11) - 4) / 2);
}

// The selected region's interior ends as the picture with the highlight bits cleared, its corner marks are XORed
// with the outline colour (and cancel where they cross a drawn border dot).
TEST(ViewOverlay, SelectedRegionHighlightAndCornerMarks)
{
    DocumentData doc = documentWithPicture(60, 50);
    doc.regions().add(Region(10, 10, 40, 35)); // selected by add
    const auto px = paint(doc, nullptr, 60, 50);
    const std::uint32_t interior = kPicture & ~kHighlight;
    EXPECT_EQ(interior, 0xE90954u);
    EXPECT_EQ(at(px, 60, 25, 22), interior);
    // Top-left mark: (16, 10..15) then (16..11, 16), dotted from its start.
    EXPECT_EQ(at(px, 60, 16, 12), ((kPicture ^ kOutline) | kHighlight) ^ kHighlight);
    EXPECT_EQ(at(px, 60, 16, 13), interior);
    EXPECT_EQ(at(px, 60, 16, 16), ((kPicture ^ kOutline) | kHighlight) ^ kHighlight);
    EXPECT_EQ(at(px, 60, 15, 16), interior);
    EXPECT_EQ(at(px, 60, 14, 16), ((kPicture ^ kOutline) | kHighlight) ^ kHighlight);
    // The mark's end point (10, 16) is left out, so only the border dot (index 104 of the border) is drawn there.
    EXPECT_EQ(at(px, 60, 10, 16), kPicture ^ kOutline);
    // (16, 10): mark dot and border dot (index 6 of the top edge) cancel.
    EXPECT_EQ(at(px, 60, 16, 10), kPicture);
    // Border: dotted XOR, the merge's black pen leaves it alone.
    EXPECT_EQ(at(px, 60, 10, 10), kPicture ^ kOutline);
    EXPECT_EQ(at(px, 60, 11, 10), kPicture);
    // Bottom-right mark: (34, 35..30) then (34..39, 29).
    EXPECT_EQ(at(px, 60, 34, 33), ((kPicture ^ kOutline) | kHighlight) ^ kHighlight);
    EXPECT_EQ(at(px, 60, 36, 29), ((kPicture ^ kOutline) | kHighlight) ^ kHighlight);
    EXPECT_EQ(at(px, 60, 45, 40), kPicture);
}

// Painting the view in two pieces gives the same pixels as painting it whole.
TEST(ViewOverlay, PiecewiseRepaintMatchesWhole)
{
    DocumentData doc = documentWithPicture(64, 48);
    doc.regions().add(Region(3, 4, 30, 40));
    doc.regions().add(Region(35, 2, 60, 20));
    const Region band(50, 44, 33, 25);
    const auto whole = paint(doc, &band, 64, 48);
    const auto left = paint(doc, &band, 31, 48, 0, 0);
    const auto right = paint(doc, &band, 33, 48, 31, 0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(at(whole, 64, x, y), x < 31 ? at(left, 31, x, y) : at(right, 33, x - 31, y)) << x << "," << y;
}

// The rubber band is drawn in its corners' current order, normalised the way rectangles are, over an unchanged
// interior.
TEST(ViewOverlay, RubberBandDrawnWithXor)
{
    DocumentData doc = documentWithPicture(40, 40);
    const Region band(30, 30, 10, 10); // dragged up and to the left
    const auto px = paint(doc, &band, 40, 40);
    EXPECT_EQ(at(px, 40, 11, 11), kPicture ^ kOutline); // rectangle (31, 31, 11, 11) starts at (11, 11)
    EXPECT_EQ(at(px, 40, 10, 10), kPicture);
    EXPECT_EQ(at(px, 40, 20, 20), kPicture);
}

// Outside the picture the view keeps its white background.
TEST(ViewOverlay, AreaBesidePictureStaysWhite)
{
    DocumentData doc = documentWithPicture(40, 20);
    const auto px = paint(doc, nullptr, 100, 50);
    EXPECT_EQ(at(px, 100, 39, 19), kPicture);
    EXPECT_EQ(at(px, 100, 40, 0), 0xFFFFFFu);
    EXPECT_EQ(at(px, 100, 0, 20), 0xFFFFFFu);
}

// Labels follow the description mode and the size thresholds.
TEST(RegionLabels, ModesAndThresholds)
{
    Region wavelet(0, 0, 80, 30);
    wavelet.ratio = 25;
    EXPECT_FALSE(regionLabel(wavelet, DescriptionMode::Hidden));
    auto shortLabel = regionLabel(wavelet, DescriptionMode::Short);
    ASSERT_TRUE(shortLabel);
    EXPECT_EQ(shortLabel->text, "25");
    EXPECT_EQ(shortLabel->rect, (ViewRect{5, 5, 80, 30}));
    auto full = regionLabel(wavelet, DescriptionMode::Full);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->text, "Coder: Wavelet\n\rRatio: 25");

    // 60 x 60 pixels in Full mode show only the ratio.
    Region sixty(100, 100, 159, 159);
    sixty.ratio = 7;
    auto fallback = regionLabel(sixty, DescriptionMode::Full);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->text, "7");
    EXPECT_EQ(fallback->rect, (ViewRect{105, 105, 159, 140}));

    // 10 pixels high: no label in Short mode.
    EXPECT_FALSE(regionLabel(Region(0, 0, 50, 9), DescriptionMode::Short));
    EXPECT_TRUE(regionLabel(Region(0, 0, 15, 15), DescriptionMode::Short));
    EXPECT_FALSE(regionLabel(Region(0, 0, 14, 15), DescriptionMode::Short));

    Region arithmetic(10, 20, 300, 200);
    arithmetic.coderKind = CoderKind::Arithmetic;
    auto arithShort = regionLabel(arithmetic, DescriptionMode::Short);
    ASSERT_TRUE(arithShort);
    EXPECT_EQ(arithShort->text, "");
    auto arithFull = regionLabel(arithmetic, DescriptionMode::Full);
    ASSERT_TRUE(arithFull);
    EXPECT_EQ(arithFull->text, "Coder: Arithmetic");
    EXPECT_EQ(arithFull->rect, (ViewRect{15, 25, 140, 40}));
}

// The background label needs a valid picture and a mode other than Hidden.
TEST(RegionLabels, BackgroundLabel)
{
    DocumentData empty;
    empty.setDescriptionMode(DescriptionMode::Full);
    EXPECT_FALSE(backgroundLabel(empty));

    DocumentData doc = documentWithPicture(8, 8);
    EXPECT_FALSE(backgroundLabel(doc));
    doc.background().setRatio(40);
    doc.setDescriptionMode(DescriptionMode::Short);
    ASSERT_TRUE(backgroundLabel(doc));
    EXPECT_EQ(backgroundLabel(doc)->text, "40");
    EXPECT_EQ(backgroundLabel(doc)->rect, (ViewRect{0, 0, 160, 20}));
    doc.setDescriptionMode(DescriptionMode::Full);
    EXPECT_EQ(backgroundLabel(doc)->text, "Background Ratio: 40");
}

// paintView hands the labels to the sink region by region, the background label last, with the opaque setting.
TEST(RegionLabels, PaintViewPassesLabelsInOrder)
{
    DocumentData doc = documentWithPicture(200, 200);
    doc.regions().add(Region(10, 30, 100, 80));
    doc.regions().add(Region(120, 120, 190, 190));
    doc.setDescriptionMode(DescriptionMode::Full);
    doc.toggleOpaqueLabels();
    RecordingSink sink;
    paint(doc, nullptr, 200, 200, 0, 0, &sink);
    ASSERT_EQ(sink.labels.size(), 3u);
    EXPECT_EQ(sink.labels[0].label.rect, (ViewRect{15, 35, 100, 70}));
    EXPECT_EQ(sink.labels[2].label.text, "Background Ratio: 1");
    EXPECT_TRUE(sink.labels[1].opaque);
}

} // namespace
} // namespace nubo
