#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/shell_test_support.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>

namespace nubo {

namespace {

constexpr QRgb kPicture = 0xFF0F55u;
constexpr QRgb kOutline = 0xA0A003u;

QRgb rgbAt(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

void moveTo(QWidget* view, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(view->mapToGlobal(pos)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view, &move);
}

} // namespace

class ZoomTest : public test::ViewTestCase {
    Q_OBJECT
private:
    void open(int w, int h) { openPicture(QStringLiteral("zoom"), w, h, kPicture, {1000, 900}); }
    QString zoomPane() { return frame()->zoomPane()->text(); }

private slots:
    void initTestCase() { test::isolateSettings(); }

    void cleanup() { closePicture(); }

    // View > Zoom In and Zoom Out walk the steps, the status bar shows the active view's zoom, Actual Size returns
    // to 100 % and the items are disabled at the ends.
    void zoomStepsThroughCommands()
    {
        open(70, 46);
        QCOMPARE(zoomPane(), QStringLiteral("100 %"));
        const QStringList up{"200 %", "300 %", "400 %", "600 %", "800 %", "1600 %"};
        for (const QString& expected : up) {
            frame()->dispatch(cmd::ZoomIn);
            QCOMPARE(zoomPane(), expected);
        }
        QVERIFY(!frame()->action(cmd::ZoomIn)->isEnabled());
        QCOMPARE(view_->minimumSize(), QSize(70 * 16, 46 * 16));
        frame()->dispatch(cmd::ZoomActualSize);
        QCOMPARE(zoomPane(), QStringLiteral("100 %"));
        QVERIFY(frame()->action(cmd::ZoomActualSize)->isChecked());
        const QStringList down{"50 %", "33.3 %", "25 %", "16.7 %", "12.5 %"};
        for (const QString& expected : down) {
            frame()->dispatch(cmd::ZoomOut);
            QCOMPARE(zoomPane(), expected);
        }
        QVERIFY(!frame()->action(cmd::ZoomOut)->isEnabled());
        QCOMPARE(view_->minimumSize(), QSize(9, 6));
    }

    // Ctrl+wheel zooms in and out; the wheel alone does not change the zoom.
    void ctrlWheelZooms()
    {
        open(200, 150);
        const QPoint at(50, 40);
        QWheelEvent plain(QPointF(at), QPointF(view_->mapToGlobal(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view_, &plain);
        QCOMPARE(view_->zoom(), (Zoom{}));
        QWheelEvent in(QPointF(at), QPointF(view_->mapToGlobal(at)), QPoint(), QPoint(0, 120), Qt::NoButton,
                       Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view_, &in);
        QCOMPARE(view_->zoom(), (Zoom{2, 1}));
        QCOMPARE(zoomPane(), QStringLiteral("200 %"));
        QWheelEvent out(QPointF(at), QPointF(view_->mapToGlobal(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                        Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view_, &out);
        QApplication::sendEvent(view_, &out);
        QCOMPARE(view_->zoom(), (Zoom{1, 2}));
    }

    // At 200 % a drag, a selection, a corner resize and the status bar all work in picture coordinates.
    void editingAt200Percent()
    {
        open(200, 150);
        frame()->dispatch(cmd::ZoomIn);
        QCOMPARE(view_->zoom(), (Zoom{2, 1}));
        test::drag(view_, {20, 20}, {100, 80});
        QCOMPARE(regions().count(), 1);
        const Region& r = regions().at(0);
        QCOMPARE((PixelRect{r.left, r.top, r.right, r.bottom}), (PixelRect{10, 10, 50, 40}));
        // Either screen pixel of a picture pixel is the same picture pixel: grabbing the bottom-right corner at
        // (101, 81) resizes from the top-left corner.
        test::drag(view_, {101, 81}, {161, 121});
        QCOMPARE(regions().count(), 1);
        const Region& resized = regions().at(0);
        QCOMPARE((PixelRect{resized.left, resized.top, resized.right, resized.bottom}), (PixelRect{10, 10, 80, 60}));
        // A click at screen (200, 200) is picture (100, 100), outside the region: it draws nothing and keeps it.
        moveTo(view_, {61, 81});
        QCOMPARE(frame()->messagePane()->text(), QStringLiteral("X: 30  Y: 40    R: 255  G: 15  B: 85"));
        moveTo(view_, {399, 299});
        QCOMPARE(frame()->messagePane()->text(), QStringLiteral("X: 199  Y: 149    R: 255  G: 15  B: 85"));
    }

    // At 50 % the same edits map each screen pixel to the top-left pixel of the block it shows.
    void editingAt50Percent()
    {
        open(200, 150);
        frame()->dispatch(cmd::ZoomOut);
        QCOMPARE(view_->zoom(), (Zoom{1, 2}));
        test::drag(view_, {10, 10}, {60, 50});
        QCOMPARE(regions().count(), 1);
        const Region& r = regions().at(0);
        QCOMPARE((PixelRect{r.left, r.top, r.right, r.bottom}), (PixelRect{20, 20, 120, 100}));
        // A press inside selects it; the region menu logic sees the picture point.
        regions().deselect();
        QTest::mouseClick(view_, Qt::LeftButton, Qt::NoModifier, {35, 30});
        QCOMPARE(regions().selectedIndex(), 0);
        moveTo(view_, {15, 20});
        QCOMPARE(frame()->messagePane()->text(), QStringLiteral("X: 30  Y: 40    R: 255  G: 15  B: 85"));
    }

    // Magnified, every screen pixel is the 1:1 composition's pixel under it (nearest pixel, outlines included);
    // at 100 % the view is exactly the 1:1 composition.
    void magnifiedPixelsAreNearest()
    {
        open(120, 90);
        regions().add(Region(10, 10, 60, 50));
        regions().add(Region(70, 20, 110, 80));
        const QImage actual = view_->renderArea(QRect(0, 0, 120, 90));
        QCOMPARE(rgbAt(actual, 10, 10), kPicture ^ kOutline);
        QCOMPARE(rgbAt(actual, 11, 10), kPicture);
        for (int factor : {2, 3}) {
            frame()->dispatch(cmd::ZoomIn);
            QCOMPARE(view_->zoom().factor, factor);
            // An area that starts inside a picture pixel.
            const QRect area(factor * 5 + 1, factor * 7 + 1, 100, 80);
            const QImage zoomed = view_->renderArea(area);
            QCOMPARE(zoomed.size(), area.size());
            for (int y = 0; y < area.height(); ++y)
                for (int x = 0; x < area.width(); ++x)
                    QCOMPARE(rgbAt(zoomed, x, y),
                             rgbAt(actual, (area.left() + x) / factor, (area.top() + y) / factor));
        }
    }

    // Reduced, the outlines stay one screen pixel wide, dotted and XORed, at the reduced corners.
    void reducedOutlinesAreDrawnAtScreenSize()
    {
        open(200, 150);
        regions().add(Region(20, 20, 120, 100));
        regions().deselect();
        frame()->dispatch(cmd::ZoomOut);
        const QImage shot = view_->renderArea(QRect(0, 0, 100, 75));
        QCOMPARE(rgbAt(shot, 10, 10), kPicture ^ kOutline);
        QCOMPARE(rgbAt(shot, 11, 10), kPicture);
        QCOMPARE(rgbAt(shot, 30, 30), kPicture);
        QCOMPARE(rgbAt(shot, 60, 50), kPicture ^ kOutline); // bottom-right corner (120, 100) / 2
    }

    // Fit in Window picks the largest step that shows the whole picture in the window.
    void fitInWindow()
    {
        open(70, 46);
        CChildFrame* child = view_->frame();
        QVERIFY(child);
        child->fitClientArea(600, 400);
        QApplication::processEvents();
        frame()->dispatch(cmd::ZoomFitWindow);
        QCOMPARE(view_->zoom(), (Zoom{8, 1}));
        child->fitClientArea(60, 60);
        QApplication::processEvents();
        frame()->dispatch(cmd::ZoomFitWindow);
        QCOMPARE(view_->zoom(), (Zoom{1, 2}));
    }

    // A picture larger than its window's client area has scroll bars, and the wheel scrolls it, whether the window
    // is maximised or tiled.
    void largePictureScrollsWhenMaximisedOrTiled()
    {
        open(1411, 1411);
        frame()->resize(1280, 900);
        CChildFrame* child = view_->frame();
        QScrollArea* scroll = view_->scrollArea();
        QScrollBar* vertical = scroll->verticalScrollBar();
        const QPoint at(100, 100);
        for (const bool maximised : {true, false}) {
            if (maximised) {
                child->showMaximized();
            } else {
                child->showNormal();
                frame()->dispatch(cmd::WindowTile);
            }
            QApplication::processEvents();
            QVERIFY(scroll->viewport()->width() < 1411 && scroll->viewport()->height() < 1411);
            QVERIFY(scroll->horizontalScrollBar()->isVisible());
            QVERIFY(vertical->isVisible());
            // The view leaves a plain wheel to the scroll area, to which Qt passes on a wheel event the view ignored.
            vertical->setValue(0);
            QWheelEvent down(QPointF(at), QPointF(view_->mapToGlobal(at)), QPoint(), QPoint(0, -120), Qt::NoButton,
                             Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(view_, &down);
            QVERIFY(!down.isAccepted());
            QApplication::sendEvent(scroll->viewport(), &down);
            QVERIFY2(vertical->value() > 0, maximised ? "maximised" : "tiled");
        }
    }

    // A band dragged past the visible edge scrolls the view, and the band follows the picture point under the
    // pointer.
    void autoScrollWhileDragging()
    {
        open(600, 600);
        CChildFrame* child = view_->frame();
        child->fitClientArea(200, 200);
        QApplication::processEvents();
        QScrollArea* scroll = view_->scrollArea();
        QVERIFY(scroll);
        QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
        QCOMPARE(scroll->verticalScrollBar()->value(), 0);

        QTest::mousePress(view_, Qt::LeftButton, Qt::NoModifier, {20, 20});
        QTest::mouseMove(view_, {100, 100});
        QVERIFY(view_->editor().dragging());
        // Past the bottom edge of the visible part (the viewport ends at view row 199).
        QTest::mouseMove(view_, {100, 230});
        const int bottomBefore = view_->editor().rubberBand()->bottom;
        QCOMPARE(bottomBefore, 230);
        QVERIFY(view_->autoScrollStep());
        QVERIFY(scroll->verticalScrollBar()->value() > 0);
        const int scrolled = scroll->verticalScrollBar()->value();
        QCOMPARE(view_->editor().rubberBand()->bottom, 230 + scrolled);
        // Scrolling stops at the end; the band reaches at most the last row.
        while (view_->autoScrollStep()) {
        }
        QCOMPARE(scroll->verticalScrollBar()->value(), scroll->verticalScrollBar()->maximum());
        QVERIFY(view_->editor().rubberBand()->bottom <= 599);
        QTest::mouseRelease(view_, Qt::LeftButton, Qt::NoModifier, {100, view_->editor().rubberBand()->bottom});
        QCOMPARE(regions().count(), 1);
        QVERIFY(regions().at(0).bottom > 400);
    }
};

} // namespace nubo

QTEST_MAIN(nubo::ZoomTest)
#include "zoom_view_test.moc"
