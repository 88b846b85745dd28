// The fiscal memory reader's core: the requests for the identity record and
// the history records, the decoding of their hexadecimal text into table
// cells, the three tables the window shows, and the search in them.
//
// Plain C++ on the link: the window drives it and shows its results. Cell
// texts and titles are UTF-8 (the decoded cells are plain ASCII).
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Connection;

// The history records the reader asks for: 8 to 2045.
constexpr int kFirstFiscalRecord = 8;
constexpr int kFiscalRecordCount = 2038;
constexpr int kLastFiscalRecord = kFirstFiscalRecord + kFiscalRecordCount - 1;

// The three kinds of history record, each with a table of its own.
enum class FiscalKind { DailyReport = 0, PtuChange = 1, RamReset = 2 };
constexpr int kFiscalKindCount = 3;

// ---- decoding --------------------------------------------------------------
// Each decoder takes the field's hexadecimal text as the register sends it
// (byte 0 first, two digits a byte).

// Year (byte 1, byte 0), month, day with the digits copied: 07200915 gives
// 2007-09-15.
std::string FiscalDate(std::string_view hex);
// Hour ":" minute, digits copied.
std::string FiscalTime(std::string_view hex);
// Five bytes of packed BCD in hundredths, least significant byte first, with
// two decimals and no leading zeros: 5634120000 gives 1234.56. A field that is
// not ten decimal digits (a letter, a record cut short) shows its text as it
// stands.
std::string FiscalAmount(std::string_view hex);
// Two or three bytes of packed BCD, least significant byte first, as a whole
// number: 3412 gives 1234. A field with a letter shows its text as it stands.
std::string FiscalCount(std::string_view hex);
// Byte 1 "." byte 0, digits copied (0022 gives 22.00); FF.FF is "NAK" and
// FF.FE "zw".
std::string FiscalRate(std::string_view hex);

// A history record as the reader sees it.
struct DecodedFiscalRecord {
    bool end = false;                 // a digit of byte 0 is F: the memory ends here
    std::optional<FiscalKind> kind;   // none for a kind that gives no row
    std::vector<std::string> fields;  // the cells after the running number
};
// Decodes a record's hexadecimal text. The kind is the low digit of byte 0
// (1, 2, 3); anything else gives no row.
DecodedFiscalRecord DecodeFiscalRecord(std::string_view hex);

// ---- the tables --------------------------------------------------------------

// One of the window's tables: column titles and record rows 1 .. Rows().
// Starts with its standard number of empty rows (2038, 30, 200) and grows when
// a reading brings more records of its kind: nothing read is dropped.
class FiscalTable {
public:
    explicit FiscalTable(FiscalKind kind);

    FiscalKind Kind() const { return kind_; }
    const std::string& Caption() const;  // "Raporty dobowe", "Stawki PTU", "Zerowania RAM"
    int Rows() const { return static_cast<int>(rows_.size()); }
    int Columns() const { return static_cast<int>(titles_.size()); }
    int StandardRows() const;
    const std::string& Title(int column) const;     // "" outside the table
    const std::string& Cell(int column, int row) const;  // row from 1; "" outside
    // Writes a record row (row from 1); grows the table when the row lies
    // beyond it. Cells beyond the columns are dropped, missing ones left empty.
    void SetRow(int row, const std::vector<std::string>& cells);
    // Empties every record row and goes back to the standard number of rows.
    void Clear();

private:
    FiscalKind kind_;
    std::vector<std::string> titles_;
    std::vector<std::vector<std::string>> rows_;
};

using FiscalTables = std::array<FiscalTable, kFiscalKindCount>;
FiscalTables MakeFiscalTables();
FiscalTable& TableOf(FiscalTables& tables, FiscalKind kind);

// The longest text column `column` of a kind's table can show, with '0' for
// each digit: the running number, a date, a time, an amount or a count as
// long as its bytes allow, a rate. The window sizes its columns by it.
std::string FiscalColumnSample(FiscalKind kind, int column);

// Whether column `column` of a kind's table holds a number with a decimal
// point (an amount or a rate), which an export writes with the user's
// decimal separator.
bool FiscalColumnIsDecimal(FiscalKind kind, int column);

// ---- the register ------------------------------------------------------------

// "0;4J" (12 bytes written): part 0 gives the unique number (bytes 0-10 of the
// identity record), part 1 the taxpayer's number NIP (bytes 32-44), as the
// register's bytes up to the first zero byte. Empty when no reply came. Only
// a reply that echoes record 4 and holds those bytes as hexadecimal text is
// taken (Exchange). The status reply is read after the reply, in
// error-handling modes 2 and 3.
std::string ReadFiscalIdentity(Connection& link, int part);

// "0;<n>J" (15 bytes written): the record's hexadecimal text, after the
// number the reply echoes ("n;"), without the reply's two closing characters.
// Only a reply that echoes n and holds the bytes its kind's layout reads as
// hexadecimal text is taken; anything else is asked again (Exchange). None
// when no such reply came. The status reply is read after it.
std::optional<std::string> ReadFiscalRecord(Connection& link, int n);

// Whether a reply's data (from position 5) answers "0;<n>J": "n;" and the
// record as hexadecimal text, as long as its kind needs (an end record or a
// kind that gives no row: its kind byte; a daily report 52 bytes, a PTU
// change 19, a RAM reset 7).
bool FiscalRecordFits(std::string_view data, int n);

enum class FiscalReadEnd {
    Ended,      // a record with an F digit: the fiscal memory ended
    Exhausted,  // record 2045 read without an end
    Stopped,    // the caller asked to stop
};

// What a reading left out: the records asked for that got no answer of their
// own, and where a reading that ended early (stopped, or "Nie" to the question
// about a silent register) left off. A reading with either is incomplete: its
// sums are not the register's, and nothing may present them as whole.
struct FiscalGaps {
    std::vector<int> missing;  // record numbers, in reading order
    int stoppedAt = 0;         // the first record not asked for; 0: read to the end
    bool Complete() const { return missing.empty() && stoppedAt == 0; }
};
// "Odczyt niepełny: brak rekordów nr 12, 57–59" (runs of numbers joined,
// at most 20 numbers or runs listed, then "… (łącznie N)"); a stopped
// reading ends with "N i dalszych (odczyt przerwany)". Empty when complete.
std::string FiscalGapsText(const FiscalGaps& gaps);

struct FiscalReadHooks {
    std::function<void()> beforeRecord;  // let the window handle its events
    std::function<bool()> stop;          // asked before and after each record
    std::function<void(FiscalKind, int row)> rowWritten;
};

// Reads records 8 to 2045 into the tables, from row 1 of each on, column 0
// holding the running number of that kind (1, 2, 3, ...). The tables are not
// cleared first. A record that arrives after a stop is asked for is dropped.
// The reading is one transfer (Przebieg.h): after three records in a row
// without a reply the person is asked once whether to go on; "Nie" stops it.
// `gaps`, when given, receives the records left out.
FiscalReadEnd ReadFiscalMemory(Connection& link, FiscalTables& tables, const FiscalReadHooks& hooks, FiscalGaps* gaps = nullptr);

// ---- search ------------------------------------------------------------------

// The search of the window: one position shared by every search, whatever the
// table or column. Repeating a search steps through its matches, then reports
// none and starts again from the top.
class FiscalSearch {
public:
    // The next row from the search position on whose cell in the column
    // contains the text (case-sensitive); the position then moves past it. No
    // match (an empty text never matches) sets the position back to row 1.
    std::optional<int> FindInTable(const FiscalTable& table, int column, const std::string& text);
    int Position() const { return position_; }
    void Reset() { position_ = 1; }

private:
    int position_ = 1;
};
