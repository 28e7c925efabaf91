#pragma once

#include <QMdiSubWindow>

namespace nubo {

// The MDI child window around one view. It is deleted when closed; its size follows the picture (fitClientArea).
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit CChildFrame(QWidget* parent = nullptr);

    // Resizes the frame, keeping its position, so that the client widget becomes exactly w x h pixels. A
    // maximised or minimised frame keeps its size.
    void fitClientArea(QWidget* client, int w, int h);
};

} // namespace nubo
