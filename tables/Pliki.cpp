#include "Pliki.h"

#include <string_view>

#include "Profile.h"
#include "Tabele.h"
#include "Ui.h"

namespace {

constexpr const char* kModelSection = "KASA";
constexpr const char* kModelKey = "Typ_kasy";
constexpr const char* kPluSection = "TOWARY";
constexpr const char* kPluPrefix = "Plu";
constexpr const char* kModelQuestion =
    "Pobierasz bazę z innej kasy niż masz podłączoną\rCzy zmienić typ kasy w programie?";
constexpr const char* kModelCaption = "Uwaga!";

// Where one table's rows live in the file: section, key prefix, the number the
// first row's key carries, and the fields of its record text.
struct Part {
    TableId table;
    const char* section;
    const char* prefix;
    int firstKey;
    int fields;
};

constexpr Part kPackaging{TableId::Packaging, "OPAKOWANIA", "Opak", 1, 3};
constexpr Part kCashiers{TableId::Cashier, "KASJERZY", "Kasjer", 1, 3};
constexpr Part kKeys{TableId::Key, "KLAWISZE", "Klawisz", 1, 4};
constexpr Part kDiscounts{TableId::Discount, "RABATY", "Rabat", 1, 3};
constexpr Part kSurcharges{TableId::Surcharge, "DOPLATY", "Doplata", 5, 3};  // keys carry 5 to 8
constexpr Part kPaymentForms{TableId::PaymentForm, "FORMY", "Forma", 1, 2};
constexpr Part kHeader{TableId::Header, "NAGLOWEK", "Linja", 1, 2};
constexpr Part kPtu{TableId::Ptu, "PTU", "Ptu", 1, 3};

// The fixed tables in file order; the PLU table follows them.
constexpr Part kFixedParts[] = {kPackaging, kCashiers,     kKeys,   kDiscounts,
                                kSurcharges, kPaymentForms, kHeader, kPtu};

int PluFields(const TableSet& set) { return set.Model() == 0 ? 7 : 8; }

std::string Key(const char* prefix, int n) { return prefix + std::to_string(n); }

std::string Separators(int fields) { return std::string(static_cast<size_t>(fields), ';'); }

std::string RowText(const TableSet& set, TableId t, int row, int fields) {
    std::string text;
    for (int c = 0; c < fields; ++c) {
        text += set.Cell(t, c, row);
        text += ';';
    }
    return text;
}

// One record done: the bar moves and the window stays responsive.
void RecordDone(Ui& ui) {
    ui.ProgressStep(UiBar::Main);
    ui.ProcessEvents();
}

// Rows are counted afresh on every pass: the window handles events between
// records and the table set stays the only authority on its sizes.
// The writes go to the file's image in memory; false when the person stopped
// the save, which then writes nothing.
bool WritePart(Profile& p, const TableSet& set, const Part& part, Ui& ui) {
    for (int r = 1; r <= set.Rows(part.table); ++r) {
        if (ui.StopRequested()) return false;
        p.Set(part.section, Key(part.prefix, part.firstKey + r - 1),
              RowText(set, part.table, r, part.fields));
        RecordDone(ui);
    }
    return true;
}

// A stopped load keeps the rows read so far.
void ReadPart(const Profile& p, TableSet& set, const Part& part, Ui& ui) {
    for (int r = 1; r <= set.Rows(part.table); ++r) {
        if (ui.StopRequested()) return;
        std::string value =
            p.Get(part.section, Key(part.prefix, part.firstKey + r - 1), Separators(part.fields));
        for (int c = 0; c < part.fields; ++c) set.SetCell(part.table, c, r, RecordField(value, c + 1));
        RecordDone(ui);
    }
}

bool WritePlu(Profile& p, const TableSet& set, Ui& ui) {
    for (int r = 1; r <= set.Rows(TableId::Plu); ++r) {
        if (ui.StopRequested()) return false;
        p.Set(kPluSection, Key(kPluPrefix, r), RowText(set, TableId::Plu, r, PluFields(set)));
        RecordDone(ui);
    }
    return true;
}

// A PLU entry without a number leaves its row as it was. In model 0 the stock
// always carries decimals: ".000" is appended when it has no ".".
void ReadPlu(const Profile& p, TableSet& set, Ui& ui) {
    const bool model0 = set.Model() == 0;
    for (int r = 1; r <= set.Rows(TableId::Plu); ++r) {
        if (ui.StopRequested()) return;
        std::string value = p.Get(kPluSection, Key(kPluPrefix, r), Separators(8));
        std::string number = RecordField(value, 1);
        if (!number.empty()) {
            set.SetCell(TableId::Plu, 0, r, number);
            if (model0) {
                for (int c = 1; c <= 5; ++c) set.SetCell(TableId::Plu, c, r, RecordField(value, c + 1));
                std::string stock = RecordField(value, 7);
                if (stock.find('.') == std::string::npos) stock += ".000";
                set.SetCell(TableId::Plu, 6, r, stock);
            } else {
                for (int c = 1; c <= 7; ++c) set.SetCell(TableId::Plu, c, r, RecordField(value, c + 1));
            }
        }
        RecordDone(ui);
    }
}

// Typ_kasy as a model index: missing, not a number or outside 0 to 3 reads as 0.
int ReadModel(const Profile& p) {
    std::string v = p.Get(kModelSection, kModelKey, "0");
    if (v.empty() || v.size() > 9) return 0;
    int m = 0;
    for (char c : v) {
        if (c < '0' || c > '9') return 0;
        m = m * 10 + (c - '0');
    }
    return m < kModelCount ? m : 0;
}

void WriteModel(Profile& p, const TableSet& set) {
    p.Set(kModelSection, kModelKey, std::to_string(set.Model()));
}

// The file's model, or the program's one when the user keeps it.
int ChooseModel(const Profile& p, const TableSet& set, Ui& ui) {
    int m = ReadModel(p);
    if (m != set.Model() && !ui.Question(kModelQuestion, kModelCaption, UiIcon::Information))
        m = set.Model();
    return m;
}

int Rows(const TableSet& set, const Part& part) { return set.Rows(part.table); }

// What the buttons of one tab save and load. The bar's maximum is the tab's
// record count plus a small extra that differs between saving and loading.
struct Tab {
    Part parts[2];
    int partCount;
    bool plu;         // the PLU table
    bool modelEntry;  // a save writes Typ_kasy too
    int saveExtra, loadExtra;
};

constexpr Part kNone{};
constexpr Tab kTabs[8] = {
    {{kPackaging, kNone}, 1, false, false, 0, 0},
    {{kNone, kNone}, 0, true, true, 0, 0},
    {{kCashiers, kNone}, 1, false, false, 1, 1},
    {{kKeys, kNone}, 1, false, true, 1, 1},
    {{kDiscounts, kSurcharges}, 2, false, true, 1, 1},
    {{kPaymentForms, kNone}, 1, false, false, 1, 0},
    {{kHeader, kNone}, 1, false, false, 0, 0},
    {{kPtu, kNone}, 1, false, false, 1, 1},
};

int TabRecords(const TableSet& set, const Tab& t) {
    int n = t.plu ? set.Rows(TableId::Plu) : 0;
    for (int i = 0; i < t.partCount; ++i) n += Rows(set, t.parts[i]);
    return n;
}

thread_local bool busy = false;

// Shows the bar for the length of one operation and hides it (at 0) at the end.
class Operation {
public:
    Operation(Ui& ui, int maximum) : ui_(ui) {
        busy = true;
        ui_.ProgressShow(UiBar::Main, maximum);
    }
    ~Operation() {
        ui_.ProgressHide(UiBar::Main);
        ui_.ProgressSetValue(UiBar::Main, 0);
        busy = false;
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

private:
    Ui& ui_;
};

}  // namespace

bool DataFileBusy() { return busy; }

std::string WithPodExtension(const std::string& path) {
    size_t slash = path.find_last_of("/\\");
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (nameStart >= path.size()) return path;  // no file name at all
    if (path.find('.', nameStart) != std::string::npos) return path;
    return path + kDataFileExtension;
}

namespace {

// A file that is there but cannot be read (no permission, a folder) would load
// as an empty file and empty every table: say so and leave the tables alone.
bool RefuseUnreadable(const Profile& p, const std::string& path, Ui& ui) {
    if (!p.Unreadable()) return false;
    ui.Message("Nie można odczytać pliku " + path, {}, UiIcon::Error);
    return true;
}

}  // namespace

bool SaveDataFile(TableSet& set, const std::string& path) {
    return SaveDataFileWithUi(set, path, CurrentUi());
}

bool SaveDataFileWithUi(TableSet& set, const std::string& path, Ui& ui) {
    if (busy) return false;
    int maximum = set.Rows(TableId::Plu);
    for (const Part& part : kFixedParts) maximum += Rows(set, part);
    bool ok;
    {
        Operation op(ui, maximum);
        Profile p;
        p.Load(path);
        WriteModel(p, set);
        bool whole = true;
        for (const Part& part : kFixedParts) whole = whole && WritePart(p, set, part, ui);
        whole = whole && WritePlu(p, set, ui);
        if (!whole) return false;  // stopped: the file stays as it was
        ok = p.Save(path);
    }
    if (!ok) ui.Message("Unable to write to " + path, {}, UiIcon::Error);
    return ok;
}

bool LoadDataFile(TableSet& set, const std::string& path) {
    return LoadDataFileWithUi(set, path, CurrentUi());
}

bool LoadDataFileWithUi(TableSet& set, const std::string& path, Ui& ui) {
    if (busy) return false;
    int maximum = set.Rows(TableId::Plu);
    for (const Part& part : kFixedParts) maximum += Rows(set, part);
    Profile p;
    p.Load(path);
    if (RefuseUnreadable(p, path, ui)) return false;
    Operation op(ui, maximum);

    set.ApplyModel(ChooseModel(p, set, ui), PluRule::Capacity);
    maximum = set.Rows(TableId::Plu);
    for (const Part& part : kFixedParts) maximum += Rows(set, part);
    ui.ProgressSetMaximum(UiBar::Main, maximum);

    TableBatch batch(set);
    for (const Part& part : kFixedParts) ReadPart(p, set, part, ui);
    ReadPlu(p, set, ui);
    return true;
}

bool SaveTableFile(TableSet& set, int tab, const std::string& path) {
    return SaveTableFileWithUi(set, tab, path, CurrentUi());
}

bool SaveTableFileWithUi(TableSet& set, int tab, const std::string& path, Ui& ui) {
    if (busy || tab < 1 || tab > 8) return false;
    const Tab& t = kTabs[tab - 1];
    bool ok;
    {
        Operation op(ui, TabRecords(set, t) + t.saveExtra);
        Profile p;
        p.Load(path);
        if (t.modelEntry) WriteModel(p, set);
        bool whole = true;
        for (int i = 0; i < t.partCount; ++i) whole = whole && WritePart(p, set, t.parts[i], ui);
        if (t.plu) whole = whole && WritePlu(p, set, ui);
        if (!whole) return false;  // stopped: the file stays as it was
        ok = p.Save(path);
    }
    if (!ok) ui.Message("Unable to write to " + path, {}, UiIcon::Error);
    return ok;
}

bool LoadTableFile(TableSet& set, int tab, const std::string& path) {
    return LoadTableFileWithUi(set, tab, path, CurrentUi());
}

bool LoadTableFileWithUi(TableSet& set, int tab, const std::string& path, Ui& ui) {
    if (busy || tab < 1 || tab > 8) return false;
    const Tab& t = kTabs[tab - 1];
    Profile p;
    p.Load(path);
    if (RefuseUnreadable(p, path, ui)) return false;
    Operation op(ui, TabRecords(set, t) + t.loadExtra);
    // The model index, the table sizes, the PLU columns and the fractional-sale
    // control change together or not at all: a key count of one model beside
    // the PLU layout of another would go into the next whole save and upload.
    if (tab == 2) {
        // The file's model or the kept one, with the capacity PLU count.
        const int m = ChooseModel(p, set, ui);
        if (!ConfirmModelChange(set, m, PluRule::Capacity, ui)) return false;
        set.ApplyPluPart(m);
        ui.ProgressSetMaximum(UiBar::Main, TabRecords(set, t) + t.loadExtra);
    } else if (tab == 4) {
        // A file of another model: the whole model or nothing at all.
        const int m = ReadModel(p);
        if (m != set.Model()) {
            if (!ui.Question(kModelQuestion, kModelCaption, UiIcon::Information)) return false;
            if (!ApplyModelAsking(set, m, PluRule::Capacity, ui)) return false;
        }
        ui.ProgressSetMaximum(UiBar::Main, TabRecords(set, t) + t.loadExtra);
    }
    TableBatch batch(set);
    for (int i = 0; i < t.partCount; ++i) ReadPart(p, set, t.parts[i], ui);
    if (t.plu) ReadPlu(p, set, ui);
    return true;
}
