#include "picture_io/rgb_rows.h"

#include "common/limits.h"

namespace nubo::picture_io {

bool rasterFromTopDownRgb(const std::vector<std::uint8_t>& rgb, int width, int height, RasterImage& image)
{
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    if (rgb.size() != rowBytes * static_cast<std::size_t>(height) || !image.allocate(width, height))
        return false;
    std::uint8_t* out = image.data();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = rgb.data() + rowBytes * static_cast<std::size_t>(height - 1 - y);
        for (std::size_t x = 0; x < rowBytes; x += 3) {
            *out++ = in[x + 2];
            *out++ = in[x + 1];
            *out++ = in[x];
        }
    }
    return true;
}

std::vector<std::uint8_t> topDownRgbFromRaster(const RasterImage& image)
{
    const int width = image.width();
    const int height = image.height();
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
    std::vector<std::uint8_t> rgb(rowBytes * static_cast<std::size_t>(height));
    std::uint8_t* out = rgb.data();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = image.data() + rowBytes * static_cast<std::size_t>(height - 1 - y);
        for (std::size_t x = 0; x < rowBytes; x += 3) {
            *out++ = in[x + 2];
            *out++ = in[x + 1];
            *out++ = in[x];
        }
    }
    return rgb;
}

Status checkPictureSize(const char* format, std::int64_t width, std::int64_t height)
{
    if (imageSizeAllowed(width, height))
        return Status();
    return failure(std::string(format) + " picture of " + std::to_string(width) + " x " + std::to_string(height)
                   + " pixels exceeds the picture limits");
}

} // namespace nubo::picture_io
