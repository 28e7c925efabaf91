#pragma once

#include <cstdint>

namespace nubo {

// Largest picture nubo accepts from any file or stream. A side of 32768 pixels covers every scanner and camera a
// user of the workbench meets; 64 Mi pixels keep the decoder's working memory (a raster, three float planes and a
// transform) under about 1.5 GB. Anything larger in a header can only be damage, and is refused before allocating.
inline constexpr std::int32_t kMaxImageSide = 32768;
inline constexpr std::int64_t kMaxImagePixels = std::int64_t{1} << 26;

// Wavelet stages a stream may ask for. The dialogs offer 2 to 5; decoding accepts 1 to 16 (a 32768-pixel side has
// 16 halvings before it reaches one sample).
inline constexpr std::int32_t kMinStages = 1;
inline constexpr std::int32_t kMaxStages = 16;

// True when a width x height picture is within the limits above.
inline constexpr bool imageSizeAllowed(std::int64_t width, std::int64_t height)
{
    return width >= 1 && height >= 1 && width <= kMaxImageSide && height <= kMaxImageSide
        && width * height <= kMaxImagePixels;
}

} // namespace nubo
