#include "image/coverage_mask.h"

#include <algorithm>
#include <cstring>

namespace nubo {

namespace {

constexpr int kBytesPerPixel = 3;

} // namespace

CoverageMask::CoverageMask(int width, int height)
{
    if (width < 1 || height < 1)
        return;
    width_ = width;
    height_ = height;
    covered_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
}

bool CoverageMask::covered(int x, int y) const
{
    return covered_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)]
        != 0;
}

std::int64_t CoverageMask::coveredCount() const
{
    return static_cast<std::int64_t>(std::count(covered_.begin(), covered_.end(), std::uint8_t{1}));
}

bool CoverageMask::paste(RasterImage& target, const RasterImage& source, int left, int top)
{
    if (target.width() != width_ || target.height() != height_)
        return false;
    if (source.size() == 0)
        return true;
    if (left < 0 || top < 0 || left > width_ - source.width() || top > height_ - source.height())
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>(source.width()) * kBytesPerPixel;
    for (int y = 0; y < source.height(); ++y) {
        // Both pictures store their rows bottom first.
        const std::uint8_t* from = source.data()
            + static_cast<std::size_t>(source.height() - 1 - y) * rowBytes;
        std::uint8_t* to = target.data()
            + (static_cast<std::size_t>(height_ - 1 - (top + y)) * static_cast<std::size_t>(width_)
               + static_cast<std::size_t>(left))
                * kBytesPerPixel;
        std::uint8_t* mark = covered_.data() + static_cast<std::size_t>(top + y) * static_cast<std::size_t>(width_)
            + static_cast<std::size_t>(left);
        for (int x = 0; x < source.width(); ++x, from += kBytesPerPixel, to += kBytesPerPixel) {
            if (mark[x] == 0) {
                std::memcpy(to, from, kBytesPerPixel);
                mark[x] = 1;
            }
        }
    }
    return true;
}

} // namespace nubo
