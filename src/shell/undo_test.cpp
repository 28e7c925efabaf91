#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/shell_test_support.h"

#include <QTest>
#include <QUndoStack>

#include <memory>

namespace nubo {

namespace {

PixelRect rectOf(const Region& r) { return {r.left, r.top, r.right, r.bottom}; }

} // namespace

class UndoTest : public test::ViewTestCase {
    Q_OBJECT
private:
    void open(int w, int h) { openPicture(QStringLiteral("undo"), w, h, 0x204060u, {900, 800}); }
    void undo() { frame()->dispatch(cmd::EditUndo); }
    void redo() { frame()->dispatch(cmd::EditRedo); }

private slots:
    void initTestCase() { test::isolateSettings(); }

    void cleanup() { closePicture(); }

    // Adding a region is undone and redone; the Edit items follow the history, and a click that only selects
    // adds nothing to it.
    void undoRedoAdd()
    {
        open(200, 150);
        QVERIFY(!frame()->action(cmd::EditUndo)->isEnabled());
        test::drag(view_, {20, 20}, {80, 70});
        QCOMPARE(regions().count(), 1);
        QVERIFY(frame()->action(cmd::EditUndo)->isEnabled());
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Add Region"));
        QTest::mouseClick(view_, Qt::LeftButton, Qt::NoModifier, {50, 40});
        QCOMPARE(doc_->undoStack()->count(), 1);
        undo();
        QCOMPARE(regions().count(), 0);
        QVERIFY(!frame()->action(cmd::EditUndo)->isEnabled());
        QVERIFY(frame()->action(cmd::EditRedo)->isEnabled());
        redo();
        QCOMPARE(regions().count(), 1);
        QCOMPARE(rectOf(regions().at(0)), (PixelRect{20, 20, 80, 70}));
        // Ctrl+Z and Ctrl+Shift+Z reach the same commands.
        QTest::keyClick(frame(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(regions().count(), 0);
        QTest::keyClick(frame(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(regions().count(), 1);
    }

    // A resize is one edit: undo puts the region back where it was, in its place in the set; a resize that
    // shrinks a region below 7 x 7 (and so deletes it) is undone too.
    void undoResize()
    {
        open(200, 150);
        test::drag(view_, {10, 10}, {60, 60});
        test::drag(view_, {100, 20}, {180, 120});
        test::drag(view_, {180, 120}, {150, 90}); // bottom-right corner of the selected second region
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Resize Region"));
        QCOMPARE(rectOf(regions().at(1)), (PixelRect{100, 20, 150, 90}));
        undo();
        QCOMPARE(regions().count(), 2);
        QCOMPARE(rectOf(regions().at(1)), (PixelRect{100, 20, 180, 120}));
        QTest::mouseClick(view_, Qt::LeftButton, Qt::NoModifier, {30, 30});
        test::drag(view_, {60, 60}, {12, 12}); // too small: the region goes
        QCOMPARE(regions().count(), 1);
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Delete Region"));
        undo();
        QCOMPARE(regions().count(), 2);
        QCOMPARE(rectOf(regions().at(0)), (PixelRect{10, 10, 60, 60}));
    }

    // Delete, coder kind, region ratio and background ratio from the menus are each undone and redone.
    void undoMenuEdits()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {120, 100});
        view_->onCommand(cmd::CodecArithmetic);
        QCOMPARE(regions().at(0).coderKind, CoderKind::Arithmetic);
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Coder Kind"));
        undo();
        QCOMPARE(regions().at(0).coderKind, CoderKind::Wavelet);

        test::answerRatioDialog(QStringLiteral("250"));
        view_->onCommand(cmd::SetRatio);
        QTRY_COMPARE(regions().at(0).ratio, 250);
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Region Ratio"));
        undo();
        QCOMPARE(regions().at(0).ratio, 1);
        redo();
        QCOMPARE(regions().at(0).ratio, 250);

        test::answerRatioDialog(QStringLiteral("40"));
        view_->onCommand(cmd::SetBackgroundRatio);
        QTRY_COMPARE(doc_->data().background().ratio(), 40);
        QCOMPARE(doc_->undoStack()->undoText(), QStringLiteral("Background Ratio"));
        undo();
        QCOMPARE(doc_->data().background().ratio(), 1);
        QVERIFY(doc_->data().background().ratioUnset());

        view_->onCommand(cmd::DeleteRegion);
        QCOMPARE(regions().count(), 0);
        undo();
        QCOMPARE(regions().count(), 1);
        QCOMPARE(regions().at(0).ratio, 250);
        QCOMPARE(regions().selectedIndex(), 0);
    }

    // The history belongs to one document, shared by its windows; a decode that replaces the picture ends it.
    void historyPerDocument()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {80, 70});
        CnuboDoc* other = app_->documents()->newDocument();
        QVERIFY(other != doc_);
        QVERIFY(!frame()->action(cmd::EditUndo)->isEnabled());
        app_->documents()->closeDocument(other);
        QTRY_COMPARE(app_->documents()->documents().size(), 1);
        frame()->updateCommandUI();
        QVERIFY(frame()->action(cmd::EditUndo)->isEnabled());
        doc_->pictureReplacedByDecode();
        QCOMPARE(doc_->undoStack()->count(), 0);
    }
};

} // namespace nubo

QTEST_MAIN(nubo::UndoTest)
#include "undo_test.moc"
