#pragma once

#include <vector>

namespace nubo {

// Which region records a decode asks for: every region, none, or the listed region numbers (1 = the first region
// record).
struct RegionChoice {
    bool all = true;
    std::vector<int> numbers; // when !all; empty means none
};

} // namespace nubo
