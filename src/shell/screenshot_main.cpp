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
#include "shell/screenshot_support.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QScrollBar>

int main(int argc, char* argv[])
{
    nubo::ScreenshotRun run(argc, argv, 2, 3, "nubo_screenshot OUTPUT.png PICTURE [ZOOM.png]");
    nubo::CnuboApp* app = run.open(2);
    if (!app)
        return run.failure();
    nubo::CnuboView* view = app->documents()->activeView();
    if (!view)
        return 1;

    view->document()->data().toggleOpaqueLabels(); // labels on white, easier to read at README size
    if (!nubo::markSampleRegions(view, nubo::DescriptionMode::Full))
        return 1;

    nubo::CMainFrame* frame = app->mainFrame();
    if (QMdiSubWindow* child = view->frame())
        child->move(8, 8);
    frame->resize(560, 660);
    QApplication::processEvents();
    // The pointer over the face's middle: the status bar shows that pixel's coordinates and colour.
    nubo::sendMouse(view, QEvent::MouseMove, {230, 125}, Qt::NoButton, Qt::NoButton);
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
    nubo::sendMouse(view, QEvent::MouseMove, centre, Qt::NoButton, Qt::NoButton);
    QApplication::processEvents();
    return frame->grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
}
