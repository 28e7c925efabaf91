#pragma once

#include "common/status.h"
#include "regions/region.h"

#include <string>

namespace nubo {

class RegionSet;

// The columns of the region inspector, one row per region in set order.
enum class InspectorColumn { Number, Left, Top, Right, Bottom, Width, Height, Coder, Ratio };
inline constexpr int kInspectorColumnCount = 9;

// "#", "Left", "Top", "Right", "Bottom", "Width", "Height", "Coder", "Ratio".
const char* inspectorColumnTitle(InspectorColumn column);

// The menus' name of a coder kind: "Wavelet", "Wavelet (colour)", "Arithmetic", "Lossless (predictive)"; a kind
// from a damaged stream shows as "Kind N".
std::string coderKindName(CoderKind kind);

// The text of a region's cell; its number is position + 1.
std::string inspectorCell(const Region& region, int position, InspectorColumn column);

// The rectangle columns (Left ... Height) and Coder can always be edited; Ratio only for a wavelet kind, as the
// context menu's "Set Ratio" is; Number never.
bool inspectorCellEditable(const Region& region, InspectorColumn column);

// The region at `position` with one rectangle column set to value (a width or height moves the right or bottom
// edge), checked as the mouse editor checks a band: it must lie inside the width x height picture, span at least
// 7 x 7 pixels and meet no other region of the set. A refusal says why, in a sentence for a message box.
StatusOr<Region> regionWithEdge(const RegionSet& regions, int position, InspectorColumn column, int value,
                                int width, int height);

} // namespace nubo
