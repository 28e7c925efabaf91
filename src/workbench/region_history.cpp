#include "workbench/region_history.h"

namespace nubo {

namespace {

bool sameRect(const Region& a, const Region& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace

RegionState captureRegions(const DocumentData& document) { return {document.regions(), document.background()}; }

void restoreRegions(DocumentData& document, const RegionState& state)
{
    document.regions() = state.regions;
    document.background() = state.background;
}

RegionEdit classifyEdit(const RegionState& before, const RegionState& after)
{
    const RegionSet& a = before.regions;
    const RegionSet& b = after.regions;
    if (b.count() > a.count())
        return RegionEdit::Add;
    if (b.count() < a.count())
        return RegionEdit::Delete;
    bool kind = false;
    bool ratio = false;
    for (int i = 0; i < a.count(); ++i) {
        if (!sameRect(a.at(i), b.at(i)))
            return RegionEdit::Resize;
        kind = kind || a.at(i).coderKind != b.at(i).coderKind;
        ratio = ratio || a.at(i).ratio != b.at(i).ratio;
    }
    if (kind)
        return RegionEdit::CoderKind;
    if (ratio)
        return RegionEdit::Ratio;
    if (before.background.ratio() != after.background.ratio()
        || before.background.ratioUnset() != after.background.ratioUnset())
        return RegionEdit::BackgroundRatio;
    if (before.background.coderKind() != after.background.coderKind())
        return RegionEdit::BackgroundCoder;
    return RegionEdit::None;
}

std::string editName(RegionEdit edit)
{
    switch (edit) {
    case RegionEdit::Add:
        return "Add Region";
    case RegionEdit::Delete:
        return "Delete Region";
    case RegionEdit::Resize:
        return "Resize Region";
    case RegionEdit::CoderKind:
        return "Coder Kind";
    case RegionEdit::Ratio:
        return "Region Ratio";
    case RegionEdit::BackgroundRatio:
        return "Background Ratio";
    case RegionEdit::BackgroundCoder:
        return "Background Coder";
    case RegionEdit::None:
        break;
    }
    return {};
}

void selectRegionAt(RegionSet& regions, int index)
{
    regions.deselect();
    if (index < 0 || index >= regions.count())
        return;
    // The regions of a set never intersect one another, so the first region that meets this one is itself.
    Region probe = regions.at(index);
    if (regions.findIntersecting(probe, true))
        regions.selectHit();
}

} // namespace nubo
