#pragma once

#include "commands/rate_sweep.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QChart;
class QChartView;
class QComboBox;
class QLineSeries;
class QPushButton;
class QSpinBox;

namespace nubo {

class CnuboDoc;

// Options > Rate–distortion curve…: sweeps the document's background ratio (or its wavelet regions' ratios, or
// both) over a range of ratios through runRateSweep — the sweep of `nubo-cli sweep` — on a worker thread with a
// cancellable progress dialog, and plots PSNR against bpp for the whole picture, the pixels inside the regions
// and the background. The chart is saved as PNG or SVG (by the file's extension) and its data as the sweep's CSV.
class CRateChartWindow : public QWidget {
    Q_OBJECT
public:
    explicit CRateChartWindow(CnuboDoc& document, QWidget* parent = nullptr);
    ~CRateChartWindow() override;

    QSpinBox* fromBox() const { return from_; }
    QSpinBox* toBox() const { return to_; }
    QSpinBox* countBox() const { return count_; }
    // Background, Regions, Background and regions: the SweepVary values in order.
    QComboBox* varyBox() const { return vary_; }
    QPushButton* runButton() const { return run_; }
    QChart* chart() const;
    // The three curves: whole picture, inside the regions, background.
    QLineSeries* series(int index) const { return series_[index]; }

    // Sweeps the chosen ratios and plots what was measured (a cancelled sweep plots the finished ratios). A
    // failure is shown in a box and leaves the last chart.
    void runSweep();
    const SweepResult& result() const { return result_; }
    SweepVary vary() const;

    // The sweep's CSV: header and one row per plotted ratio, the document's title naming the input.
    QString csvText() const;
    // Writes the CSV, or the chart as a PNG picture or an SVG drawing, through the atomic file writer; the reason
    // of a failure.
    Status saveData(const QString& path) const;
    Status saveChart(const QString& path) const;

private:
    void plot();
    void chooseChartFile();
    void chooseDataFile();

    QPointer<CnuboDoc> document_;
    QString title_;
    QSpinBox* from_;
    QSpinBox* to_;
    QSpinBox* count_;
    QComboBox* vary_;
    QPushButton* run_;
    QPushButton* saveChart_;
    QPushButton* saveData_;
    QChartView* view_;
    QLineSeries* series_[3];
    SweepResult result_;
    SweepVary sweptVary_ = SweepVary::Background;
};

} // namespace nubo
