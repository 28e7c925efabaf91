#pragma once

#include "document/document_data.h"
#include "image/raster_image.h"
#include "regions/region.h"
#include "editor/view_rect.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nubo {

// A view's magnification: either `factor` screen pixels per picture pixel (factor >= 1, divisor 1) or one screen
// pixel per `divisor` picture pixels (divisor >= 2, factor 1). Only whole multiples are used, so a picture pixel
// always covers whole screen pixels, or a screen pixel whole picture pixels.
struct Zoom {
    int factor = 1;
    int divisor = 1;

    bool operator==(const Zoom&) const = default;

    bool isActualSize() const { return factor == 1 && divisor == 1; }
    bool magnifies() const { return factor > 1; }
    bool reduces() const { return divisor > 1; }

    // The picture column or row under a screen column or row (nearest pixel: the one the screen pixel lies in);
    // negative screen positions map to negative picture positions.
    int toPicture(int screen) const;
    // The first screen column or row of a picture column or row.
    int toScreen(int picture) const;
    // The screen point that maps back to the picture pixel: its centre when magnified.
    int pixelCentre(int picture) const;
    // A screen length for a picture length, rounded up so that a partly covered screen pixel counts.
    int screenLength(int pictureLength) const;

    // The screen pixels that show a rectangle of picture pixels (right and bottom exclusive).
    ViewRect toScreen(const ViewRect& picture) const;
    // The picture pixels a rectangle of screen pixels shows, whole pixels, partly shown ones included.
    ViewRect toPicture(const ViewRect& screen) const;

    // "200 %", "50 %", "12.5 %".
    std::string percentText() const;
};

// The zoom steps in increasing order: 1/8, 1/6, 1/4, 1/3, 1/2, 1, 2, 3, 4, 6, 8, 16.
const std::vector<Zoom>& zoomSteps();

// The next step up or down; the largest and smallest steps stay as they are. A zoom between steps goes to the
// nearest step in that direction.
Zoom zoomIn(Zoom current);
Zoom zoomOut(Zoom current);

// The largest step at which a width x height picture fits in an area of areaWidth x areaHeight screen pixels; the
// smallest step when even that does not fit, and 1:1 for an empty picture.
Zoom fitZoom(int width, int height, int areaWidth, int areaHeight);

// A rectangle of a 32-bit pixel buffer magnified by a whole factor: every source pixel becomes factor x factor
// copies of itself (nearest pixel, no blending). dst holds (srcWidth * factor) x (srcHeight * factor) pixels with
// dstStride pixels per row.
void magnifyPixels(const std::uint32_t* src, int srcWidth, int srcHeight, int srcStride, int factor,
                   std::uint32_t* dst, int dstStride);

// The picture reduced by a whole divisor: each output pixel is the rounded mean of the divisor x divisor block of
// picture pixels it covers (the blocks at the right and bottom edges may be smaller). An empty picture gives an
// empty one.
RasterImage reducePicture(const RasterImage& picture, int divisor);

// A region's corners at a reduced zoom, as the reduced view outlines it.
Region reduceRegion(const Region& region, int divisor);

// The document as the reduced view paints it: the reduced picture, the regions' corners reduced, the same
// selection and label settings. The picture is passed in so that a view can keep it between repaints.
void buildReducedDocument(const DocumentData& source, RasterImage reducedPicture, int divisor,
                          DocumentData& target);

} // namespace nubo
