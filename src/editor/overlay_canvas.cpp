#include "editor/overlay_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace nubo {

namespace {

constexpr std::uint32_t kOpaque = 0xFF000000u;

} // namespace

OverlayCanvas::OverlayCanvas(std::uint32_t* pixels, int width, int height, int stridePixels, int originX,
                             int originY)
    : pixels_(pixels), width_(std::max(width, 0)), height_(std::max(height, 0)), stride_(stridePixels),
      originX_(originX), originY_(originY)
{
}

bool OverlayCanvas::inside(int x, int y) const
{
    return x >= originX_ && x < originX_ + width_ && y >= originY_ && y < originY_ + height_;
}

std::uint32_t OverlayCanvas::pixelAt(int x, int y) const
{
    return pixels_[static_cast<std::size_t>(y - originY_) * static_cast<std::size_t>(stride_)
                   + static_cast<std::size_t>(x - originX_)];
}

void OverlayCanvas::combine(int x, int y, std::uint32_t colour)
{
    if (!inside(x, y))
        return;
    std::uint32_t& pixel = pixels_[static_cast<std::size_t>(y - originY_) * static_cast<std::size_t>(stride_)
                                   + static_cast<std::size_t>(x - originX_)];
    pixel = op_ == RasterOp::Xor ? (pixel ^ colour) : (pixel | colour);
}

void OverlayCanvas::fill(Rgb colour)
{
    for (int y = 0; y < height_; ++y)
        std::fill_n(pixels_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride_), width_,
                    kOpaque | colour.word());
}

void OverlayCanvas::drawPicture(const RasterImage& picture)
{
    if (!picture.isValid())
        return;
    const ViewRect area = bounds().intersected({0, 0, picture.width(), picture.height()});
    if (area.isEmpty())
        return;
    const std::uint8_t* bytes = picture.data();
    for (int y = area.top; y < area.bottom; ++y) {
        // The buffer holds the bottom row first.
        const std::uint8_t* source = bytes
            + (static_cast<std::size_t>(picture.height() - 1 - y) * static_cast<std::size_t>(picture.width())
               + static_cast<std::size_t>(area.left))
                * 3;
        std::uint32_t* target = pixels_ + static_cast<std::size_t>(y - originY_) * static_cast<std::size_t>(stride_)
            + static_cast<std::size_t>(area.left - originX_);
        for (int x = area.left; x < area.right; ++x, source += 3)
            *target++ = kOpaque | (std::uint32_t{source[2]} << 16) | (std::uint32_t{source[1]} << 8) | source[0];
    }
}

void OverlayCanvas::moveTo(int x, int y)
{
    penX_ = x;
    penY_ = y;
    dotPhase_ = 0;
}

void OverlayCanvas::plotPen(int x, int y)
{
    const bool drawn = pen_.style == PenStyle::Solid || (pen_.style == PenStyle::Dotted && dotPhase_ % 2 == 0);
    if (drawn)
        combine(x, y, pen_.colour.word());
    dotPhase_ = (dotPhase_ + 1) % 2;
}

void OverlayCanvas::lineTo(int x, int y)
{
    // Bresenham's walk from the current position; the end point belongs to the next line.
    int cx = penX_;
    int cy = penY_;
    const int dx = std::abs(x - cx);
    const int dy = -std::abs(y - cy);
    const int sx = cx < x ? 1 : -1;
    const int sy = cy < y ? 1 : -1;
    int error = dx + dy;
    while (cx != x || cy != y) {
        plotPen(cx, cy);
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            cx += sx;
        }
        if (twice <= dx) {
            error += dx;
            cy += sy;
        }
    }
    penX_ = x;
    penY_ = y;
}

void OverlayCanvas::fillSpan(int left, int top, int right, int bottom, std::uint32_t colour)
{
    const ViewRect area = bounds().intersected({left, top, right, bottom});
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            combine(x, y, colour);
}

void OverlayCanvas::rectangle(int left, int top, int right, int bottom)
{
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);
    if (right <= left || bottom <= top)
        return;
    if (pen_.style == PenStyle::None) {
        fillSpan(left, top, right, bottom, brush_.word());
        return;
    }
    fillSpan(left + 1, top + 1, right - 1, bottom - 1, brush_.word());

    // The border pixels, each once, clockwise from the top-left one.
    const int lastX = right - 1;
    const int lastY = bottom - 1;
    dotPhase_ = 0;
    for (int x = left; x <= lastX; ++x)
        plotPen(x, top);
    for (int y = top + 1; y <= lastY; ++y)
        plotPen(lastX, y);
    if (lastY > top)
        for (int x = lastX - 1; x >= left; --x)
            plotPen(x, lastY);
    if (lastX > left)
        for (int y = lastY - 1; y > top; --y)
            plotPen(left, y);
    dotPhase_ = 0;
}

} // namespace nubo
