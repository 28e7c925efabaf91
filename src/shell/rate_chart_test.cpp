#include "commands/rate_sweep_csv.h"
#include "shell/command_ids.h"
#include "shell/document_manager.h"
#include "shell/main_frame.h"
#include "shell/nubo_app.h"
#include "shell/nubo_doc.h"
#include "shell/rate_chart_window.h"
#include "shell/shell_test_support.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineSeries>
#include <QProgressDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

namespace nubo {

class RateChartTest : public test::AppTestCase {
    Q_OBJECT
private:
    CRateChartWindow* openChart(int w, int h)
    {
        const QString path = test::writeBitmap(w, h, 200, 90, 30, QStringLiteral("chart_%1.bmp").arg(w));
        app_ = std::make_unique<CnuboApp>();
        if (path.isEmpty() || !app_->initInstance({path}))
            return nullptr;
        CnuboDoc* document = app_->documents()->activeDocument();
        // A picture with detail, so that every ratio codes it differently, and one region.
        RasterImage& picture = document->data().image();
        for (int i = 0; i < picture.size(); ++i)
            picture.data()[i] = static_cast<std::uint8_t>((i * 37 + (i / 7) * 11) % 251);
        Region face(4, 4, 43, 39);
        face.ratio = 4;
        document->data().regions().add(face);
        app_->mainFrame()->dispatch(cmd::RateDistortionCurve);
        return app_->mainFrame()->findChild<CRateChartWindow*>();
    }

private slots:
    void initTestCase() { test::isolateSettings(); }

    void cleanup() { closeApp(); }

    // A two-ratio sweep plots one point per ratio on each of the three curves, at the bpp and PSNR the CSV gives,
    // and saves its CSV, a PNG and an SVG.
    void shortSweepPlotsAndSaves()
    {
        CRateChartWindow* window = openChart(64, 48);
        QVERIFY(window);
        window->fromBox()->setValue(8);
        window->toBox()->setValue(40);
        window->countBox()->setValue(2);
        QTest::mouseClick(window->runButton(), Qt::LeftButton);
        QCOMPARE(window->result().points.size(), std::size_t{2});
        QVERIFY(!window->result().cancelled);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(window->series(i)->count(), 2);

        const QString csvPath = QDir(test::scratchDir()).filePath(QStringLiteral("curve.csv"));
        QVERIFY(window->saveData(csvPath).ok());
        QFile file(csvPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4); // header, two rows, the empty rest after the last line break
        QCOMPARE(lines[0], QStringLiteral("input,ratio,vary,bytes,bpp,psnr,psnrRed,psnrGreen,psnrBlue,ssim,"
                                          "regionPsnr,regionSsim,backgroundPsnr,backgroundSsim,encodeSeconds,"
                                          "decodeSeconds"));
        QVERIFY(lines[3].isEmpty());
        const int columns[3] = {5, 10, 12}; // psnr, regionPsnr, backgroundPsnr
        for (int row = 0; row < 2; ++row) {
            const QStringList cells = lines[row + 1].split(QLatin1Char(','));
            QCOMPARE(cells.size(), 16);
            QCOMPARE(cells[0], QStringLiteral("chart_64.bmp"));
            QCOMPARE(cells[1], row == 0 ? QStringLiteral("8") : QStringLiteral("40"));
            QCOMPARE(cells[2], QStringLiteral("background"));
            for (int curve = 0; curve < 3; ++curve) {
                const QPointF point = window->series(curve)->at(row);
                QCOMPARE(point.x(), cells[4].toDouble());
                QCOMPARE(point.y(), cells[columns[curve]].toDouble());
            }
        }
        // Fewer bits at the higher ratio, and a worse background.
        QVERIFY(window->series(2)->at(1).x() < window->series(2)->at(0).x());
        QVERIFY(window->series(2)->at(1).y() < window->series(2)->at(0).y());

        const QString png = QDir(test::scratchDir()).filePath(QStringLiteral("curve.png"));
        const QString svg = QDir(test::scratchDir()).filePath(QStringLiteral("curve.svg"));
        QVERIFY(window->saveChart(png).ok());
        QVERIFY(window->saveChart(svg).ok());
        QCOMPARE(QImage(png).size(), window->findChild<QChartView*>()->size());
        QFile drawing(svg);
        QVERIFY(drawing.open(QIODevice::ReadOnly));
        QVERIFY(drawing.readAll().contains("<svg"));
        QVERIFY(!window->saveData(QStringLiteral("/nonexistent-folder/curve.csv")).ok());
    }

    // Cancel in the progress dialog stops the sweep after the ratio in progress; the finished ratios are plotted.
    void cancelStopsTheSweep()
    {
        CRateChartWindow* window = openChart(96, 80);
        QVERIFY(window);
        window->fromBox()->setValue(2);
        window->toBox()->setValue(400);
        window->countBox()->setValue(40);
        test::whenModal([](QWidget* w) {
            QVERIFY(qobject_cast<QProgressDialog*>(w));
            QPushButton* cancel = w->findChild<QPushButton*>();
            QVERIFY(cancel);
            QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        QTest::mouseClick(window->runButton(), Qt::LeftButton);
        QVERIFY(window->result().cancelled);
        QVERIFY(window->result().points.size() < 40);
        QCOMPARE(window->series(0)->count(), static_cast<int>(window->result().points.size()));
        QVERIFY(window->chart()->title().contains(QStringLiteral("cancelled")));
    }
};

} // namespace nubo

QTEST_MAIN(nubo::RateChartTest)
#include "rate_chart_test.moc"
