#pragma once

#include "regions/region.h"

#include <algorithm>

namespace nubo {

// A rectangle of view (client) pixels whose right and bottom edges are exclusive, as repaint requests and the
// drawing routines take it. y counts from the top, like picture coordinates.
struct ViewRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const ViewRect&) const = default;

    bool isEmpty() const { return right <= left || bottom <= top; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }

    // The pixels a region covers: its ordered corners, with one added to right and bottom so that the last
    // column and row are included.
    static ViewRect around(const Region& region)
    {
        const PixelRect r = region.normalizedRect();
        return {r.left, r.top, r.right + 1, r.bottom + 1};
    }

    ViewRect intersected(const ViewRect& other) const
    {
        return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
                std::min(bottom, other.bottom)};
    }
};

} // namespace nubo
