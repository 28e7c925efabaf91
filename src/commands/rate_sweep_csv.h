#pragma once

#include "commands/rate_sweep.h"

#include <string>
#include <vector>

namespace nubo {

// The comma-separated form of a rate sweep, as `nubo-cli sweep --csv` prints it and the desktop's chart saves it:
// one header line, then one row per ratio. Unknown figures are empty cells, infinite ones "inf".

// "input,ratio,vary,bytes,bpp,psnr,...": the column names, without a line break.
std::string sweepCsvHeader();

// One row, without a line break; `input` names the picture (quoted when it holds a comma, a quote or a break).
std::string sweepCsvRow(const std::string& input, SweepVary vary, const SweepPoint& point);

// The header and every point's row, each line ended by "\n".
std::string sweepCsvTable(const std::string& input, SweepVary vary, const std::vector<SweepPoint>& points);

} // namespace nubo
