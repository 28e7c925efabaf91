#include "workbench/zoom.h"

#include <gtest/gtest.h>

#include <array>

namespace nubo {
namespace {

// The steps are the whole multiples users ask for, in order, and zooming walks them without skipping.
TEST(ZoomSteps, WalkUpAndDownThroughEveryStep)
{
    const std::vector<Zoom>& steps = zoomSteps();
    ASSERT_EQ(steps.size(), 12u);
    EXPECT_EQ(steps.front(), (Zoom{1, 8}));
    EXPECT_EQ(steps.back(), (Zoom{16, 1}));
    for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
        EXPECT_EQ(zoomIn(steps[i]), steps[i + 1]);
        EXPECT_EQ(zoomOut(steps[i + 1]), steps[i]);
    }
    EXPECT_EQ(zoomIn(steps.back()), steps.back());
    EXPECT_EQ(zoomOut(steps.front()), steps.front());
    // A zoom between steps goes to the next step in the chosen direction.
    EXPECT_EQ(zoomIn(Zoom{5, 1}), (Zoom{6, 1}));
    EXPECT_EQ(zoomOut(Zoom{5, 1}), (Zoom{4, 1}));
    EXPECT_EQ(zoomOut(Zoom{1, 5}), (Zoom{1, 6}));
}

// Screen pixels map to the picture pixel they show: nearest pixel when magnified, block corners when reduced.
TEST(ZoomMapping, ScreenAndPicturePositions)
{
    const Zoom twice{2, 1};
    EXPECT_EQ(twice.toPicture(0), 0);
    EXPECT_EQ(twice.toPicture(1), 0);
    EXPECT_EQ(twice.toPicture(2), 1);
    EXPECT_EQ(twice.toPicture(-1), -1);
    EXPECT_EQ(twice.toScreen(7), 14);
    EXPECT_EQ(twice.pixelCentre(7), 15);
    EXPECT_EQ(twice.toPicture(twice.pixelCentre(7)), 7);

    const Zoom half{1, 2};
    EXPECT_EQ(half.toPicture(5), 10);
    EXPECT_EQ(half.toScreen(11), 5);
    EXPECT_EQ(half.toScreen(-1), -1);
    EXPECT_EQ(half.screenLength(71), 36);

    const Zoom actual;
    for (int v : {-3, 0, 9, 1410})
        EXPECT_EQ(actual.toPicture(v), v);
}

// Repaint rectangles cover every screen pixel that shows a changed picture pixel, and back.
TEST(ZoomMapping, Rectangles)
{
    EXPECT_EQ((Zoom{3, 1}).toScreen(ViewRect{2, 4, 5, 9}), (ViewRect{6, 12, 15, 27}));
    EXPECT_EQ((Zoom{3, 1}).toPicture(ViewRect{7, 12, 16, 27}), (ViewRect{2, 4, 6, 9}));
    EXPECT_EQ((Zoom{1, 4}).toScreen(ViewRect{5, 8, 9, 13}), (ViewRect{1, 2, 3, 4}));
    EXPECT_EQ((Zoom{1, 4}).toPicture(ViewRect{1, 2, 3, 4}), (ViewRect{4, 8, 12, 16}));
}

// The status bar shows the zoom as a percentage with at most one decimal.
TEST(ZoomMapping, PercentText)
{
    EXPECT_EQ((Zoom{}).percentText(), "100 %");
    EXPECT_EQ((Zoom{16, 1}).percentText(), "1600 %");
    EXPECT_EQ((Zoom{1, 2}).percentText(), "50 %");
    EXPECT_EQ((Zoom{1, 3}).percentText(), "33.3 %");
    EXPECT_EQ((Zoom{1, 6}).percentText(), "16.7 %");
    EXPECT_EQ((Zoom{1, 8}).percentText(), "12.5 %");
}

// Fit in Window picks the largest step that fits, also for tiny and huge pictures.
TEST(ZoomFit, LargestStepThatFits)
{
    EXPECT_EQ(fitZoom(70, 46, 640, 480), (Zoom{8, 1}));
    EXPECT_EQ(fitZoom(1411, 1411, 800, 600), (Zoom{1, 3}));
    EXPECT_EQ(fitZoom(640, 480, 640, 480), (Zoom{1, 1}));
    EXPECT_EQ(fitZoom(100000, 10, 100, 100), (Zoom{1, 8}));
    EXPECT_EQ(fitZoom(0, 0, 100, 100), (Zoom{}));
}

// Magnifying repeats each pixel factor x factor times and respects both strides.
TEST(ZoomPixels, MagnifyIsNearestPixel)
{
    const std::array<std::uint32_t, 6> src{1, 2, 99, 3, 4, 99}; // 2 x 2 with a stride of 3
    std::array<std::uint32_t, 7 * 6> dst{};
    magnifyPixels(src.data(), 2, 2, 3, 3, dst.data(), 7);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(dst[static_cast<std::size_t>(y * 7 + x)], src[static_cast<std::size_t>((y / 3) * 3 + x / 3)])
                << x << "," << y;
    EXPECT_EQ(dst[6], 0u); // the padding column is left alone
}

// Reducing averages each block with rounding; edge blocks average only the pixels they hold.
TEST(ZoomPixels, ReduceAveragesBlocks)
{
    RasterImage picture;
    ASSERT_TRUE(picture.allocate(3, 2));
    picture.fill(0);
    const auto set = [&](int x, int y, std::uint8_t v) {
        std::uint8_t* p = picture.data() + (static_cast<std::size_t>(3 * (2 - y - 1) + x)) * 3;
        p[0] = p[1] = p[2] = v;
    };
    set(0, 0, 10);
    set(1, 0, 11);
    set(0, 1, 0);
    set(1, 1, 0); // block mean 21 / 4 = 5.25 -> 5
    set(2, 0, 200);
    set(2, 1, 101); // edge block mean 150.5 -> 151
    const RasterImage reduced = reducePicture(picture, 2);
    ASSERT_EQ(reduced.width(), 2);
    ASSERT_EQ(reduced.height(), 1);
    EXPECT_EQ(reduced.pixel(0, 0).r, 5);
    EXPECT_EQ(reduced.pixel(1, 0).g, 151);
    EXPECT_FALSE(reducePicture(RasterImage(), 2).isValid());
}

// The reduced document keeps the selection and the label settings, with the corners divided.
TEST(ZoomDocument, ReducedDocumentKeepsSelection)
{
    DocumentData source;
    ASSERT_TRUE(source.image().allocate(64, 64));
    source.regions().add(Region(0, 0, 15, 15));
    source.regions().add(Region(20, 20, 40, 50));
    source.regions().add(Region(50, 0, 60, 10));
    Region probe(25, 25, 25, 25);
    ASSERT_TRUE(source.regions().findIntersecting(probe, true));
    source.regions().deselect();
    source.regions().selectHit();
    source.setDescriptionMode(DescriptionMode::Full);
    source.background().setRatio(30);

    DocumentData reduced;
    buildReducedDocument(source, reducePicture(source.image(), 4), 4, reduced);
    ASSERT_EQ(reduced.regions().count(), 3);
    EXPECT_EQ(reduced.regions().selectedIndex(), 1);
    EXPECT_EQ(reduced.regions().at(1).left, 5);
    EXPECT_EQ(reduced.regions().at(1).bottom, 12);
    EXPECT_EQ(reduced.image().width(), 16);
    EXPECT_EQ(reduced.descriptionMode(), DescriptionMode::Full);
    EXPECT_EQ(reduced.background().ratio(), 30);
}

} // namespace
} // namespace nubo
