#pragma once

#include "image/raster_image.h"

#include <cstdint>
#include <vector>

namespace nubo {

// Which pixels of a picture earlier pastes have written. Pasting through the mask fills only pixels no earlier
// paste covered, whatever colour they hold, so a decoded pure-black pixel keeps its place as surely as any other.
class CoverageMask {
public:
    // A mask of width x height pixels, none covered; sizes below 1 give an empty mask.
    CoverageMask(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // The caller keeps (x, y) inside the mask; y counts from the top.
    bool covered(int x, int y) const;
    std::int64_t coveredCount() const;

    // Writes source into target with its top-left pixel at (left, top), only where this mask has no pixel
    // covered, and marks the source's whole rectangle covered. Returns false and changes nothing when target is
    // not of the mask's size or source does not lie inside it; an empty source changes nothing and succeeds.
    bool paste(RasterImage& target, const RasterImage& source, int left, int top);

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> covered_; // one per pixel, rows from the top
};

} // namespace nubo
