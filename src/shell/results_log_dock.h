#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QTableView>

namespace nubo {

class SessionResults;

// The session's results as table rows, one column per figure.
class ResultsLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ResultsLogModel(SessionResults& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    SessionResults& log_;
    int rows_ = 0;
};

// The results table: Ctrl+C copies the selected rows (before the main window's Copy can take the key).
class ResultsTable : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;

signals:
    void copyRequested();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// The Results Log dock: every statistic of the session, with Copy (the selected rows, tab-separated with the
// header line, as spreadsheets paste them) and Export CSV... (every row, written atomically).
class ResultsLogDock : public QDockWidget {
    Q_OBJECT
public:
    explicit ResultsLogDock(QWidget* parent = nullptr);

    QTableView* table() const { return table_; }

    // The selected rows as the clipboard gets them; the header alone when none is selected.
    QString selectedRowsText() const;
    void copySelectedRows() const;
    // Writes every row as CSV; shows why when the file cannot be written.
    bool exportCsv(const QString& path) const;
    // Asks for a file name, then exports.
    void exportWithDialog();

private:
    SessionResults& log_;
    ResultsTable* table_;
};

} // namespace nubo
