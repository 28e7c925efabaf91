#include "workbench/region_table.h"

#include "common/diagnostics.h"
#include "regions/region_set.h"

namespace nubo {

namespace {

// The mouse editor adds a band only when its corners are more than 5 pixels apart on both axes.
constexpr int kMinRegionSpan = 7;

} // namespace

const char* inspectorColumnTitle(InspectorColumn column)
{
    switch (column) {
    case InspectorColumn::Number:
        return "#";
    case InspectorColumn::Left:
        return "Left";
    case InspectorColumn::Top:
        return "Top";
    case InspectorColumn::Right:
        return "Right";
    case InspectorColumn::Bottom:
        return "Bottom";
    case InspectorColumn::Width:
        return "Width";
    case InspectorColumn::Height:
        return "Height";
    case InspectorColumn::Coder:
        return "Coder";
    case InspectorColumn::Ratio:
        return "Ratio";
    }
    return "";
}

std::string coderKindName(CoderKind kind)
{
    switch (kind) {
    case CoderKind::Wavelet:
        return "Wavelet";
    case CoderKind::WaveletColour:
        return "Wavelet (colour)";
    case CoderKind::Arithmetic:
        return "Arithmetic";
    case CoderKind::Predictive:
        return "Lossless (predictive)";
    }
    return formatText("Kind %d", static_cast<int>(kind));
}

std::string inspectorCell(const Region& region, int position, InspectorColumn column)
{
    switch (column) {
    case InspectorColumn::Number:
        return std::to_string(position + 1);
    case InspectorColumn::Left:
        return std::to_string(region.left);
    case InspectorColumn::Top:
        return std::to_string(region.top);
    case InspectorColumn::Right:
        return std::to_string(region.right);
    case InspectorColumn::Bottom:
        return std::to_string(region.bottom);
    case InspectorColumn::Width:
        return std::to_string(region.width());
    case InspectorColumn::Height:
        return std::to_string(region.height());
    case InspectorColumn::Coder:
        return coderKindName(region.coderKind);
    case InspectorColumn::Ratio:
        return std::to_string(region.ratio);
    }
    return {};
}

bool inspectorCellEditable(const Region& region, InspectorColumn column)
{
    if (column == InspectorColumn::Number)
        return false;
    if (column == InspectorColumn::Ratio)
        return region.coderKind == CoderKind::Wavelet || region.coderKind == CoderKind::WaveletColour;
    return true;
}

StatusOr<Region> regionWithEdge(const RegionSet& regions, int position, InspectorColumn column, int value,
                                int width, int height)
{
    if (position < 0 || position >= regions.count())
        return failure(formatText("There is no region %d.", position + 1));
    Region edited = regions.at(position);
    // Widths and heights are worked out in 64 bits: a typed value may be as large as an int holds.
    long long right = edited.right;
    long long bottom = edited.bottom;
    switch (column) {
    case InspectorColumn::Left:
        edited.left = value;
        break;
    case InspectorColumn::Top:
        edited.top = value;
        break;
    case InspectorColumn::Right:
        right = value;
        break;
    case InspectorColumn::Bottom:
        bottom = value;
        break;
    case InspectorColumn::Width:
        right = static_cast<long long>(edited.left) + value - 1;
        break;
    case InspectorColumn::Height:
        bottom = static_cast<long long>(edited.top) + value - 1;
        break;
    default:
        return failure(formatText("The %s of a region is not a rectangle's edge.", inspectorColumnTitle(column)));
    }
    if (right - edited.left + 1 < kMinRegionSpan || bottom - edited.top + 1 < kMinRegionSpan)
        return failure(formatText("A region must span at least %d x %d pixels.", kMinRegionSpan, kMinRegionSpan));
    if (edited.left < 0 || edited.top < 0 || right >= width || bottom >= height)
        return failure(formatText("The region must lie inside the picture: x from 0 to %d, y from 0 to %d.",
                                  width - 1, height - 1));
    edited.right = static_cast<int>(right);
    edited.bottom = static_cast<int>(bottom);
    for (int i = 0; i < regions.count(); ++i) {
        if (i == position)
            continue;
        Region probe = edited;
        if (regions.at(i).intersects(probe, false))
            return failure(formatText("The region would intersect region %d.", i + 1));
    }
    return edited;
}

} // namespace nubo
