#pragma once

#include <cstdint>
#include <vector>

namespace nubo {

class RegionSet;

// Which pixels of a width x height picture a measure covers: one flag per pixel, top row first.
class PixelSelection {
public:
    PixelSelection() = default;

    static PixelSelection everything(int width, int height);
    static PixelSelection nothing(int width, int height);
    // The pixels inside some region of the set, bounds included (the same pixels QualityMeasure selects).
    static PixelSelection insideRegions(int width, int height, const RegionSet& regions);
    // The pixels outside every region of the set: what a stream's background record alone covers.
    static PixelSelection outsideRegions(int width, int height, const RegionSet& regions);
    // The pixels of one inclusive rectangle, y from the top, clipped to the picture.
    static PixelSelection rectangle(int width, int height, int left, int top, int right, int bottom);

    // Selects or deselects an inclusive rectangle, clipped to the picture.
    void setRectangle(int left, int top, int right, int bottom, bool selected);

    int width() const { return width_; }
    int height() const { return height_; }
    bool isSelected(int x, int y) const
    {
        return flags_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] != 0;
    }
    std::int64_t count() const;

private:
    PixelSelection(int width, int height, bool selected);

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> flags_;
};

} // namespace nubo
