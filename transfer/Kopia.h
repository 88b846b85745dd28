// The register's copy: what the program last saw one register hold, table by
// table, so that "Wyślij zmiany" sends only the records that differ and
// deletes the ones the user emptied.
//
// A copy belongs to one register (model index and serial number as the
// identification gives them) and lives in a small file of its own in the
// user's data folder. Records are kept as the bytes the upload sends
// (RecordBytes), so a comparison is byte for byte. Texts the user sees are
// UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Tabele.h"

// The parts a copy keeps: the six record tables (discounts and surcharges as
// one pair of records 1 to 8), the header and the PTU rates. The header and the
// PTU rates are one record each (record 1: HeaderPayload, PtuPayload).
enum class CopyPart { Packaging, Plu, Cashier, Key, Discounts, PaymentForm, Header, Ptu };
constexpr int kCopyPartCount = 8;

// The part a table belongs to (Discount and Surcharge: Discounts).
CopyPart PartOfTable(TableId table);
// The table that stands for a part (Discounts: Discount).
TableId TableOfPart(CopyPart part);
// How many records the part has in this table set (the pair: 8; header, PTU: 1).
int PartRecordCount(const TableSet& set, CopyPart part);
// What the table holds for a record of the part, as the upload sends it: the
// record bytes, "" for a row without a record. None when the table cannot be
// sent as it is (a header too long).
std::optional<std::string> PartRecordBytes(const TableSet& set, CopyPart part, int record);

// One part of a copy.
struct PartCopy {
    bool present = false;  // refreshed at least once
    bool stale = false;    // a transfer was cut short since: the register may differ anywhere
    int records = 0;       // the table's record count when last refreshed
    std::string refreshed;  // local time of the last refresh, "2026-12-01 14:03"
    // Record number (1 to records) -> its bytes; "" = known to be empty;
    // a number that is not here is unknown.
    std::map<int, std::string> known;

    // Every record known and nothing cut short since.
    bool Complete() const { return present && !stale && static_cast<int>(known.size()) == records; }
};

struct RegisterCopy {
    int model = -1;      // 0 to 3
    std::string serial;  // as the identification gives it
    std::array<PartCopy, kCopyPartCount> parts;

    PartCopy& Part(CopyPart p) { return parts[static_cast<int>(p)]; }
    const PartCopy& Part(CopyPart p) const { return parts[static_cast<int>(p)]; }
};

// The local time as a copy keeps it: "2026-12-01 14:03".
std::string LocalTimeText();

// ---- refreshing ------------------------------------------------------------

// After a read of the part that ran to its end with every record answered: the
// table now shows what the register holds, so every record is known and the
// part is complete. The download leaves a row as it was when the register's
// record is empty: either empty the rows before the read, or pass the records
// the read found empty here, or the copy takes such a row for the register's.
void RefreshAfterRead(RegisterCopy& copy, const TableSet& set, CopyPart part,
                      const std::vector<int>& emptyInRegister = {}, const std::string& when = LocalTimeText());
// After a full send of the part that ran to its end: the records sent are
// known (under the number the send addressed, SentRecordNumber). Rows without
// a record were not sent and the register kept what it had there: they keep
// the copy's value when the part was complete before, else become unknown.
// A header too long to send changes nothing.
void RefreshAfterFullSend(RegisterCopy& copy, const TableSet& set, CopyPart part,
                          const std::string& when = LocalTimeText());
// A transfer of the part was cut short (stopped, records unanswered): the
// part is stale until a complete read or full send.
void MarkStale(RegisterCopy& copy, CopyPart part);

// ---- the plan of a changes-only send ----------------------------------------

struct ChangesPlan {
    std::string refusal;      // empty when the plan may be carried out; else why not (UTF-8)
    std::vector<int> send;    // records to send: RecordBytes(set, table, r) as record r, ascending
    std::vector<int> remove;  // records to delete in the register, ascending
    int unchanged = 0;        // records the table holds exactly as the copy has them
    int records = 0;          // the table's record count
    std::string since;        // when the copy was last refreshed

    bool Refused() const { return !refusal.empty(); }
};

// Compares the part's records in the table with the copy. A record is sent
// when the table has one and the copy's differs, is empty or is unknown; it is
// deleted when the copy knows a record there and the table's row is empty
// (the header and PTU rates are never deleted). Refused when the copy is for
// another register (model, serial) than the one identified, or the part is
// absent or stale.
ChangesPlan PlanChanges(const RegisterCopy& copy, const TableSet& set, CopyPart part, int model,
                        const std::string& serial);
// After the plan was carried out to its end: its records sent are known as the
// table holds them, its records deleted known empty.
void RefreshAfterChanges(RegisterCopy& copy, const TableSet& set, CopyPart part, const ChangesPlan& plan,
                         const std::string& when = LocalTimeText());

// "Wysłano 50 zmienionych rekordów z 19 200 (pozostałe bez zmian od
// 2026-12-01 14:03)", with ", usunięto 3" after the count when records were
// deleted.
std::string ChangesSentMessage(int sent, int records, int removed, const std::string& since);

// ---- the check before sending --------------------------------------------------

// The records to read back before a changes-only send: the first and the last
// record of the table, and up to `count` more picked at random (from `seed`)
// among the records the copy knows. Ascending, no repeats, all within 1 to
// `records`.
std::vector<int> SampleRecords(const PartCopy& part, int records, int count, std::uint64_t seed);
// True when two records of the table (RecordBytes, or the header and PTU
// payloads) agree in every field the register keeps as it was sent: all but
// the PLU stock, which sales change.
bool SameHeldFields(TableId table, std::string_view a, std::string_view b);

// ---- the file ------------------------------------------------------------------

// The folder the copies live in (UTF-8): ZELTRA_DATA_DIR when set, else on
// Windows %LOCALAPPDATA%\ZELTRA Serwis (%APPDATA% when that is unset),
// elsewhere $XDG_DATA_HOME/zeltra-serwis or ~/.local/share/zeltra-serwis;
// with "kopie" under it. Empty when none of these is known.
std::string CopyFolder();
// The file of one register's copy in CopyFolder(); empty for an empty or
// over-long serial number or a model outside 0 to 3.
std::string CopyFilePath(int model, const std::string& serial);

// The copy as the file holds it, and back. A text that is not one whole copy
// in this format version gives none.
std::string CopyText(const RegisterCopy& copy);
std::optional<RegisterCopy> ParseCopyText(std::string_view text);

// Writes the register's file whole or not at all, creating the folder. False
// when it could not be written.
bool SaveRegisterCopy(const RegisterCopy& copy);
// The register's copy; none when there is no file, or it cannot be read,
// parsed whole, or is another register's.
std::optional<RegisterCopy> LoadRegisterCopy(int model, const std::string& serial);
