#pragma once

#include "common/status.h"
#include "regions/region.h"

#include <vector>

namespace nubo {

// Checks regions given by number against a width x height picture: each must lie inside it and none may share a
// pixel with an earlier one (abutting is fine). A refusal is a bad argument naming the region: "region 2
// (9,0,19,9) intersects region 1", "region 1 (0,0,20,9) leaves the 20 x 10 picture".
Status checkRegionLayout(const std::vector<Region>& regions, int width, int height);

} // namespace nubo
