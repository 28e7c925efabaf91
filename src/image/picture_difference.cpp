#include "image/picture_difference.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace nubo {

StatusOr<RasterImage> differencePicture(const RasterImage& a, const RasterImage& b, int gain)
{
    if (gain < kMinDifferenceGain || gain > kMaxDifferenceGain)
        return failure("amplification " + std::to_string(gain) + " is outside " + std::to_string(kMinDifferenceGain)
                       + " to " + std::to_string(kMaxDifferenceGain));
    if (!a.isValid() || !b.isValid())
        return failure("a picture has no pixels");
    if (a.width() != b.width() || a.height() != b.height())
        return failure("the pictures differ in size: " + std::to_string(a.width()) + " x " + std::to_string(a.height())
                       + " and " + std::to_string(b.width()) + " x " + std::to_string(b.height()));
    RasterImage difference;
    if (!difference.allocate(a.width(), a.height()))
        return failure("no memory for the difference picture");
    // Both buffers share one layout (same size, no row padding), so the channels line up byte for byte.
    const std::uint8_t* pa = a.data();
    const std::uint8_t* pb = b.data();
    std::uint8_t* out = difference.data();
    for (int i = 0; i < difference.size(); ++i)
        out[i] = static_cast<std::uint8_t>(std::min(255, std::abs(pa[i] - pb[i]) * gain));
    return difference;
}

} // namespace nubo
