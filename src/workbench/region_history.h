#pragma once

#include "document/document_data.h"
#include "regions/background_settings.h"
#include "regions/region_set.h"

#include <string>

namespace nubo {

// Everything a region edit can change: the regions with their selection, and the background settings. Undo and
// redo put a whole state back, so an undone edit leaves exactly what was there before it.
struct RegionState {
    RegionSet regions;
    BackgroundSettings background;
};

RegionState captureRegions(const DocumentData& document);
void restoreRegions(DocumentData& document, const RegionState& state);

// What an edit did, judged from the states before and after it.
enum class RegionEdit {
    None,            // nothing but the selection changed
    Add,             // a region more
    Delete,          // a region fewer
    Resize,          // as many regions, a rectangle changed (a resized region moves to the end of the set)
    CoderKind,       // only coder kinds changed
    Ratio,           // only region ratios changed
    BackgroundRatio, // only the background's ratio changed
    BackgroundCoder, // only the background's coder kind changed
};

RegionEdit classifyEdit(const RegionState& before, const RegionState& after);

// The name of an edit as the Edit menu's history shows it: "Add Region", "Delete Region", "Resize Region",
// "Coder Kind", "Region Ratio", "Background Ratio", "Background Coder"; empty for None.
std::string editName(RegionEdit edit);

// Selects the region at position index, or nothing when index is outside the set.
void selectRegionAt(RegionSet& regions, int index);

} // namespace nubo
