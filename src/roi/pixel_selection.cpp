#include "roi/pixel_selection.h"

#include "regions/region_set.h"

#include <algorithm>

namespace nubo {

PixelSelection::PixelSelection(int width, int height, bool selected)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      flags_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), selected ? 1 : 0)
{
}

PixelSelection PixelSelection::everything(int width, int height) { return PixelSelection(width, height, true); }

PixelSelection PixelSelection::nothing(int width, int height) { return PixelSelection(width, height, false); }

PixelSelection PixelSelection::insideRegions(int width, int height, const RegionSet& regions)
{
    PixelSelection selection(width, height, false);
    for (int i = 0; i < regions.count(); ++i) {
        const Region& r = regions.at(i);
        selection.setRectangle(r.left, r.top, r.right, r.bottom, true);
    }
    return selection;
}

PixelSelection PixelSelection::outsideRegions(int width, int height, const RegionSet& regions)
{
    PixelSelection selection(width, height, true);
    for (int i = 0; i < regions.count(); ++i) {
        const Region& r = regions.at(i);
        selection.setRectangle(r.left, r.top, r.right, r.bottom, false);
    }
    return selection;
}

PixelSelection PixelSelection::rectangle(int width, int height, int left, int top, int right, int bottom)
{
    PixelSelection selection(width, height, false);
    selection.setRectangle(left, top, right, bottom, true);
    return selection;
}

void PixelSelection::setRectangle(int left, int top, int right, int bottom, bool selected)
{
    const int x0 = std::max(std::min(left, right), 0);
    const int x1 = std::min(std::max(left, right), width_ - 1);
    const int y0 = std::max(std::min(top, bottom), 0);
    const int y1 = std::min(std::max(top, bottom), height_ - 1);
    for (int y = y0; y <= y1; ++y) {
        if (x0 > x1)
            break;
        const auto row = flags_.begin() + static_cast<std::ptrdiff_t>(y) * width_;
        std::fill(row + x0, row + x1 + 1, selected ? 1 : 0);
    }
}

std::int64_t PixelSelection::count() const
{
    return std::count(flags_.begin(), flags_.end(), std::uint8_t{1});
}

} // namespace nubo
