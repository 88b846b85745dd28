#include "Fmreader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "Bcd.h"
#include "Pomoc.h"
#include "Przebieg.h"

namespace {

enum class FieldType { Date, Time, Amount, Count, Rate };

// One field of a record: where its bytes stand (byte 0 is the kind).
struct FieldLayout {
    FieldType type;
    int offset;
    int bytes;
};

// A record kind: its table and the fields that fill the table's columns 1 on.
struct KindLayout {
    const char* caption;
    int standardRows;
    std::vector<const char*> titles;
    std::vector<FieldLayout> fields;
};

// The cancellation count takes bytes 45-46 and the cancelled amount 47-51, so
// no byte is read by both.
const std::array<KindLayout, kFiscalKindCount>& Layouts() {
    static const std::array<KindLayout, kFiscalKindCount> layouts = {{
        {"Raporty dobowe",
         kFiscalRecordCount,
         {"Nr rap.", "Data", "TOT. A", "TOT. B", "TOT. C", "TOT. D", "TOT. E", "TOT. F", "TOT. G",
          "Ilość Par.", "Ilość Zmian", "Ilość Anul.", "Kwota Anul."},
         {{FieldType::Date, 1, 4},
          {FieldType::Amount, 5, 5},
          {FieldType::Amount, 10, 5},
          {FieldType::Amount, 15, 5},
          {FieldType::Amount, 20, 5},
          {FieldType::Amount, 25, 5},
          {FieldType::Amount, 30, 5},
          {FieldType::Amount, 35, 5},
          {FieldType::Count, 40, 2},
          {FieldType::Count, 42, 3},
          {FieldType::Count, 45, 2},
          {FieldType::Amount, 47, 5}}},
        {"Stawki PTU",
         30,
         {"Nr zm.", "Data", "PTU. A", "PTU. B", "PTU. C", "PTU. D", "PTU. E", "PTU. F", "PTU. G"},
         {{FieldType::Date, 1, 4},
          {FieldType::Rate, 5, 2},
          {FieldType::Rate, 7, 2},
          {FieldType::Rate, 9, 2},
          {FieldType::Rate, 11, 2},
          {FieldType::Rate, 13, 2},
          {FieldType::Rate, 15, 2},
          {FieldType::Rate, 17, 2}}},
        {"Zerowania RAM", 200, {"Nr zer.", "Data", "Godzina"}, {{FieldType::Date, 1, 4}, {FieldType::Time, 5, 2}}},
    }};
    return layouts;
}

const KindLayout& LayoutOf(FiscalKind kind) { return Layouts()[static_cast<std::size_t>(kind)]; }

const std::string kEmpty;

// Byte k of a field's hexadecimal text; shorter or empty where the text ends.
std::string_view Pair(std::string_view hex, std::size_t k) { return HexBytesAt(hex, k, 1); }

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// The field's bytes from the highest to the lowest, digits joined.
std::string Reversed(std::string_view hex) {
    std::string out;
    for (std::size_t k = hex.size() / 2; k-- > 0;) out += Pair(hex, k);
    return out;
}

std::string WithoutLeadingZeros(std::string_view digits) {
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

std::string DecodeField(std::string_view recordHex, const FieldLayout& f) {
    const std::string_view hex = HexBytesAt(recordHex, static_cast<std::size_t>(f.offset), static_cast<std::size_t>(f.bytes));
    switch (f.type) {
    case FieldType::Date: return FiscalDate(hex);
    case FieldType::Time: return FiscalTime(hex);
    case FieldType::Amount: return FiscalAmount(hex);
    case FieldType::Count: return FiscalCount(hex);
    case FieldType::Rate: return FiscalRate(hex);
    }
    return {};
}

// The reply's text without its two closing characters, ESC and backslash.
std::string ReplyWithoutClosing(Connection& link) {
    std::string text = link.ReplyText();
    const std::size_t n = text.size();
    if (n >= 4 && text[n - 2] == static_cast<char>(kEsc) && text[n - 1] == static_cast<char>(kBackslash))
        text.resize(n - 4);
    return text;
}

std::string Slice(const std::string& text, std::size_t from, std::size_t count) {
    return from < text.size() ? text.substr(from, count) : std::string();
}

}  // namespace

// ---- decoding --------------------------------------------------------------

std::string FiscalDate(std::string_view hex) {
    std::string out;
    out += Pair(hex, 1);
    out += Pair(hex, 0);
    out += '-';
    out += Pair(hex, 2);
    out += '-';
    out += Pair(hex, 3);
    return out;
}

std::string FiscalTime(std::string_view hex) {
    std::string out(Pair(hex, 0));
    out += ':';
    out += Pair(hex, 1);
    return out;
}

std::string FiscalAmount(std::string_view hex) {
    if (hex.size() != 10 || !AllDigits(hex)) return std::string(hex);
    const std::string digits = Reversed(hex);  // ten digits, the last two the hundredths
    return WithoutLeadingZeros(std::string_view(digits).substr(0, 8)) + "." + digits.substr(8);
}

std::string FiscalCount(std::string_view hex) {
    if (hex.empty() || hex.size() % 2 != 0 || !AllDigits(hex)) return std::string(hex);
    return WithoutLeadingZeros(Reversed(hex));
}

std::string FiscalRate(std::string_view hex) {
    std::string out(Pair(hex, 1));
    out += '.';
    out += Pair(hex, 0);
    if (out == "FF.FF") return "NAK";
    if (out == "FF.FE") return "zw";
    return out;
}

DecodedFiscalRecord DecodeFiscalRecord(std::string_view hex) {
    DecodedFiscalRecord record;
    if (hex.size() < 2) return record;
    if (hex[0] == 'F' || hex[1] == 'F') {
        record.end = true;
        return record;
    }
    switch (hex[1]) {
    case '1': record.kind = FiscalKind::DailyReport; break;
    case '2': record.kind = FiscalKind::PtuChange; break;
    case '3': record.kind = FiscalKind::RamReset; break;
    default: return record;
    }
    for (const FieldLayout& f : LayoutOf(*record.kind).fields) record.fields.push_back(DecodeField(hex, f));
    return record;
}

// ---- the tables --------------------------------------------------------------

std::string FiscalColumnSample(FiscalKind kind, int column) {
    if (column == 0) return std::string(std::to_string(kFiscalRecordCount).size(), '0');
    const auto& fields = LayoutOf(kind).fields;
    if (column < 1 || column > static_cast<int>(fields.size())) return {};
    const FieldLayout& f = fields[static_cast<std::size_t>(column - 1)];
    switch (f.type) {
    case FieldType::Date: return "0000-00-00";
    case FieldType::Time: return "00:00";
    case FieldType::Amount: return std::string(static_cast<std::size_t>(2 * f.bytes - 2), '0') + ".00";
    case FieldType::Count: return std::string(static_cast<std::size_t>(2 * f.bytes), '0');
    case FieldType::Rate: return "00.00";
    }
    return {};
}

bool FiscalColumnIsDecimal(FiscalKind kind, int column) {
    const auto& fields = LayoutOf(kind).fields;
    if (column < 1 || column > static_cast<int>(fields.size())) return false;
    const FieldType type = fields[static_cast<std::size_t>(column - 1)].type;
    return type == FieldType::Amount || type == FieldType::Rate;
}

FiscalTable::FiscalTable(FiscalKind kind) : kind_(kind) {
    for (const char* t : LayoutOf(kind).titles) titles_.emplace_back(t);
    Clear();
}

const std::string& FiscalTable::Caption() const {
    static const std::array<std::string, kFiscalKindCount> captions = {
        Layouts()[0].caption, Layouts()[1].caption, Layouts()[2].caption};
    return captions[static_cast<std::size_t>(kind_)];
}

int FiscalTable::StandardRows() const { return LayoutOf(kind_).standardRows; }

const std::string& FiscalTable::Title(int column) const {
    return column >= 0 && column < Columns() ? titles_[static_cast<std::size_t>(column)] : kEmpty;
}

const std::string& FiscalTable::Cell(int column, int row) const {
    if (row < 1 || row > Rows() || column < 0 || column >= Columns()) return kEmpty;
    return rows_[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(column)];
}

void FiscalTable::SetRow(int row, const std::vector<std::string>& cells) {
    if (row < 1) return;
    if (row > Rows()) rows_.resize(static_cast<std::size_t>(row), std::vector<std::string>(titles_.size()));
    auto& target = rows_[static_cast<std::size_t>(row - 1)];
    for (std::size_t c = 0; c < target.size(); ++c) target[c] = c < cells.size() ? cells[c] : std::string();
}

void FiscalTable::Clear() {
    rows_.assign(static_cast<std::size_t>(StandardRows()), std::vector<std::string>(titles_.size()));
}

FiscalTables MakeFiscalTables() {
    return {FiscalTable(FiscalKind::DailyReport), FiscalTable(FiscalKind::PtuChange), FiscalTable(FiscalKind::RamReset)};
}

FiscalTable& TableOf(FiscalTables& tables, FiscalKind kind) { return tables[static_cast<std::size_t>(kind)]; }

// ---- the register ------------------------------------------------------------

namespace {

constexpr int kIdentityRecord = 4;
// Bytes of the identity record that each part needs: the unique number
// (0-10), the NIP (up to 44).
constexpr std::size_t kIdentityBytes[2] = {11, 45};

// The hexadecimal text of a record reply's data after its echo "n;"; none
// when the echo is not that of record n.
std::optional<std::string_view> AfterEcho(std::string_view data, int n) {
    const std::string echo = std::to_string(n) + ";";
    if (data.substr(0, echo.size()) != echo) return std::nullopt;
    return data.substr(echo.size());
}

// Bytes of a record the decoding reads, by its kind byte.
std::size_t RecordBytesNeeded(std::string_view kindHex) {
    if (kindHex[0] == 'F' || kindHex[1] == 'F') return 1;
    std::size_t bytes = 1;
    switch (kindHex[1]) {
    case '1': case '2': case '3':
        for (const FieldLayout& f : LayoutOf(static_cast<FiscalKind>(kindHex[1] - '1')).fields)
            bytes = std::max(bytes, static_cast<std::size_t>(f.offset + f.bytes));
        break;
    default: break;
    }
    return bytes;
}

// Builds "0;<n>J" in the cleared request area.
void BuildRecordRequest(Connection& link, int n) {
    link.ClearRequestArea(0);
    link.BuildFrame("0;" + std::to_string(n) + "J");
}

}  // namespace

bool FiscalRecordFits(std::string_view data, int n) {
    const auto hex = AfterEcho(data, n);
    if (!hex || hex->size() < 2 || !IsHexText(hex->substr(0, 2))) return false;
    const std::size_t need = 2 * RecordBytesNeeded(*hex);
    return hex->size() >= need && IsHexText(hex->substr(0, need));
}

std::string ReadFiscalIdentity(Connection& link, int part) {
    BuildRecordRequest(link, kIdentityRecord);
    std::string text;
    const std::size_t need = 2 * kIdentityBytes[part == 0 ? 0 : 1];
    const bool ok = link.Exchange(12, [need](std::string_view data) {
        const auto hex = AfterEcho(data, kIdentityRecord);
        return hex && hex->size() >= need && IsHexText(hex->substr(0, need));
    });
    if (ok) {
        // Unique number: reply positions 7-28; NIP: 71-96.
        const std::string data = ReplyWithoutClosing(link);
        text = HexToBytes(part == 0 ? Slice(data, 6, 22) : Slice(data, 70, 26));
        text.resize(strnlen(text.c_str(), text.size()));
    }
    link.AwaitStatus();
    return text;
}

std::optional<std::string> ReadFiscalRecord(Connection& link, int n) {
    BuildRecordRequest(link, n);
    std::optional<std::string> hex;
    if (link.Exchange(15, [n](std::string_view data) { return FiscalRecordFits(data, n); }))
        hex = std::string(*AfterEcho(ReplyData(link.ReplyText()), n));
    link.AwaitStatus();
    return hex;
}

std::string FiscalGapsText(const FiscalGaps& gaps) {
    if (gaps.Complete()) return {};
    constexpr std::size_t kListedRuns = 20;
    std::string text = "Odczyt niepełny: brak rekordów nr ";
    std::size_t runs = 0;
    bool cut = false;
    for (std::size_t i = 0; i < gaps.missing.size();) {
        std::size_t j = i;
        while (j + 1 < gaps.missing.size() && gaps.missing[j + 1] == gaps.missing[j] + 1) ++j;
        if (runs == kListedRuns) {
            cut = true;
            break;
        }
        if (runs++ > 0) text += ", ";
        text += std::to_string(gaps.missing[i]);
        if (j > i) text += (j == i + 1 ? ", " : "–") + std::to_string(gaps.missing[j]);
        i = j + 1;
    }
    if (cut) text += ", … (łącznie " + std::to_string(gaps.missing.size()) + ")";
    if (gaps.stoppedAt > 0)
        text += (gaps.missing.empty() ? "" : ", ") + std::to_string(gaps.stoppedAt) + " i dalszych (odczyt przerwany)";
    return text;
}

FiscalReadEnd ReadFiscalMemory(Connection& link, FiscalTables& tables, const FiscalReadHooks& hooks, FiscalGaps* gaps) {
    FiscalGaps found;
    const FiscalReadEnd end = [&] {
    std::array<int, kFiscalKindCount> running = {1, 1, 1};
    TransferScope transfer(link, TransferKind::FiscalMemory);
    // The caller's stop, or "Nie" to the question about a silent register.
    auto stopped = [&] { return (hooks.stop && hooks.stop()) || TransferStopRequested(link); };
    for (int n = kFirstFiscalRecord; n <= kLastFiscalRecord; ++n) {
        if (hooks.beforeRecord) hooks.beforeRecord();
        if (stopped()) {
            found.stoppedAt = n;
            return FiscalReadEnd::Stopped;
        }
        TransferRecord(link, n);
        const std::optional<std::string> hex = ReadFiscalRecord(link, n);
        if (!hex) {
            // Never decoded: no row, and the reading says it is incomplete.
            found.missing.push_back(n);
            continue;
        }
        const DecodedFiscalRecord record = DecodeFiscalRecord(*hex);
        if (stopped()) {
            found.stoppedAt = n;  // its answer came too late to be taken
            return FiscalReadEnd::Stopped;
        }
        if (record.end) return FiscalReadEnd::Ended;
        if (!record.kind) continue;

        int& next = running[static_cast<std::size_t>(*record.kind)];
        std::vector<std::string> cells;
        cells.reserve(record.fields.size() + 1);
        cells.push_back(std::to_string(next));
        cells.insert(cells.end(), record.fields.begin(), record.fields.end());
        TableOf(tables, *record.kind).SetRow(next, cells);
        if (hooks.rowWritten) hooks.rowWritten(*record.kind, next);
        ++next;
    }
    return FiscalReadEnd::Exhausted;
    }();
    if (gaps) *gaps = std::move(found);
    return end;
}

// ---- search ------------------------------------------------------------------

std::optional<int> FiscalSearch::FindInTable(const FiscalTable& table, int column, const std::string& text) {
    if (position_ > table.Rows() || position_ < 1) position_ = 1;
    if (!text.empty() && column >= 0 && column < table.Columns()) {
        for (int row = position_; row <= table.Rows(); ++row) {
            if (table.Cell(column, row).find(text) != std::string::npos) {
                position_ = row + 1;
                return row;
            }
        }
    }
    position_ = 1;
    return std::nullopt;
}
