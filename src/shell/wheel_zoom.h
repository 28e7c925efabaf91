#pragma once

#include "workbench/zoom.h"

#include <optional>

class QWheelEvent;

namespace nubo {

// The zoom a turn of the wheel asks a picture view for: with Ctrl held, one step in or out from current (none for
// a turn of 0), and the event taken; without Ctrl, none, and the event left to the scroll area, which scrolls.
std::optional<Zoom> wheelZoom(QWheelEvent* event, Zoom current);

} // namespace nubo
