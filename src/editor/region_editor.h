#pragma once

#include "document/document_data.h"
#include "regions/region.h"
#include "editor/view_rect.h"

#include <optional>
#include <vector>

namespace nubo {

// The context menu a right click asks for.
enum class ContextMenu {
    None,
    Region,     // "POPUP": Codec Type > Wavelet / Arithmetic, Set Ratio, Delete
    Background, // "BGPOPUP": Set Background Ratio
};

struct ViewPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ViewPoint&) const = default;
};

// What the view must do after an editing step: repaint these rectangles (without erasing), move the pointer,
// show a menu. The editor never paints; every change reaches the screen through these repaints.
struct EditResult {
    std::vector<ViewRect> repaint;
    std::optional<ViewPoint> movePointerTo;
    ContextMenu menu = ContextMenu::None;
};

// Mouse editing of a document's regions as one view sees it: drawing a new region by dragging a rubber band,
// selecting, resizing by a corner handle, and the region and background commands of the context menus. All
// coordinates are view coordinates, which equal picture coordinates. Several views of one document each have
// their own editor over the same document data.
class RegionEditor {
public:
    explicit RegionEditor(DocumentData& document) : document_(document) {}

    // Left button down: grab a corner of the selected region (a resize), select the region under the point, or
    // anchor a new band on the free picture.
    EditResult press(int x, int y);

    // Pointer moved. Only a drag in progress reacts; a move without the left button abandons the band (an
    // abandoned resize loses its region, which the press took out of the set).
    EditResult move(int x, int y, bool leftButtonHeld);

    // Left button up: the band becomes a region if it spans at least 7 x 7 pixels.
    EditResult release(int x, int y);

    // Esc: ends a drag in progress as if it never began. A drawn band is discarded; a resized region goes back
    // unchanged to its place in the set, selected. Without a drag nothing happens.
    EditResult cancelDrag();

    // Right button down: the region menu over the selected region, the background menu over free picture when
    // nothing is selected; a right click elsewhere only deselects.
    EditResult rightClick(int x, int y);

    // Context menu commands; each acts on the selected region and does nothing without one.
    EditResult setCoderKind(CoderKind kind);
    EditResult setRatio(int ratio); // values outside 1 .. 500 are not stored
    EditResult deleteSelected();
    EditResult setBackgroundRatio(int ratio);
    // The background's coder, a setting of the document: "Wavelet" or "Wavelet (colour)".
    EditResult setBackgroundCoderKind(CoderKind kind);

    // Menu state: "Set Ratio" is for a selected Wavelet or Wavelet (colour) region only.
    bool canSetRatio() const;
    bool selectedKindIs(CoderKind kind) const;
    bool backgroundKindIs(CoderKind kind) const;
    std::optional<int> selectedRatio() const;

    bool dragging() const { return rubberBand_.has_value(); }
    const Region* rubberBand() const { return rubberBand_ ? &*rubberBand_ : nullptr; }
    bool firstDragRepainted() const { return firstDragRepainted_; }

    // The rectangle of the background label, repainted when the background ratio changes.
    static constexpr ViewRect kBackgroundLabelArea{0, 0, 161, 21};

private:
    const Region* selected() const;

    DocumentData& document_;
    // The anchor in left/top, the moving corner in right/bottom; not normalised while dragged.
    std::optional<Region> rubberBand_;
    // While resizing: the region as it was and its position, which the press took out of the set.
    std::optional<Region> resizedRegion_;
    int resizedPosition_ = -1;
    bool firstDragRepainted_ = false;
};

} // namespace nubo
