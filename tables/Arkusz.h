// The tables of tabs 1 to 8 to and from spreadsheet files (CSV, Csv.h).
//
// Export: a title row with the column titles, then one row per record in
// record order (rows without a record left out); decimal cells with the
// decimal separator the caller gives (the user's locale). Tab 5 puts the
// discounts (records 1-4) and surcharges (5-8) in one file.
//
// Import: columns found by their titles (in any order, the title row within
// the first 10 lines, fields separated by ';', a tab or ','; a file without a
// title row is read in the table's column order), every row checked as the
// entry row checks a record typed in (CheckEntry), plus what typing itself
// would not let through: characters a field does not take, texts longer than
// the field, a PTU letter outside A-G, a switch other than TAK/NIE, a changed
// bar code with a wrong check digit. Every bad row is reported with its line
// number and column; the caller takes all rows, none, or only the good ones.
// What the import mended or left out on its own (leading zeros a spreadsheet
// dropped, lines above the titles, columns the table lacks) comes as notes.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Csv.h"
#include "Tabele.h"

inline constexpr const char* kCsvFilterName = "Arkusz kalkulacyjny (CSV)";
inline constexpr const char* kCsvExtension = ".csv";

// The tables a tab shows (tab 5: discounts and surcharges); none for another tab.
std::vector<TableId> TablesOfTab(int tab);

// How a column goes into a workbook: record numbers as numbers (as text when
// written with leading zeros), codes and passwords as text, amounts as
// numbers, a letter or switch as text with a list of the allowed values.
enum class SheetColumnType { RecordNumber, DigitText, Text, Amount, Choice };
SheetColumnType SheetColumnTypeOf(TableId t, int column);
// The values a Choice column allows; empty for another column.
std::vector<std::string> ColumnChoices(TableId t, int column);

struct CsvExportOptions {
    CsvEncoding encoding = CsvEncoding::Utf8Bom;
    char decimalPoint = ',';
};

// The file's bytes for tab `tab` (1 to 8); empty for another tab number.
std::string TableCsv(const TableSet& set, int tab, const CsvExportOptions& options = {});
// Writes them to `path` (the old file stays whole when the write fails, and
// the person is told). False when nothing was written.
bool ExportTableCsv(const TableSet& set, int tab, const std::string& path,
                    const CsvExportOptions& options = {});

struct CsvProblem {
    int line = 0;        // the file's line (a workbook's: the sheet's row), from 1
    std::string column;  // the column's title, "" when the problem is the row's
    std::string message; // UTF-8; the entry row's own message where it has one
    std::string sheetColumn;  // a workbook's column letter ("C"); "" for a CSV file
};

struct CsvImportPlan {
    bool readable = false;  // false: the file holds no row at all
    CsvEncoding encoding = CsvEncoding::Utf8;
    struct Row {
        int line = 0;
        TableId table = TableId::Packaging;
        int row = 0;
        std::vector<std::pair<int, std::string>> cells;  // Windows-1250
    };
    std::vector<Row> good;            // in file order
    std::vector<CsvProblem> problems; // by line
    std::vector<CsvProblem> notes;    // not errors: what was mended or left out, by line
    // Not empty: the whole file is refused (its encoding), with this line.
    std::string refusal;
    // Record rows that no row of the file names, good or bad: (table, row).
    std::vector<std::pair<TableId, int>> unnamed;
    // Of those, the rows that hold a record now.
    int recordsNotInFile = 0;
};

// Checks every row of the file's text for tab `tab` against the table set.
// `replace`: the rows the file does not name will be emptied (their names
// then free); otherwise they stay as they are.
CsvImportPlan PlanCsvImport(const TableSet& set, int tab, std::string_view bytes, bool replace);
// Rows read from a spreadsheet file: a CSV text's rows by line, or a
// workbook sheet's rows by row number with their cells by column (A = 0).
struct SheetRows {
    std::vector<CsvRecord> rows;  // in order; empty rows may be left out
    bool lettered = false;        // a workbook: messages name the column letter
    bool commaSeparated = false;  // a CSV file with ',' between fields
};
// The checks of PlanCsvImport on rows already read.
CsvImportPlan PlanRowsImport(const TableSet& set, int tab, const SheetRows& rows, bool replace);

// A sheet's column letter: 0 -> "A", 26 -> "AA".
std::string SheetColumnName(int index);

// Writes the plan's good rows as one change; with `replace` the rows no row
// of the file names are emptied first.
void ApplyCsvImport(TableSet& set, const CsvImportPlan& plan, bool replace);

// The whole import as the person runs it: reads the file; when the table
// holds records the file does not name, asks whether to remove them (No
// keeps them); when rows are bad, shows them all and asks whether to take
// only the good rows (No changes nothing); shows the notes with the bad rows
// or, when there are none, after the import. True when the table changed.
bool ImportTableCsv(TableSet& set, int tab, const std::string& path);

// A problem as one line of the summary: "Wiersz 12, Cena jedn.: ...".
std::string CsvProblemLine(const CsvProblem& problem);
