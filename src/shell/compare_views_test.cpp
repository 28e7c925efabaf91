#include "shell/command_ids.h"
#include "shell/compare_view.h"
#include "shell/compare_window.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/shell_test_support.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

namespace nubo {

namespace {

constexpr QRgb kFirst = 0xFF0F55u;
constexpr QRgb kSecond = 0xF01F55u;

QRgb rgbAt(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

} // namespace

class CompareViewsTest : public test::AppTestCase {
    Q_OBJECT
private:
    // Opens the pictures (w x h, colour) in this order; the last one is active.
    void open(const QList<std::tuple<int, int, QRgb>>& pictures)
    {
        QStringList paths;
        for (const auto& [w, h, rgb] : pictures) {
            paths << test::writeBitmap(w, h, qRed(rgb), qGreen(rgb), qBlue(rgb),
                                       QStringLiteral("compare_%1.bmp").arg(paths.size()));
            QVERIFY(!paths.last().isEmpty());
        }
        app_ = std::make_unique<CnuboApp>();
        QVERIFY(app_->initInstance({paths.first()}));
        for (const QString& path : paths.mid(1))
            QVERIFY(app_->documents()->openDocumentFile(path));
    }

    DocumentManager* documents() { return app_->documents(); }
    CnuboDoc* document(int index) { return documents()->documents().at(index); }

    CCompareWindow* compareWindow()
    {
        app_->mainFrame()->dispatch(cmd::CompareViews);
        return app_->mainFrame()->findChild<CCompareWindow*>();
    }

private slots:
    void initTestCase() { test::isolateSettings(); }

    void cleanup() { closeApp(); }

    // Compare views is enabled only while another open picture has the active one's size, and pairs the active
    // document with the next such one after it, skipping pictures of another size.
    void partnerIsTheNextPictureOfEqualSize()
    {
        open({{40, 30, kFirst}, {41, 30, kSecond}});
        app_->mainFrame()->updateCommandUI();
        QVERIFY(!app_->mainFrame()->action(cmd::CompareViews)->isEnabled());
        QVERIFY(!compareWindow());

        QVERIFY(documents()->openDocumentFile(test::writeBitmap(40, 30, 1, 2, 3, QStringLiteral("third.bmp"))));
        app_->mainFrame()->updateCommandUI();
        QVERIFY(app_->mainFrame()->action(cmd::CompareViews)->isEnabled());
        QCOMPARE(comparePartner(*documents(), document(2)), document(0));
        QCOMPARE(comparePartner(*documents(), document(0)), document(2));
        QCOMPARE(comparePartner(*documents(), document(1)), nullptr);
    }

    // The split view shows the first picture left of the divider and the second beyond it; a drag moves the
    // divider, Space swaps the sides, S shows one picture alone and Space then the other; zoomed, the divider
    // stays on its picture column.
    void splitViewToggleAndDivider()
    {
        open({{60, 40, kSecond}, {60, 40, kFirst}});
        CCompareWindow* window = compareWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        CCompareView* view = window->view();
        QCOMPARE(view->divider(), 30);
        QImage shown = view->grab().toImage();
        QCOMPARE(rgbAt(shown, 10, 20), kFirst);  // the active document leads
        QCOMPARE(rgbAt(shown, 50, 20), kSecond);

        test::drag(view, QPoint(30, 20), QPoint(12, 20));
        QCOMPARE(view->divider(), 12);
        shown = view->grab().toImage();
        QCOMPARE(rgbAt(shown, 10, 20), kFirst);
        QCOMPARE(rgbAt(shown, 20, 20), kSecond);

        QTest::keyClick(view, Qt::Key_Space);
        shown = view->grab().toImage();
        QCOMPARE(rgbAt(shown, 10, 20), kSecond);
        QCOMPARE(rgbAt(shown, 20, 20), kFirst);
        QTest::keyClick(view, Qt::Key_T);
        QCOMPARE(view->leading(), CCompareView::Side::First);

        QTest::keyClick(view, Qt::Key_S);
        QVERIFY(!view->split());
        QCOMPARE(rgbAt(view->grab().toImage(), 50, 20), kFirst);
        QTest::keyClick(view, Qt::Key_Space);
        shown = view->grab().toImage();
        QCOMPARE(rgbAt(shown, 5, 20), kSecond);
        QCOMPARE(rgbAt(shown, 50, 20), kSecond);
        QVERIFY(window->stateLine()->text().contains(document(0)->title()));

        QTest::keyClick(view, Qt::Key_S);
        QTest::keyClick(view, Qt::Key_Space);
        QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
        QCOMPARE(view->zoom(), (Zoom{2, 1}));
        QCOMPARE(view->contentSize(), QSize(120, 80));
        shown = view->grab().toImage();
        QCOMPARE(rgbAt(shown, 23, 20), kFirst);
        QCOMPARE(rgbAt(shown, 25, 20), kSecond);
        test::drag(view, QPoint(24, 20), QPoint(81, 20));
        QCOMPARE(view->divider(), 41); // the pixel boundary nearest to the pointer
    }

    // The difference picture of two known pictures opens as a new document: |a - b| per channel, times the
    // amplification.
    void differencePictureOpensAsDocument()
    {
        open({{24, 16, kFirst}, {24, 16, kSecond}});
        CCompareWindow* window = compareWindow();
        QVERIFY(window);
        window->gainBox()->setValue(4);
        QTest::mouseClick(window->differenceButton(), Qt::LeftButton);
        QCOMPARE(documents()->documents().size(), 3);
        CnuboDoc* difference = documents()->activeDocument();
        QCOMPARE(difference->title(), QStringLiteral("difference x4"));
        const RasterImage& picture = difference->data().image();
        QCOMPARE(picture.width(), 24);
        QCOMPARE(picture.height(), 16);
        for (const QPoint p : {QPoint(0, 0), QPoint(23, 15)}) {
            const PixelColour c = picture.pixel(p.x(), p.y());
            QCOMPARE(c.r, 0x0F * 4.0f);
            QCOMPARE(c.g, 0x10 * 4.0f);
            QCOMPARE(c.b, 0.0f);
        }
    }
};

} // namespace nubo

QTEST_MAIN(nubo::CompareViewsTest)
#include "compare_views_test.moc"
