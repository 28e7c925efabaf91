// Writing binary PPM (P6) pictures with maxval 255.

#include "picture_io/picture_codecs.h"
#include "picture_io/rgb_rows.h"

namespace nubo::picture_io {

void encodePpm(const RasterImage& image, std::string& bytes)
{
    const std::vector<std::uint8_t> rgb = topDownRgbFromRaster(image);
    bytes = "P6\n" + std::to_string(image.width()) + " " + std::to_string(image.height()) + "\n255\n";
    bytes.append(reinterpret_cast<const char*>(rgb.data()), rgb.size());
}

} // namespace nubo::picture_io
