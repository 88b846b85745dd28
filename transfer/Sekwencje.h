// The command sequences: register information, settings and clock; sending
// the tables to the register record by record; reading them back; deleting
// records and tables in the register.
//
// Every sequence runs to its end on the calling thread. Each command builds its
// frame in the request area and, in error-handling modes 2 and 3, reads the
// register's status reply after it (AwaitStatus). A missing reply shows
// "Brak odpowiedzi z kasy" and the sequence goes on with its next step.
// Table cells are Windows-1250 text; texts shown to the user are UTF-8.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "Tabele.h"

class Connection;

// ---- register information, settings and clock ----------------------------

// The 14-character information block ("0N", reply positions 5 to 18).
std::string ReadRegisterState(Connection& link);
// The register's unique number ("0;4J"), up to its first zero byte.
std::string ReadUniqueNumber(Connection& link);
// The register's date and time ("0L") as YYYY-MM-DD hh:mm:ss.
std::string ReadRegisterClock(Connection& link);

// The work mode of an information block is fiscal (positions 3-4 "01").
bool IsFiscalBlock(const std::string& block);

// The information grid: 11 rows of a name and a value.
constexpr int kInfoRows = 11;
const std::array<const char*, kInfoRows>& RegisterInfoNames();  // UTF-8
// The values of the 11 rows, UTF-8. Rows 0 to 2 are the top line's model,
// serial number and version as given; row 3 the unique number; rows 4 to 9
// come from the information block; row 10 is the clock text. Rows 4 and 5 are
// empty optionals when the block's characters match none of the known values:
// the grid then keeps what those cells held.
std::array<std::optional<std::string>, kInfoRows> RegisterInfoValues(
    const std::string& model, const std::string& serial, const std::string& version,
    const std::string& uniqueNumber, const std::string& block, const std::string& clock);

// Sends the manager password ("0G" and the four digits packed two per byte).
// A password that is not exactly four digits is refused with a message and
// nothing is sent; the result is false then.
bool SendManagerPassword(Connection& link, const std::string& password);
// The settings number of the dialog's list positions: amount entry
// (0 złoty, 1 grosze) + 2 × communication (0 OFF-LINE, 1 ON-LINE)
// + 4 × print quality (0 standard, 1 lighter, 2 darker).
int SettingsNumber(int amountMode, int communication, int printQuality);
// Sends "0;<number>W".
void SendSettingsByte(Connection& link, int number);
// Sets the register's clock ("0Y" and seven packed two-digit values: seconds,
// minutes, hours, day, month, the year's last two digits, its first two).
void SetRegisterClock(Connection& link, int seconds, int minutes, int hours, int day, int month, int year);
// The date and time as the clock question shows it: YYYY-MM-DD hh:mm:ss.
std::string ClockText(int seconds, int minutes, int hours, int day, int month, int year);

// ---- the bytes the uploads send ---------------------------------------------
// The uploads below send exactly these bytes, so whatever is compared or kept
// from them is what the register was given.

// The record bytes after the command letter (the layout's recordBytes) that the
// upload of `table` sends for record `record`: row `record` of Packaging, Plu,
// Cashier, Key and PaymentForm; Discount and Surcharge both mean the pair,
// records 1 to 8 (DiscountPairRow). Empty when the row holds no record or the
// record is outside the table.
std::string RecordBytes(const TableSet& set, TableId table, int record);
// The record number the full upload addresses that row as: the row's own number
// cell when it holds a plain positive number (keys: always the row).
long long SentRecordNumber(const TableSet& set, TableId table, int record);
// The header frame's payload: "0X", the non-empty lines in Mazovia each closed
// by CR, 0xFF fill to HeaderLayout::kPayloadBytes. None when the lines are too
// long to send.
std::optional<std::string> HeaderPayload(const TableSet& set);
// The PTU rate frame's payload: "0Z" and the seven rates, two bytes each.
std::string PtuPayload(const TableSet& set);

// ---- uploads ---------------------------------------------------------------

void SendPackagingTable(Connection& link, const TableSet& set);
void SendPluTable(Connection& link, const TableSet& set);
void SendCashierTable(Connection& link, const TableSet& set);
void SendKeyTable(Connection& link, const TableSet& set);
void SendDiscountTable(Connection& link, const TableSet& set);  // discounts and surcharges, records 1 to 8
void SendPaymentFormTable(Connection& link, const TableSet& set);
// The header and the PTU rates may be programmed only in training mode: the
// buttons call the test first and send only when it returns true.
enum class FiscalGuard { Header, PtuRates };
// Reads the information block; in fiscal mode shows the item's message and
// returns false. Any other work mode, a missing reply included, gives true.
bool FiscalModeTest(Connection& link, FiscalGuard item);
void SendHeader(Connection& link, const TableSet& set);
void SendPtuRates(Connection& link, const TableSet& set);
// The six record tables in one run, with the overall bar and its label.
void SendAllTables(Connection& link, const TableSet& set);

// ---- downloads -------------------------------------------------------------

void ReadPackagingTable(Connection& link, TableSet& set);
void ReadPluTable(Connection& link, TableSet& set);
void ReadCashierTable(Connection& link, TableSet& set);
void ReadKeyTable(Connection& link, TableSet& set);
void ReadDiscountTable(Connection& link, TableSet& set);  // discounts and surcharges
void ReadPaymentFormTable(Connection& link, TableSet& set);
void ReadHeader(Connection& link, TableSet& set);
void ReadPtuRates(Connection& link, TableSet& set);
// All eight tabs in one run, with the overall bar and its label.
void ReadAllTables(Connection& link, TableSet& set);
// Reads only `records` (numbers from 1; the discount pair 1 to 8) of a record
// table into its rows, as the table's download does: a record the register
// holds empty leaves its row as it is (TransferEmptyRecords names it).
void ReadRecordsOf(Connection& link, TableSet& set, TableId table, const std::vector<int>& records);

// ---- deletions -------------------------------------------------------------

// Deletes the record named by the entry row's number field of `table`
// (Discount for "Nr rabatu", Surcharge for "Nr dopłaty", which holds 5 to 8)
// in the register and empties its row (a number above the table's rows is
// sent and empties nothing). False when refused with a message: an empty field
// ("Musisz podac numer rekordu!"), 0 or a text that is no number (the table's
// wrong-number message), cashier 1. The caller then keeps the entry row; on
// true it clears it.
bool DeleteRecord(Connection& link, TableSet& set, TableId table, const std::string& numberField);
// Deletes every record of the table in the register and empties the rows.
// Discount and Surcharge both mean the pair (records 1 to 8).
void DeleteTable(Connection& link, TableSet& set, TableId table);
// True when the register holds a PLU with a name in record `row`.
bool PluExists(Connection& link, int row);
