// Makes the desktop guide's pictures of the comparison tools without a display, on Qt's offscreen platform:
// the split view of a picture and its coded copy, their difference picture, and a rate–distortion chart.
//
//   nubo_compare_screenshots OUTPUT_FOLDER PICTURE.bmp
//
// writes compare-split.png, difference.png and rd-chart.png into OUTPUT_FOLDER.

#include "commands/coding_commands.h"
#include "common/diagnostics.h"
#include "shell/child_frame.h"
#include "shell/compare_view.h"
#include "shell/compare_window.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/rate_chart_window.h"
#include "shell/screenshot_support.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>

int main(int argc, char* argv[])
{
    nubo::ScreenshotRun run(argc, argv, 2, 2, "nubo_compare_screenshots OUTPUT_FOLDER PICTURE");
    nubo::CnuboApp* app = run.open(2);
    if (!app)
        return run.failure();
    const QString folder = QString::fromLocal8Bit(argv[1]);
    nubo::CMainFrame* frame = app->mainFrame();
    frame->resize(760, 640);
    nubo::CnuboDoc* source = app->documents()->activeDocument();
    if (!source)
        return 1;

    // The face kept at 4:1, the rest coded at 60:1, decoded into a second document of the same size.
    nubo::Region face(160, 60, 300, 190);
    face.ratio = 4;
    source->data().regions().add(face);
    source->data().background().setRatio(60);
    const nubo::StatusOr<nubo::EncodedStream> encoded = nubo::encodeDocument(source->data(), nubo::discardSink());
    if (!encoded)
        return 1;
    nubo::RegionSelection everything;
    everything.initRegions(1);
    everything.select(0);
    everything.setBackground(true);
    nubo::DecodedPicture decoded = nubo::decodeDocument(encoded->bytes, everything);
    if (!decoded.outcome.complete())
        return 1;
    nubo::CnuboDoc* coded = app->documents()->createDocument(QStringLiteral("coded 60-1"));
    coded->data().image() = std::move(decoded.image);
    coded->refreshViews();

    // Split at 200 %, around the edge of the face region, where the two ratios meet.
    nubo::CCompareWindow* compare = nubo::openCompareWindow(*app->documents(), frame);
    if (!compare)
        return 1;
    compare->resize(620, 460);
    compare->view()->setZoom(nubo::Zoom{2, 1});
    compare->view()->setDivider(250);
    QApplication::processEvents();
    if (auto* scroll = compare->findChild<QScrollArea*>()) {
        scroll->horizontalScrollBar()->setValue(260);
        scroll->verticalScrollBar()->setValue(250);
    }
    if (!nubo::saveGrab(compare, folder, "compare-split.png"))
        return 1;

    compare->gainBox()->setValue(8);
    nubo::CnuboDoc* difference = compare->openDifference();
    compare->close();
    if (!difference || difference->views().isEmpty())
        return 1;
    if (nubo::CChildFrame* child = difference->views().first()->frame())
        child->move(8, 8);
    if (!nubo::saveGrab(frame, folder, "difference.png"))
        return 1;

    // The chart of the source document (its face region at 4:1) over six background ratios.
    auto* chart = new nubo::CRateChartWindow(*source, frame);
    chart->resize(720, 480);
    chart->show();
    chart->fromBox()->setValue(5);
    chart->toBox()->setValue(160);
    chart->countBox()->setValue(6);
    chart->runSweep();
    if (chart->result().points.size() != 6)
        return 1;
    return nubo::saveGrab(chart, folder, "rd-chart.png") ? 0 : 1;
}
