#pragma once

#include "shell/command_target.h"
#include "shell/region_editor.h"

#include <QWidget>

class QMenu;
class QPrinter;

namespace nubo {

class CChildFrame;
class CnuboDoc;

// The view of a document: paints the picture 1:1 at its origin with the regions' outlines and labels, and edits
// the regions with the mouse and the context menus. The editing decisions are the RegionEditor's; this widget
// forwards the mouse to it, repaints what it names, shows its menus and runs the ratio dialogs.
class CnuboView : public QWidget, public CommandTarget {
    Q_OBJECT
public:
    explicit CnuboView(CnuboDoc* document, QWidget* parent = nullptr);
    ~CnuboView() override;

    CnuboDoc* document() const { return document_; }
    const RegionEditor& editor() const { return editor_; }
    CChildFrame* frame() const;

    // The view's whole picture as painted: the client area, or the picture with its labels when printing.
    QImage renderArea(const QRect& area) const;

    // Prints the view through its own paint routine, one printer pixel per picture pixel.
    void printTo(QPrinter* printer) const;

    bool commandState(int id, CommandState& state) const override;
    bool onCommand(int id) override;

    QSize sizeHint() const override;

signals:
    // What the status bar's message pane shows: the pointer's picture position and colour, or idle.
    void statusMessage(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void apply(const EditResult& result);
    void showContextMenu(ContextMenu menu, const QPoint& globalPos);
    void editRegionRatio();
    void editBackgroundRatio();
    void print();
    void printPreview();
    void reportPointer(const QPoint& pos);

    CnuboDoc* document_;
    RegionEditor editor_;
};

} // namespace nubo
