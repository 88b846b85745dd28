// Shows one table of the table set in a QTableView: row 0 (the titles) is the
// horizontal header, record rows 1..N are the view's rows. Read-only: records
// are entered in the fields under each grid, never in a cell.
#pragma once

#include <QAbstractTableModel>

#include "Tabele.h"

class QTableView;

class TableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TableModel(const TableSet& tables, TableId table, QObject* parent = nullptr);

    TableId Table() const { return table_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Told by the table set's listener (rows as in the table set: 0 is the titles).
    void CellsChanged(int firstRow, int lastRow);
    void Reshaped();

private:
    const TableSet& tables_;
    TableId table_;
    // The shape the view knows; changed only between begin/endResetModel.
    int rows_ = 0;
    int columns_ = 0;
};

// Sets a view up for a table model: titles as the header, no row header, the
// table's column widths, each at least as wide as its title (the bar code
// column as its longest code), the last one stretching (again after every
// reshape), fixed row heights so a table of 19 200 rows scrolls and resizes
// without measuring its rows.
void SetUpTableView(QTableView* view, TableModel* model);
