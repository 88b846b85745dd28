#include "TableModel.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>

#include <algorithm>

#include "Cp1250.h"

namespace {

QString Shown(const std::string& cell) { return QString::fromStdString(Cp1250ToUtf8(cell)); }

// The width a cell needs for the longest text a column can hold, where the
// table's own width may be too narrow for it at the desktop's font: a bar
// code has up to 14 digits (7 bytes of two). Other columns hold short texts.
int LongestTextWidth(const QTableView* view, TableId table, int column) {
    if (table != TableId::Plu || column != 2) return 0;
    QStyleOptionViewItem cell;
    cell.initFrom(view);
    cell.font = view->font();
    cell.fontMetrics = view->fontMetrics();
    cell.features = QStyleOptionViewItem::HasDisplay;
    cell.text = QString(14, QLatin1Char('0'));
    return view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), view).width() +
           (view->showGrid() ? 1 : 0);
}

}  // namespace

TableModel::TableModel(const TableSet& tables, TableId table, QObject* parent)
    : QAbstractTableModel(parent), tables_(tables), table_(table),
      rows_(tables.Rows(table)), columns_(tables.Columns(table)) {}

int TableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int TableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_ ||
        index.column() >= columns_)
        return {};
    return Shown(tables_.Cell(table_, index.column(), index.row() + 1));
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section < columns_ ? Shown(tables_.Cell(table_, section, 0)) : QVariant();
    return section + 1;
}

void TableModel::CellsChanged(int firstRow, int lastRow) {
    // A table that changed its shape without saying so is shown afresh.
    if (tables_.Rows(table_) != rows_ || tables_.Columns(table_) != columns_) {
        Reshaped();
        return;
    }
    if (firstRow <= 0 && columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
    int first = std::max(firstRow, 1) - 1;
    int last = std::min(lastRow, rows_) - 1;
    if (first > last || columns_ == 0) return;
    emit dataChanged(index(first, 0), index(last, columns_ - 1), {Qt::DisplayRole});
}

void TableModel::Reshaped() {
    beginResetModel();
    rows_ = tables_.Rows(table_);
    columns_ = tables_.Columns(table_);
    endResetModel();
}

void SetUpTableView(QTableView* view, TableModel* model) {
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    QHeaderView* rows = view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(view->fontMetrics().height() + 6);
    QHeaderView* columns = view->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setHighlightSections(false);

    // The table's widths, each widened as far as its title (and a bar code)
    // needs at the window's font; the last column takes what room is left.
    columns->setStretchLastSection(true);
    auto applyWidths = [view, model, columns] {
        for (int c = 0; c < model->columnCount(); ++c)
            view->setColumnWidth(c, std::max({ColumnWidth(model->Table(), c), columns->sectionSizeHint(c),
                                              LongestTextWidth(view, model->Table(), c)}));
    };
    applyWidths();
    QObject::connect(model, &QAbstractItemModel::modelReset, view, applyWidths);
}
