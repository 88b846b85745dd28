// The tables of tabs 1 to 8 to and from workbooks: Excel's .xlsx, and for
// reading also OpenDocument's .ods (what LibreOffice Calc saves by default).
//
// A workbook keeps its cells' types, so a bar code, a password or a record
// number written with leading zeros goes out as a text cell and comes back as
// it went, and a price goes out as a number with the field's decimals shown.
// libxlsxwriter writes the workbook; minizip and expat read both kinds.
//
// The import reads one sheet (the one named after the table, else the first)
// into rows by the sheet's row numbers and then runs exactly the checks of
// the CSV import (Arkusz.h), so its questions and messages are the same, with
// the sheet's row and column letter in them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Arkusz.h"
#include "Tabele.h"

inline constexpr const char* kXlsxFilterName = "Skoroszyt programu Excel";
inline constexpr const char* kXlsxExtension = ".xlsx";

// Where the data came from, for the workbook's document properties (UTF-8;
// empty when the tables did not come from a register).
struct WorkbookInfo {
    std::string registerModel;  // "ZELTRA ARK MAXI"
    std::string serialNumber;   // as the register's identification gives it
};

// The sheet's name for tab `tab`: the tab's caption ("Baza PLU").
std::string SheetNameOfTab(int tab);

// Whether a file name asks for a workbook (.xlsx, .xlsm; any letter case).
bool IsXlsxPath(std::string_view path);

// The .xlsx file's bytes for tab `tab` (1 to 8); none for another tab number
// or when the library could not write it (`error` then says why).
std::optional<std::string> TableXlsx(const TableSet& set, int tab, const WorkbookInfo& info = {},
                                     std::string* error = nullptr);
// Writes it to `path` (the old file stays whole when the write fails, and
// the person is told). False when nothing was written.
bool ExportTableXlsx(const TableSet& set, int tab, const std::string& path, const WorkbookInfo& info = {});

// What a file's first bytes say it is.
enum class WorkbookKind {
    None,     // not a workbook: read as CSV
    Xlsx,     // a zip with xl/workbook.xml
    Ods,      // a zip with content.xml
    Zip,      // another zip (e.g. Excel's binary .xlsb): refused
    Broken,   // a zip cut short or damaged: refused
    Ole,      // an old .xls, or a workbook locked with a password: refused
};
WorkbookKind SniffWorkbook(std::string_view bytes);

// One sheet of a workbook, read.
struct WorkbookSheet {
    std::string refusal;  // not empty: the workbook cannot be read, and why
    std::string name;     // the sheet taken
    int sheets = 0;       // how many the workbook has
    bool named = false;   // the sheet was found by its name
    SheetRows rows;       // by the sheet's row numbers; empty rows left out
};
// Reads the sheet named `preferred` (letter case and blanks around it
// ignored), else the first sheet.
WorkbookSheet ReadWorkbookSheet(std::string_view bytes, const std::string& preferred);

// One part of a workbook's zip ("docProps/custom.xml"); none when missing.
std::optional<std::string> WorkbookPart(std::string_view bytes, const std::string& name);

// The import plan for a file's bytes of either kind: a workbook by its
// content (whatever the file is called), else CSV (PlanCsvImport).
CsvImportPlan PlanImport(const TableSet& set, int tab, std::string_view bytes, bool replace);
