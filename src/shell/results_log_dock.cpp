#include "shell/results_log_dock.h"

#include "common/atomic_file.h"
#include "shell/message_boxes.h"
#include "shell/session_results.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace nubo {

namespace {

ResultColumn columnAt(int column) { return static_cast<ResultColumn>(column); }

bool isTextColumn(ResultColumn column)
{
    return column == ResultColumn::Time || column == ResultColumn::Command || column == ResultColumn::Document
        || column == ResultColumn::Result;
}

} // namespace

ResultsLogModel::ResultsLogModel(SessionResults& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), rows_(static_cast<int>(log.records().size()))
{
    connect(&log_, &SessionResults::added, this, [this](int row) {
        beginInsertRows({}, row, row);
        rows_ = row + 1;
        endInsertRows();
    });
}

int ResultsLogModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int ResultsLogModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kResultColumnCount;
}

QVariant ResultsLogModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_)
        return {};
    const ResultColumn column = columnAt(index.column());
    if (role == Qt::TextAlignmentRole)
        return isTextColumn(column) ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                    : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    return QString::fromStdString(resultCell(log_.records()[static_cast<std::size_t>(index.row())], column));
}

QVariant ResultsLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kResultColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(resultColumnName(columnAt(section)));
}

bool ResultsTable::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QTableView::event(event);
}

void ResultsTable::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

ResultsLogDock::ResultsLogDock(QWidget* parent)
    : QDockWidget(QStringLiteral("Results Log"), parent), log_(SessionResults::instance()),
      table_(new ResultsTable(this))
{
    setObjectName(QStringLiteral("resultsLog"));
    table_->setObjectName(QStringLiteral("resultsTable"));
    table_->setModel(new ResultsLogModel(log_, table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // The newest row comes into sight.
    connect(table_->model(), &QAbstractItemModel::rowsInserted, table_, &QTableView::scrollToBottom);
    connect(table_, &ResultsTable::copyRequested, this, &ResultsLogDock::copySelectedRows);

    auto* copy = new QPushButton(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("copyResults"));
    copy->setToolTip(QStringLiteral("Copy the selected rows (Ctrl+C)"));
    connect(copy, &QPushButton::clicked, this, &ResultsLogDock::copySelectedRows);
    auto* save = new QPushButton(QStringLiteral("&Export CSV..."));
    save->setObjectName(QStringLiteral("exportResults"));
    save->setToolTip(QStringLiteral("Save every row as a CSV file"));
    connect(save, &QPushButton::clicked, this, &ResultsLogDock::exportWithDialog);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addWidget(save);
    buttons->addStretch(1);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(table_);
    layout->addLayout(buttons);
    setWidget(body);
}

QString ResultsLogDock::selectedRowsText() const
{
    QList<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<ResultRecord> chosen;
    for (int row : rows)
        chosen.push_back(log_.records()[static_cast<std::size_t>(row)]);
    return QString::fromStdString(resultsTabText(chosen));
}

void ResultsLogDock::copySelectedRows() const { QApplication::clipboard()->setText(selectedRowsText()); }

bool ResultsLogDock::exportCsv(const QString& path) const
{
    const Status written = writeFileAtomically(QFile::encodeName(path).toStdString(), resultsCsv(log_.records()));
    if (!written) {
        showError(QStringLiteral("Error!"), QStringLiteral("The results could not be saved."),
                  QString::fromStdString(written.reason()));
        return false;
    }
    return true;
}

void ResultsLogDock::exportWithDialog()
{
    // Qt's own dialog, as for the .roi files, so that it behaves alike everywhere.
    QFileDialog dialog(messageBoxOwner(), QStringLiteral("Export CSV"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters({QStringLiteral("CSV (*.csv)")});
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("nubo-results.csv"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        exportCsv(dialog.selectedFiles().constFirst());
}

} // namespace nubo
