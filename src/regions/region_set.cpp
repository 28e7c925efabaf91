#include "regions/region_set.h"

namespace nubo {

Region* RegionSet::selectedRegion() { return validPosition(selectedIndex_) ? &at(selectedIndex_) : nullptr; }

Region* RegionSet::hitRegion() { return validPosition(hitIndex_) ? &at(hitIndex_) : nullptr; }

bool RegionSet::findIntersecting(Region& rect, bool normalizeFirst)
{
    for (int i = 0; i < count(); ++i) {
        if (at(i).intersects(rect, normalizeFirst)) {
            hitIndex_ = i;
            return true;
        }
    }
    return false;
}

void RegionSet::deselect()
{
    if (validPosition(selectedIndex_))
        selectedIndex_ = -1;
}

void RegionSet::selectHit()
{
    if (validPosition(hitIndex_))
        selectedIndex_ = hitIndex_;
}

void RegionSet::add(Region region)
{
    region.normalize();
    regions_.push_back(region);
    selectedIndex_ = count() - 1;
    everAdded_ = true;
}

void RegionSet::insert(int position, Region region)
{
    region.normalize();
    position = position < 0 ? 0 : (position > count() ? count() : position);
    regions_.insert(regions_.begin() + position, region);
    selectedIndex_ = position;
    everAdded_ = true;
}

void RegionSet::removeSelected()
{
    if (validPosition(selectedIndex_))
        regions_.erase(regions_.begin() + selectedIndex_);
}

void RegionSet::clear()
{
    regions_.clear();
    selectedIndex_ = -1;
    everAdded_ = false;
}

} // namespace nubo
