// The table set: the nine text tables that hold the register's databases while
// the program runs. Row 0 of every table holds the column titles; row r holds
// record r (surcharges: record r + 4; PTU rates: letter 'A' + r - 1). An empty
// column 0 means the row holds no record. Every cell is Windows-1250 text.
#pragma once

#include <string>
#include <utility>
#include <vector>

class Ui;

enum class TableId { Packaging, Plu, Cashier, Key, Discount, Surcharge, PaymentForm, Header, Ptu };
constexpr int kTableCount = 9;
constexpr int kModelCount = 4;  // model indexes 0 to 3

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
    // The PLU-table load applied a model: besides what ModelApplied does,
    // models 1 to 3 also switch the fractional-sale control on.
    virtual void PluPartApplied(int model) { ModelApplied(model); }
};

class TableSet {
public:
    // Titles, header line numbers, PTU letters and statuses. Until the first
    // ApplyModel the sizes are those of the initial model 1 with its default
    // PLU count (1000 PLU rows with 8 columns, 10 key rows); PluCount() stays
    // the configured value (0) so that ApplyModel can still take a default.
    TableSet();

    int Rows(TableId t) const;     // record rows, title row not counted
    int Columns(TableId t) const;
    // Row 0 is the title row. Outside the table: the empty text / ignored.
    // Row 0 is written only by the table set itself.
    const std::string& Cell(TableId t, int col, int row) const;
    void SetCell(TableId t, int col, int row, const std::string& text);
    void ClearRow(TableId t, int row);
    bool RowHasRecord(TableId t, int row) const { return !Cell(t, 0, row).empty(); }

    int Model() const { return model_; }
    void SetModel(int m);  // the index only (0 to 3); sizes change through ApplyModel
    int PluCount() const { return pluCount_; }
    // The configured MaxPlu; 0 = model default. A negative value counts as 0
    // and a value above 19200 (no model holds more) as 19200.
    void SetPluCount(int n);
    int KeyCount() const { return keyCount_; }

    // Sets model index, PLU count, key count, key and PLU rows and the PLU
    // columns for model m, then tells the listener ModelApplied(m).
    // A model index outside 0 to 3 changes nothing.
    void ApplyModel(int m, PluRule rule);
    // True when ApplyModel(m, rule) would drop a PLU or key row holding a record,
    // or a filled "Sprzedaż ułamkowa" cell.
    bool ApplyModelWouldLoseData(int m, PluRule rule) const;
    // The PLU count ApplyModel(m, rule) would set.
    int PluCountFor(int m, PluRule rule) const;
    // The PLU-table load: the whole model under the capacity rule, as
    // ApplyModel(m, PluRule::Capacity), but the listener hears
    // PluPartApplied(m). The model index and every size always change
    // together, so a whole save never writes one model's Typ_kasy over
    // another model's tables.
    void ApplyPluPart(int m);

    // Record text of a row: its cells in column order, each followed by ";".
    // PLU rows give 7 fields in model 0 and 8 otherwise. For the discount and
    // surcharge pair `row` is the record number 1 to 8. An unknown code gives "".
    std::string BuildRecordText(int code, int row) const;
    // Each cell of the row becomes the matching field of `text`; PLU column 7
    // only when the model index is above 0. An unknown code changes nothing.
    void FillRow(const std::string& text, int code, int row);
    // The row of record number (or PTU letter) `number` in table t; 0 when none.
    static int RowOf(TableId t, const std::string& number);

    void SetListener(TableListener* l) { listener_ = l; }
    // While a batch runs, listeners hear one CellsChanged per table at its end.
    // Batches nest; Reshaped and ModelApplied are told at once.
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
    int keyCount_ = 10;
    TableListener* listener_ = nullptr;
    int batch_ = 0;
    std::vector<std::pair<int, int>> pending_;  // per table: dirty row range during a batch
};

// Runs a batch for as long as it lives.
class TableBatch {
public:
    explicit TableBatch(TableSet& set) : set_(set) { set_.BeginBatch(); }
    ~TableBatch() { set_.EndBatch(); }
    TableBatch(const TableBatch&) = delete;
    TableBatch& operator=(const TableBatch&) = delete;

private:
    TableSet& set_;
};

// ApplyModel for the changes the user did not choose (the connection check,
// applying the configuration) or chose without seeing the cost (a key-table
// load of another model). When data would be lost it asks first; on "No" the
// model and all sizes stay as they are and the result is false. When nothing
// would be lost it asks nothing and applies.
bool ApplyModelAsking(TableSet& set, int m, PluRule rule);
// The question of ApplyModelAsking alone: true when ApplyModel(m, rule) loses
// nothing or the user agrees to the loss.
bool ConfirmModelChange(const TableSet& set, int m, PluRule rule);
// The same, asking `ui` instead of the program's CurrentUi.
bool ApplyModelAsking(TableSet& set, int m, PluRule rule, Ui& ui);
bool ConfirmModelChange(const TableSet& set, int m, PluRule rule, Ui& ui);

// Field n (from 1) of a record text: the text before the n-th ";", after the
// one before it. Empty when the text has fewer than n closed fields. Texts and
// fields of any length are read whole.
std::string RecordField(const std::string& text, int n);

// Column titles (UTF-8, as the windows show them; the cells of row 0 hold the
// same in Windows-1250) and display widths in pixels; "" and 0 outside the
// table. The PLU table's column 7 is described whatever the model.
std::string ColumnTitle(TableId t, int col);
int ColumnWidth(TableId t, int col);

// Model facts; 0 outside 0 to 3.
int ModelDefaultPluCount(int m);   // 2636, 1000, 9600, 19200
int ModelCapacityPluCount(int m);  // 2636, 1000, 9599, 19200
int ModelKeyCount(int m);          // 10 for model 1, else 20
