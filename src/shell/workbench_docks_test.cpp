#include "commands/coding_commands.h"
#include "common/atomic_file.h"
#include "roi/picture_metrics.h"
#include "shell/command_ids.h"
#include "shell/compare_dialog.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/region_table_dock.h"
#include "shell/results_log_dock.h"
#include "shell/session_results.h"
#include "shell/shell_test_support.h"
#include "workbench/region_history.h"
#include "workbench/region_table.h"

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QUndoStack>

#include <memory>

namespace nubo {

namespace {

PixelRect rectOf(const Region& r) { return {r.left, r.top, r.right, r.bottom}; }

QAction* viewMenuItem(CMainFrame* frame, const QString& text)
{
    for (QAction* a : frame->menu(QStringLiteral("View"))->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class WorkbenchDocksTest : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<CnuboApp> app_;
    CnuboDoc* doc_ = nullptr;
    CnuboView* view_ = nullptr;

    CMainFrame* frame() const { return app_->mainFrame(); }
    RegionSet& regions() const { return doc_->data().regions(); }
    RegionInspector* inspector() const { return frame()->findChild<RegionInspector*>(); }
    ResultsLogDock* resultsLog() const { return frame()->findChild<ResultsLogDock*>(); }
    QString cell(int row, InspectorColumn column) const
    {
        RegionInspectorModel* model = inspector()->model();
        return model->data(model->index(row, static_cast<int>(column)), Qt::DisplayRole).toString();
    }

    // A 200 x 150 picture with two regions drawn by the mouse, (20, 20)-(80, 70) and (110, 30)-(180, 120).
    void startWithRegions()
    {
        const QString path = test::writePicture(test::syntheticPicture(200, 150, 7), QStringLiteral("docks.bmp"));
        app_ = std::make_unique<CnuboApp>();
        QVERIFY(app_->initInstance({path}));
        frame()->resize(1000, 800);
        QVERIFY(QTest::qWaitForWindowExposed(frame()));
        view_ = app_->documents()->activeView();
        doc_ = view_->document();
        test::drag(view_, {20, 20}, {80, 70});
        test::drag(view_, {110, 30}, {180, 120});
        QCOMPARE(regions().count(), 2);
    }

    // Types text into a cell of the inspector and presses Enter, as a user editing the table would.
    void typeIntoCell(int row, InspectorColumn column, const QString& text)
    {
        QTableView* table = inspector()->table();
        const QModelIndex index = inspector()->model()->index(row, static_cast<int>(column));
        table->setCurrentIndex(index);
        table->edit(index);
        auto* field = qobject_cast<QLineEdit*>(table->indexWidget(index)); // the editor open on the cell
        QVERIFY(field);
        field->setText(text);
        QTest::keyClick(field, Qt::Key_Return);
        QCoreApplication::processEvents(); // the table commits an edit from a queued call
    }

    // The same, expecting the edit to be refused with a message box; returns its text.
    QString refusedEdit(int row, InspectorColumn column, const QString& text)
    {
        auto seen = std::make_shared<QString>();
        test::whenModal([seen](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w))
                *seen = box->text();
            w->close();
        });
        typeIntoCell(row, column, text);
        // An empty text (no box within a minute) fails the caller.
        static_cast<void>(QTest::qWaitFor([&] { return !seen->isEmpty(); }, 60000));
        test::stopWaiting();
        return *seen;
    }

private slots:
    void initTestCase() { test::isolateSettings(); }

    void cleanup()
    {
        test::stopWaiting();
        app_.reset();
        doc_ = nullptr;
        view_ = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }

    // The View menu's check items show and hide the docks, which start hidden. The inspector lists the regions in
    // set order and then the background; selection goes both ways between the table and the view; the rows
    // follow the active document and go with the last one.
    void inspectorListsRegions()
    {
        startWithRegions();
        QAction* show = viewMenuItem(frame(), QStringLiteral("Region &Inspector"));
        QVERIFY(show && show->isCheckable());
        QVERIFY(!inspector()->isVisible());
        show->trigger();
        QVERIFY(inspector()->isVisible());
        QVERIFY(viewMenuItem(frame(), QStringLiteral("&Results Log")));

        const RegionState before = captureRegions(doc_->data());
        regions().at(0).ratio = 7;
        doc_->data().background().setRatio(30);
        doc_->recordEdit(before);
        QCOMPARE(inspector()->model()->rowCount(), 3);
        const QStringList first{"1", "20", "20", "80", "70", "61", "51", "Wavelet", "7"};
        for (int c = 0; c < kInspectorColumnCount; ++c)
            QCOMPARE(cell(0, static_cast<InspectorColumn>(c)), first[c]);
        QCOMPARE(cell(1, InspectorColumn::Width), QStringLiteral("71"));
        QCOMPARE(cell(2, InspectorColumn::Number), QStringLiteral("Background"));
        QCOMPARE(cell(2, InspectorColumn::Ratio), QStringLiteral("30"));
        QCOMPARE(cell(2, InspectorColumn::Left), QString());

        // The last drawn region is selected, and so is its row; a click on the first region selects row 0.
        QTableView* table = inspector()->table();
        QCOMPARE(table->selectionModel()->selectedRows().constFirst().row(), 1);
        QTest::mouseClick(view_, Qt::LeftButton, Qt::NoModifier, {50, 40});
        QCOMPARE(regions().selectedIndex(), 0);
        QCOMPARE(table->selectionModel()->selectedRows().constFirst().row(), 0);
        table->selectRow(1);
        QCOMPARE(regions().selectedIndex(), 1);
        table->selectRow(2); // the background: no region
        QCOMPARE(regions().selectedIndex(), -1);
        QCOMPARE(doc_->undoStack()->count(), 3); // two adds and the ratios; selections are no edits

        // Another document's window brings its rows; back in the first window, the first document's.
        CnuboDoc* other = app_->documents()->newDocument();
        QCOMPARE(inspector()->model()->document(), other);
        QCOMPARE(inspector()->model()->rowCount(), 1);
        QMdiArea* area = app_->documents()->mdiArea();
        area->setActiveSubWindow(area->subWindowList().constFirst());
        QCOMPARE(inspector()->model()->document(), doc_);
        QCOMPARE(inspector()->model()->rowCount(), 3);
        app_->documents()->closeAll();
        QTRY_COMPARE(inspector()->model()->rowCount(), 0);
        QCOMPARE(inspector()->table()->model()->rowCount(), 0);
    }

    // Edits of the rectangle, coder and ratio take effect, keep the region's number and are undone one by one.
    void inspectorEditsUndo()
    {
        startWithRegions();
        inspector()->show();
        typeIntoCell(0, InspectorColumn::Right, QStringLiteral("90"));
        QCOMPARE(rectOf(regions().at(0)), (PixelRect{20, 20, 90, 70}));
        QCOMPARE(cell(0, InspectorColumn::Width), QStringLiteral("71"));
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Resize Region"));
        typeIntoCell(1, InspectorColumn::Height, QStringLiteral("40"));
        QCOMPARE(rectOf(regions().at(1)), (PixelRect{110, 30, 180, 69}));

        // The coder through its list; a lossless region's ratio cannot be edited.
        QTableView* table = inspector()->table();
        const QModelIndex coder = inspector()->model()->index(1, static_cast<int>(InspectorColumn::Coder));
        table->edit(coder);
        auto* list = qobject_cast<QComboBox*>(table->indexWidget(coder));
        QVERIFY(list);
        QCOMPARE(list->count(), 4);
        list->setCurrentIndex(list->findText(QStringLiteral("Arithmetic")));
        QTest::keyClick(list, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(regions().at(1).coderKind, CoderKind::Arithmetic);
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Coder Kind"));
        QVERIFY(!(inspector()->model()->flags(inspector()->model()->index(1, static_cast<int>(InspectorColumn::Ratio)))
                  & Qt::ItemIsEditable));

        typeIntoCell(0, InspectorColumn::Ratio, QStringLiteral("25"));
        QCOMPARE(regions().at(0).ratio, 25);
        typeIntoCell(2, InspectorColumn::Ratio, QStringLiteral("40"));
        QCOMPARE(doc_->data().background().ratio(), 40);
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Background Ratio"));

        for (int i = 0; i < 5; ++i)
            frame()->dispatch(cmd::EditUndo);
        QCOMPARE(rectOf(regions().at(0)), (PixelRect{20, 20, 80, 70}));
        QCOMPARE(rectOf(regions().at(1)), (PixelRect{110, 30, 180, 120}));
        QCOMPARE(regions().at(1).coderKind, CoderKind::Wavelet);
        QCOMPARE(regions().at(0).ratio, 1);
        QCOMPARE(doc_->data().background().ratio(), 1);
        QCOMPARE(cell(0, InspectorColumn::Right), QStringLiteral("80"));
        QCOMPARE(cell(2, InspectorColumn::Ratio), QStringLiteral("1"));
    }

    // An intersecting, outside, too small or non-integer rectangle, or a ratio out of range, is refused with a
    // message and changes nothing.
    void inspectorRefusesBadEdits()
    {
        startWithRegions();
        inspector()->show();
        const int history = doc_->undoStack()->count();
        QCOMPARE(refusedEdit(1, InspectorColumn::Left, QStringLiteral("80")),
                 QStringLiteral("The region would intersect region 1."));
        QCOMPARE(refusedEdit(1, InspectorColumn::Bottom, QStringLiteral("150")),
                 QStringLiteral("The region must lie inside the picture: x from 0 to 199, y from 0 to 149."));
        QCOMPARE(refusedEdit(0, InspectorColumn::Width, QStringLiteral("3")),
                 QStringLiteral("A region must span at least 7 x 7 pixels."));
        QCOMPARE(refusedEdit(0, InspectorColumn::Top, QStringLiteral("abc")), QStringLiteral("Please enter an integer."));
        QCOMPARE(refusedEdit(2, InspectorColumn::Ratio, QStringLiteral("501")),
                 QStringLiteral("Please enter an integer between 1 and 500."));
        QCOMPARE(rectOf(regions().at(0)), (PixelRect{20, 20, 80, 70}));
        QCOMPARE(rectOf(regions().at(1)), (PixelRect{110, 30, 180, 120}));
        QCOMPARE(doc_->data().background().ratio(), 1);
        QCOMPARE(doc_->undoStack()->count(), history);
        QCOMPARE(cell(1, InspectorColumn::Left), QStringLiteral("110"));
    }

    // Test ROI and Compare each add a row with the figures of their statistic boxes and the PSNR and SSIM of the
    // same pixels; Ctrl+C copies the selected rows, and the CSV file holds every row.
    void resultsLogRowsAndCsv()
    {
        startWithRegions();
        resultsLog()->show();
        const std::size_t before = SessionResults::instance().records().size();

        auto encodingBox = std::make_shared<test::BoxSeen>();
        auto decodingBox = std::make_shared<test::BoxSeen>();
        {
            test::DialogScript script;
            script.box(encodingBox).select({0}).box(decodingBox);
            doc_->onCommand(cmd::TestRoi);
            QVERIFY(script.done());
            QVERIFY(script.unexpected().isEmpty());
        }
        QCOMPARE(encodingBox->caption, QStringLiteral("Statistic"));
        QCOMPARE(SessionResults::instance().records().size(), before + 1);
        const ResultRecord test = SessionResults::instance().records().back();
        CnuboDoc* decoded = app_->documents()->documents().last();
        QCOMPARE(QString::fromStdString(test.command), QStringLiteral("Test ROI"));
        QCOMPARE(QString::fromStdString(test.document), QStringLiteral("docks.bmp"));
        QCOMPARE(QString::fromStdString(test.result), decoded->title());
        QCOMPARE(resultCell(test, ResultColumn::Records), std::string("1/3"));
        QCOMPARE(*test.bytes, static_cast<std::uint64_t>(doc_->data().lastEncoding()->size()));
        QualityMeasure measure;
        QVERIFY(measure.measure(doc_->data().image(), decoded->data().image(), true, nullptr));
        QCOMPARE(*test.mse, static_cast<double>(measure.mse()));
        QVERIFY(decodingBox->text.contains(QString::asprintf("Result MSE: %.3f .", *test.mse)));
        const StandardMetrics metrics = measureStandardMetrics(doc_->data().image(), decoded->data().image(), true,
                                                               nullptr);
        QCOMPARE(*test.psnr, metrics.psnr);
        QCOMPARE(*test.ssim, metrics.ssim);
        QVERIFY(test.encodeSeconds && test.decodeSeconds);

        // Compare with the decoded picture, over the two regions.
        {
            test::DialogScript script;
            script.then([](QWidget* w) { qobject_cast<QDialog*>(w)->accept(); }).box(std::make_shared<test::BoxSeen>());
            doc_->onCommand(cmd::CompareWith);
            QVERIFY(script.done());
        }
        QCOMPARE(SessionResults::instance().records().size(), before + 2);
        const ResultRecord compare = SessionResults::instance().records().back();
        const StatusOr<Comparison> expected = compareDocuments(doc_->data(), decoded->data());
        QVERIFY(expected.ok());
        const StandardMetrics regionMetrics = measureStandardMetrics(doc_->data().image(), decoded->data().image(),
                                                                     false, &regions());
        const QString compareLine =
            QStringLiteral("%1,Compare with ...,docks.bmp,%2,,,,%3,%4,%5,%6,,")
                .arg(QString::fromStdString(compare.time), decoded->title(),
                     QString::asprintf("%.3f", static_cast<double>(expected->measure.mse())),
                     QString::asprintf("%.3f", static_cast<double>(expected->measure.snr())),
                     QString::asprintf("%.3f", regionMetrics.psnr), QString::asprintf("%.4f", regionMetrics.ssim));

        // Ctrl+C on the table copies the selected row under the header, tab-separated.
        QTableView* table = resultsLog()->table();
        QCOMPARE(table->model()->rowCount(), static_cast<int>(before + 2));
        table->setFocus();
        table->selectRow(static_cast<int>(before));
        QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
        const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'));
        QCOMPARE(copied.size(), 3); // header, the row, and the empty text after the last line break
        QVERIFY(copied[0].startsWith(QStringLiteral("time\tcommand\tdocument\tresult\trecords\tbytes\tbpp\t")));
        QVERIFY(copied[1].contains(QStringLiteral("\tTest ROI\tdocks.bmp\t")));

        // Export CSV... writes every row of the session through the save dialog.
        const QString path = QDir(test::scratchDir()).filePath(QStringLiteral("results"));
        {
            test::DialogScript script;
            script.file(path);
            resultsLog()->findChild<QPushButton*>(QStringLiteral("exportResults"))->click();
            QVERIFY(script.done());
        }
        const StatusOr<std::string> written = readWholeFile((path + QStringLiteral(".csv")).toStdString());
        QVERIFY(written.ok());
        const QStringList lines = QString::fromStdString(*written).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), static_cast<int>(before + 4)); // header, the rows, the empty text at the end
        QCOMPARE(lines[0], QStringLiteral("time,command,document,result,records,bytes,bpp,mse,snr,psnr,ssim,"
                                          "encode_s,decode_s"));
        QCOMPARE(lines[static_cast<int>(before + 2)], compareLine);
    }
};

} // namespace nubo

QTEST_MAIN(nubo::WorkbenchDocksTest)
#include "workbench_docks_test.moc"
