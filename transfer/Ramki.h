// What the command sequences share: small text helpers, frames built and
// exchanged for a reply that fits, the table rows that record numbers stand
// for, and the all-tables run with its overall bar. Used inside transfer/
// only; the operations themselves are declared in Sekwencje.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "Pomoc.h"
#include "Przebieg.h"
#include "Tabele.h"
#include "Ui.h"
#include "Uklady.h"

namespace sekwencje {

// ---- small text helpers ----------------------------------------------------

bool IsDigit(char ch);

bool AllDigits(std::string_view s);

// Up to n characters from offset `at`; fewer (or none) when the text is shorter.
std::string Slice(std::string_view text, std::size_t at, std::size_t n);

// The whole number formed by the leading digits (0 when there are none),
// held below a limit so that nothing overflows.
std::uint64_t LeadingNumber(std::string_view text, std::uint64_t limit);

// A plain positive decimal number of at most nine digits, or 0.
long long PositiveNumber(std::string_view text);

// A whole number of units of 10^-decimals as decimal text with that many
// decimals: "1250", 2 -> "12.50"; "-1500", 3 -> "-1.500".
std::string WithDecimals(std::string_view number, int decimals);

// ---- frames ------------------------------------------------------------------

// Builds the frame of the payload in a request area filled with `fill` and
// writes `length` bytes of it (at least the frame).
void SendFrame(Connection& link, const std::string& payload, int length, std::uint8_t fill = 0);

// Builds the frame of the payload in the cleared request area and exchanges
// it (at least the frame's bytes written) for a reply that fits.
bool AskFrame(Connection& link, const std::string& payload, int length, const ReplyFits& fits);

// The text after a reply's echo of the request ("12;" for record 12); none
// when it echoes something else.
std::optional<std::string_view> AfterEcho(std::string_view data, long long number);

// At least `chars` characters, the first `chars` of them as `digitsOnly`
// asks: decimal digits, or else hexadecimal ones.
bool Leads(std::string_view data, std::size_t chars, bool digitsOnly = false);

// Copies bytes into a record's span, never past the span or the record.
void Put(std::string& record, FieldSpan span, std::string_view bytes);

// One byte of the given value.
std::string Byte(unsigned value);

// ---- rows and runs -------------------------------------------------------------

// A table row as the sequences address it.
struct RowRef {
    TableId table;
    int row;
};

// The table a record number belongs to, as a transfer's summary names it.
const char* PartName(char readDigit);
extern const char* const kHeaderPart;
extern const char* const kPtuPart;

// Records 1 to 4 of the discount pair are discount rows, 5 to 8 surcharge rows 1 to 4.
RowRef DiscountPairRow(int record);

// The record read command for index i: "0;" i ";" digit "H", its frame and
// two zero bytes. Only the reply that echoes i and holds the bytes the layout
// decodes, as hexadecimal text, is taken; false when none came.
bool AskRecord(Connection& link, const RecordLayout& layout, long long index);

inline RowRef SameRow(TableId t, int k) { return {t, k}; }

// The record layout of a record table (Discount and Surcharge: the pair);
// none for the header and the PTU rates.
const RecordLayout* LayoutOfTable(TableId table);

// Writes one record's frame: "0;" index letter record, check, ESC '\', the
// layout's zeros; steps the bar; reads the status reply in modes 2 and 3.
void SendRecordFrame(Connection& link, const RecordLayout& layout, long long index, const std::string& record);
// Deletes record `record` (from 1) with the table's delete letter; reads the
// status reply in modes 2 and 3.
void SendDelete(Connection& link, long long record, char letter);

// Runs steps with the overall bar and the progress label of the service tab.
// The bar is full after the sixth step.
template <typename Set>
void RunAll(Connection& link, Set& set, TransferKind kind, int barMaximum,
            std::initializer_list<std::pair<const char*, void (*)(Connection&, Set&)>> steps) {
    Ui& ui = link.UserUi();
    // One transfer: one question for a register gone silent, one summary.
    TransferScope transfer(link, kind);
    ui.ShowLabel(UiLabel::Progress, true);
    ui.ProgressShow(UiBar::Overall, barMaximum);
    int done = 0;
    for (const auto& [label, run] : steps) {
        if (TransferStopRequested(link)) break;
        ui.SetLabel(UiLabel::Progress, label);
        ui.ProcessEvents();
        run(link, set);
        ++done;
        if (done < 6) ui.ProgressStep(UiBar::Overall);
        else ui.ProgressSetValue(UiBar::Overall, barMaximum);
    }
    ui.ProcessEvents();
    ui.ShowLabel(UiLabel::Progress, false);
    ui.SetLabel(UiLabel::Progress, "");
    ui.ProgressHide(UiBar::Overall);
}

}  // namespace sekwencje
