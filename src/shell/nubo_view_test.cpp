#include "shell/child_frame.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "shell/shell_test_support.h"
#include "shell/view_renderer.h"

#include <QLabel>
#include <QMenu>
#include <QStandardPaths>
#include <QTest>

#include <memory>

namespace nubo {

namespace {

// Picture colour (R, G, B) = (0xFF, 0x0F, 0x55): its bits overlap the outline and highlight colours.
constexpr QRgb kPicture = 0xFF0F55u;
constexpr QRgb kOutline = 0xA0A003u;   // (160, 160, 3)
constexpr QRgb kHighlight = 0x161603u; // (22, 22, 3)

QRgb rgbAt(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

// What a popup menu offered when it came up.
struct MenuSeen {
    QString name;
    QStringList items;
    QMap<QString, bool> enabled;
    QMap<QString, bool> checked;
};

void record(QMenu* menu, MenuSeen& seen)
{
    for (QAction* a : menu->actions()) {
        seen.items << a->text();
        seen.enabled[a->text()] = a->isEnabled();
        seen.checked[a->text()] = a->isChecked();
        if (QMenu* sub = a->menu())
            for (QAction* inner : sub->actions()) {
                seen.enabled[inner->text()] = inner->isEnabled();
                seen.checked[inner->text()] = inner->isChecked();
            }
    }
}

} // namespace

class ViewTest : public test::ViewTestCase {
    Q_OBJECT
private:
    void open(int w, int h) { openPicture(QStringLiteral("view"), w, h, kPicture, {900, 800}); }

    // Right-clicks at pos; records the popup that comes up, then chooses item (or closes the popup).
    MenuSeen rightClick(QPoint pos, const QString& item = QString())
    {
        auto seen = std::make_shared<MenuSeen>();
        test::whenPopup([seen, item](QMenu* menu) {
            seen->name = menu->objectName();
            record(menu, *seen);
            if (item.isEmpty())
                menu->close();
            else
                test::chooseMenuItem(menu, item);
        });
        QTest::mousePress(view_, Qt::RightButton, Qt::NoModifier, pos);
        QTest::mouseRelease(view_, Qt::RightButton, Qt::NoModifier, pos);
        // A popup, and any dialog its command opens, has been answered inside the press.
        test::stopWaiting();
        return *seen;
    }

private slots:
    void initTestCase() { test::isolateSettings(); }

    void cleanup() { closePicture(); }

    // A 40 x 20 picture gets a 100 x 50 view; a 640 x 480 picture a view of exactly its size.
    void viewSizedToPicture()
    {
        open(40, 20);
        QCOMPARE(view_->size(), QSize(100, 50));
        cleanup();
        open(640, 480);
        QCOMPARE(view_->size(), QSize(640, 480));
    }

    // Dragging on the free picture adds a selected region and switches the labels from Hidden to Short.
    void dragOutRegion()
    {
        open(200, 150);
        QCOMPARE(doc_->data().descriptionMode(), DescriptionMode::Hidden);
        test::drag(view_, {70, 60}, {20, 25});
        QCOMPARE(regions().count(), 1);
        QCOMPARE(regions().at(0).normalizedRect(), (PixelRect{20, 25, 70, 60}));
        QCOMPARE(regions().selectedIndex(), 0);
        QCOMPARE(doc_->data().descriptionMode(), DescriptionMode::Short);
        QVERIFY(!view_->editor().dragging());
    }

    // A drag towards another region stops before it; the new region never intersects it.
    void dragIntoRegionRefused()
    {
        open(200, 150);
        test::drag(view_, {100, 10}, {150, 60});
        rightClick({10, 140}); // deselect
        test::drag(view_, {20, 20}, {130, 40});
        QCOMPARE(regions().count(), 2);
        const Region& added = regions().at(1);
        QVERIFY(!regions().at(0).intersects(const_cast<Region&>(added), false));
        QCOMPARE(added.normalizedRect().left, 20);
        QVERIFY(added.normalizedRect().right < 100);
    }

    // Dragging a corner of the selected region resizes it from the opposite corner; it comes back last.
    void resizeByCorner()
    {
        open(300, 200);
        test::drag(view_, {10, 10}, {100, 90});
        test::drag(view_, {150, 10}, {250, 90});
        QTest::mouseClick(view_, Qt::LeftButton, Qt::NoModifier, {55, 50}); // select the first
        QCOMPARE(regions().selectedIndex(), 0);
        test::drag(view_, {98, 88}, {120, 150});
        QCOMPARE(regions().count(), 2);
        QCOMPARE(regions().at(1).normalizedRect(), (PixelRect{10, 10, 120, 150}));
        QCOMPARE(regions().at(0).normalizedRect(), (PixelRect{150, 10, 250, 90}));
        QCOMPARE(regions().selectedIndex(), 1);
    }

    // The view receives the release even outside its window, so a resize ended there keeps the region with the
    // last accepted corner instead of losing it.
    void releaseOutsideViewKeepsRegion()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {100, 90});
        QTest::mousePress(view_, Qt::LeftButton, Qt::NoModifier, {98, 88});
        QTest::mouseMove(view_, {150, 120});
        QTest::mouseMove(view_, {400, 300}); // past the picture and the window: clamped
        QTest::mouseRelease(view_, Qt::LeftButton, Qt::NoModifier, {400, 300});
        QVERIFY(!view_->editor().dragging());
        QCOMPARE(regions().count(), 1);
        QCOMPARE(regions().at(0).normalizedRect(), (PixelRect{20, 20, 199, 149}));
    }

    // The region menu over the selected region: its items, the kind's check mark, and Delete.
    void regionMenuAndDelete()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {120, 100});
        const MenuSeen seen = rightClick({70, 60}, QStringLiteral("Delete"));
        QCOMPARE(seen.name, QStringLiteral("POPUP"));
        QCOMPARE(seen.items, (QStringList{QStringLiteral("Codec Type"), QStringLiteral("Set Ratio"),
                                          QStringLiteral("Delete")}));
        QVERIFY(seen.checked[QStringLiteral("Wavelet")]);
        QVERIFY(!seen.checked[QStringLiteral("Arithmetic")]);
        QVERIFY(seen.enabled[QStringLiteral("Set Ratio")]);
        QVERIFY(seen.enabled[QStringLiteral("Delete")]);
        QTRY_COMPARE(regions().count(), 0);
    }

    // The Delete key deletes the selected region, as the menu's Delete does, and selects its successor; without a
    // selection it does nothing.
    void deleteKeyDeletesSelectedRegion()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {60, 60});
        test::drag(view_, {100, 20}, {150, 60});
        QTest::mouseClick(view_, Qt::LeftButton, Qt::NoModifier, {40, 40}); // select the first
        QCOMPARE(regions().selectedIndex(), 0);
        QCOMPARE(QApplication::focusWidget(), view_);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        QCOMPARE(regions().count(), 1);
        QCOMPARE(regions().at(0).left, 100);
        QCOMPARE(regions().selectedIndex(), 0);
        regions().deselect();
        QTest::keyClick(view_, Qt::Key_Delete);
        QCOMPARE(regions().count(), 1);
    }

    // Esc during a drag cancels it: a new band is discarded, a resized region stays as it was.
    void escapeCancelsDrag()
    {
        open(200, 150);
        QTest::mousePress(view_, Qt::LeftButton, Qt::NoModifier, {20, 20});
        QTest::mouseMove(view_, {60, 50});
        QMouseEvent move(QEvent::MouseMove, QPointF(80, 70), view_->mapToGlobal(QPointF(80, 70)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view_, &move);
        QVERIFY(view_->editor().dragging());
        QTest::keyClick(view_, Qt::Key_Escape);
        QVERIFY(!view_->editor().dragging());
        QTest::mouseRelease(view_, Qt::LeftButton, Qt::NoModifier, {80, 70});
        QCOMPARE(regions().count(), 0);

        test::drag(view_, {20, 20}, {100, 90});
        QCOMPARE(regions().count(), 1);
        QTest::mousePress(view_, Qt::LeftButton, Qt::NoModifier, {98, 88}); // the bottom-right handle
        QVERIFY(view_->editor().dragging());
        QCOMPARE(regions().count(), 0);
        QTest::keyClick(view_, Qt::Key_Escape);
        QTest::mouseRelease(view_, Qt::LeftButton, Qt::NoModifier, {140, 130});
        QCOMPARE(regions().count(), 1);
        QCOMPARE(regions().at(0).normalizedRect(), (PixelRect{20, 20, 100, 90}));
    }

    // Choosing Arithmetic checks it and disables Set Ratio.
    void arithmeticDisablesSetRatio()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {120, 100});
        rightClick({70, 60}, QStringLiteral("Arithmetic"));
        QTRY_COMPARE(regions().at(0).coderKind, CoderKind::Arithmetic);
        const MenuSeen seen = rightClick({70, 60});
        QVERIFY(seen.checked[QStringLiteral("Arithmetic")]);
        QVERIFY(!seen.checked[QStringLiteral("Wavelet")]);
        QVERIFY(!seen.enabled[QStringLiteral("Set Ratio")]);
    }

    // Wavelet (colour) checks it and keeps Set Ratio; the background's coder is the document's, Wavelet until the
    // background menu chooses Wavelet (colour).
    void colourWaveletKinds()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {120, 100});
        rightClick({70, 60}, QStringLiteral("Wavelet (colour)"));
        QTRY_COMPARE(regions().at(0).coderKind, CoderKind::WaveletColour);
        const MenuSeen seen = rightClick({70, 60});
        QVERIFY(seen.checked[QStringLiteral("Wavelet (colour)")]);
        QVERIFY(!seen.checked[QStringLiteral("Wavelet")]);
        QVERIFY(seen.enabled[QStringLiteral("Set Ratio")]);

        rightClick({10, 140}); // deselect
        QCOMPARE(doc_->data().background().coderKind(), CoderKind::Wavelet);
        const MenuSeen before = rightClick({150, 120}, QStringLiteral("Wavelet (colour)"));
        QVERIFY(before.checked[QStringLiteral("Wavelet")]);
        QTRY_COMPARE(doc_->data().background().coderKind(), CoderKind::WaveletColour);
        const MenuSeen after = rightClick({150, 120});
        QVERIFY(after.checked[QStringLiteral("Wavelet (colour)")]);
        QVERIFY(!after.checked[QStringLiteral("Wavelet")]);
    }

    // Set Ratio opens the ratio dialog with the region's own prompt and stores the value.
    void setRatioThroughDialog()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {120, 100});
        const auto prompt = test::answerRatioDialog(QStringLiteral("250"));
        rightClick({70, 60}, QStringLiteral("Set Ratio"));
        QTRY_COMPARE(regions().at(0).ratio, 250);
        QCOMPARE(*prompt, QStringLiteral("Insert Ratio for this ROI:"));
    }

    // With nothing selected a right click on free picture offers the background menu; its dialog sets the
    // background ratio and shows the labels.
    void backgroundMenu()
    {
        open(200, 150);
        const auto prompt = test::answerRatioDialog(QStringLiteral("40"));
        const MenuSeen seen = rightClick({150, 120}, QStringLiteral("Set Background Ratio"));
        QCOMPARE(seen.name, QStringLiteral("BGPOPUP"));
        QCOMPARE(seen.items, (QStringList{QStringLiteral("Set Background Ratio"),
                                          QStringLiteral("Background Codec Type")}));
        QTRY_COMPARE(doc_->data().background().ratio(), 40);
        QCOMPARE(*prompt, QStringLiteral("Insert Ratio for Background:"));
        QCOMPARE(doc_->data().descriptionMode(), DescriptionMode::Short);
    }

    // A right click away from the selected region only deselects; a right click on an unselected region shows
    // nothing.
    void rightClickElsewhereDeselects()
    {
        open(200, 150);
        test::drag(view_, {20, 20}, {80, 80});
        QCOMPARE(rightClick({150, 120}).name, QString());
        QCOMPARE(regions().selectedIndex(), -1);
        QCOMPARE(rightClick({50, 50}).name, QString());
        QCOMPARE(regions().selectedIndex(), -1);
    }

    // The painted overlay has exact XOR and OR pixel values: dotted outlines, corner marks, highlighted interior.
    void overlayPixels()
    {
        open(200, 150);
        regions().add(Region(10, 10, 60, 50));
        regions().add(Region(100, 20, 180, 120)); // selected
        view_->update();
        const QImage shot = view_->grab().toImage();
        QCOMPARE(shot.size(), QSize(200, 150));
        // Unselected: dotted outline, interior untouched.
        QCOMPARE(rgbAt(shot, 10, 10), kPicture ^ kOutline);
        QCOMPARE(rgbAt(shot, 11, 10), kPicture);
        QCOMPARE(rgbAt(shot, 12, 10), kPicture ^ kOutline);
        QCOMPARE(rgbAt(shot, 35, 30), kPicture);
        // Selected: interior is the picture with the highlight bits cleared.
        QCOMPARE(rgbAt(shot, 140, 70), kPicture & ~kHighlight);
        QCOMPARE(rgbAt(shot, 140, 70), QRgb(0xE90954u));
        // Top-left corner mark of the selected region: (106, 20..25), then (106..101, 26).
        QCOMPARE(rgbAt(shot, 106, 22), ((kPicture ^ kOutline) | kHighlight) ^ kHighlight);
        QCOMPARE(rgbAt(shot, 106, 23), kPicture & ~kHighlight);
        QCOMPARE(rgbAt(shot, 104, 26), ((kPicture ^ kOutline) | kHighlight) ^ kHighlight);
        QCOMPARE(rgbAt(shot, 100, 20), kPicture ^ kOutline);
        // Outside every region the picture is untouched.
        QCOMPARE(rgbAt(shot, 80, 140), kPicture);
    }

    // The labels follow the description mode: Full draws dark text inside a large region, Hidden none.
    void labelsFollowMode()
    {
        open(300, 200);
        regions().add(Region(20, 40, 200, 150));
        regions().deselect();
        auto darkPixels = [this] {
            const QImage shot = view_->grab().toImage();
            int dark = 0;
            for (int y = 45; y < 80; ++y)
                for (int x = 25; x < 120; ++x)
                    dark += qGray(shot.pixel(x, y)) < 60 ? 1 : 0;
            return dark;
        };
        QCOMPARE(darkPixels(), 0);
        app_->mainFrame()->dispatch(cmd::DescriptionsFull);
        QVERIFY(darkPixels() > 20);
        app_->mainFrame()->dispatch(cmd::DescriptionsHidden);
        QCOMPARE(darkPixels(), 0);
    }

    // A label breaks only at its own line breaks; "\n\r" is one break.
    void labelLineBreaks()
    {
        QCOMPARE(labelLines(QStringLiteral("Coder: Wavelet\n\rRatio: 5")),
                 (QStringList{QStringLiteral("Coder: Wavelet"), QStringLiteral("Ratio: 5")}));
        QCOMPARE(labelLines(QStringLiteral("a\r\nb")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(labelLines(QStringLiteral("a\n\nb")).size(), 3);
        QCOMPARE(labelLines(QStringLiteral("Background Ratio: 40")).size(), 1);
    }

    // Opaque labels put white behind their text; transparent ones leave the picture around the glyphs.
    void opaqueLabelBackground()
    {
        open(300, 200);
        regions().add(Region(20, 40, 200, 150));
        regions().deselect();
        app_->mainFrame()->dispatch(cmd::DescriptionsFull);
        auto whitePixels = [this] {
            const QImage shot = view_->grab().toImage();
            int white = 0;
            for (int y = 45; y < 80; ++y)
                for (int x = 25; x < 120; ++x)
                    white += (shot.pixel(x, y) & 0xFFFFFFu) == 0xFFFFFFu ? 1 : 0;
            return white;
        };
        QCOMPARE(whitePixels(), 0);
        app_->mainFrame()->dispatch(cmd::DescriptionsBackground);
        QVERIFY(whitePixels() > 100);
    }

    // A double click does not press again: no band starts and no region appears.
    void doubleClickIsNotAPress()
    {
        open(200, 150);
        QTest::mouseDClick(view_, Qt::LeftButton, Qt::NoModifier, {50, 50});
        QVERIFY(!view_->editor().dragging());
        QCOMPARE(regions().count(), 0);
    }

    // The message pane shows the pointer's picture position and the pixel's colour.
    void statusShowsPointer()
    {
        open(200, 150);
        QMouseEvent move(QEvent::MouseMove, QPointF(30, 40), QPointF(view_->mapToGlobal(QPoint(30, 40))),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view_, &move);
        QCOMPARE(app_->mainFrame()->messagePane()->text(), QStringLiteral("X: 30  Y: 40    R: 255  G: 15  B: 85"));
        QMouseEvent outside(QEvent::MouseMove, QPointF(250, 40), QPointF(view_->mapToGlobal(QPoint(250, 40))),
                            Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view_, &outside);
        QCOMPARE(app_->mainFrame()->messagePane()->text(), QStringLiteral("Ready"));
    }
};

} // namespace nubo

QTEST_MAIN(nubo::ViewTest)
#include "nubo_view_test.moc"
