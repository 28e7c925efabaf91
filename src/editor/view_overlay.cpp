#include "editor/view_overlay.h"

#include <algorithm>

namespace nubo {

namespace {

const Pen kOutlinePen{PenStyle::Dotted, kOutlineColour};
const Pen kEdgePen{PenStyle::Solid, kBlack};

// Labels start 5 pixels inside the region's top-left corner and reach at most a fixed size into it.
ViewRect labelRect(const Region& region, int w, int h, int maxWidth, int maxHeight)
{
    return {region.left + std::min(5, w), region.top + std::min(5, h), region.left + std::min(w, maxWidth),
            region.top + std::min(h, maxHeight)};
}

// Two lines of six pixels at each corner; the lines are drawn open-ended, so the joints are drawn once.
void drawCornerMarks(OverlayCanvas& canvas, const Region& r)
{
    canvas.moveTo(r.left + 6, r.top);
    canvas.lineTo(r.left + 6, r.top + 6);
    canvas.lineTo(r.left, r.top + 6);
    canvas.moveTo(r.right, r.top + 6);
    canvas.lineTo(r.right - 6, r.top + 6);
    canvas.lineTo(r.right - 6, r.top);
    canvas.moveTo(r.right - 6, r.bottom);
    canvas.lineTo(r.right - 6, r.bottom - 6);
    canvas.lineTo(r.right, r.bottom - 6);
    canvas.moveTo(r.left, r.bottom - 6);
    canvas.lineTo(r.left + 6, r.bottom - 6);
    canvas.lineTo(r.left + 6, r.bottom);
}

} // namespace

std::optional<Label> regionLabel(const Region& region, DescriptionMode mode)
{
    const int w = region.right - region.left;
    const int h = region.bottom - region.top;
    if (mode == DescriptionMode::Full && (w < 70 || h < 20))
        mode = DescriptionMode::Short;
    if (mode == DescriptionMode::Hidden || (mode == DescriptionMode::Short && (w < 15 || h < 15)))
        return std::nullopt;

    const bool full = mode == DescriptionMode::Full;
    if (region.coderKind == CoderKind::Wavelet) {
        const std::string ratio = std::to_string(region.ratio);
        return Label{labelRect(region, w, h, 100, 40), full ? "Coder: Wavelet\n\rRatio: " + ratio : ratio};
    }
    if (region.coderKind == CoderKind::WaveletColour) {
        const std::string ratio = std::to_string(region.ratio);
        return Label{labelRect(region, w, h, 180, 40), full ? "Coder: Wavelet (colour)\n\rRatio: " + ratio : ratio};
    }
    if (region.coderKind == CoderKind::Predictive)
        return Label{labelRect(region, w, h, 190, 20), full ? "Coder: Lossless (predictive)" : ""};
    return Label{labelRect(region, w, h, 130, 20), full ? "Coder: Arithmetic" : ""};
}

std::optional<Label> backgroundLabel(const DocumentData& document)
{
    const DescriptionMode mode = document.descriptionMode();
    if (!document.image().isValid() || mode == DescriptionMode::Hidden)
        return std::nullopt;
    const std::string ratio = std::to_string(document.background().ratio());
    return Label{{0, 0, 160, 20}, mode == DescriptionMode::Short ? ratio : "Background Ratio: " + ratio};
}

void paintView(OverlayCanvas& canvas, const DocumentData& document, const Region* rubberBand, LabelSink& labels)
{
    canvas.drawPicture(document.image());

    canvas.setRasterOp(RasterOp::Xor);
    canvas.selectPen(kOutlinePen);
    canvas.selectBrush(kBlack);

    const RegionSet& regions = document.regions();
    for (int i = 0; i < regions.count(); ++i) {
        const Region& r = regions.at(i);
        if (i == regions.selectedIndex()) {
            canvas.selectBrush(kHighlightColour);
            drawCornerMarks(canvas, r);
            canvas.setRasterOp(RasterOp::Merge);
            canvas.selectPen(kEdgePen);
            canvas.rectangle(r.left, r.top, r.right + 1, r.bottom + 1);
            canvas.selectPen(kOutlinePen);
        }
        // XOR with the highlight brush clears the bits the merge set in the selected region; XOR with the black
        // brush leaves any other interior as it is.
        canvas.setRasterOp(RasterOp::Xor);
        canvas.rectangle(r.left, r.top, r.right + 1, r.bottom + 1);
        canvas.selectBrush(kBlack);

        if (const std::optional<Label> label = regionLabel(r, document.descriptionMode()))
            labels.drawLabel(*label, document.opaqueLabels());
    }

    if (rubberBand) {
        canvas.setRasterOp(RasterOp::Xor);
        canvas.rectangle(rubberBand->left, rubberBand->top, rubberBand->right + 1, rubberBand->bottom + 1);
    }

    if (const std::optional<Label> label = backgroundLabel(document)) {
        canvas.setRasterOp(RasterOp::Merge);
        labels.drawLabel(*label, document.opaqueLabels());
    }
}

} // namespace nubo
