#pragma once

#include <QMdiSubWindow>

class QScrollArea;

namespace nubo {

class CnuboView;

// The MDI child window around one view. The view sits in a scroll area, so a picture larger than the window (or
// a zoomed one) scrolls. It is deleted when closed; its size follows the picture (fitClientArea).
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);

    // Puts the view into the frame's scroll area; the frame owns it from then on.
    void setView(CnuboView* view);
    CnuboView* view() const { return view_; }
    QScrollArea* scrollArea() const { return scroll_; }

    // Resizes the frame, keeping its position, so that its client area becomes exactly w x h pixels. A
    // maximised or minimised frame keeps its size.
    void fitClientArea(int w, int h);

private:
    QScrollArea* scroll_;
    CnuboView* view_ = nullptr;
};

} // namespace nubo
