#include "image/raster_image.h"

#include "common/limits.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nubo {

namespace {

constexpr int kBytesPerPixel = 3;

// Plane value to byte, tested in this order: above 255, below 0, not a number, else rounded half up by truncating
// v + 0.5 in double (so 254.5 -> 255 and 254.49 -> 254).
std::uint8_t planeValueToByte(float v)
{
    if (v > 255.0f)
        return 255;
    if (v < 0.0f)
        return 0;
    if (std::isnan(v))
        return 0;
    return static_cast<std::uint8_t>(static_cast<int>(static_cast<double>(v) + 0.5));
}

#if defined(__SSE2__)
// planeValueToByte for four values at a time, with the same rule: v + 0.5 in double truncated, then the clamps
// chosen by masks (v > 255 gives 255; v < 0 and NaN, which fail v >= 0, give 0).
void fourPlaneValuesToBytes(const float* values, std::uint8_t (&bytes)[4])
{
    const __m128 v = _mm_loadu_ps(values);
    const __m128d half = _mm_set1_pd(0.5);
    const __m128i low = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(v), half));
    const __m128i high = _mm_cvttpd_epi32(_mm_add_pd(_mm_cvtps_pd(_mm_movehl_ps(v, v)), half));
    __m128i rounded = _mm_unpacklo_epi64(low, high);
    const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(v, _mm_set1_ps(255.0f)));
    const __m128i belowOrNan = _mm_castps_si128(_mm_cmpnge_ps(v, _mm_setzero_ps()));
    rounded = _mm_andnot_si128(_mm_or_si128(above, belowOrNan), rounded);
    rounded = _mm_or_si128(rounded, _mm_and_si128(above, _mm_set1_epi32(255)));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(rounded, rounded), _mm_setzero_si128());
    const int word = _mm_cvtsi128_si32(packed);
    std::memcpy(bytes, &word, sizeof bytes);
}
#endif

} // namespace

RasterImage::RasterImage(RasterImage&& other) noexcept
    : data_(std::move(other.data_)), width_(other.width_), height_(other.height_)
{
    other.clear();
}

RasterImage& RasterImage::operator=(RasterImage&& other) noexcept
{
    if (this != &other) {
        data_ = std::move(other.data_);
        width_ = other.width_;
        height_ = other.height_;
        other.clear();
    }
    return *this;
}

bool RasterImage::allocate(int width, int height)
{
    clear();
    if (!imageSizeAllowed(width, height))
        return false;
    data_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kBytesPerPixel);
    width_ = width;
    height_ = height;
    return true;
}

void RasterImage::fill(std::uint8_t value)
{
    std::fill(data_.begin(), data_.end(), value);
}

void RasterImage::clear()
{
    // Release the memory, not only the contents: a cleared picture holds no buffer.
    std::vector<std::uint8_t>().swap(data_);
    width_ = 0;
    height_ = 0;
}

bool RasterImage::isValid() const
{
    return width_ >= 1 && height_ >= 1 && size() >= 1 && !data_.empty();
}

bool RasterImage::contains(int x, int y) const
{
    return size() >= 1 && x >= 0 && x < width_ && y >= 0 && y < height_;
}

PixelColour RasterImage::pixel(int x, int y) const
{
    const std::uint8_t* p = data_.data() + byteOffset(x, y);
    return PixelColour{static_cast<float>(p[2]), static_cast<float>(p[1]), static_cast<float>(p[0])};
}

std::size_t RasterImage::byteOffset(int x, int y) const
{
    return (static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_ - y - 1) + static_cast<std::size_t>(x))
        * kBytesPerPixel;
}

std::vector<float> RasterImage::plane(int channel) const
{
    const std::size_t pixels = data_.size() / kBytesPerPixel;
    std::vector<float> values(pixels);
    const std::uint8_t* p = data_.data() + channel;
    for (std::size_t i = 0; i < pixels; ++i, p += kBytesPerPixel)
        values[i] = static_cast<float>(*p);
    return values;
}

std::vector<float> RasterImage::redPlane() const
{
    return plane(2);
}

std::vector<float> RasterImage::greenPlane() const
{
    return plane(1);
}

std::vector<float> RasterImage::bluePlane() const
{
    return plane(0);
}

std::vector<std::uint8_t> RasterImage::planeBytes(const float* values, std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= count; i += 4) {
        std::uint8_t four[4];
        fourPlaneValuesToBytes(values + i, four);
        std::copy_n(four, 4, bytes.data() + i);
    }
#endif
    for (; i < count; ++i)
        bytes[i] = planeValueToByte(values[i]);
    return bytes;
}

void RasterImage::setChannel(int channel, const std::uint8_t* bytes)
{
    const std::size_t pixels = data_.size() / kBytesPerPixel;
    std::uint8_t* p = data_.data() + channel;
    for (std::size_t i = 0; i < pixels; ++i, p += kBytesPerPixel)
        *p = bytes[i];
}

bool RasterImage::fromPlanes(const float* red, const float* green, const float* blue, int width, int height)
{
    if (!allocate(width, height))
        return false;
    setPixelsFromPlanes(0, data_.size() / kBytesPerPixel, red, green, blue);
    return true;
}

void RasterImage::setPixelsFromPlanes(std::size_t first, std::size_t pixels, const float* red, const float* green,
                                      const float* blue)
{
    const std::size_t held = data_.size() / kBytesPerPixel;
    if (first >= held)
        return;
    pixels = pixels < held - first ? pixels : held - first;
    std::uint8_t* p = data_.data() + first * kBytesPerPixel;
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= pixels; i += 4) {
        std::uint8_t b[4];
        std::uint8_t g[4];
        std::uint8_t r[4];
        fourPlaneValuesToBytes(blue + i, b);
        fourPlaneValuesToBytes(green + i, g);
        fourPlaneValuesToBytes(red + i, r);
        for (int k = 0; k < 4; ++k, p += kBytesPerPixel) {
            p[0] = b[k];
            p[1] = g[k];
            p[2] = r[k];
        }
    }
#endif
    for (; i < pixels; ++i, p += kBytesPerPixel) {
        p[0] = planeValueToByte(blue[i]);
        p[1] = planeValueToByte(green[i]);
        p[2] = planeValueToByte(red[i]);
    }
}

bool RasterImage::crop(RasterImage& target, int left, int top, int right, int bottom) const
{
    if (left < 0 || top < 0 || right < left || bottom < top || right >= width_ || bottom >= height_)
        return false;
    RasterImage result;
    if (!result.allocate(right - left + 1, bottom - top + 1))
        return false;
    // Bytes pass through unchanged, which is what gathering them into float planes and rounding back gives.
    const std::size_t rowBytes = static_cast<std::size_t>(result.width_) * kBytesPerPixel;
    for (int y = top; y <= bottom; ++y)
        std::memcpy(result.data_.data() + result.byteOffset(0, y - top), data_.data() + byteOffset(left, y), rowBytes);
    target = std::move(result);
    return true;
}

bool RasterImage::paste(const RasterImage& source, int left, int top)
{
    if (source.data_.empty())
        return true;
    if (left < 0 || top < 0 || left > width_ - source.width_ || top > height_ - source.height_)
        return false;
    for (int y = 0; y < source.height_; ++y) {
        const std::uint8_t* from = source.data_.data() + source.byteOffset(0, y);
        std::uint8_t* to = data_.data() + byteOffset(left, top + y);
        for (int x = 0; x < source.width_; ++x, from += kBytesPerPixel, to += kBytesPerPixel) {
            // Only pure black pixels are free: the first paste that covers a pixel wins.
            if (to[0] == 0 && to[1] == 0 && to[2] == 0) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
            }
        }
    }
    return true;
}

} // namespace nubo
