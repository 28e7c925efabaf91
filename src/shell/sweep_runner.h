#pragma once

#include "commands/rate_sweep.h"

#include <vector>

class QWidget;

namespace nubo {

class DocumentData;

// Runs runRateSweep on a worker thread while the user-interface thread shows a modal progress dialog ("Sweeping
// ratio R (i of n)...") with a Cancel button; cancelling lets the ratio in progress finish and codes no further
// one (the result is then marked cancelled and holds the finished points). Returns once the worker has ended. The
// document is only read; the modal dialog keeps the user from editing it meanwhile.
StatusOr<SweepResult> runSweepWithProgress(const DocumentData& document, const std::vector<int>& ratios,
                                           SweepVary vary, QWidget* owner);

} // namespace nubo
