// What the fiscal memory reader makes of its tables: the daily reports of a
// range of days with their sums, the PTU changes and RAM resets of that range,
// and each table as a spreadsheet file.
//
// Plain C++ on the decoded cells. Amounts are counted in hundredths as 64-bit
// integers and never pass through binary floating point: "0.29" is 29, and
// a sum of two thousand reports is exact to the grosz.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Fmreader.h"

constexpr int kPtuLetters = 7;  // totals A to G

// ---- texts -------------------------------------------------------------------

// An amount cell as hundredths: digits, '.', two digits ("1234.56" gives
// 123456). None for anything else: a damaged field shows its hexadecimal
// text, a record cut short an empty cell.
std::optional<std::int64_t> ParseHundredths(std::string_view text);
// A count cell: digits only, at most 18 of them.
std::optional<std::int64_t> ParseWhole(std::string_view text);
// Hundredths as text with two decimals after `point`: 123456 gives 1234.56.
std::string HundredthsText(std::int64_t value, std::string_view point = ".");

// A day as one number, year * 10000 + month * 100 + day, so that days compare
// in calendar order: 2020-01-03 is 20200103.
using FiscalDay = int;
// A date cell ("2020-01-03") as a day; none when it is not a real date in that
// shape (the digits of a damaged record are copied as they come).
std::optional<FiscalDay> ParseFiscalDate(std::string_view text);
// The day as "rrrr-mm-dd".
std::string FiscalDayText(FiscalDay day);

// ---- the report --------------------------------------------------------------

// One daily report as the printed report shows it. A value that could not be
// read is none, and such a report is left out of every sum.
struct DailyLine {
    int number = 0;    // the running number, as in the table
    int period = 0;    // its rates' period in FiscalReport::periods, when split
    std::string date;  // as read
    std::array<std::optional<std::int64_t>, kPtuLetters> totals;  // hundredths
    std::optional<std::int64_t> receipts;         // "Ilość Par."
    std::optional<std::int64_t> cancellations;    // "Ilość Anul."
    std::optional<std::int64_t> cancelledAmount;  // "Kwota Anul.", hundredths

    bool Damaged() const;
    // Totals A to G together; none when one of them could not be read.
    std::optional<std::int64_t> Sum() const;
};

struct ReportSums {
    int reports = 0;  // the reports summed
    std::array<std::int64_t, kPtuLetters> totals{};
    std::int64_t receipts = 0;
    std::int64_t cancellations = 0;
    std::int64_t cancelledAmount = 0;
    std::int64_t sum = 0;
};

// Reports of one set of PTU rates: between two PTU changes.
struct RatePeriod {
    int change = 0;     // running number of the PTU change in force; 0: none was read before them
    std::string date;   // that change's date, as read
    std::string rates;  // its rates, "A 23.00, B 08.00, ..."
    ReportSums sums;    // of its lines that are not damaged
};

struct FiscalReport {
    FiscalDay from = 0, to = 0;  // both days included
    // The reports dated within the range, in reading order, damaged ones too.
    std::vector<DailyLine> lines;
    // Reports whose date cannot be read: they belong to no range, and are
    // listed with every report so that none goes unseen.
    std::vector<DailyLine> undated;
    ReportSums sums;  // the lines that are not damaged
    // Two or more when a PTU change stands between reports of the range: the
    // same letter then holds different rates, so each period is summed on its
    // own (and `sums` still holds the whole range). Empty otherwise.
    std::vector<RatePeriod> periods;
    int DamagedCount() const;  // damaged lines and undated reports: not summed
};

// The daily reports (the reader's first table) from `from` to `to`, both
// included. A range that ends before it starts holds no day.
FiscalReport MakeFiscalReport(const FiscalTable& daily, FiscalDay from, FiscalDay to);

// The order the rows were read in across the three tables, (kind, row) as the
// reading wrote them (FiscalReadHooks::rowWritten). Each table keeps its own
// kind in order; this keeps the order between them, as the fiscal memory has it.
using FiscalReadingOrder = std::vector<std::pair<FiscalKind, int>>;

// The same report with its sums split into rate periods. A report belongs to
// the last PTU change read before it: on the day of a change, the reports
// before it in the fiscal memory keep the old rates. Without the order (empty),
// a change dated D counts as made before every report dated D, as a register
// takes new rates only after a daily report and so opens the day with them.
FiscalReport MakeFiscalReport(const FiscalTables& tables, FiscalDay from, FiscalDay to,
                              const FiscalReadingOrder& order);

// The first and the last day found in the filled rows of the three tables;
// none when no row has a readable date.
std::optional<std::pair<FiscalDay, FiscalDay>> FiscalDateSpan(const FiscalTables& tables);

// A PTU change or a RAM reset on the time line.
struct FiscalMark {
    FiscalKind kind = FiscalKind::PtuChange;
    int number = 0;  // the running number
    FiscalDay day = 0;
    std::string details;  // the rates ("A 23.00, B 08.00, ...") or the time ("08:00")
};
// The PTU changes and RAM resets dated from `from` to `to`, changes first,
// each kind in reading order.
std::vector<FiscalMark> FiscalMarks(const FiscalTables& tables, FiscalDay from, FiscalDay to);

// ---- spreadsheet files -------------------------------------------------------

// A table as the bytes of a ';' separated file, UTF-8 with a byte-order mark:
// the titles, then one row per filled record in order. Amounts and rates are
// written with `decimalPoint` ("," in Polish), so a spreadsheet reads them as
// numbers; other cells, and a damaged amount, as they are shown. A `note`
// (what an incomplete reading lacks) goes first, as a row of one cell, where
// whoever opens the file sees it before any figure.
std::string FiscalTableCsv(const FiscalTable& table, std::string_view decimalPoint, std::string_view note = {});
