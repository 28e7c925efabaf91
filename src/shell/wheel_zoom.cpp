#include "shell/wheel_zoom.h"

#include <QWheelEvent>

namespace nubo {

std::optional<Zoom> wheelZoom(QWheelEvent* event, Zoom current)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier)) {
        event->ignore();
        return std::nullopt;
    }
    event->accept();
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return std::nullopt;
    return delta > 0 ? zoomIn(current) : zoomOut(current);
}

} // namespace nubo
