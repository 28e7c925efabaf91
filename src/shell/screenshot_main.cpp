// Makes the README screenshot without a display: the main window with a sample picture and three labelled
// regions (one lossless, one selected), drawn with the same mouse events a user gives. With a third file name it
// also writes the desktop guide's zoom picture: the same window zoomed in twice (300 %) onto the selected face.
//
//   nubo_screenshot OUTPUT.png PICTURE.bmp [ZOOM.png]

#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>

#include <cstdio>

namespace {

void mouse(QWidget* view, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(pos), QPointF(view->mapToGlobal(pos)), button, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

void dragRegion(QWidget* view, QPoint from, QPoint to)
{
    mouse(view, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    mouse(view, QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    mouse(view, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    mouse(view, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

} // namespace

int main(int argc, char* argv[])
{
    // The user's settings (recent files) stay untouched.
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: nubo_screenshot OUTPUT.png PICTURE [ZOOM.png]\n");
        return 2;
    }
    nubo::CnuboApp app;
    if (!app.initInstance({QString::fromLocal8Bit(argv[2])}))
        return 1;
    nubo::CnuboDoc* document = app.documents()->activeDocument();
    nubo::CnuboView* view = app.documents()->activeView();
    if (!document || !view)
        return 1;

    dragRegion(view, {160, 60}, {300, 190});  // the face
    dragRegion(view, {350, 0}, {470, 280});   // the shuttle
    dragRegion(view, {130, 345}, {215, 425}); // the mission badge, kept lossless
    nubo::RegionSet& regions = document->data().regions();
    if (regions.count() != 3)
        return 1;
    regions.at(0).ratio = 4;
    regions.at(1).ratio = 20;
    regions.at(2).coderKind = nubo::CoderKind::Arithmetic;
    document->data().background().setRatio(40);
    document->data().setDescriptionMode(nubo::DescriptionMode::Full);
    document->data().toggleOpaqueLabels(); // labels on white, easier to read at README size
    // Select the face with a click inside it.
    mouse(view, QEvent::MouseButtonPress, {230, 125}, Qt::LeftButton, Qt::LeftButton);
    mouse(view, QEvent::MouseButtonRelease, {230, 125}, Qt::LeftButton, Qt::NoButton);
    document->refreshViews();

    nubo::CMainFrame* frame = app.mainFrame();
    if (QMdiSubWindow* child = view->frame())
        child->move(8, 8);
    frame->resize(560, 660);
    QApplication::processEvents();
    // The pointer over the face's middle: the status bar shows that pixel's coordinates and colour.
    mouse(view, QEvent::MouseMove, {230, 125}, Qt::NoButton, Qt::NoButton);
    QApplication::processEvents();
    if (!frame->grab().save(QString::fromLocal8Bit(argv[1])))
        return 1;
    if (argc == 3)
        return 0;

    // Zoomed in with the menu command, scrolled so that the face is centred, the pointer again over its middle: the
    // status bar shows the same pixel, and the zoom.
    frame->dispatch(nubo::cmd::ZoomIn);
    frame->dispatch(nubo::cmd::ZoomIn);
    QApplication::processEvents();
    auto* child = qobject_cast<nubo::CChildFrame*>(view->frame());
    if (!child || view->zoom() != nubo::Zoom{3, 1})
        return 1;
    const QPoint centre(view->zoom().pixelCentre(230), view->zoom().pixelCentre(125));
    const QSize shown = child->scrollArea()->viewport()->size();
    child->scrollArea()->horizontalScrollBar()->setValue(centre.x() - shown.width() / 2);
    child->scrollArea()->verticalScrollBar()->setValue(centre.y() - shown.height() / 2);
    QApplication::processEvents();
    mouse(view, QEvent::MouseMove, centre, Qt::NoButton, Qt::NoButton);
    QApplication::processEvents();
    return frame->grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
