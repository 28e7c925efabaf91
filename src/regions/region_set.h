#pragma once

#include "regions/region.h"

#include <vector>

namespace nubo {

// The ordered regions of one document, with the selected region and the last hit. A region's number, as the user
// sees it, is its position + 1; the .roi stream stores the regions in this order.
class RegionSet {
public:
    int count() const { return static_cast<int>(regions_.size()); }

    // The caller keeps 0 <= i < count().
    Region& at(int i) { return regions_[static_cast<std::size_t>(i)]; }
    const Region& at(int i) const { return regions_[static_cast<std::size_t>(i)]; }

    int selectedIndex() const { return selectedIndex_; }
    int hitIndex() const { return hitIndex_; }
    bool everAdded() const { return everAdded_; }

    Region* selectedRegion();
    Region* hitRegion();

    // Stores the position of the first region that intersects rect in hitIndex; a failed search leaves hitIndex.
    bool findIntersecting(Region& rect, bool normalizeFirst);

    void deselect();
    void selectHit();

    // Normalises and appends the region, selects it and marks the set as added to.
    void add(Region region);

    // Normalises the region and puts it at position (clamped to 0 ... count()), moving the later ones up, and
    // selects it; for a region taken out and given back unchanged.
    void insert(int position, Region region);

    // Removes the selected region; the indices keep their values, so its successor becomes selected.
    void removeSelected();

    // Removes every region; nothing selected, everAdded false, hitIndex kept.
    void clear();

    // Removes every region and nothing else (document destruction).
    void releaseAll() { regions_.clear(); }

private:
    bool validPosition(int i) const { return i >= 0 && i < count(); }

    std::vector<Region> regions_;
    int selectedIndex_ = -1;
    int hitIndex_ = -1;
    bool everAdded_ = false;
};

} // namespace nubo
