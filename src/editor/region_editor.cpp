#include "editor/region_editor.h"

#include "regions/background_settings.h"

#include <algorithm>
#include <cstdlib>

namespace nubo {

namespace {

// A band needs corners more than 5 pixels apart on both axes, so a region spans at least 7 x 7 pixels.
constexpr int kMinCornerDistance = 6;

bool validRatio(int ratio) { return ratio >= kMinRatio && ratio <= kMaxRatio; }

// The band's anchor with a new moving corner.
Region candidateFrom(const Region& band, int x, int y) { return Region(band.left, band.top, x, y); }

// The anchor of a resize is the corner opposite the grabbed one.
ViewPoint oppositeCorner(const Region& r, HitKind corner)
{
    switch (corner) {
    case HitKind::TopLeft:
        return {r.right, r.bottom};
    case HitKind::TopRight:
        return {r.left, r.bottom};
    case HitKind::BottomRight:
        return {r.left, r.top};
    default:
        return {r.right, r.top};
    }
}

bool isCorner(HitKind kind) { return kind != HitKind::Inside && kind != HitKind::Outside; }

} // namespace

const Region* RegionEditor::selected() const
{
    const RegionSet& set = document_.regions();
    const int i = set.selectedIndex();
    return i >= 0 && i < set.count() ? &set.at(i) : nullptr;
}

EditResult RegionEditor::press(int x, int y)
{
    EditResult result;
    RegionSet& set = document_.regions();
    bool resizing = false;

    if (Region* s = set.selectedRegion()) {
        const HandleHit hit = s->hitTest(x, y);
        rubberBand_.reset();
        resizedRegion_.reset();
        if (isCorner(hit.kind)) {
            const ViewPoint anchor = oppositeCorner(*s, hit.kind);
            Region band(anchor.x, anchor.y, hit.x, hit.y);
            if (validRatio(s->ratio))
                band.ratio = s->ratio;
            band.coderKind = s->coderKind;
            rubberBand_ = band;
            result.movePointerTo = ViewPoint{hit.x, hit.y};
            resizedRegion_ = *s;
            resizedPosition_ = set.selectedIndex();
            set.removeSelected();
            resizing = true;
        }
    }

    Region point(x, y, x, y);
    const bool found = set.findIntersecting(point, true);
    if (found) {
        if (const Region* s = set.selectedRegion()) {
            result.repaint.push_back(ViewRect::around(*s));
            set.deselect();
        }
        set.selectHit();
        result.repaint.push_back(ViewRect::around(*set.selectedRegion()));
    }

    // The moving corner starts at the anchor: a drag whose every position is refused ends as a zero-size band,
    // which the release discards.
    if (!resizing && !found && document_.image().contains(x, y))
        rubberBand_ = Region(x, y, x, y);
    return result;
}

EditResult RegionEditor::move(int x, int y, bool leftButtonHeld)
{
    EditResult result;
    if (!rubberBand_)
        return result;
    Region& band = *rubberBand_;

    if (!leftButtonHeld) {
        result.repaint.push_back(ViewRect::around(band));
        rubberBand_.reset();
        resizedRegion_.reset();
        return result;
    }

    RegionSet& set = document_.regions();
    const RasterImage& picture = document_.image();
    if (!firstDragRepainted_ && set.count() == 0) {
        // The first drag over a picture without regions repaints the whole picture once.
        firstDragRepainted_ = true;
        result.repaint.push_back({0, 0, picture.width() + 1, std::abs(picture.height()) + 1});
    } else {
        result.repaint.push_back(ViewRect::around(band));
    }

    Region candidate = candidateFrom(band, x, y);
    if (set.findIntersecting(candidate, true))
        return result;

    if (picture.contains(x, y)) {
        band.right = x;
        band.bottom = y;
    } else {
        band.right = std::clamp(x, 0, std::max(picture.width() - 1, 0));
        band.bottom = std::clamp(y, 0, std::max(std::abs(picture.height()) - 1, 0));
    }
    result.repaint.push_back(ViewRect::around(candidate));
    return result;
}

EditResult RegionEditor::release(int x, int y)
{
    EditResult result;
    if (!rubberBand_)
        return result;
    Region& band = *rubberBand_;
    RegionSet& set = document_.regions();

    result.repaint.push_back(ViewRect::around(band));
    Region candidate = candidateFrom(band, x, y);
    const ViewRect candidateArea = ViewRect::around(candidate);
    if (document_.image().contains(x, y) && !set.findIntersecting(candidate, true)) {
        band.right = x;
        band.bottom = y;
    }

    const bool tooSmall = std::abs(band.left - band.right) < kMinCornerDistance
        || std::abs(band.top - band.bottom) < kMinCornerDistance;
    result.repaint.push_back(candidateArea);
    if (!tooSmall) {
        if (const Region* s = set.selectedRegion())
            result.repaint.push_back(ViewRect::around(*s));
        if (!set.everAdded())
            document_.showDescriptions();
        set.add(band);
    }
    rubberBand_.reset();
    resizedRegion_.reset();
    return result;
}

EditResult RegionEditor::cancelDrag()
{
    EditResult result;
    if (!rubberBand_)
        return result;
    result.repaint.push_back(ViewRect::around(*rubberBand_));
    rubberBand_.reset();
    if (resizedRegion_) {
        RegionSet& set = document_.regions();
        if (const Region* s = set.selectedRegion())
            result.repaint.push_back(ViewRect::around(*s));
        set.insert(resizedPosition_, *resizedRegion_);
        result.repaint.push_back(ViewRect::around(*resizedRegion_));
        resizedRegion_.reset();
    }
    return result;
}

EditResult RegionEditor::rightClick(int x, int y)
{
    EditResult result;
    RegionSet& set = document_.regions();
    Region* s = set.selectedRegion();
    Region point(x, y, x, y);
    const bool found = set.findIntersecting(point, true);

    if (s) {
        if (found && set.hitRegion() == s) {
            result.menu = ContextMenu::Region;
        } else {
            result.repaint.push_back(ViewRect::around(*s));
            set.deselect();
        }
    } else if (!found && document_.image().contains(x, y)) {
        result.menu = ContextMenu::Background;
    }
    return result;
}

EditResult RegionEditor::setCoderKind(CoderKind kind)
{
    EditResult result;
    if (Region* s = document_.regions().selectedRegion()) {
        s->coderKind = kind;
        result.repaint.push_back(ViewRect::around(*s));
    }
    return result;
}

EditResult RegionEditor::setRatio(int ratio)
{
    EditResult result;
    if (Region* s = document_.regions().selectedRegion()) {
        if (validRatio(ratio))
            s->ratio = ratio;
        result.repaint.push_back(ViewRect::around(*s));
    }
    return result;
}

EditResult RegionEditor::deleteSelected()
{
    EditResult result;
    RegionSet& set = document_.regions();
    if (const Region* s = set.selectedRegion()) {
        result.repaint.push_back(ViewRect::around(*s));
        set.removeSelected();
    }
    return result;
}

EditResult RegionEditor::setBackgroundRatio(int ratio)
{
    BackgroundSettings& background = document_.background();
    background.setRatio(ratio);
    if (!background.ratioUnset())
        document_.showDescriptions();
    EditResult result;
    result.repaint.push_back(kBackgroundLabelArea);
    return result;
}

EditResult RegionEditor::setBackgroundCoderKind(CoderKind kind)
{
    document_.background().setCoderKind(kind);
    EditResult result;
    result.repaint.push_back(kBackgroundLabelArea);
    return result;
}

bool RegionEditor::canSetRatio() const
{
    const Region* s = selected();
    return s && (s->coderKind == CoderKind::Wavelet || s->coderKind == CoderKind::WaveletColour);
}

bool RegionEditor::backgroundKindIs(CoderKind kind) const
{
    return document_.background().coderKind() == kind;
}

bool RegionEditor::selectedKindIs(CoderKind kind) const
{
    const Region* s = selected();
    return s && s->coderKind == kind;
}

std::optional<int> RegionEditor::selectedRatio() const
{
    const Region* s = selected();
    return s ? std::optional<int>(s->ratio) : std::nullopt;
}

} // namespace nubo
