#pragma once

namespace nubo {

// The largest region a payload may decode to: the part of the picture from the record's top-left corner to the
// picture's right and bottom edges. A payload announcing more is refused before its pixels are decoded.
struct RegionRoom {
    int width = 0;
    int height = 0;

    bool holds(long long w, long long h) const { return w >= 1 && h >= 1 && w <= width && h <= height; }
};

} // namespace nubo
