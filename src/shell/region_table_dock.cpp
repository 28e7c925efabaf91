#include "shell/region_table_dock.h"

#include "editor/region_editor.h"
#include "regions/background_settings.h"
#include "shell/integer_field.h"
#include "shell/message_boxes.h"
#include "shell/nubo_doc.h"
#include "shell/nubo_view.h"
#include "workbench/region_history.h"
#include "workbench/region_table.h"

#include <QComboBox>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>

#include <climits>
#include <cstdlib>
#include <vector>

namespace nubo {

namespace {

InspectorColumn columnAt(int column) { return static_cast<InspectorColumn>(column); }

QString fromText(const std::string& text) { return QString::fromStdString(text); }

// The kinds the context menus offer for a region and for the background.
const std::vector<CoderKind>& regionKinds()
{
    static const std::vector<CoderKind> kinds{CoderKind::Wavelet, CoderKind::WaveletColour, CoderKind::Arithmetic,
                                              CoderKind::Predictive};
    return kinds;
}

const std::vector<CoderKind>& backgroundKinds()
{
    static const std::vector<CoderKind> kinds{CoderKind::Wavelet, CoderKind::WaveletColour};
    return kinds;
}

// The Coder column is edited with a list of the kinds the row may take; the other columns with a line of text.
class CoderDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (columnAt(index.column()) != InspectorColumn::Coder)
            return QStyledItemDelegate::createEditor(parent, option, index);
        const auto* model = qobject_cast<const RegionInspectorModel*>(index.model());
        auto* list = new QComboBox(parent);
        list->setObjectName(QStringLiteral("coderList"));
        for (CoderKind kind : model && model->isBackgroundRow(index.row()) ? backgroundKinds() : regionKinds())
            list->addItem(fromText(coderKindName(kind)), static_cast<int>(kind));
        return list;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        if (auto* list = qobject_cast<QComboBox*>(editor))
            list->setCurrentIndex(list->findData(index.data(Qt::UserRole)));
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        if (auto* list = qobject_cast<QComboBox*>(editor))
            model->setData(index, list->currentData(), Qt::EditRole);
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }
};

} // namespace

CnuboDoc* RegionInspectorModel::document() const { return document_; }

void RegionInspectorModel::setDocument(CnuboDoc* document)
{
    beginResetModel();
    document_ = document;
    rows_ = rowCount();
    endResetModel();
}

void RegionInspectorModel::refresh()
{
    if (rowCount() != rows_) {
        setDocument(document_);
        return;
    }
    if (rows_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, kInspectorColumnCount - 1));
}

bool RegionInspectorModel::isBackgroundRow(int row) const
{
    return document_ && row == document_->data().regions().count();
}

int RegionInspectorModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !document_)
        return 0;
    return document_->data().regions().count() + 1;
}

int RegionInspectorModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kInspectorColumnCount;
}

QVariant RegionInspectorModel::data(const QModelIndex& index, int role) const
{
    if (!document_ || !index.isValid() || index.row() >= rowCount())
        return {};
    const InspectorColumn column = columnAt(index.column());
    if (role == Qt::TextAlignmentRole)
        return column == InspectorColumn::Coder ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                                                : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    const DocumentData& data = document_->data();
    if (isBackgroundRow(index.row())) {
        const BackgroundSettings& background = data.background();
        if (role == Qt::UserRole && column == InspectorColumn::Coder)
            return static_cast<int>(background.coderKind());
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        switch (column) {
        case InspectorColumn::Number:
            return QStringLiteral("Background");
        case InspectorColumn::Coder:
            return fromText(coderKindName(background.coderKind()));
        case InspectorColumn::Ratio:
            return QString::number(background.ratio());
        default:
            return {};
        }
    }
    const Region& region = data.regions().at(index.row());
    if (role == Qt::UserRole && column == InspectorColumn::Coder)
        return static_cast<int>(region.coderKind);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    return fromText(inspectorCell(region, index.row(), column));
}

QVariant RegionInspectorModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kInspectorColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(inspectorColumnTitle(columnAt(section)));
}

Qt::ItemFlags RegionInspectorModel::flags(const QModelIndex& index) const
{
    if (!document_ || !index.isValid() || index.row() >= rowCount())
        return Qt::NoItemFlags;
    const Qt::ItemFlags base = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const InspectorColumn column = columnAt(index.column());
    const bool editable = isBackgroundRow(index.row())
        ? column == InspectorColumn::Coder || column == InspectorColumn::Ratio
        : inspectorCellEditable(document_->data().regions().at(index.row()), column);
    return editable ? base | Qt::ItemIsEditable : base;
}

bool RegionInspectorModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    switch (columnAt(index.column())) {
    case InspectorColumn::Coder:
        return setCoder(index.row(), static_cast<CoderKind>(value.toInt()));
    case InspectorColumn::Ratio:
        return setRatio(index.row(), value.toString());
    default:
        return setEdge(index.row(), index.column(), value.toString());
    }
}

bool RegionInspectorModel::edit(const std::function<bool(DocumentData&)>& change)
{
    CnuboDoc* document = document_;
    // A drag in progress ends first, as before an undo, so that its band does not come back over the edit.
    for (CnuboView* view : document->views())
        view->abandonDrag();
    const RegionState before = captureRegions(document->data());
    if (!change(document->data()))
        return false;
    for (CnuboView* view : document->views())
        view->update();
    document->recordEdit(before);
    return true;
}

bool RegionInspectorModel::setEdge(int row, int column, const QString& text)
{
    int value = 0;
    const IntegerCheck check = checkIntegerText(text, INT_MIN, INT_MAX, value);
    if (check != IntegerCheck::Valid) {
        emit refused(integerFieldMessage(check, INT_MIN, INT_MAX));
        return false;
    }
    const RasterImage& picture = document_->data().image();
    const StatusOr<Region> edited = regionWithEdge(document_->data().regions(), row, columnAt(column), value,
                                                   picture.width(), std::abs(picture.height()));
    if (!edited) {
        emit refused(fromText(edited.reason()));
        return false;
    }
    // The region keeps its place in the set, and so its number.
    return edit([&](DocumentData& data) {
        data.regions().at(row) = *edited;
        selectRegionAt(data.regions(), row);
        return true;
    });
}

bool RegionInspectorModel::setRatio(int row, const QString& text)
{
    int ratio = 0;
    const IntegerCheck check = checkIntegerText(text, kMinRatio, kMaxRatio, ratio);
    if (check != IntegerCheck::Valid) {
        emit refused(integerFieldMessage(check, kMinRatio, kMaxRatio));
        return false;
    }
    const bool background = isBackgroundRow(row);
    // The editor's own commands, so that a ratio does here what the ratio dialogs make it do.
    return edit([&](DocumentData& data) {
        RegionEditor editor(data);
        if (background) {
            editor.setBackgroundRatio(ratio);
        } else {
            selectRegionAt(data.regions(), row);
            editor.setRatio(ratio);
        }
        return true;
    });
}

bool RegionInspectorModel::setCoder(int row, CoderKind kind)
{
    const bool background = isBackgroundRow(row);
    return edit([&](DocumentData& data) {
        RegionEditor editor(data);
        if (background) {
            editor.setBackgroundCoderKind(kind);
        } else {
            selectRegionAt(data.regions(), row);
            editor.setCoderKind(kind);
        }
        return true;
    });
}

RegionInspector::RegionInspector(QMdiArea* area, std::function<CnuboDoc*()> activeDocument, QWidget* parent)
    : QDockWidget(QStringLiteral("Region Inspector"), parent), activeDocument_(std::move(activeDocument)),
      model_(new RegionInspectorModel(this)), table_(new QTableView(this))
{
    setObjectName(QStringLiteral("regionInspector"));
    table_->setObjectName(QStringLiteral("regionTable"));
    table_->setModel(model_);
    table_->setItemDelegate(new CoderDelegate(table_));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                            | QAbstractItemView::AnyKeyPressed);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setStretchLastSection(true);
    setWidget(table_);

    connect(model_, &RegionInspectorModel::refused, this, &RegionInspector::showRefusal);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &RegionInspector::rowSelected);
    connect(model_, &QAbstractItemModel::modelReset, this, &RegionInspector::showSelection);
    connect(area, &QMdiArea::subWindowActivated, this, &RegionInspector::followActiveDocument);
    followActiveDocument();
}

void RegionInspector::followActiveDocument()
{
    CnuboDoc* active = activeDocument_ ? activeDocument_() : nullptr;
    // Without an active window (focus elsewhere, or between two windows) the rows stay those of the last document,
    // as long as it is open.
    if ((!active && model_->document()) || active == model_->document())
        return;
    disconnect(documentConnection_);
    disconnect(closedConnection_);
    if (active) {
        documentConnection_ = connect(active, &CnuboDoc::regionsEdited, this, &RegionInspector::regionsChanged);
        // A closed document leaves no rows behind, even when no other window becomes active.
        closedConnection_ = connect(active, &QObject::destroyed, this, [this] { model_->setDocument(nullptr); });
    }
    model_->setDocument(active);
}

void RegionInspector::regionsChanged()
{
    model_->refresh();
    showSelection();
}

void RegionInspector::showSelection()
{
    CnuboDoc* document = model_->document();
    const int selected = document ? document->data().regions().selectedIndex() : -1;
    const int current = table_->selectionModel()->selectedRows().isEmpty()
        ? -1
        : table_->selectionModel()->selectedRows().constFirst().row();
    // The background row stays selected while the set has no selection.
    if (selected < 0 && model_->isBackgroundRow(current))
        return;
    if (selected == current)
        return;
    showingSelection_ = true;
    if (selected >= 0 && selected < model_->rowCount()) {
        table_->selectRow(selected);
        table_->scrollTo(model_->index(selected, 0));
    } else {
        table_->clearSelection();
    }
    showingSelection_ = false;
}

void RegionInspector::rowSelected()
{
    CnuboDoc* document = model_->document();
    if (showingSelection_ || !document)
        return;
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.constFirst().row();
    RegionSet& regions = document->data().regions();
    if (row == regions.selectedIndex())
        return;
    // A selection is no edit: the views repaint, the history stays.
    for (CnuboView* view : document->views())
        view->abandonDrag();
    selectRegionAt(regions, row);
    for (CnuboView* view : document->views())
        view->update();
}

void RegionInspector::showRefusal(const QString& message)
{
    // After the table has closed its editor, so that the box does not take the focus from an editor still open.
    QTimer::singleShot(0, this, [message] { QMessageBox::warning(messageBoxOwner(), QStringLiteral("nubo"), message); });
}

} // namespace nubo
