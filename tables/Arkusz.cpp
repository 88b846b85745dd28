#include "Arkusz.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "Cp1250.h"
#include "Dysk.h"
#include "Skoroszyt.h"
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
constexpr int kTitleSearchLines = 10;  // a price list may carry its own heading lines

}  // namespace

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

namespace {
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

// The PLU stock may be below zero (a register sells what it has not booked in).
bool SignedColumn(TableId t, int column) { return t == TableId::Plu && column == 6; }

// An amount of digits, ',' and '.' as spreadsheets write it ("1.234,50",
// "1,234.50", "1.234.567") as digits with at most one separator ("1234,50");
// empty when it cannot be read one way only. A single separator is the
// decimal one, as the entry row reads it ("1.500" is one and a half).
std::optional<std::string> PlainDecimal(std::string_view s) {
    const size_t last = s.find_last_of(",.");
    if (last == std::string_view::npos || s.find_first_of(",.") == last) return std::string(s);
    const char point = s[last];
    const char other = point == ',' ? '.' : ',';
    // Only one kind: all of them group thousands; else the last is the point.
    const bool grouping = s.find(other) == std::string_view::npos;
    const char group = grouping ? point : other;
    const std::string_view whole = grouping ? s : s.substr(0, last);
    if (!grouping && whole.find(point) != std::string_view::npos) return std::nullopt;
    std::string out;
    for (size_t start = 0;;) {
        const size_t end = whole.find(group, start);
        const std::string_view part = whole.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty() || part.size() > 3 || (start > 0 && part.size() != 3)) return std::nullopt;
        out += part;
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    if (!grouping) out += s.substr(last);
    return out;
}

std::string NotANumber(std::string_view typed) {
    return "Nie można odczytać liczby „" + std::string(typed) + "” (wpisz ją np. jako 1234,50)";
}

// A code's leading zeros dropped, one digit kept ("0012" -> "12", "0000" -> "0").
std::string WithoutLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    return std::string(digits);
}

// The GS1 check digit a bar code of 8, 12, 13 or 14 digits should end with
// when it ends with another; nothing for other codes (not checked).
std::optional<char> WrongCheckDigit(std::string_view code) {
    if (code.size() != 8 && (code.size() < 12 || code.size() > 14)) return std::nullopt;
    if (!AllDigits(code)) return std::nullopt;
    int sum = 0, weight = 3;
    for (size_t i = code.size() - 1; i-- > 0; weight = 4 - weight) sum += (code[i] - '0') * weight;
    const char expected = static_cast<char>('0' + (10 - sum % 10) % 10);
    if (code.back() == expected) return std::nullopt;
    return expected;
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
        if (column == 0 && !text.empty() && !ParseRecordNumber(text)) return "Liczba jest za duża";
        if (t == TableId::Cashier && column == 2 && text.size() > 4) return "Haslo musi zawierac 4 cyfry";
        if (t == TableId::Plu && column == 4 && text.empty()) return EditorText::EmptyPackaging;
        return {};
    case Kind::Decimal: {
        const std::string typed = Trim(text);
        text = WithoutGrouping(text);
        std::string sign;
        if (SignedColumn(t, column) && !text.empty() && (text[0] == '-' || text[0] == '+'))
            sign = text.substr(0, 1), text.erase(0, 1);
        if (!DecimalCharacters(text)) return EditorText::OnlyDigits;
        const auto plain = PlainDecimal(text);
        if (!plain) return NotANumber(typed);
        text = sign + *plain;
        const auto value = ParseDecimal(text);
        if (!text.empty() && !value) return NotANumber(typed);
        if (value && *value == 0) text = *plain;  // no "-0.000"
        return {};
    }
    case Kind::AsTyped:
        text = Trim(text);
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

SheetColumnType SheetColumnTypeOf(TableId t, int column) {
    switch (KindOf(t, column)) {
    case Kind::Number: return SheetColumnType::RecordNumber;
    case Kind::Digits:
    case Kind::AsTyped: return SheetColumnType::DigitText;
    case Kind::Decimal: return SheetColumnType::Amount;
    case Kind::Rate:
    case Kind::Switch:
    case Kind::Status: return SheetColumnType::Choice;
    case Kind::Text: break;
    }
    return SheetColumnType::Text;
}

std::vector<std::string> ColumnChoices(TableId t, int column) {
    switch (KindOf(t, column)) {
    case Kind::Rate: return {"A", "B", "C", "D", "E", "F", "G"};
    case Kind::Switch: return {"TAK", "NIE"};
    case Kind::Status: return {"AKTYWNA", "NIEAKTYWNA", "ZWOLNIONA"};
    default: return {};
    }
}

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

namespace {
// The title row: its index among the rows and the column each field names
// (-1 none); index -1 when no row of `rows` names columns.
struct Titles {
    int index = -1;
    std::vector<int> columnOf;
};

Titles FindTitles(const std::vector<CsvRecord>& rows, const std::vector<TableId>& tables, int columns) {
    for (size_t k = 0; k < rows.size(); ++k) {
        const CsvRecord& row = rows[k];
        std::vector<int> columnOf(row.fields.size(), -1);
        int matched = 0, filled = 0;
        for (size_t i = 0; i < row.fields.size(); ++i) {
            const std::string key = TitleKey(row.fields[i]);
            if (!key.empty()) ++filled;
            for (int c = 0; c < columns && columnOf[i] < 0; ++c)
                for (TableId t : tables)
                    if (key == TitleKey(ColumnTitle(t, c))) columnOf[i] = c;
            if (columnOf[i] >= 0) ++matched;
        }
        // Titles when at least half the row's fields name columns: a data row
        // may hold a word that is also a title ("AKTYWNA"). Below the first
        // row two titles at least, so that a file without titles keeps its rows.
        if (matched > 0 && matched * 2 >= filled && (k == 0 || matched >= 2))
            return {static_cast<int>(k), std::move(columnOf)};
    }
    return {};
}

std::string EncodingRefusal(std::string_view bytes) {
    const CsvOddCharacter odd = FirstOddCp1250(bytes);
    return "Plik nie jest zapisany w UTF-8 ani w Windows-1250 (wiersz " + std::to_string(odd.line) + ": " +
           odd.what +
           "; tak zapisuje np. „CSV (Macintosh)” lub „CSV (MS-DOS)”): zapisz go w arkuszu jako „CSV UTF-8”";
}
}  // namespace

CsvImportPlan PlanCsvImport(const TableSet& set, int tab, std::string_view bytes, bool replace) {
    CsvImportPlan plan;
    const std::vector<TableId> tables = TablesOfTab(tab);
    if (tables.empty()) return plan;
    CsvEncoding encoding = CsvEncoding::Utf8;
    const std::string text = CsvTextFromFile(bytes, &encoding);
    plan.encoding = encoding;
    if (encoding == CsvEncoding::Other) {
        plan.refusal = EncodingRefusal(bytes);
        return plan;
    }
    const int columns = set.Columns(tables.front());

    // The separator is the one whose fields make a title row: ';', then a tab
    // (Excel's "Unicode text"), then ',' (Calc's default).
    CsvParse parse;
    bool titled = false, commas = false;
    for (const char separator : {';', '\t', ','}) {
        titled = FindTitles(ParseCsv(text, separator, kTitleSearchLines).rows, tables, columns).index >= 0;
        if (!titled) continue;
        parse = ParseCsv(text, separator);
        commas = separator == ',';
        break;
    }
    if (!titled) parse = ParseCsv(text);
    SheetRows rows{std::move(parse.rows), false, commas};
    plan = PlanRowsImport(set, tab, rows, replace);
    plan.encoding = encoding;
    if (parse.unclosedQuoteLine) {
        plan.problems.insert(plan.problems.begin(),
                             {parse.unclosedQuoteLine, {},
                              "Cudzysłów otwarty w tym wierszu nie jest zamknięty; dalsza część pliku "
                              "nie została odczytana",
                              {}});
        std::stable_sort(plan.problems.begin(), plan.problems.end(),
                         [](const CsvProblem& a, const CsvProblem& b) { return a.line < b.line; });
    }
    return plan;
}

CsvImportPlan PlanRowsImport(const TableSet& set, int tab, const SheetRows& sheet, bool replace) {
    CsvImportPlan plan;
    const std::vector<TableId> tables = TablesOfTab(tab);
    if (tables.empty()) return plan;
    const TableId first = tables.front();
    const int columns = set.Columns(first);
    auto title = [&](int c) { return ColumnTitle(first, c); };
    const std::vector<CsvRecord>& rows = sheet.rows;
    const bool commas = sheet.commaSeparated;
    // The title row is looked for among the first lines only.
    std::vector<CsvRecord> top;
    for (const CsvRecord& r : rows)
        if (r.line <= kTitleSearchLines) top.push_back(r);
    Titles titles = FindTitles(top, tables, columns);
    if (rows.empty()) return plan;
    plan.readable = true;

    const bool titled = titles.index >= 0;
    std::vector<int>& columnOf = titles.columnOf;
    // A workbook's column letter ("C"); a CSV file's fields have none.
    auto letter = [&](int field) { return sheet.lettered && field >= 0 ? SheetColumnName(field) : std::string(); };
    std::vector<CsvProblem> columnProblems;
    std::vector<char> present(columns, 1);
    if (titled) {
        const CsvRecord& head = rows[titles.index];
        if (titles.index > 0)
            plan.notes.push_back({head.line, {},
                                  head.line == 2 ? std::string("Pominięto wiersz 1 nad tytułami kolumn")
                                                 : "Pominięto wiersze 1–" + std::to_string(head.line - 1) +
                                                       " nad tytułami kolumn",
                                  {}});
        std::vector<int> seen(columns, 0);
        for (size_t i = 0; i < head.fields.size(); ++i) {
            const int c = columnOf[i];
            if (c >= 0 && seen[c]++) {
                columnOf[i] = -1;
                columnProblems.push_back({head.line, title(c), "Kolumna powtórzona; wzięto pierwszą z nich",
                                          letter(static_cast<int>(i))});
            } else if (c < 0 && !Trim(head.fields[i]).empty()) {
                plan.notes.push_back({head.line, head.fields[i],
                                      "Tabela nie ma takiej kolumny; jej pola zostały pominięte",
                                      letter(static_cast<int>(i))});
            }
        }
        for (int c = 0; c < columns; ++c) present[c] = seen[c] > 0;
    }
    // The sheet's column each table column was read from, for the messages.
    std::vector<int> fieldOf(columns, -1);
    for (int c = 0; c < columns; ++c) fieldOf[c] = titled ? -1 : c;
    if (titled)
        for (size_t i = 0; i < columnOf.size(); ++i)
            if (columnOf[i] >= 0 && fieldOf[columnOf[i]] < 0) fieldOf[columnOf[i]] = static_cast<int>(i);

    // Every data row through the field rules and the entry row's checks.
    struct Candidate {
        int line;
        TableId table;
        int row;
        std::vector<std::pair<int, std::string>> cells;
        std::vector<CsvProblem> notes;
        bool bad = false;
    };
    std::vector<Candidate> candidates;
    std::vector<CsvProblem> problems = columnProblems;
    std::unordered_map<long long, int> lineOfRecord;  // (table, row) -> first line naming it
    std::vector<std::vector<char>> named(kTableCount);
    for (TableId t : tables) named[static_cast<int>(t)].assign(set.Rows(t) + 1, 0);
    const NameTakenCheck noneTaken = [](const std::string&, int) { return false; };

    for (size_t k = titled ? titles.index + 1 : 0; k < rows.size(); ++k) {
        const CsvRecord& rec = rows[k];
        EntryFields fields;
        fields.byColumn.assign(columns, std::string());
        // With ',' between fields a decimal comma outside quotes splits a
        // number in two and shifts the fields after it: more fields than titles.
        bool extra = commas && rec.fields.size() > columnOf.size() &&
                     std::any_of(rec.fields.begin(), rec.fields.end(),
                                 [](const std::string& f) { return !Trim(f).empty(); });
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
            problems.push_back({rec.line, column >= 0 ? ColumnTitle(t, column) : std::string(), message,
                                column >= 0 ? letter(fieldOf[column]) : std::string()});
        };
        if (extra) {
            fail(-1, titled ? "Wiersz ma więcej pól niż wiersz tytułów (liczba z przecinkiem bez cudzysłowu?)"
                            : "Wiersz ma więcej pól niż tabela kolumn");
            continue;
        }
        // A row without its number (a total, a note) is named for that first.
        if (Trim(fields.byColumn[0]).empty()) {
            const EntryCheck check = CheckEntry(set, t, fields, false, noneTaken);
            if (!check.ok) {
                fail(check.column, check.message);
                continue;
            }
        }
        bool fine = true;
        for (int c = 0; c < columns && fine; ++c) {
            const std::string message = JudgeField(t, c, fields.byColumn[c]);
            if (!message.empty()) fail(c, message), fine = false;
        }
        if (!fine) continue;
        // Spreadsheets take bar codes and passwords for numbers and drop their
        // leading zeros: a value equal to the stored one without them keeps it.
        std::vector<CsvProblem> notes;
        const bool stored = namedRow && set.RowHasRecord(t, namedRow);
        if ((t == TableId::Plu || t == TableId::Cashier) && present[2]) {
            const std::string before = stored ? Cp1250ToUtf8(set.Cell(t, 2, namedRow)) : std::string();
            std::string& now = fields.byColumn[2];
            if (!now.empty() && now != before && now == WithoutLeadingZeros(before)) {
                now = before;
                const std::string kept = t == TableId::Plu ? "Zachowano kod " + before : std::string("Zachowano hasło");
                notes.push_back({rec.line, ColumnTitle(t, 2), kept + " z tabeli (arkusz usunął zera z przodu)",
                                 letter(fieldOf[2])});
            }
            // A new or changed bar code must scan: its check digit is checked.
            if (t == TableId::Plu && now != before) {
                if (const auto digit = WrongCheckDigit(now)) {
                    fail(2, std::string("Zła cyfra kontrolna kodu kreskowego: ostatnia cyfra powinna być ") + *digit);
                    continue;
                }
            }
        }
        const EntryCheck check = CheckEntry(set, t, fields, false, noneTaken);
        if (!check.ok) {
            fail(check.column, check.message);
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
        if (stored) {
            for (auto& [column, cell] : taken.cells) {
                if (!DecimalColumn(t, column)) continue;
                std::string back = fields.byColumn[column];
                std::replace(back.begin(), back.end(), ',', '.');
                const std::string& was = set.Cell(t, column, namedRow);
                // A workbook gives the number, not its text: 8 for "08.00".
                const auto value = ParseDecimal(back), old = ParseDecimal(was);
                if (back == was || (!was.empty() && value && old && *value == *old)) cell = was;
            }
        }
        const long long key = static_cast<long long>(t) * 100000 + check.row;
        if (const auto [it, fresh] = lineOfRecord.emplace(key, rec.line); !fresh) {
            fail(0, "Ten rekord jest już w wierszu " + std::to_string(it->second));
            continue;
        }
        candidates.push_back({rec.line, t, check.row, std::move(taken.cells), std::move(notes)});
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
                    problems.push_back({c.line, ColumnTitle(first, 1), EditorText::NotUnique, letter(fieldOf[1])});
                }
            }
        }
    }

    for (Candidate& c : candidates) {
        if (c.bad) continue;
        plan.good.push_back({c.line, c.table, c.row, std::move(c.cells)});
        plan.notes.insert(plan.notes.end(), c.notes.begin(), c.notes.end());
    }
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

std::string SheetColumnName(int index) {
    std::string name;
    for (int n = index + 1; n > 0; n = (n - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
    return name;
}

std::string CsvProblemLine(const CsvProblem& p) {
    // Line 0: about the whole file.
    if (p.line == 0) return p.message;
    std::string line = "Wiersz " + std::to_string(p.line);
    if (!p.column.empty()) line += ", " + p.column;
    if (!p.sheetColumn.empty())
        line += p.column.empty() ? ", kolumna " + p.sheetColumn : " (kolumna " + p.sheetColumn + ")";
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
    CsvImportPlan plan = PlanImport(set, tab, bytes, false);
    if (!plan.refusal.empty()) {
        ui.Message(plan.refusal, {}, UiIcon::Error);
        return false;
    }
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
        if (replace) plan = PlanImport(set, tab, bytes, true);
    }
    std::vector<std::string> notes;
    for (const CsvProblem& p : plan.notes) notes.push_back(CsvProblemLine(p));
    if (!plan.problems.empty()) {
        std::vector<std::string> lines;
        lines.reserve(plan.problems.size() + notes.size() + 2);
        for (const CsvProblem& p : plan.problems) lines.push_back(CsvProblemLine(p));
        if (!notes.empty()) {
            lines.insert(lines.end(), {"", "Uwagi:"});
            lines.insert(lines.end(), notes.begin(), notes.end());
        }
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
    if (plan.problems.empty() && !notes.empty())
        ui.MessageWithList("Wczytano wiersze z pliku " + path + ": " + std::to_string(plan.good.size()) + ". Uwagi:",
                           notes, "");
    return true;
}
