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
#include "shell/screenshot_support.h"
#include "shell/select_regions_dialog.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>

namespace {

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

} // namespace

int main(int argc, char* argv[])
{
    nubo::ScreenshotRun run(argc, argv, 2, 2, "nubo_dock_screenshots OUTPUT_FOLDER PICTURE");
    nubo::CnuboApp* app = run.open(2);
    if (!app)
        return run.failure();
    const QString folder = QString::fromLocal8Bit(argv[1]);
    nubo::CMainFrame* frame = app->mainFrame();
    nubo::CnuboView* view = app->documents()->activeView();
    auto* inspector = frame->findChild<nubo::RegionInspector*>();
    auto* results = frame->findChild<nubo::ResultsLogDock*>();
    if (!view || !inspector || !results)
        return 1;

    if (!nubo::markSampleRegions(view, nubo::DescriptionMode::Short))
        return 1;

    inspector->show();
    frame->resize(1100, 620);
    QApplication::processEvents();
    frame->resizeDocks({inspector}, {560}, Qt::Horizontal);
    if (QMdiSubWindow* child = view->frame())
        child->setGeometry(4, 4, 520, 540);
    if (!nubo::saveGrab(frame, folder, "region-table.png"))
        return 1;

    // A Test ROI of every record, then a comparison of the picture with its decoded copy.
    QTimer answers;
    QObject::connect(&answers, &QTimer::timeout, &answerDialogs);
    answers.start(20);
    frame->dispatch(nubo::cmd::TestRoi);
    app->documents()->mdiArea()->setActiveSubWindow(view->frame());
    frame->dispatch(nubo::cmd::CompareWith);
    answers.stop();

    inspector->hide();
    results->show();
    frame->resizeDocks({results}, {150}, Qt::Vertical);
    frame->resize(1100, 300);
    results->table()->clearSelection();
    return nubo::saveGrab(results, folder, "results-log.png") ? 0 : 1;
}
