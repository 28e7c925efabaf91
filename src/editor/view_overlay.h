#pragma once

#include "document/document_data.h"
#include "regions/region.h"
#include "editor/overlay_canvas.h"
#include "editor/view_rect.h"

#include <optional>
#include <string>

namespace nubo {

// The drawing tools of the view.
inline constexpr Rgb kOutlineColour{160, 160, 3};   // dotted outlines and the selected region's corner marks
inline constexpr Rgb kHighlightColour{22, 22, 3};   // ORed into, then XORed out of, the selected region
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};

// A text to draw from the rectangle's top-left corner, broken only at its own line breaks and clipped to the
// rectangle.
struct Label {
    ViewRect rect;
    std::string text;
};

// Draws the labels for paintView, in the order in which they fall between the other figures.
class LabelSink {
public:
    virtual ~LabelSink() = default;
    // opaque: the text cells get a white background; otherwise only the glyphs are drawn.
    virtual void drawLabel(const Label& label, bool opaque) = 0;
};

// The label of a region in a description mode, or none: Full falls back to Short for regions under 70 x 20
// (corner distances), Short shows nothing for regions under 15 x 15, Hidden shows nothing.
std::optional<Label> regionLabel(const Region& region, DescriptionMode mode);

// The background ratio label, shown only for a valid picture in a mode other than Hidden.
std::optional<Label> backgroundLabel(const DocumentData& document);

// The whole picture of the view on the canvas: the picture 1:1, each region's dotted XOR outline (the selected
// one with corner marks and its interior ORed with, then XORed by, the highlight colour), the labels, the rubber
// band being dragged, and the background label. The canvas must already hold the view's background.
void paintView(OverlayCanvas& canvas, const DocumentData& document, const Region* rubberBand, LabelSink& labels);

} // namespace nubo
