#pragma once

#include "regions/region.h"

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QPointer>

#include <functional>

class QMdiArea;
class QTableView;

namespace nubo {

class CnuboDoc;
class DocumentData;

// The rows of the region inspector: one per region of a document in set order, then the background's row (its
// coder and ratio). Cells are edited as text, the coder through a list; every edit is checked as the dialogs and
// the mouse editor check theirs and goes onto the document's undo history. A refused edit changes nothing and is
// reported through refused().
class RegionInspectorModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RegionInspectorModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    CnuboDoc* document() const;
    void setDocument(CnuboDoc* document);
    // The document's regions changed: the rows follow.
    void refresh();

    bool isBackgroundRow(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The Coder column takes a CoderKind value; every other column a decimal text.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void refused(const QString& message);

private:
    // Runs an edit on the document's data as one step of its history; the edit returns false when it refused.
    bool edit(const std::function<bool(DocumentData&)>& change);
    bool setEdge(int row, int column, const QString& text);
    bool setRatio(int row, const QString& text);
    bool setCoder(int row, CoderKind kind);

    QPointer<CnuboDoc> document_;
    int rows_ = 0;
};

// The Region Inspector dock: the active document's regions as a table. Selecting a row selects its region in the
// views, and a region selected in a view selects its row.
class RegionInspector : public QDockWidget {
    Q_OBJECT
public:
    RegionInspector(QMdiArea* area, std::function<CnuboDoc*()> activeDocument, QWidget* parent = nullptr);

    RegionInspectorModel* model() const { return model_; }
    QTableView* table() const { return table_; }

private:
    void followActiveDocument();
    void regionsChanged();
    // The set's selection as the table's selected row.
    void showSelection();
    void rowSelected();
    void showRefusal(const QString& message);

    std::function<CnuboDoc*()> activeDocument_;
    RegionInspectorModel* model_;
    QTableView* table_;
    QMetaObject::Connection documentConnection_;
    QMetaObject::Connection closedConnection_;
    bool showingSelection_ = false;
};

} // namespace nubo
