#include "Tabele.h"

#include <algorithm>
#include <string_view>

#include "Cp1250.h"
#include "Ui.h"

namespace {

struct Column {
    const char* title;  // UTF-8
    int width;
};

struct Layout {
    std::vector<Column> columns;
    int rows;  // fixed record rows; 0 for the model-dependent tables
};

// One entry per TableId, in its order. The PLU table lists all 8 columns;
// model 0 uses the first 7.
const Layout& LayoutOf(TableId t) {
    static const Layout layouts[kTableCount] = {
        {{{"Numer opak.", 64}, {"Nazwa opakowania", 150}, {"Cena", 81}}, 15},
        {{{"Numer PLU", 64},
          {"Nazwa PLU", 130},
          {"Kod kreskowy", 87},
          {"Stawka PTU", 90},
          {"Numer opak.", 63},
          {"Cena jedn.", 64},
          {"Ilość magazyn.", 85},
          {"Sprzedaż ułamkowa", 110}},
         0},
        {{{"Numer kasjer.", 64}, {"Nazwa kasjera", 130}, {"Hasło", 64}}, 8},
        {{{"Numer klaw.", 65}, {"Numer PLU", 128}, {"Ilość", 107}, {"Cała trans.", 64}}, 0},
        {{{"Numer rabatu", 82}, {"Nazwa rabatu", 128}, {"Wartość", 64}}, 4},
        {{{"Numer dopłaty", 85}, {"Nazwa dopłaty", 128}, {"Wartość", 64}}, 4},
        {{{"Numer formy", 64}, {"Nazwa formy", 154}}, 4},
        {{{"Numer linii", 64}, {"Treść", 237}}, 8},
        {{{"Oznaczenia", 46}, {"Wartość", 64}, {"Aktywna", 111}}, 7},
    };
    return layouts[static_cast<int>(t)];
}

constexpr int kPluColumnsModel0 = 7;
constexpr int kPluColumns = 8;
constexpr int kKeyColumns = 4;
constexpr int kMaxPluRows = 19200;  // the largest model's capacity
constexpr int kMaxKeyRows = 20;

bool ValidModel(int m) { return m >= 0 && m < kModelCount; }

const std::string& Empty() {
    static const std::string empty;
    return empty;
}

// The table and row a record-text conversion works on; false for an unknown
// code. The discount and surcharge pair takes a record number 1 to 8.
bool Resolve(int code, int row, TableId& t, int& r) {
    r = row;
    switch (code) {
    case TableCode::Packaging: t = TableId::Packaging; return true;
    case TableCode::Plu: t = TableId::Plu; return true;
    case TableCode::Cashier: t = TableId::Cashier; return true;
    case TableCode::Key: t = TableId::Key; return true;
    case TableCode::PaymentForm: t = TableId::PaymentForm; return true;
    // Building uses 5 and filling 4; either direction accepts both, so a
    // caller that mixes them up still reaches the right rows.
    case TableCode::DiscountFill:
    case TableCode::DiscountBuild:
        if (row >= 5) {
            t = TableId::Surcharge;
            r = row - 4;
        } else {
            t = TableId::Discount;
        }
        return true;
    default: return false;
    }
}

// Parses a record number: decimal digits only, at most 5 of them.
int ParseNumber(const std::string& s) {
    if (s.empty() || s.size() > 5) return 0;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

// ---- model facts ----------------------------------------------------------

int ModelDefaultPluCount(int m) {
    static const int counts[kModelCount] = {2636, 1000, 9600, 19200};
    return ValidModel(m) ? counts[m] : 0;
}

int ModelCapacityPluCount(int m) {
    static const int counts[kModelCount] = {2636, 1000, 9599, 19200};
    return ValidModel(m) ? counts[m] : 0;
}

int ModelKeyCount(int m) {
    if (!ValidModel(m)) return 0;
    return m == 1 ? 10 : 20;
}

std::string ColumnTitle(TableId t, int col) {
    const Layout& l = LayoutOf(t);
    if (col < 0 || col >= static_cast<int>(l.columns.size())) return {};
    return l.columns[col].title;
}

int ColumnWidth(TableId t, int col) {
    const Layout& l = LayoutOf(t);
    if (col < 0 || col >= static_cast<int>(l.columns.size())) return 0;
    return l.columns[col].width;
}

// ---- record texts ---------------------------------------------------------

std::string RecordField(const std::string& text, int n) {
    if (n < 1) return {};
    size_t start = 0;
    for (int k = 1;; ++k) {
        size_t semi = text.find(';', start);
        if (semi == std::string::npos) return {};  // field n is not closed
        if (k == n) return text.substr(start, semi - start);
        start = semi + 1;
    }
}

// ---- the table set --------------------------------------------------------

TableSet::TableSet() : pending_(kTableCount, {0, -1}) {
    for (int i = 0; i < kTableCount; ++i) {
        auto t = static_cast<TableId>(i);
        const Layout& l = LayoutOf(t);
        int rows = l.rows;
        int cols = static_cast<int>(l.columns.size());
        if (t == TableId::Plu) {
            rows = ModelDefaultPluCount(model_);
            cols = model_ > 0 ? kPluColumns : kPluColumnsModel0;
        } else if (t == TableId::Key) {
            rows = keyCount_;
        }
        Table& tab = T(t);
        tab.columns = cols;
        tab.cells.assign(static_cast<size_t>(rows + 1) * cols, std::string());
        for (int c = 0; c < cols; ++c) tab.cells[c] = Utf8ToCp1250(l.columns[c].title);
    }
    for (int r = 1; r <= Rows(TableId::Header); ++r)
        T(TableId::Header).cells[r * 2] = std::to_string(r);
    Table& ptu = T(TableId::Ptu);
    for (int r = 1; r <= Rows(TableId::Ptu); ++r) {
        ptu.cells[r * 3] = std::string(1, static_cast<char>('A' + r - 1));
        ptu.cells[r * 3 + 2] = "NIEAKTYWNA";
    }
}

int TableSet::Rows(TableId t) const {
    const Table& tab = T(t);
    if (tab.columns == 0) return 0;
    return static_cast<int>(tab.cells.size() / tab.columns) - 1;
}

int TableSet::Columns(TableId t) const { return T(t).columns; }

const std::string& TableSet::Cell(TableId t, int col, int row) const {
    const Table& tab = T(t);
    if (col < 0 || col >= tab.columns || row < 0 || row > Rows(t)) return Empty();
    return tab.cells[static_cast<size_t>(row) * tab.columns + col];
}

void TableSet::SetCell(TableId t, int col, int row, const std::string& text) {
    Table& tab = T(t);
    if (col < 0 || col >= tab.columns || row < 1 || row > Rows(t)) return;
    std::string& cell = tab.cells[static_cast<size_t>(row) * tab.columns + col];
    if (cell == text) return;
    cell = text;
    Changed(t, row, row);
}

void TableSet::ClearRow(TableId t, int row) {
    Table& tab = T(t);
    if (row < 1 || row > Rows(t)) return;
    bool any = false;
    for (int c = 0; c < tab.columns; ++c) {
        std::string& cell = tab.cells[static_cast<size_t>(row) * tab.columns + c];
        any = any || !cell.empty();
        cell.clear();
    }
    if (any) Changed(t, row, row);
}

void TableSet::SetModel(int m) {
    if (ValidModel(m)) model_ = m;
}

void TableSet::SetPluCount(int n) { pluCount_ = std::clamp(n, 0, kMaxPluRows); }

int TableSet::PluCountFor(int m, PluRule rule) const {
    if (!ValidModel(m)) return pluCount_;
    if (rule == PluRule::Capacity) return ModelCapacityPluCount(m);
    return pluCount_ > 0 ? pluCount_ : ModelDefaultPluCount(m);
}

void TableSet::ApplyModel(int m, PluRule rule) {
    if (!ValidModel(m)) return;
    pluCount_ = PluCountFor(m, rule);
    keyCount_ = ModelKeyCount(m);
    model_ = m;
    Resize(TableId::Key, keyCount_, kKeyColumns);
    Resize(TableId::Plu, pluCount_, m == 0 ? kPluColumnsModel0 : kPluColumns);
    if (listener_) listener_->ModelApplied(m);
}

bool TableSet::ApplyModelWouldLoseData(int m, PluRule rule) const {
    if (!ValidModel(m)) return false;
    for (int r = ModelKeyCount(m) + 1; r <= Rows(TableId::Key); ++r)
        if (RowHasRecord(TableId::Key, r)) return true;
    const int plu = PluCountFor(m, rule);
    for (int r = plu + 1; r <= Rows(TableId::Plu); ++r)
        if (RowHasRecord(TableId::Plu, r)) return true;
    if (m == 0 && Columns(TableId::Plu) > kPluColumnsModel0) {
        const int kept = std::min(plu, Rows(TableId::Plu));
        for (int r = 1; r <= kept; ++r)
            if (!Cell(TableId::Plu, kPluColumnsModel0, r).empty()) return true;
    }
    return false;
}

void TableSet::ApplyPluPart(int m) {
    if (!ValidModel(m)) return;
    pluCount_ = ModelCapacityPluCount(m);
    keyCount_ = ModelKeyCount(m);  // unchanged unless the model changes
    model_ = m;
    Resize(TableId::Key, keyCount_, kKeyColumns);
    Resize(TableId::Plu, pluCount_, m == 0 ? kPluColumnsModel0 : kPluColumns);
    if (listener_) listener_->PluPartApplied(m);
}

void TableSet::Resize(TableId t, int rows, int columns) {
    Table& tab = T(t);
    const int oldRows = Rows(t);
    const int oldCols = tab.columns;
    if (rows < 0) rows = 0;
    if (rows == oldRows && columns == oldCols) return;

    if (columns == oldCols) {
        // Rows 1..min stay where they are; new rows come empty.
        tab.cells.resize(static_cast<size_t>(rows + 1) * columns);
    } else {
        std::vector<std::string> cells(static_cast<size_t>(rows + 1) * columns);
        const int keepRows = std::min(rows, oldRows);
        const int keepCols = std::min(columns, oldCols);
        for (int r = 0; r <= keepRows; ++r)
            for (int c = 0; c < keepCols; ++c)
                cells[static_cast<size_t>(r) * columns + c] =
                    std::move(tab.cells[static_cast<size_t>(r) * oldCols + c]);
        // A column that comes back starts empty, under its title.
        const Layout& l = LayoutOf(t);
        for (int c = keepCols; c < columns && c < static_cast<int>(l.columns.size()); ++c)
            cells[c] = Utf8ToCp1250(l.columns[c].title);
        tab.cells = std::move(cells);
        tab.columns = columns;
    }

    // Cells changed before the resize are covered by the reshape.
    pending_[static_cast<int>(t)] = {0, -1};
    if (listener_) listener_->Reshaped(t);
}

// ---- record-text conversions ---------------------------------------------

std::string TableSet::BuildRecordText(int code, int row) const {
    TableId t;
    int r;
    if (!Resolve(code, row, t, r)) return {};
    int fields = Columns(t);
    if (t == TableId::Plu) fields = model_ == 0 ? kPluColumnsModel0 : kPluColumns;
    std::string text;
    for (int c = 0; c < fields; ++c) {
        text += Cell(t, c, r);
        text += ';';
    }
    return text;
}

void TableSet::FillRow(const std::string& text, int code, int row) {
    TableId t;
    int r;
    if (!Resolve(code, row, t, r)) return;
    int cols = Columns(t);
    if (t == TableId::Plu && model_ == 0) cols = std::min(cols, kPluColumnsModel0);
    TableBatch batch(*this);  // one notice for the whole row
    size_t start = 0;
    for (int c = 0; c < cols; ++c) {
        // Walk the text once: field c + 1 runs from `start` to the next ";".
        size_t semi = start == std::string::npos ? std::string::npos : text.find(';', start);
        if (semi == std::string::npos) {
            SetCell(t, c, r, Empty());
            start = std::string::npos;
        } else {
            SetCell(t, c, r, text.substr(start, semi - start));
            start = semi + 1;
        }
    }
}

int TableSet::RowOf(TableId t, const std::string& number) {
    if (t == TableId::Ptu) {
        if (number.size() != 1 || number[0] < 'A' || number[0] > 'G') return 0;
        return number[0] - 'A' + 1;
    }
    const int n = ParseNumber(number);
    switch (t) {
    case TableId::Plu: return n >= 1 && n <= kMaxPluRows ? n : 0;
    case TableId::Key: return n >= 1 && n <= kMaxKeyRows ? n : 0;
    case TableId::Surcharge: return n >= 5 && n <= 8 ? n - 4 : 0;
    default: {
        const int rows = LayoutOf(t).rows;
        return n >= 1 && n <= rows ? n : 0;
    }
    }
}

// ---- notices --------------------------------------------------------------

void TableSet::Changed(TableId t, int first, int last) {
    if (batch_ > 0) {
        auto& p = pending_[static_cast<int>(t)];
        if (p.second < p.first) {
            p = {first, last};
        } else {
            p.first = std::min(p.first, first);
            p.second = std::max(p.second, last);
        }
        return;
    }
    if (listener_) listener_->CellsChanged(t, first, last);
}

void TableSet::BeginBatch() { ++batch_; }

void TableSet::EndBatch() {
    if (batch_ == 0) return;
    if (--batch_ > 0) return;
    for (int i = 0; i < kTableCount; ++i) {
        auto p = pending_[i];
        pending_[i] = {0, -1};
        if (p.second >= p.first && listener_)
            listener_->CellsChanged(static_cast<TableId>(i), p.first, p.second);
    }
}

// ---- asking before losing data -------------------------------------------

bool ConfirmModelChange(const TableSet& set, int m, PluRule rule, Ui& ui) {
    return !set.ApplyModelWouldLoseData(m, rule) ||
           ui.Question("Zmiana typu kasy usunie część danych z tabel. Czy kontynuować?", "Uwaga!", UiIcon::Warning);
}

bool ConfirmModelChange(const TableSet& set, int m, PluRule rule) {
    return ConfirmModelChange(set, m, rule, CurrentUi());
}

bool ApplyModelAsking(TableSet& set, int m, PluRule rule, Ui& ui) {
    if (!ConfirmModelChange(set, m, rule, ui)) return false;
    set.ApplyModel(m, rule);
    return true;
}

bool ApplyModelAsking(TableSet& set, int m, PluRule rule) { return ApplyModelAsking(set, m, rule, CurrentUi()); }
