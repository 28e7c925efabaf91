#include "shell/child_frame.h"

#include "shell/nubo_view.h"

#include <QScrollArea>

namespace nubo {

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent), scroll_(new QScrollArea)
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The frame may be smaller than its title bar would like: a 100 x 50 picture keeps a 100 x 50 client area.
    setMinimumSize(1, 1);
    // The view fills the client area and never gets smaller than its (zoomed) picture; when the area is smaller,
    // scroll bars appear. Without a frame of its own the scroll area's viewport is the client area.
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->setMinimumSize(1, 1);
    setWidget(scroll_);
}

void CChildFrame::setView(CnuboView* view)
{
    view_ = view;
    scroll_->setWidget(view);
    // Activating the window gives the keyboard to the view (Delete, Esc), not to the scroll area around it.
    scroll_->setFocusProxy(view);
    setFocusProxy(view);
}

void CChildFrame::fitClientArea(int w, int h)
{
    if (isMaximized() || isMinimized())
        return;
    resize(width() - scroll_->width() + w, height() - scroll_->height() + h);
}

} // namespace nubo
