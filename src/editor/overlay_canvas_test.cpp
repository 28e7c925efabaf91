#include "editor/overlay_canvas.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace nubo {
namespace {

constexpr std::uint32_t kGrey = 0xFF808080u;

// A canvas over its own buffer, filled with one colour.
struct Surface {
    Surface(int w, int h, int ox = 0, int oy = 0, std::uint32_t colour = kGrey)
        : pixels(static_cast<std::size_t>(w * h), colour), canvas(pixels.data(), w, h, w, ox, oy)
    {
    }
    int countChanged(std::uint32_t background = kGrey) const
    {
        int n = 0;
        for (std::uint32_t p : pixels)
            n += p != background ? 1 : 0;
        return n;
    }
    std::vector<std::uint32_t> pixels;
    OverlayCanvas canvas;
};

// A line leaves out its end point, and the joint of a polyline is drawn once, so XOR does not cancel it.
TEST(OverlayCanvasLines, EndPointLeftOutAndJointDrawnOnce)
{
    Surface s(20, 20);
    s.canvas.setRasterOp(RasterOp::Xor);
    s.canvas.selectPen({PenStyle::Solid, {0xFF, 0, 0}});
    s.canvas.moveTo(2, 2);
    s.canvas.lineTo(2, 8);
    s.canvas.lineTo(9, 8);
    EXPECT_EQ(s.canvas.pixelAt(2, 2), 0xFF7F8080u);
    EXPECT_EQ(s.canvas.pixelAt(2, 8), 0xFF7F8080u); // the joint, once
    EXPECT_EQ(s.canvas.pixelAt(8, 8), 0xFF7F8080u);
    EXPECT_EQ(s.canvas.pixelAt(9, 8), kGrey); // end point
    EXPECT_EQ(s.countChanged(), 6 + 7);
}

// The dotted pen draws every other pixel and carries its pattern across the joint of a polyline.
TEST(OverlayCanvasLines, DottedPatternContinuesAcrossJoints)
{
    Surface s(20, 20);
    s.canvas.selectPen({PenStyle::Dotted, {0, 0, 0xFF}});
    s.canvas.moveTo(0, 0);
    s.canvas.lineTo(3, 0); // pixels 0, 1, 2: drawn, skipped, drawn
    s.canvas.lineTo(3, 3); // (3,0) skipped, (3,1) drawn, (3,2) skipped
    EXPECT_NE(s.canvas.pixelAt(0, 0), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(1, 0), kGrey);
    EXPECT_NE(s.canvas.pixelAt(2, 0), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(3, 0), kGrey);
    EXPECT_NE(s.canvas.pixelAt(3, 1), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(3, 2), kGrey);
    // A move starts the pattern afresh.
    s.canvas.moveTo(10, 10);
    s.canvas.lineTo(10, 12);
    EXPECT_NE(s.canvas.pixelAt(10, 10), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(10, 11), kGrey);
}

// A rectangle's right and bottom are exclusive; the pen draws each border pixel once, the brush the inside.
TEST(OverlayCanvasRectangles, BorderOnceAndBrushInside)
{
    Surface s(20, 20);
    s.canvas.setRasterOp(RasterOp::Xor);
    s.canvas.selectPen({PenStyle::Solid, {0xFF, 0xFF, 0xFF}});
    s.canvas.selectBrush({0x01, 0x02, 0x03});
    s.canvas.rectangle(2, 3, 8, 7); // pixels 2..7 x 3..6
    EXPECT_EQ(s.canvas.pixelAt(2, 3), 0xFF7F7F7Fu);
    EXPECT_EQ(s.canvas.pixelAt(7, 6), 0xFF7F7F7Fu);
    EXPECT_EQ(s.canvas.pixelAt(7, 3), 0xFF7F7F7Fu);
    EXPECT_EQ(s.canvas.pixelAt(2, 6), 0xFF7F7F7Fu);
    EXPECT_EQ(s.canvas.pixelAt(3, 4), 0xFF818283u);
    EXPECT_EQ(s.canvas.pixelAt(8, 3), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(2, 7), kGrey);
    EXPECT_EQ(s.countChanged(), 6 * 4);
}

// XORing the same dotted rectangle twice restores every pixel: no border pixel is visited twice.
TEST(OverlayCanvasRectangles, DottedXorTwiceRestores)
{
    Surface s(30, 30);
    s.canvas.setRasterOp(RasterOp::Xor);
    s.canvas.selectPen({PenStyle::Dotted, {160, 160, 3}});
    s.canvas.selectBrush({0, 0, 0});
    s.canvas.rectangle(3, 4, 14, 12);
    // Clockwise from the top-left: 11 top pixels, then down the right edge, so (13,4) is drawn (index 10),
    // (13,5) skipped, (13,6) drawn.
    EXPECT_NE(s.canvas.pixelAt(3, 4), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(4, 4), kGrey);
    EXPECT_NE(s.canvas.pixelAt(13, 4), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(13, 5), kGrey);
    EXPECT_NE(s.canvas.pixelAt(13, 6), kGrey);
    const int perimeter = 2 * (11 + 8) - 4;
    EXPECT_EQ(s.countChanged(), perimeter / 2);
    s.canvas.rectangle(3, 4, 14, 12);
    EXPECT_EQ(s.countChanged(), 0);
}

// Reversed corners are put in order before the exclusive right and bottom apply.
TEST(OverlayCanvasRectangles, ReversedCornersNormalised)
{
    Surface s(20, 20);
    s.canvas.selectPen({PenStyle::Solid, {0, 0, 0xFF}});
    s.canvas.rectangle(10, 10, 4, 5); // same as (4, 5, 10, 10)
    EXPECT_NE(s.canvas.pixelAt(4, 5), kGrey);
    EXPECT_NE(s.canvas.pixelAt(9, 9), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(10, 10), kGrey);
}

// Merge ORs pen and brush colours into the pixels.
TEST(OverlayCanvasRectangles, MergeOrsColours)
{
    Surface s(10, 10);
    s.canvas.setRasterOp(RasterOp::Merge);
    s.canvas.selectPen({PenStyle::Solid, {0, 0, 0}});
    s.canvas.selectBrush({22, 22, 3});
    s.canvas.rectangle(0, 0, 5, 5);
    EXPECT_EQ(s.canvas.pixelAt(0, 0), kGrey);
    EXPECT_EQ(s.canvas.pixelAt(2, 2), 0xFF969683u);
}

// A figure painted through two half canvases gives the pixels of the figure painted whole.
TEST(OverlayCanvasClipping, PiecesMatchWhole)
{
    auto paint = [](OverlayCanvas& c) {
        c.selectPen({PenStyle::Dotted, {160, 160, 3}});
        c.selectBrush({22, 22, 3});
        c.rectangle(1, 1, 19, 17);
        c.moveTo(3, 15);
        c.lineTo(3, 2);
        c.lineTo(17, 2);
    };
    Surface whole(20, 20);
    paint(whole.canvas);
    Surface top(20, 9, 0, 0);
    Surface bottom(20, 11, 0, 9);
    paint(top.canvas);
    paint(bottom.canvas);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(whole.canvas.pixelAt(x, y), y < 9 ? top.canvas.pixelAt(x, y) : bottom.canvas.pixelAt(x, y))
                << x << "," << y;
}

// The picture is copied bottom row first into top-down words, blue the lowest byte.
TEST(OverlayCanvasPicture, CopiesBottomUpBgrExactly)
{
    RasterImage picture;
    ASSERT_TRUE(picture.allocate(3, 2));
    for (int i = 0; i < picture.size(); ++i)
        picture.data()[i] = static_cast<std::uint8_t>(i + 1);
    Surface s(4, 3, 0, 0, 0xFFFFFFFFu);
    s.canvas.drawPicture(picture);
    // Top row (y = 0) is the buffer's second row: bytes 10..18.
    EXPECT_EQ(s.canvas.pixelAt(0, 0), 0xFF0C0B0Au);
    EXPECT_EQ(s.canvas.pixelAt(2, 0), 0xFF121110u);
    EXPECT_EQ(s.canvas.pixelAt(0, 1), 0xFF030201u);
    EXPECT_EQ(s.canvas.pixelAt(3, 0), 0xFFFFFFFFu); // outside the picture
    EXPECT_EQ(s.canvas.pixelAt(0, 2), 0xFFFFFFFFu);
}

} // namespace
} // namespace nubo
