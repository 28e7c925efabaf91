#include "commands/region_layout.h"

#include <string>

namespace nubo {

Status checkRegionLayout(const std::vector<Region>& regions, int width, int height)
{
    for (std::size_t i = 0; i < regions.size(); ++i) {
        const Region& r = regions[i];
        const std::string name = "region " + std::to_string(i + 1) + " (" + std::to_string(r.left) + ","
            + std::to_string(r.top) + "," + std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
        if (r.right >= width || r.bottom >= height)
            return Status::badArgument(name + " leaves the " + std::to_string(width) + " x "
                                       + std::to_string(height) + " picture");
        for (std::size_t j = 0; j < i; ++j) {
            Region other = regions[j];
            if (r.intersects(other, false))
                return Status::badArgument(name + " intersects region " + std::to_string(j + 1));
        }
    }
    return Status();
}

} // namespace nubo
