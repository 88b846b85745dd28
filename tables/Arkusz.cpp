#include "Arkusz.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "Cp1250.h"
#include "Dysk.h"
#include "Ui.h"
#include "Wpis.h"

namespace {
// What a column takes, beyond the entry row's own checks.
enum class Kind {
    Number,   // record number: digits
    Digits,   // digits only
    Decimal,  // a value stored as "%.Nf": digits and one ',' or '.'
    AsTyped,  // the key quantity: the same characters, stored as they stand
    Text,     // any character Windows-1250 has, but ';' and line breaks
    Rate,     // a PTU letter A-G
    Switch,   // TAK or NIE
    Status,   // the PTU status, checked by the entry row
};

constexpr std::size_t kMaxCsvFile = 64u << 20;  // far above a full PLU table

std::vector<TableId> TablesOfTab(int tab) {
    switch (tab) {
    case 1: return {TableId::Packaging};
    case 2: return {TableId::Plu};
    case 3: return {TableId::Cashier};
    case 4: return {TableId::Key};
    case 5: return {TableId::Discount, TableId::Surcharge};
    case 6: return {TableId::PaymentForm};
    case 7: return {TableId::Header};
    case 8: return {TableId::Ptu};
    default: return {};
    }
}

Kind KindOf(TableId t, int column) {
    static const std::vector<Kind> kinds[kTableCount] = {
        {Kind::Number, Kind::Text, Kind::Decimal},
        {Kind::Number, Kind::Text, Kind::Digits, Kind::Rate, Kind::Digits, Kind::Decimal, Kind::Decimal,
         Kind::Switch},
        {Kind::Number, Kind::Text, Kind::Digits},
        {Kind::Number, Kind::Digits, Kind::AsTyped, Kind::Switch},
        {Kind::Number, Kind::Text, Kind::Decimal},
        {Kind::Number, Kind::Text, Kind::Decimal},
        {Kind::Number, Kind::Text},
        {Kind::Number, Kind::Text},
        {Kind::Rate, Kind::Decimal, Kind::Status},
    };
    const auto& k = kinds[static_cast<int>(t)];
    return column >= 0 && column < static_cast<int>(k.size()) ? k[column] : Kind::Text;
}

std::string Trim(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return std::string(s);
}

// Titles compare without blanks around them and without regard to ASCII case.
std::string TitleKey(std::string_view title) {
    std::string key = Trim(title);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

// Spreadsheets may group thousands with a blank, a no-break or a narrow no-break space.
std::string WithoutGrouping(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == ' ' || s[i] == '\t') continue;
        if (s.substr(i, 2) == "\xC2\xA0") { ++i; continue; }
        if (s.substr(i, 3) == "\xE2\x80\xAF") { i += 2; continue; }
        out += s[i];
    }
    return out;
}

bool AllDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool DecimalCharacters(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c >= '0' && c <= '9') || c == ',' || c == '.'; });
}

// Whether every character of a UTF-8 text has a Windows-1250 form.
bool StorableText(std::string_view s) {
    if (std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return true;
    // The round trip keeps the text exactly when every character has a form.
    return Cp1250ToUtf8(Utf8ToCp1250(s)) == s;
}

// Makes a field as the entry row would hold it, or says why it cannot.
// Empty result: the field is fine (and `text` is what the field holds).
std::string JudgeField(TableId t, int column, std::string& text) {
    switch (KindOf(t, column)) {
    case Kind::Number:
    case Kind::Digits:
        text = Trim(text);
        if (!AllDigits(text)) return EditorText::OnlyDigits;
        if (t == TableId::Cashier && column == 2 && text.size() > 4) return "Haslo musi zawierac 4 cyfry";
        if (t == TableId::Plu && column == 4 && text.empty()) return EditorText::EmptyPackaging;
        return {};
    case Kind::Decimal:
    case Kind::AsTyped:
        text = KindOf(t, column) == Kind::Decimal ? WithoutGrouping(text) : Trim(text);
        if (!DecimalCharacters(text)) return EditorText::OnlyDigits;
        return {};
    case Kind::Rate:
        text = Trim(text);
        if (t == TableId::Ptu && text.empty()) return {};  // the entry row names it
        if (text.size() != 1 || text[0] < 'A' || text[0] > 'G') return EditorText::OnlyLetters;
        return {};
    case Kind::Switch: {
        std::string key = TitleKey(text);
        if (key == "tak") text = "TAK";
        else if (key == "nie" || key.empty()) text = "NIE";
        else return "W tym polu można wpisać tylko TAK lub NIE";
        return {};
    }
    case Kind::Status:
        text = Trim(text);
        return {};
    case Kind::Text: {
        if (text.find(';') != std::string::npos) return "Znak „;” nie może wystąpić w tym polu";
        if (text.find_first_of("\r\n\t") != std::string::npos)
            return "Tekst nie może zawierać końca wiersza ani tabulatora";
        if (!StorableText(text)) return "Tekst zawiera znak, którego nie ma w stronie kodowej Windows-1250";
        const int width = NameWidth(t);
        if (width > 0 && Utf8Length(text) > width)
            return "Tekst jest dłuższy niż " + std::to_string(width) + " znaków";
        return {};
    }
    }
    return {};
}

// What an entry field holds before anything is typed.
std::string StartValue(TableId t, int column) {
    if (t == TableId::Plu && column == 3) return "A";
    if (t == TableId::Plu && column == 4) return "0";
    if (KindOf(t, column) == Kind::Switch) return "NIE";
    if (t == TableId::Ptu && column == 2) return "NIEAKTYWNA";
    return {};
}

// Decimal cells use '.'; the export shows the caller's separator instead.
bool DecimalColumn(TableId t, int column) { return KindOf(t, column) == Kind::Decimal; }

std::string ExportCell(const TableSet& set, TableId t, int column, int row, char decimalPoint) {
    std::string text = Cp1250ToUtf8(set.Cell(t, column, row));
    if (DecimalColumn(t, column)) {
        const size_t dot = text.rfind('.');
        if (dot != std::string::npos) text[dot] = decimalPoint;
    }
    return text;
}
}  // namespace

std::string TableCsv(const TableSet& set, int tab, const CsvExportOptions& options) {
    const std::vector<TableId> tables = TablesOfTab(tab);
    if (tables.empty()) return {};
    const TableId first = tables.front();
    std::vector<std::string> titles;
    for (int c = 0; c < set.Columns(first); ++c) titles.push_back(ColumnTitle(first, c));
    std::string text = CsvRow(titles);
    std::vector<std::string> fields(titles.size());
    for (TableId t : tables) {
        for (int r = 1; r <= set.Rows(t); ++r) {
            if (!set.RowHasRecord(t, r)) continue;
            for (int c = 0; c < set.Columns(t); ++c) fields[c] = ExportCell(set, t, c, r, options.decimalPoint);
            text += CsvRow(fields);
        }
    }
    return CsvFileBytes(text, options.encoding);
}

bool ExportTableCsv(const TableSet& set, int tab, const std::string& path, const CsvExportOptions& options) {
    if (TablesOfTab(tab).empty()) return false;
    if (ReplaceWholeFile(path, TableCsv(set, tab, options))) return true;
    CurrentUi().Message("Nie można zapisać pliku " + path, {}, UiIcon::Error);
    return false;
}

CsvImportPlan PlanCsvImport(const TableSet& set, int tab, std::string_view bytes, bool replace) {
    CsvImportPlan plan;
    const std::vector<TableId> tables = TablesOfTab(tab);
    if (tables.empty()) return plan;
    const CsvParse parse = ParseCsv(CsvTextFromFile(bytes, &plan.encoding));
    if (parse.unclosedQuoteLine)
        plan.problems.push_back({parse.unclosedQuoteLine, {},
                                 "Cudzysłów otwarty w tym wierszu nie jest zamknięty; dalsza część pliku "
                                 "nie została odczytana"});
    if (parse.rows.empty()) return plan;
    plan.readable = true;

    const TableId first = tables.front();
    const int columns = set.Columns(first);
    auto title = [&](int c) { return ColumnTitle(first, c); };

    // The title row: any field naming a column makes the first row titles.
    const CsvRecord& head = parse.rows.front();
    std::vector<int> columnOf(head.fields.size(), -1);
    // Titles when at least half the row's fields name columns: a data row
    // may hold a word that is also a title ("AKTYWNA").
    int matched = 0, filled = 0;
    for (size_t i = 0; i < head.fields.size(); ++i) {
        const std::string key = TitleKey(head.fields[i]);
        if (!key.empty()) ++filled;
        for (int c = 0; c < columns && columnOf[i] < 0; ++c)
            for (TableId t : tables)
                if (key == TitleKey(ColumnTitle(t, c))) columnOf[i] = c;
        if (columnOf[i] >= 0) ++matched;
    }
    const bool titled = matched > 0 && matched * 2 >= filled;
    std::vector<CsvProblem> columnProblems;
    std::vector<char> present(columns, 1);
    if (titled) {
        std::vector<int> seen(columns, 0);
        for (size_t i = 0; i < head.fields.size(); ++i) {
            const int c = columnOf[i];
            if (c >= 0 && seen[c]++) {
                columnOf[i] = -1;
                columnProblems.push_back({head.line, title(c), "Kolumna powtórzona; wzięto pierwszą z nich"});
            } else if (c < 0 && !Trim(head.fields[i]).empty()) {
                columnProblems.push_back({head.line, head.fields[i],
                                          "Tabela nie ma takiej kolumny; jej pola zostały pominięte"});
            }
        }
        for (int c = 0; c < columns; ++c) present[c] = seen[c] > 0;
    }

    // Every data row through the field rules and the entry row's checks.
    struct Candidate {
        int line;
        TableId table;
        int row;
        std::vector<std::pair<int, std::string>> cells;
        bool bad = false;
    };
    std::vector<Candidate> candidates;
    std::vector<CsvProblem> problems = columnProblems;
    std::unordered_map<long long, int> lineOfRecord;  // (table, row) -> first line naming it
    std::vector<std::vector<char>> named(kTableCount);
    for (TableId t : tables) named[static_cast<int>(t)].assign(set.Rows(t) + 1, 0);
    const NameTakenCheck noneTaken = [](const std::string&, int) { return false; };

    for (size_t k = titled ? 1 : 0; k < parse.rows.size(); ++k) {
        const CsvRecord& rec = parse.rows[k];
        EntryFields fields;
        fields.byColumn.assign(columns, std::string());
        bool extra = false;
        for (size_t i = 0; i < rec.fields.size(); ++i) {
            const int c = titled ? (i < columnOf.size() ? columnOf[i] : -1) : (static_cast<int>(i) < columns ? static_cast<int>(i) : -1);
            if (c >= 0) fields.byColumn[c] = rec.fields[i];
            else if (!titled && !Trim(rec.fields[i]).empty()) extra = true;
        }
        if (std::all_of(fields.byColumn.begin(), fields.byColumn.end(),
                        [](const std::string& f) { return Trim(f).empty(); }) && !extra)
            continue;  // an empty row, as spreadsheets leave them
        // Tab 5: records 1-4 are discounts, 5-8 surcharges.
        TableId t = first;
        const auto number = ParseRecordNumber(Trim(fields.byColumn[0]));
        if (tables.size() > 1 && number && *number >= 5) t = tables[1];
        // The row it names, for the rows a replace keeps or empties.
        int namedRow = 0;
        if (t == TableId::Ptu) {
            const std::string s = Trim(fields.byColumn[0]);
            if (s.size() == 1) namedRow = TableSet::RowOf(t, s);
        } else if (number) {
            namedRow = t == TableId::Surcharge ? *number - 4 : *number;
        }
        if (namedRow < 1 || namedRow > set.Rows(t)) namedRow = 0;
        if (namedRow) named[static_cast<int>(t)][namedRow] = 1;
        // A column the file lacks keeps the record's value, so a file of
        // numbers and prices changes only the prices; a new record gets what
        // the entry row starts with.
        for (int c = 0; c < columns; ++c) {
            if (present[c]) continue;
            if (namedRow && set.RowHasRecord(t, namedRow)) fields.byColumn[c] = Cp1250ToUtf8(set.Cell(t, c, namedRow));
            else fields.byColumn[c] = StartValue(t, c);
        }

        auto fail = [&](int column, const std::string& message) {
            problems.push_back({rec.line, column >= 0 ? ColumnTitle(t, column) : std::string(), message});
        };
        if (extra) {
            fail(-1, "Wiersz ma więcej pól niż tabela kolumn");
            continue;
        }
        bool fine = true;
        for (int c = 0; c < columns && fine; ++c) {
            const std::string message = JudgeField(t, c, fields.byColumn[c]);
            if (!message.empty()) fail(c, message), fine = false;
        }
        if (!fine) continue;
        const EntryCheck check = CheckEntry(set, t, fields, false, noneTaken);
        if (!check.ok) {
            fail(check.focusColumn, check.message);
            continue;
        }
        if (!check.message.empty()) {  // an active rate without its value
            fail(1, check.message);
            continue;
        }
        // A value that comes back as it was exported keeps its cell as it
        // stands ("08.00" as a register sends it), so a round trip changes
        // no byte; a changed one is written as the entry row writes it.
        EntryCheck taken = check;
        if (namedRow && set.RowHasRecord(t, namedRow)) {
            for (auto& [column, cell] : taken.cells) {
                if (!DecimalColumn(t, column)) continue;
                std::string back = fields.byColumn[column];
                std::replace(back.begin(), back.end(), ',', '.');
                if (back == set.Cell(t, column, namedRow)) cell = back;
            }
        }
        const long long key = static_cast<long long>(t) * 100000 + check.row;
        if (const auto [it, fresh] = lineOfRecord.emplace(key, rec.line); !fresh) {
            fail(0, "Ten rekord jest już w wierszu " + std::to_string(it->second));
            continue;
        }
        candidates.push_back({rec.line, t, check.row, std::move(taken.cells)});
    }

    // Names of packaging and PLU records are unique, as the entry row keeps
    // them: each good row's name against the names the table will hold.
    if (first == TableId::Packaging || first == TableId::Plu) {
        const int rows = set.Rows(first);
        const std::vector<char>& isNamed = named[static_cast<int>(first)];
        for (bool changed = true; changed;) {
            changed = false;
            std::vector<char> takenByGood(rows + 1, 0);
            for (const Candidate& c : candidates)
                if (!c.bad) takenByGood[c.row] = 1;
            std::unordered_map<std::string, int> kept;
            for (int r = 1; r <= rows; ++r) {
                if (takenByGood[r]) continue;
                // A replace empties the rows no row of the file names.
                const bool emptied = replace && !isNamed[r];
                ++kept[emptied ? std::string() : set.Cell(first, 1, r)];
            }
            std::unordered_set<std::string> fromFile;
            for (Candidate& c : candidates) {
                if (c.bad) continue;
                const std::string& name = c.cells[1].second;
                if (kept.count(name) || !fromFile.insert(name).second) {
                    c.bad = true;
                    changed = true;
                    problems.push_back({c.line, ColumnTitle(first, 1), EditorText::NotUnique});
                }
            }
        }
    }

    for (Candidate& c : candidates)
        if (!c.bad) plan.good.push_back({c.line, c.table, c.row, std::move(c.cells)});
    plan.problems.insert(plan.problems.end(), problems.begin(), problems.end());
    std::stable_sort(plan.problems.begin(), plan.problems.end(),
                     [](const CsvProblem& a, const CsvProblem& b) { return a.line < b.line; });
    for (TableId t : tables) {
        for (int r = 1; r <= set.Rows(t); ++r) {
            if (named[static_cast<int>(t)][r]) continue;
            plan.unnamed.push_back({t, r});
            if (set.RowHasRecord(t, r)) ++plan.recordsNotInFile;
        }
    }
    return plan;
}

void ApplyCsvImport(TableSet& set, const CsvImportPlan& plan, bool replace) {
    TableBatch batch(set);
    if (replace)
        for (const auto& [t, r] : plan.unnamed) set.ClearRow(t, r);
    for (const CsvImportPlan::Row& row : plan.good)
        for (const auto& [column, text] : row.cells) set.SetCell(row.table, column, row.row, text);
}

std::string CsvProblemLine(const CsvProblem& p) {
    std::string line = "Wiersz " + std::to_string(p.line);
    if (!p.column.empty()) line += ", " + p.column;
    std::string message = p.message;
    std::replace(message.begin(), message.end(), '\r', ' ');
    return line + ": " + message;
}

bool ImportTableCsv(TableSet& set, int tab, const std::string& path) {
    Ui& ui = CurrentUi();
    if (TablesOfTab(tab).empty()) return false;
    std::string bytes;
    if (ReadWholeFile(path, kMaxCsvFile, bytes) != FileRead::Ok) {
        ui.Message("Nie można odczytać pliku " + path, {}, UiIcon::Error);
        return false;
    }
    CsvImportPlan plan = PlanCsvImport(set, tab, bytes, false);
    if (!plan.readable && plan.problems.empty()) {
        ui.Message("Plik " + path + " nie zawiera żadnych wierszy.", {}, UiIcon::Warning);
        return false;
    }
    bool replace = false;
    if (plan.recordsNotInFile > 0) {
        replace = ui.Question("Tabela zawiera rekordy, których nie ma w pliku (" +
                              std::to_string(plan.recordsNotInFile) +
                              ").\rUsunąć je z tabeli?\r\rNie: zostaną bez zmian, a rekordy z pliku "
                              "zastąpią rekordy o tych samych numerach.");
        if (replace) plan = PlanCsvImport(set, tab, bytes, true);
    }
    if (!plan.problems.empty()) {
        std::vector<std::string> lines;
        lines.reserve(plan.problems.size());
        for (const CsvProblem& p : plan.problems) lines.push_back(CsvProblemLine(p));
        const std::string intro = "Błędne wiersze w pliku " + path + ": " + std::to_string(plan.problems.size()) +
                                  ". Poprawnych wierszy: " + std::to_string(plan.good.size()) + ".";
        if (plan.good.empty()) {
            ui.MessageWithList(intro, lines, "Tabela pozostała bez zmian.");
            return false;
        }
        if (!ui.QuestionWithList(intro, lines,
                                 "Wczytać tylko poprawne wiersze?\rNie: tabela pozostanie bez zmian."))
            return false;
    }
    ApplyCsvImport(set, plan, replace);
    return true;
}
