#include "roi/colour_transform.h"

#include "common/worker_team.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace nubo {

namespace {

constexpr float kLevelShift = 128.0f;
constexpr float kCrToRed = 1.402f;
constexpr float kCbToGreen = 0.344136f;
constexpr float kCrToGreen = 0.714136f;
constexpr float kCbToBlue = 1.772f;

} // namespace

void forwardColourTransform(const RasterImage& image, FloatImage (&planes)[3])
{
    const int w = image.width();
    const int h = image.height();
    const std::size_t rowLength = static_cast<std::size_t>(w);
    const std::size_t pixels = rowLength * static_cast<std::size_t>(h);
    // Each plane is claimed (its pages first touched) on a thread of its own where the team has one idle.
    std::vector<std::function<void()>> claims;
    for (FloatImage& plane : planes) {
        claims.emplace_back([&plane, w, h, pixels] {
            plane.width = w;
            plane.height = h;
            plane.data.assign(pixels, 0.0f);
        });
    }
    runTeamTasks(claims);
    float* const y = planes[0].data.data();
    float* const cb = planes[1].data.data();
    float* const cr = planes[2].data.data();
    runInPieces(h, 3 * std::int64_t{w}, [&](int firstRow, int lastRow) {
        const std::size_t end = static_cast<std::size_t>(lastRow) * rowLength;
        const std::uint8_t* p = image.data() + static_cast<std::size_t>(firstRow) * rowLength * 3;
        for (std::size_t i = static_cast<std::size_t>(firstRow) * rowLength; i < end; ++i, p += 3) {
            const float b = static_cast<float>(p[0]);
            const float g = static_cast<float>(p[1]);
            const float r = static_cast<float>(p[2]);
            y[i] = ((0.299f * r + 0.587f * g) + 0.114f * b) - kLevelShift;
            cb[i] = (-0.168736f * r - 0.331264f * g) + 0.5f * b;
            cr[i] = (0.5f * r - 0.418688f * g) - 0.081312f * b;
        }
    });
}

bool inverseColourTransform(const FloatImage (&planes)[3], RasterImage& image)
{
    const int w = planes[0].width;
    const int h = planes[0].height;
    const std::size_t pixels = static_cast<std::size_t>(w > 0 ? w : 0) * static_cast<std::size_t>(h > 0 ? h : 0);
    for (const FloatImage& plane : planes) {
        if (plane.width != w || plane.height != h || plane.data.size() != pixels)
            return false;
    }
    RasterImage rebuilt;
    if (!rebuilt.allocate(w, h))
        return false;
    const float* y = planes[0].data.data();
    const float* cb = planes[1].data.data();
    const float* cr = planes[2].data.data();
    const std::size_t rowLength = static_cast<std::size_t>(w);
    runInPieces(h, 3 * std::int64_t{w}, [&](int firstRow, int lastRow) {
        // A stretch of pixels at a time, its red, green and blue in small buffers that stay in the cache.
        constexpr std::size_t kStretch = 1024;
        float red[kStretch];
        float green[kStretch];
        float blue[kStretch];
        const std::size_t end = static_cast<std::size_t>(lastRow) * rowLength;
        for (std::size_t first = static_cast<std::size_t>(firstRow) * rowLength; first < end; first += kStretch) {
            const std::size_t count = end - first < kStretch ? end - first : kStretch;
            for (std::size_t k = 0; k < count; ++k) {
                const std::size_t i = first + k;
                const float luma = y[i] + kLevelShift;
                red[k] = luma + kCrToRed * cr[i];
                green[k] = (luma - kCbToGreen * cb[i]) - kCrToGreen * cr[i];
                blue[k] = luma + kCbToBlue * cb[i];
            }
            rebuilt.setPixelsFromPlanes(first, count, red, green, blue);
        }
    });
    image = std::move(rebuilt);
    return true;
}

std::array<float, 3> colourEnergyGains()
{
    return {3.0f, kCbToGreen * kCbToGreen + kCbToBlue * kCbToBlue, kCrToRed * kCrToRed + kCrToGreen * kCrToGreen};
}

} // namespace nubo
