#include "shell/rate_chart_window.h"

#include "commands/rate_sweep_csv.h"
#include "common/atomic_file.h"
#include "regions/background_settings.h"
#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"
#include "shell/sweep_runner.h"

#include <QBuffer>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace nubo {

namespace {

const char* const kSeriesNames[3] = {"Whole picture", "Inside the regions", "Background"};

// The most ratios one sweep takes from the window: enough for a smooth curve, each one a full encode and decode.
constexpr int kMostPoints = 40;

QSpinBox* ratioBox(int value)
{
    auto* box = new QSpinBox;
    box->setRange(kMinRatio, kMaxRatio);
    box->setValue(value);
    return box;
}

// The figure a curve plots: a PSNR that was measured and is finite (a lossless result has none to plot).
std::optional<double> plotted(const StandardMetrics& metrics)
{
    if (!metrics.measured || !std::isfinite(metrics.psnr))
        return std::nullopt;
    return metrics.psnr;
}

} // namespace

CRateChartWindow::CRateChartWindow(CnuboDoc& document, QWidget* parent)
    : QWidget(parent, Qt::Window),
      document_(&document),
      title_(document.title()),
      from_(ratioBox(5)),
      to_(ratioBox(160)),
      count_(new QSpinBox),
      vary_(new QComboBox),
      run_(new QPushButton(QStringLiteral("Run"))),
      saveChart_(new QPushButton(QStringLiteral("Save chart..."))),
      saveData_(new QPushButton(QStringLiteral("Save data..."))),
      // Made with its chart: a view made without one has a default chart that setChart would leave undeleted.
      view_(new QChartView(new QChart))
{
    setObjectName(QStringLiteral("RateDistortionCurve"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Rate–distortion curve - %1").arg(title_));
    count_->setRange(2, kMostPoints);
    count_->setValue(6);
    vary_->addItems({QStringLiteral("Background"), QStringLiteral("Regions"),
                     QStringLiteral("Background and regions")});
    vary_->setToolTip(QStringLiteral("Which ratios the sweep sets; lossless regions stay lossless"));

    QChart* chart = view_->chart();
    chart->setTitle(QStringLiteral("PSNR against bit rate: %1").arg(title_));
    auto* bpp = new QValueAxis;
    bpp->setTitleText(QStringLiteral("Bit rate (bpp)"));
    auto* psnr = new QValueAxis;
    psnr->setTitleText(QStringLiteral("PSNR (dB)"));
    chart->addAxis(bpp, Qt::AlignBottom);
    chart->addAxis(psnr, Qt::AlignLeft);
    for (int i = 0; i < 3; ++i) {
        series_[i] = new QLineSeries;
        series_[i]->setName(QString::fromLatin1(kSeriesNames[i]));
        series_[i]->setPointsVisible(true);
        chart->addSeries(series_[i]);
        series_[i]->attachAxis(bpp);
        series_[i]->attachAxis(psnr);
    }
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(560, 380);

    auto* settings = new QHBoxLayout;
    settings->addWidget(new QLabel(QStringLiteral("Ratios from")));
    settings->addWidget(from_);
    settings->addWidget(new QLabel(QStringLiteral("to")));
    settings->addWidget(to_);
    settings->addWidget(new QLabel(QStringLiteral("points")));
    settings->addWidget(count_);
    settings->addWidget(new QLabel(QStringLiteral("vary")));
    settings->addWidget(vary_);
    settings->addStretch(1);
    settings->addWidget(run_);
    auto* saving = new QHBoxLayout;
    saving->addStretch(1);
    saving->addWidget(saveChart_);
    saving->addWidget(saveData_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addWidget(view_, 1);
    layout->addLayout(saving);

    connect(run_, &QPushButton::clicked, this, &CRateChartWindow::runSweep);
    connect(saveChart_, &QPushButton::clicked, this, &CRateChartWindow::chooseChartFile);
    connect(saveData_, &QPushButton::clicked, this, &CRateChartWindow::chooseDataFile);
    saveChart_->setEnabled(false);
    saveData_->setEnabled(false);
}

CRateChartWindow::~CRateChartWindow() = default;

QChart* CRateChartWindow::chart() const { return view_->chart(); }

SweepVary CRateChartWindow::vary() const
{
    switch (vary_->currentIndex()) {
    case 1: return SweepVary::Regions;
    case 2: return SweepVary::All;
    default: return SweepVary::Background;
    }
}

void CRateChartWindow::runSweep()
{
    const QString errorCaption = QStringLiteral("Error");
    if (!document_) {
        showMessage(QMessageBox::Information, errorCaption, QStringLiteral("The document has been closed."));
        return;
    }
    const std::vector<int> ratios = spreadRatios(from_->value(), to_->value(), count_->value());
    const SweepVary vary = this->vary();
    StatusOr<SweepResult> swept = runSweepWithProgress(document_->data(), ratios, vary, this);
    if (!swept) {
        showMessage(QMessageBox::Information, errorCaption, QString::fromStdString(swept.reason()));
        return;
    }
    result_ = std::move(*swept);
    sweptVary_ = vary;
    plot();
    if (result_.cancelled)
        chart()->setTitle(QStringLiteral("PSNR against bit rate: %1 (cancelled after %2 of %3 ratios)")
                              .arg(title_)
                              .arg(result_.points.size())
                              .arg(ratios.size()));
}

void CRateChartWindow::plot()
{
    chart()->setTitle(QStringLiteral("PSNR against bit rate: %1 (%2 ratios varied)")
                          .arg(title_, QString::fromLatin1(sweepVaryName(sweptVary_))));
    double lowest = INFINITY, highest = -INFINITY, widest = 0.0;
    for (QLineSeries* s : series_)
        s->clear();
    for (const SweepPoint& point : result_.points) {
        const std::optional<double> figures[3] = {plotted(point.whole), plotted(point.regions),
                                                  plotted(point.background)};
        for (int i = 0; i < 3; ++i) {
            if (!figures[i])
                continue;
            series_[i]->append(point.bitsPerPixel, *figures[i]);
            lowest = std::min(lowest, *figures[i]);
            highest = std::max(highest, *figures[i]);
            widest = std::max(widest, point.bitsPerPixel);
        }
    }
    if (std::isfinite(lowest)) {
        const double margin = std::max(1.0, (highest - lowest) * 0.05);
        // Round tick values: the axes widen to the next nice numbers.
        for (auto [orientation, low, high] : {std::tuple{Qt::Horizontal, 0.0, widest * 1.05},
                                               std::tuple{Qt::Vertical, lowest - margin, highest + margin}}) {
            auto* axis = qobject_cast<QValueAxis*>(chart()->axes(orientation).first());
            axis->setRange(low, high);
            axis->applyNiceNumbers();
        }
    }
    saveChart_->setEnabled(true);
    saveData_->setEnabled(!result_.points.empty());
}

QString CRateChartWindow::csvText() const
{
    return QString::fromStdString(sweepCsvTable(title_.toStdString(), sweptVary_, result_.points));
}

Status CRateChartWindow::saveData(const QString& path) const
{
    return writeFileAtomically(path.toStdString(), csvText().toStdString());
}

Status CRateChartWindow::saveChart(const QString& path) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(view_->size());
        svg.setViewBox(QRect(QPoint(0, 0), view_->size()));
        svg.setTitle(chart()->title());
        QPainter painter(&svg);
        view_->render(&painter);
    } else {
        QImage picture(view_->size(), QImage::Format_RGB32);
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            view_->render(&painter);
        }
        if (!picture.save(&buffer, "PNG"))
            return failure("cannot make the PNG picture");
    }
    return writeFileAtomically(path.toStdString(), std::string_view(bytes.constData(), bytes.size()));
}

void CRateChartWindow::chooseChartFile()
{
    QString filter;
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save chart"), title_ + QStringLiteral("-rd.png"),
                                     QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)"), &filter);
    if (path.isEmpty())
        return;
    QString chosen = path;
    const bool named = chosen.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
        || chosen.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive);
    if (!named)
        chosen += filter.contains(QStringLiteral("svg")) ? QStringLiteral(".svg") : QStringLiteral(".png");
    if (const Status saved = saveChart(chosen); !saved.ok())
        showMessage(QMessageBox::Information, QStringLiteral("Error"), QString::fromStdString(saved.reason()));
}

void CRateChartWindow::chooseDataFile()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save data"),
                                                      title_ + QStringLiteral("-rd.csv"),
                                                      QStringLiteral("CSV table (*.csv)"));
    if (path.isEmpty())
        return;
    if (const Status saved = saveData(path); !saved.ok())
        showMessage(QMessageBox::Information, QStringLiteral("Error"), QString::fromStdString(saved.reason()));
}

} // namespace nubo
