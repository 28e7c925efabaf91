#pragma once

#include "shell/command_target.h"
#include "editor/region_editor.h"
#include "workbench/region_history.h"
#include "workbench/zoom.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QMenu;
class QPrinter;
class QScrollArea;

namespace nubo {

class CChildFrame;
class CnuboDoc;

// The view of a document: paints the picture at its origin with the regions' outlines and labels, and edits the
// regions with the mouse and the context menus. The editing decisions are the RegionEditor's; this widget maps the
// mouse into picture coordinates at the view's zoom, forwards it, repaints what the editor names, shows its menus
// and runs the ratio dialogs. At 100 % every screen pixel is the picture pixel under it; magnified, each picture
// pixel of the 1:1 composition becomes a block (nearest pixel); reduced, the picture is averaged down and the
// outlines and labels are drawn at screen size.
class CnuboView : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    explicit CnuboView(CnuboDoc* document, QWidget* parent = nullptr);
    ~CnuboView() override;

    CnuboDoc* document() const { return document_; }
    const RegionEditor& editor() const { return editor_; }
    CChildFrame* frame() const;

    // The view's pixels of a screen area at the view's zoom, as painted.
    QImage renderArea(const QRect& area) const;

    Zoom zoom() const { return zoom_; }
    // Changes the zoom, keeping the picture point under the anchor (a view position) in place when the view
    // scrolls; without an anchor the centre of the visible part stays.
    void setZoom(Zoom zoom, std::optional<QPoint> anchor = std::nullopt);
    // Fit in Window: the largest step at which the picture fits in the frame's client area.
    void fitInWindow();
    // The picture point shown at a view position.
    QPoint toPicture(QPoint viewPos) const;
    // The (zoomed) picture's size on screen.
    QSize contentSize() const;
    // Sizes the frame so that its client area is the zoomed picture, at least 100 x 50 pixels; zoomed in or out,
    // at most the size of the area that holds the windows.
    void fitFrame();
    // The picture has been replaced: the reduced copy kept for zoomed-out painting is made afresh.
    void pictureReplaced();

    // Ends a drag in progress without adding its band (an undo is about to restore the regions).
    void abandonDrag();

    // The scroll area around the view, when it sits in a frame.
    QScrollArea* scrollArea() const;
    // One step of auto-scrolling while a drag is past the visible edge; returns whether the view scrolled.
    bool autoScrollStep();

    // Prints the view through its own paint routine, one printer pixel per picture pixel.
    void printTo(QPrinter* printer) const;

    bool commandState(int id, CommandState& state) const override;
    bool onCommand(int id) override;

    QSize sizeHint() const override;

signals:
    // What the status bar's message pane shows: the pointer's picture position and colour, or idle.
    void statusMessage(const QString& text);
    // The zoom changed; the status bar's zoom pane follows.
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void apply(const EditResult& result);
    void showContextMenu(ContextMenu menu, const QPoint& globalPos);
    void editRegionRatio();
    void editBackgroundRatio();
    void print();
    void printPreview();
    void reportPointer(const QPoint& picturePos);
    QImage renderAt(const QRect& area, Zoom zoom) const;
    void updateMinimumSize();
    void followDrag(QPoint viewPos);
    // Runs an editing step and records it on the document's history.
    void editAndRecord(const std::function<EditResult()>& step);

    CnuboDoc* document_;
    RegionEditor editor_;
    Zoom zoom_;
    // The picture averaged down for the current reduced zoom, made on first use after a change.
    mutable std::unique_ptr<RasterImage> reduced_;
    // Auto-scrolling: the pointer's last position in the scroll area's viewport while a drag runs past its edge.
    QTimer autoScroll_;
    QPoint dragViewportPos_;
    // The regions as they were when the drag in progress began; the drag is recorded as one edit when it ends.
    std::optional<RegionState> dragBefore_;
};

} // namespace nubo
