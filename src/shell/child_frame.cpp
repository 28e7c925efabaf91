#include "shell/child_frame.h"

namespace nubo {

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The frame may be smaller than its title bar would like: a 100 x 50 picture keeps a 100 x 50 client area.
    setMinimumSize(1, 1);
}

void CChildFrame::fitClientArea(QWidget* client, int w, int h)
{
    if (isMaximized() || isMinimized())
        return;
    resize(width() - client->width() + w, height() - client->height() + h);
}

} // namespace nubo
