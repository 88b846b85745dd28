// The table set: the nine text tables that hold the register's databases while
// the program runs. Row 0 of every table holds the column titles; row r holds
// record r (surcharges: record r + 4; PTU rates: letter 'A' + r - 1). An empty
// column 0 means the row holds no record. Every cell is Windows-1250 text.
#pragma once

#include <string>
#include <vector>

enum class TableId { Packaging, Plu, Cashier, Key, Discount, Surcharge, PaymentForm, Header, Ptu };
constexpr int kTableCount = 9;

enum class PluRule { Configured, Capacity };

// Table codes of the record-text conversions.
namespace TableCode {
constexpr int Packaging = 0, Plu = 1, Cashier = 2, Key = 3;
constexpr int DiscountFill = 4, DiscountBuild = 5, PaymentForm = 6;
}  // namespace TableCode

// Gets told when cells or shapes change, so views can follow.
class TableListener {
public:
    virtual ~TableListener() = default;
    virtual void CellsChanged(TableId table, int firstRow, int lastRow) = 0;
    virtual void Reshaped(TableId table) = 0;      // rows or columns changed
    virtual void ModelApplied(int model) = 0;      // e.g. show/hide the fractional-sale control
};

class TableSet {
public:
    TableSet();  // titles, header line numbers, PTU letters and statuses

    int Rows(TableId t) const;     // record rows, title row not counted
    int Columns(TableId t) const;
    // Row 0 is the title row. Outside the table: the empty text / ignored.
    const std::string& Cell(TableId t, int col, int row) const;
    void SetCell(TableId t, int col, int row, const std::string& text);
    void ClearRow(TableId t, int row);
    bool RowHasRecord(TableId t, int row) const { return !Cell(t, 0, row).empty(); }

    int Model() const { return model_; }
    void SetModel(int m);  // the index only; sizes change through ApplyModel
    int PluCount() const { return pluCount_; }
    void SetPluCount(int n) { pluCount_ = n; }  // the configured MaxPlu; 0 = model default
    int KeyCount() const { return keyCount_; }

    // Sets PLU count, key count, key and PLU rows and the PLU columns for model m.
    void ApplyModel(int m, PluRule rule);
    // True when ApplyModel(m, rule) would drop a PLU or key row holding a record,
    // or a filled "Sprzedaż ułamkowa" cell.
    bool ApplyModelWouldLoseData(int m, PluRule rule) const;
    // The model's PLU part only (PLU-table load): capacity PLU count, rows, columns.
    void ApplyPluPart(int m);
    // The model's key part only (key-table load): key count and key rows.
    void ApplyKeyPart(int m);

    std::string BuildRecordText(int code, int row) const;
    void FillRow(const std::string& text, int code, int row);
    // The row of record number (or PTU letter) `number` in table t; 0 when none.
    static int RowOf(TableId t, const std::string& number);

    void SetListener(TableListener* l) { listener_ = l; }
    // While a batch runs, listeners hear one CellsChanged per table at its end.
    void BeginBatch();
    void EndBatch();

private:
    struct Table {
        int columns = 0;
        std::vector<std::string> cells;  // (rows + 1) * columns, row-major
    };
    Table& T(TableId t) { return tables_[static_cast<int>(t)]; }
    const Table& T(TableId t) const { return tables_[static_cast<int>(t)]; }
    void Resize(TableId t, int rows, int columns);
    void Changed(TableId t, int first, int last);

    Table tables_[kTableCount];
    int model_ = 1;
    int pluCount_ = 0;
    int keyCount_ = 20;
    TableListener* listener_ = nullptr;
    int batch_ = 0;
    std::vector<std::pair<int, int>> pending_;  // per table: dirty row range during a batch
};

// Field n (from 1) of a record text: the text before the n-th ";", after the
// one before it. Empty when the text has fewer than n closed fields.
std::string RecordField(const std::string& text, int n);

// Model facts.
int ModelDefaultPluCount(int m);   // 2636, 1000, 9600, 19200
int ModelCapacityPluCount(int m);  // 2636, 1000, 9599, 19200
int ModelKeyCount(int m);          // 10 for model 1, else 20
