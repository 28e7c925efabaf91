#pragma once

#include "image/raster_image.h"
#include "editor/view_rect.h"

#include <cstdint>

namespace nubo {

// A colour as the drawing tools name it, red first.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    // The colour as a 32-bit 0xAARRGGBB word without alpha bits, ready to be XORed or ORed into a pixel.
    std::uint32_t word() const
    {
        return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | std::uint32_t{b};
    }
};

// How the pen and the brush combine with the pixels already there.
enum class RasterOp {
    Xor,   // pixel ^ colour: drawing the same figure twice restores the picture
    Merge, // pixel | colour
};

enum class PenStyle {
    Solid,
    Dotted, // one pixel drawn, one left alone, along each figure
    None,
};

struct Pen {
    PenStyle style = PenStyle::Solid;
    Rgb colour;
};

// The view's overlay surface: a window onto a buffer of 32-bit pixels (0xFFRRGGBB words, the memory layout of a
// QImage in Format_RGB32) whose first pixel is the view point (originX, originY). Every figure is computed in view
// coordinates and only the pixels inside the window are touched, so a figure painted in pieces (one repaint
// rectangle at a time) gives the same pixels as one painted whole. Colours combine by exact bitwise XOR or OR on
// the colour bits; the alpha byte is never changed.
class OverlayCanvas {
public:
    OverlayCanvas(std::uint32_t* pixels, int width, int height, int stridePixels, int originX, int originY);

    // The view rectangle this canvas covers.
    ViewRect bounds() const { return {originX_, originY_, originX_ + width_, originY_ + height_}; }

    void fill(Rgb colour);

    // Copies the picture 1:1 with its top-left pixel at the view origin; an empty picture copies nothing.
    void drawPicture(const RasterImage& picture);

    void setRasterOp(RasterOp op) { op_ = op; }
    void selectPen(Pen pen) { pen_ = pen; }
    void selectBrush(Rgb brush) { brush_ = brush; }

    // The current position moves without drawing; the dot pattern starts afresh with the next line.
    void moveTo(int x, int y);

    // Draws from the current position to (x, y), leaving out the end point, and makes (x, y) the current
    // position. Consecutive lines continue one dot pattern, so the joint of a polyline is drawn once.
    void lineTo(int x, int y);

    // The rectangle's corners are put in order first; its right and bottom edges are exclusive. The pen draws the
    // one-pixel border, clockwise from the top-left pixel with one dot pattern, and the brush fills the pixels
    // inside the border. With no pen the brush fills the whole rectangle.
    void rectangle(int left, int top, int right, int bottom);

    // The 0xFFRRGGBB word at a view point inside the canvas.
    std::uint32_t pixelAt(int x, int y) const;

private:
    bool inside(int x, int y) const;
    void combine(int x, int y, std::uint32_t colour);
    // Draws (x, y) with the pen when the dot pattern says so, then advances the pattern.
    void plotPen(int x, int y);
    void fillSpan(int left, int top, int right, int bottom, std::uint32_t colour);

    std::uint32_t* pixels_;
    int width_;
    int height_;
    int stride_;
    int originX_;
    int originY_;

    RasterOp op_ = RasterOp::Xor;
    Pen pen_;
    Rgb brush_;
    int penX_ = 0;
    int penY_ = 0;
    int dotPhase_ = 0;
};

} // namespace nubo
