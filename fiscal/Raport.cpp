#include "Raport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "Csv.h"

namespace {

// Columns of the daily report table.
constexpr int kDateColumn = 1;
constexpr int kFirstTotalColumn = 2;  // TOT. A; TOT. G is 8
constexpr int kReceiptsColumn = 9;
constexpr int kCancellationsColumn = 11;
constexpr int kCancelledAmountColumn = 12;
// Columns of the PTU change table: PTU. A is 2.
constexpr int kFirstRateColumn = 2;
constexpr int kTimeColumn = 2;  // of the RAM reset table

bool Digits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool Filled(const FiscalTable& table, int row) { return !table.Cell(0, row).empty(); }

int Number(const FiscalTable& table, int row) {
    const auto n = ParseWhole(table.Cell(0, row));
    return n ? static_cast<int>(*n) : 0;
}

DailyLine LineOf(const FiscalTable& daily, int row) {
    DailyLine line;
    line.number = Number(daily, row);
    line.date = daily.Cell(kDateColumn, row);
    for (int k = 0; k < kPtuLetters; ++k)
        line.totals[static_cast<std::size_t>(k)] = ParseHundredths(daily.Cell(kFirstTotalColumn + k, row));
    line.receipts = ParseWhole(daily.Cell(kReceiptsColumn, row));
    line.cancellations = ParseWhole(daily.Cell(kCancellationsColumn, row));
    line.cancelledAmount = ParseHundredths(daily.Cell(kCancelledAmountColumn, row));
    return line;
}

// "A 23.00, B 08.00, ..." of a PTU change.
std::string RatesText(const FiscalTable& ptu, int row) {
    std::string text;
    for (int k = 0; k < kPtuLetters; ++k) {
        if (k) text += ", ";
        text += static_cast<char>('A' + k);
        text += ' ' + ptu.Cell(kFirstRateColumn + k, row);
    }
    return text;
}

void Add(ReportSums& sums, const DailyLine& line) {
    ++sums.reports;
    for (std::size_t k = 0; k < sums.totals.size(); ++k) sums.totals[k] += *line.totals[k];
    sums.receipts += *line.receipts;
    sums.cancellations += *line.cancellations;
    sums.cancelledAmount += *line.cancelledAmount;
    sums.sum += *line.Sum();
}

}  // namespace

// ---- texts -------------------------------------------------------------------

std::optional<std::int64_t> ParseHundredths(std::string_view text) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos || text.size() - point != 3) return std::nullopt;
    const std::string_view whole = text.substr(0, point), cents = text.substr(point + 1);
    if (!Digits(whole) || whole.size() > 16 || !Digits(cents)) return std::nullopt;
    std::int64_t value = 0;
    for (char c : whole) value = value * 10 + (c - '0');
    return value * 100 + (cents[0] - '0') * 10 + (cents[1] - '0');
}

std::optional<std::int64_t> ParseWhole(std::string_view text) {
    if (!Digits(text) || text.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

std::string HundredthsText(std::int64_t value, std::string_view point) {
    std::string sign;
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) {
        sign = "-";
        magnitude = 0 - magnitude;
    }
    std::string cents = std::to_string(magnitude % 100);
    if (cents.size() < 2) cents.insert(0, 1, '0');
    return sign + std::to_string(magnitude / 100) + std::string(point) + cents;
}

std::optional<FiscalDay> ParseFiscalDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = ParseWhole(text.substr(0, 4)), m = ParseWhole(text.substr(5, 2)), d = ParseWhole(text.substr(8, 2));
    if (!y || !m || !d) return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(*y)),
                                           std::chrono::month(static_cast<unsigned>(*m)),
                                           std::chrono::day(static_cast<unsigned>(*d))};
    if (!date.ok()) return std::nullopt;
    return static_cast<FiscalDay>(*y * 10000 + *m * 100 + *d);
}

std::string FiscalDayText(FiscalDay day) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day / 10000 % 10000, day / 100 % 100, day % 100);
    return text;
}

// ---- the report --------------------------------------------------------------

bool DailyLine::Damaged() const {
    for (const auto& t : totals)
        if (!t) return true;
    return !receipts || !cancellations || !cancelledAmount;
}

std::optional<std::int64_t> DailyLine::Sum() const {
    std::int64_t sum = 0;
    for (const auto& t : totals) {
        if (!t) return std::nullopt;
        sum += *t;
    }
    return sum;
}

int FiscalReport::DamagedCount() const {
    int n = static_cast<int>(undated.size());
    for (const DailyLine& line : lines) n += line.Damaged();
    return n;
}

FiscalReport MakeFiscalReport(const FiscalTable& daily, FiscalDay from, FiscalDay to) {
    FiscalReport report;
    report.from = from;
    report.to = to;
    for (int row = 1; row <= daily.Rows(); ++row) {
        if (!Filled(daily, row)) continue;
        const auto day = ParseFiscalDate(daily.Cell(kDateColumn, row));
        if (!day) {
            report.undated.push_back(LineOf(daily, row));
            continue;
        }
        if (*day < from || *day > to) continue;
        report.lines.push_back(LineOf(daily, row));
        if (!report.lines.back().Damaged()) Add(report.sums, report.lines.back());
    }
    return report;
}

FiscalReport MakeFiscalReport(const FiscalTables& tables, FiscalDay from, FiscalDay to,
                              const FiscalReadingOrder& order) {
    FiscalReport report = MakeFiscalReport(tables[static_cast<std::size_t>(FiscalKind::DailyReport)], from, to);
    const FiscalTable& ptu = tables[static_cast<std::size_t>(FiscalKind::PtuChange)];
    // The changes in reading order, each with what puts a report after it:
    // the daily reports read before it, or (without the order) its day.
    struct Change {
        int row;
        int reportsBefore;
        FiscalDay day;
    };
    std::vector<Change> changes;
    int reportsRead = 0;
    for (const auto& [kind, row] : order) {
        if (kind == FiscalKind::DailyReport) reportsRead = std::max(reportsRead, row);
        if (kind == FiscalKind::PtuChange && Filled(ptu, row)) changes.push_back({row, reportsRead, 0});
    }
    if (order.empty())
        for (int row = 1; row <= ptu.Rows(); ++row)
            if (const auto day = Filled(ptu, row) ? ParseFiscalDate(ptu.Cell(kDateColumn, row)) : std::nullopt)
                changes.push_back({row, -1, *day});

    // A line's key: how many changes stand before it.
    std::vector<std::size_t> keys;
    for (const DailyLine& line : report.lines) {
        const FiscalDay day = ParseFiscalDate(line.date).value_or(0);
        std::size_t k = 0;
        for (const Change& c : changes) k += c.reportsBefore >= 0 ? line.number > c.reportsBefore : day >= c.day;
        keys.push_back(k);
    }
    std::vector<std::size_t> distinct = keys;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() < 2) return report;  // one set of rates: nothing mixed

    for (std::size_t k : distinct) {
        RatePeriod period;
        if (k > 0) {
            const int row = changes[k - 1].row;
            period = {Number(ptu, row), ptu.Cell(kDateColumn, row), RatesText(ptu, row), {}};
        }
        report.periods.push_back(std::move(period));
    }
    for (std::size_t i = 0; i < report.lines.size(); ++i) {
        DailyLine& line = report.lines[i];
        line.period = static_cast<int>(std::lower_bound(distinct.begin(), distinct.end(), keys[i]) - distinct.begin());
        if (!line.Damaged()) Add(report.periods[static_cast<std::size_t>(line.period)].sums, line);
    }
    return report;
}

std::optional<std::pair<FiscalDay, FiscalDay>> FiscalDateSpan(const FiscalTables& tables) {
    std::optional<std::pair<FiscalDay, FiscalDay>> span;
    for (const FiscalTable& table : tables) {
        for (int row = 1; row <= table.Rows(); ++row) {
            if (!Filled(table, row)) continue;
            const auto day = ParseFiscalDate(table.Cell(kDateColumn, row));
            if (!day) continue;
            if (!span) span.emplace(*day, *day);
            span->first = std::min(span->first, *day);
            span->second = std::max(span->second, *day);
        }
    }
    return span;
}

std::vector<FiscalMark> FiscalMarks(const FiscalTables& tables, FiscalDay from, FiscalDay to) {
    std::vector<FiscalMark> marks;
    for (FiscalKind kind : {FiscalKind::PtuChange, FiscalKind::RamReset}) {
        const FiscalTable& table = tables[static_cast<std::size_t>(kind)];
        for (int row = 1; row <= table.Rows(); ++row) {
            if (!Filled(table, row)) continue;
            const auto day = ParseFiscalDate(table.Cell(kDateColumn, row));
            if (!day || *day < from || *day > to) continue;
            FiscalMark mark{kind, Number(table, row), *day, {}};
            mark.details = kind == FiscalKind::RamReset ? table.Cell(kTimeColumn, row) : RatesText(table, row);
            marks.push_back(std::move(mark));
        }
    }
    return marks;
}

// ---- spreadsheet files -------------------------------------------------------

std::string FiscalTableCsv(const FiscalTable& table, std::string_view decimalPoint, std::string_view note) {
    std::string text = note.empty() ? std::string() : CsvRow({std::string(note)});
    std::vector<std::string> cells;
    for (int c = 0; c < table.Columns(); ++c) cells.push_back(table.Title(c));
    text += CsvRow(cells);
    for (int row = 1; row <= table.Rows(); ++row) {
        if (!Filled(table, row)) continue;
        for (int c = 0; c < table.Columns(); ++c) {
            std::string cell = table.Cell(c, row);
            const std::size_t point = cell.find('.');
            // Only a number is given the user's separator: "NAK", "zw" and the
            // hexadecimal text of a damaged field stay as they are shown.
            if (FiscalColumnIsDecimal(table.Kind(), c) && point != std::string::npos &&
                Digits(std::string_view(cell).substr(0, point)) && Digits(std::string_view(cell).substr(point + 1)))
                cell.replace(point, 1, decimalPoint);
            cells[static_cast<std::size_t>(c)] = std::move(cell);
        }
        text += CsvRow(cells);
    }
    return CsvFileBytes(text, CsvEncoding::Utf8Bom);
}
