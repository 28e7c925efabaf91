// Makes the desktop guide's pictures of the workbench docks without a display, on Qt's offscreen platform: the
// main window with the Region Inspector beside a picture with three regions, and the Results Log after a Test ROI
// and a comparison, run through the program's own commands with their dialogs answered as a user would.
//
//   nubo_dock_screenshots OUTPUT_FOLDER PICTURE.bmp
//
// writes region-table.png and results-log.png into OUTPUT_FOLDER.

#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/compare_dialog.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/region_table_dock.h"
#include "shell/results_log_dock.h"
#include "shell/select_regions_dialog.h"

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>

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

// Answers the commands' dialogs: every record decoded, the first document compared, every box read and closed.
void answerDialogs()
{
    QWidget* w = QApplication::activeModalWidget();
    if (auto* select = qobject_cast<nubo::CSelectRegionsDialog*>(w)) {
        select->selectAll();
        select->accept();
    } else if (auto* compare = qobject_cast<nubo::CCompareDialog*>(w)) {
        compare->accept();
    } else if (auto* box = qobject_cast<QMessageBox*>(w)) {
        box->accept();
    }
}

bool save(QWidget* widget, const QString& folder, const char* name)
{
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(QString::fromLatin1(name));
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    // The user's settings (recent files) stay untouched.
    QStandardPaths::setTestModeEnabled(true);
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: nubo_dock_screenshots OUTPUT_FOLDER PICTURE\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    nubo::CnuboApp app;
    if (!app.initInstance({QString::fromLocal8Bit(argv[2])}))
        return 1;
    nubo::CMainFrame* frame = app.mainFrame();
    nubo::CnuboDoc* document = app.documents()->activeDocument();
    nubo::CnuboView* view = app.documents()->activeView();
    auto* inspector = frame->findChild<nubo::RegionInspector*>();
    auto* results = frame->findChild<nubo::ResultsLogDock*>();
    if (!document || !view || !inspector || !results)
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
    document->data().setDescriptionMode(nubo::DescriptionMode::Short);
    mouse(view, QEvent::MouseButtonPress, {230, 125}, Qt::LeftButton, Qt::LeftButton);
    mouse(view, QEvent::MouseButtonRelease, {230, 125}, Qt::LeftButton, Qt::NoButton);
    document->refreshViews();

    inspector->show();
    frame->resize(1100, 620);
    QApplication::processEvents();
    frame->resizeDocks({inspector}, {560}, Qt::Horizontal);
    if (QMdiSubWindow* child = view->frame())
        child->setGeometry(4, 4, 520, 540);
    if (!save(frame, folder, "region-table.png"))
        return 1;

    // A Test ROI of every record, then a comparison of the picture with its decoded copy.
    QTimer answers;
    QObject::connect(&answers, &QTimer::timeout, &answerDialogs);
    answers.start(20);
    frame->dispatch(nubo::cmd::TestRoi);
    app.documents()->mdiArea()->setActiveSubWindow(view->frame());
    frame->dispatch(nubo::cmd::CompareWith);
    answers.stop();

    inspector->hide();
    results->show();
    frame->resizeDocks({results}, {150}, Qt::Vertical);
    frame->resize(1100, 300);
    results->table()->clearSelection();
    return save(results, folder, "results-log.png") ? 0 : 1;
}
