#include "workbench/zoom.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace nubo {

namespace {

int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int ceilDiv(int a, int b) { return -floorDiv(-a, b); }

// Orders zooms by magnification: a/b against c/d with positive terms.
bool less(Zoom a, Zoom b) { return a.factor * b.divisor < b.factor * a.divisor; }

// The picture's bytes of (x, y), y from the top: rows are stored bottom row first, three bytes per pixel.
std::size_t offsetOf(const RasterImage& picture, int x, int y)
{
    return (static_cast<std::size_t>(picture.width()) * static_cast<std::size_t>(picture.height() - y - 1)
            + static_cast<std::size_t>(x)) * 3;
}

} // namespace

int Zoom::toPicture(int screen) const { return magnifies() ? floorDiv(screen, factor) : screen * divisor; }

int Zoom::toScreen(int picture) const { return magnifies() ? picture * factor : floorDiv(picture, divisor); }

int Zoom::pixelCentre(int picture) const { return magnifies() ? picture * factor + factor / 2 : toScreen(picture); }

int Zoom::screenLength(int pictureLength) const
{
    return magnifies() ? pictureLength * factor : ceilDiv(pictureLength, divisor);
}

ViewRect Zoom::toScreen(const ViewRect& picture) const
{
    if (magnifies())
        return {picture.left * factor, picture.top * factor, picture.right * factor, picture.bottom * factor};
    return {floorDiv(picture.left, divisor), floorDiv(picture.top, divisor), ceilDiv(picture.right, divisor),
            ceilDiv(picture.bottom, divisor)};
}

ViewRect Zoom::toPicture(const ViewRect& screen) const
{
    if (magnifies())
        return {floorDiv(screen.left, factor), floorDiv(screen.top, factor), ceilDiv(screen.right, factor),
                ceilDiv(screen.bottom, factor)};
    return {screen.left * divisor, screen.top * divisor, screen.right * divisor, screen.bottom * divisor};
}

std::string Zoom::percentText() const
{
    // Tenths of a per cent, rounded half up.
    const int tenths = (factor * 2000 / divisor + 1) / 2;
    char text[32];
    if (tenths % 10 == 0)
        std::snprintf(text, sizeof text, "%d %%", tenths / 10);
    else
        std::snprintf(text, sizeof text, "%d.%d %%", tenths / 10, tenths % 10);
    return text;
}

const std::vector<Zoom>& zoomSteps()
{
    static const std::vector<Zoom> steps{{1, 8}, {1, 6}, {1, 4}, {1, 3}, {1, 2}, {1, 1},
                                         {2, 1}, {3, 1}, {4, 1}, {6, 1}, {8, 1}, {16, 1}};
    return steps;
}

Zoom zoomIn(Zoom current)
{
    for (const Zoom& step : zoomSteps())
        if (less(current, step))
            return step;
    return zoomSteps().back();
}

Zoom zoomOut(Zoom current)
{
    const std::vector<Zoom>& steps = zoomSteps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (less(*it, current))
            return *it;
    return steps.front();
}

Zoom fitZoom(int width, int height, int areaWidth, int areaHeight)
{
    if (width <= 0 || height <= 0)
        return {};
    const std::vector<Zoom>& steps = zoomSteps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (it->screenLength(width) <= areaWidth && it->screenLength(height) <= areaHeight)
            return *it;
    return steps.front();
}

void magnifyPixels(const std::uint32_t* src, int srcWidth, int srcHeight, int srcStride, int factor,
                   std::uint32_t* dst, int dstStride)
{
    for (int y = 0; y < srcHeight; ++y) {
        const std::uint32_t* in = src + static_cast<std::ptrdiff_t>(y) * srcStride;
        std::uint32_t* first = dst + static_cast<std::ptrdiff_t>(y) * factor * dstStride;
        std::uint32_t* out = first;
        for (int x = 0; x < srcWidth; ++x)
            out = std::fill_n(out, factor, in[x]);
        const std::ptrdiff_t rowLength = static_cast<std::ptrdiff_t>(srcWidth) * factor;
        for (int copy = 1; copy < factor; ++copy)
            std::copy_n(first, rowLength, first + static_cast<std::ptrdiff_t>(copy) * dstStride);
    }
}

RasterImage reducePicture(const RasterImage& picture, int divisor)
{
    RasterImage reduced;
    if (!picture.isValid() || divisor < 1)
        return reduced;
    const int w = picture.width();
    const int h = std::abs(picture.height());
    const int rw = (w + divisor - 1) / divisor;
    const int rh = (h + divisor - 1) / divisor;
    if (!reduced.allocate(rw, rh))
        return reduced;
    for (int ry = 0; ry < rh; ++ry) {
        const int y0 = ry * divisor;
        const int y1 = std::min(y0 + divisor, h);
        for (int rx = 0; rx < rw; ++rx) {
            const int x0 = rx * divisor;
            const int x1 = std::min(x0 + divisor, w);
            unsigned sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const std::uint8_t* p = picture.data() + offsetOf(picture, x0, y);
                for (int x = x0; x < x1; ++x, p += 3)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += p[c];
            }
            const unsigned count = static_cast<unsigned>((x1 - x0) * (y1 - y0));
            std::uint8_t* out = reduced.data() + offsetOf(reduced, rx, ry);
            for (int c = 0; c < 3; ++c)
                out[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
        }
    }
    return reduced;
}

Region reduceRegion(const Region& region, int divisor)
{
    Region reduced = region;
    reduced.left = floorDiv(region.left, divisor);
    reduced.top = floorDiv(region.top, divisor);
    reduced.right = floorDiv(region.right, divisor);
    reduced.bottom = floorDiv(region.bottom, divisor);
    return reduced;
}

void buildReducedDocument(const DocumentData& source, RasterImage reducedPicture, int divisor,
                          DocumentData& target)
{
    target.image() = std::move(reducedPicture);
    RegionSet& regions = target.regions();
    regions.clear();
    const RegionSet& from = source.regions();
    for (int i = 0; i < from.count(); ++i)
        regions.add(reduceRegion(from.at(i), divisor));
    regions.deselect();
    const int selected = from.selectedIndex();
    if (selected >= 0 && selected < from.count()) {
        Region probe = regions.at(selected);
        if (regions.findIntersecting(probe, true))
            regions.selectHit();
    }
    target.background() = source.background();
    target.setDescriptionMode(source.descriptionMode());
    if (target.opaqueLabels() != source.opaqueLabels())
        target.toggleOpaqueLabels();
}

} // namespace nubo
